// Test program entry: Qt's offscreen platform unless another is chosen (CTest's discovery runs
// this program at build time, without the test environment), messages captured.
#include "GuiTest.h"
#include "host/Report.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

std::vector<std::string> g_messages;

void ReportWarning(std::string_view text) {
    g_messages.emplace_back(text);
}

ScratchDir::ScratchDir() : Previous(QDir::currentPath()) {
    EXPECT_TRUE(Dir.isValid());
    QDir::setCurrent(Dir.path());
}

ScratchDir::~ScratchDir() {
    QDir::setCurrent(Previous);
}

QString ScratchDir::Path(const QString& name) const {
    return Dir.filePath(name);
}

void ScratchDir::Write(const QString& name, const QByteArray& bytes) const {
    QFile f(Path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

void ScratchDir::CopyGenerated(const QString& name) const {
    ASSERT_TRUE(QFile::copy(GeneratedFile(name), Path(name))) << name.toStdString();
}

QByteArray ScratchDir::Read(const QString& name) const {
    QFile f(Path(name));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

QString GeneratedFile(const QString& name) {
    return QStringLiteral(VELMORA_DATA_DIR "/") + name;
}

void SendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, QPoint at,
               Qt::MouseButtons held) {
    const QPointF local(at);
    const QPointF global(target->mapToGlobal(at));
    QMouseEvent event(type, local, local, global, button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The user's settings (zoom, window position) go to a folder of the test run's own.
    QStandardPaths::setTestModeEnabled(true);
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
