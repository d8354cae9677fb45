// SPDX-License-Identifier: MIT
// The GUI tests need a QApplication; they draw offscreen unless told otherwise.
#include <gtest/gtest.h>

#include <QApplication>

namespace {
// The offscreen platform warns about every window it cannot hint sizes for.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints"))) return;
    qt_message_output(type, context, message);
}
}  // namespace

int main(int argc, char* argv[]) {
    qInstallMessageHandler(quietOffscreen);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("QT_FONT_DPI")) qputenv("QT_FONT_DPI", "96");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
