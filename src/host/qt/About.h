// The About box's text: the program's name and version, its licence, the working folder, and
// the keys: which PC keys press which calculator keys (from the fixed table and the loaded key
// map) and the shortcuts of the context menu. Each part is one section in AboutText; a new part
// is one more.
#pragma once

#include <QString>

#include <utility>
#include <vector>

// A shortcut of the menu: what it does and its keys.
using ShortcutRow = std::pair<QString, QString>;

// Rich text for a message box.
QString AboutText(const std::vector<ShortcutRow>& shortcuts);
