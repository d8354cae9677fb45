// SPDX-License-Identifier: MIT
// The keyboard: each command's key works only while the command is enabled, and Copy in
// the file list copies the picture, never the file's name.

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "gui_fixture.h"

namespace pictavo::test {
namespace {

class Shortcuts : public GuiTest {
protected:
    void startFocused() {
        start();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        widget("filList")->setFocus();
        settle();
    }
    void press(const QKeySequence& key) {
        QTest::keySequence(QApplication::focusWidget(), key);
        settle();
    }
    std::vector<std::string> prompts() const {
        std::vector<std::string> out;
        for (const auto& m : host.messages) out.push_back(m.prompt);
        return out;
    }
};

TEST_F(Shortcuts, KeysDoNothingWhileTheirCommandsAreDisabled) {
    writePicture(host.startFolder() / "a.jpg", 40, 30);
    startFocused();
    QGuiApplication::clipboard()->setText(QStringLiteral("from another program"));
    for (const auto& key : {QKeySequence(Qt::CTRL | Qt::Key_S), QKeySequence(Qt::CTRL | Qt::Key_C),
                            QKeySequence(Qt::Key_Delete), QKeySequence(Qt::CTRL | Qt::Key_V)})
        press(key);
    EXPECT_TRUE(host.dialogs.empty());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(host.clipboardPicture.has_value());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("from another program"));
    EXPECT_EQ(form.c.lstCnt.text(), "0/1");
}

TEST_F(Shortcuts, EachCommandHasItsKeyWhileEnabled) {
    writePicture(host.startFolder() / "a.jpg", 40, 30);
    startFocused();
    QTest::keyClick(widget("filList"), Qt::Key_Down);  // the arrow key opens the first picture
    settle();
    ASSERT_EQ(form.c.lstCnt.text(), "1/1");
    QGuiApplication::clipboard()->setText(QStringLiteral("from another program"));

    // Copy puts the picture on the clipboard, not the file's name.
    press(QKeySequence(Qt::CTRL | Qt::Key_C));
    ASSERT_TRUE(host.clipboardPicture.has_value());
    EXPECT_EQ(host.clipboardPicture->widthPx(), 40);
    EXPECT_NE(QGuiApplication::clipboard()->text(), QStringLiteral("a.jpg"));

    press(QKeySequence(Qt::CTRL | Qt::Key_S));  // the save dialog, cancelled
    EXPECT_EQ(host.dialogs.size(), 1u);
    host.messages.clear();  // the notice before the dialog

    host.msgBoxAnswers = {MsgResult::Cancel, MsgResult::Cancel};
    press(QKeySequence(Qt::Key_Delete));  // the question, declined
    press(QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(prompts(), (std::vector<std::string>{"このｲﾒｰｼﾞを削除しますか？", "プログラムを終了します。"}));
    EXPECT_TRUE(std::filesystem::exists(host.startFolder() / "a.jpg"));
    EXPECT_TRUE(host.unloaded.empty());

    press(QKeySequence(Qt::Key_F1));
    EXPECT_EQ(host.shown, std::vector<std::string>{"frmAbout"});

    // Paste, once the clipboard offers a picture.
    host.clipboardPicture = solidPicture(70, 20);
    window->run([this] { form.Form_Activate(); });
    press(QKeySequence(Qt::CTRL | Qt::Key_V));
    EXPECT_EQ(form.c.Image1.picture().widthPx(), 70);
}

TEST_F(Shortcuts, TheMenuShowsEachKey) {
    start();
    for (const auto& [name, key] :
         std::vector<std::pair<const char*, QKeySequence>>{{"bmp", QKeySequence(Qt::CTRL | Qt::Key_S)},
                                                           {"Cpy", QKeySequence(Qt::CTRL | Qt::Key_C)},
                                                           {"Del", QKeySequence(Qt::Key_Delete)},
                                                           {"Cls", QKeySequence(Qt::CTRL | Qt::Key_Q)},
                                                           {"Version", QKeySequence(Qt::Key_F1)}}) {
        SCOPED_TRACE(name);
        auto* action = widget<QAction>(name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->shortcut(), key);
    }
    EXPECT_EQ(widget<QAction>("bmp")->text(), QStringLiteral("Save for BMP"));
}

}  // namespace
}  // namespace pictavo::test
