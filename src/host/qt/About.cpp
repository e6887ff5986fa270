// The About box's text.
#include "host/qt/About.h"

#include "BuildInfo.h"
#include "FaceLegends.h"
#include "host/WorkFolder.h"
#include "periph/Keyboard.h"

#include <QStringList>

namespace {
const QString kLicence = QStringLiteral("MIT licence");

// A face legend as rich text: arrows as arrow signs, "a^b" with b raised.
QString LegendHtml(std::string_view text) {
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toHtmlEscaped();
    s.replace(QStringLiteral("&lt;L&gt;"), QStringLiteral("\u25C0"));
    s.replace(QStringLiteral("&lt;R&gt;"), QStringLiteral("\u25B6"));
    s.replace(QStringLiteral("&lt;U&gt;"), QStringLiteral("\u25B2"));
    s.replace(QStringLiteral("&lt;D&gt;"), QStringLiteral("\u25BC"));
    const qsizetype caret = s.indexOf(QLatin1Char('^'));
    if (caret >= 0) s = s.left(caret) + QStringLiteral("<sup>") + s.mid(caret + 1) + "</sup>";
    return s;
}

QString KeyName(int code) {
    for (const KeyLegend& legend : kKeyLegends)
        if (legend.code == code) return LegendHtml(legend.text);
    return code == kKeyOffFace ? QStringLiteral("the key off the face")
                               : QStringLiteral("key %1").arg(code);
}

// The PC keys of the fixed table, by name and virtual key.
struct NamedKey {
    const char* name;
    int virtualKey;
};
constexpr NamedKey kTableKeys[] = {
    {"Enter", kVkEnter},  {"Esc", kVkEscape},  {"Delete", kVkDelete}, {"Backspace", kVkBack},
    {"Home", kVkHome},    {"End", kVkEnd},     {"\u2190", kVkLeft},   {"\u2191", kVkUp},
    {"\u2192", kVkRight}, {"\u2193", kVkDown}, {"F8", kVkF8},
};

// The calculator keys that PC keys press, three to a row: the key, then its PC keys.
QString KeyRows() {
    QStringList cells;
    for (int code = 3; code <= kLastKeyCode; ++code) {
        QStringList pcKeys;
        for (int c = 32; c < 127; ++c)
            if (PcKeyCode(0, c) == code)
                pcKeys << (c == ' ' ? QStringLiteral("Space") : QString(QChar(c)).toHtmlEscaped());
        for (const NamedKey& k : kTableKeys)
            if (PcKeyCode(k.virtualKey, 0) == code) pcKeys << QString::fromUtf8(k.name);
        if (!pcKeys.isEmpty())
            cells << QStringLiteral("<td><b>%1</b></td><td>%2</td>")
                         .arg(KeyName(code), pcKeys.join(QStringLiteral("&nbsp; ")));
    }
    QString rows;
    for (qsizetype i = 0; i < cells.size(); i += 3)
        rows += QStringLiteral("<tr>") +
                cells.mid(i, 3).join(QStringLiteral("<td>&nbsp;&nbsp;&nbsp;</td>")) +
                QStringLiteral("</tr>");
    return rows;
}

QString ShortcutRows(const std::vector<ShortcutRow>& shortcuts) {
    QString rows;
    for (const auto& [what, keys] : shortcuts)
        rows += QStringLiteral("<tr><td>%1</td><td>%2</td></tr>")
                    .arg(what.toHtmlEscaped(), keys.toHtmlEscaped());
    return rows;
}
} // namespace

QString AboutText(const std::vector<ShortcutRow>& shortcuts) {
    QStringList sections;
    sections << QStringLiteral("<h3>Velmora Emulator %1</h3>").arg(QString::fromUtf8(kVersion))
             << QStringLiteral("<p>The Velmora pocket calculator, its firmware run on an emulated "
                               "processor cycle by cycle.</p>")
             << QStringLiteral("<p>Released under the %1.</p>").arg(kLicence)
             << QStringLiteral("<p>Working folder: <tt>%1</tt></p>")
                    .arg(QString::fromStdString(WorkFolder().string()).toHtmlEscaped())
             << QStringLiteral("<p><b>Calculator keys on the PC keyboard</b></p>"
                               "<table cellspacing=\"4\">%1</table>")
                    .arg(KeyRows())
             << QStringLiteral("<p><b>Shortcuts</b> (right click on the face, Menu key or "
                               "Shift+F10 for the menu)</p><table cellspacing=\"4\">%1</table>")
                    .arg(ShortcutRows(shortcuts));
    return sections.join(QString());
}
