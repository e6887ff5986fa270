// Test program entry: Qt's offscreen platform unless another is chosen (CTest's discovery runs
// this program at build time, without the test environment).
#include "host/Report.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <string>
#include <vector>

std::vector<std::string> g_messages;

void ReportWarning(std::string_view text) {
    g_messages.emplace_back(text);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
