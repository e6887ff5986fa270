// The one seam between the core and the program around it: messages for the user. The desktop
// program shows each in a warning box with an OK button; the command-line tools print a line
// on standard error. Every program that links the core defines this function once.
#pragma once

#include <string_view>

void ReportWarning(std::string_view text);
