// SPDX-License-Identifier: MIT
// The window's own texts and Qt's buttons in the person's language.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "gui/about_dialog.h"
#include "gui_fixture.h"
#include "qthost/qt_host.h"
#include "support/in_language.h"
#include "support/test_host.h"

namespace pictavo::test {
namespace {

TEST(LanguageGui, TitlesAndQtsButtonsFollowTheLanguage) {
    struct Case {
        Language language;
        const char* aboutTitle;
        const char* saveTitle;
        const char* cancel;  // Qt's own button, from its translations
    };
    for (const Case& c : {Case{Language::Japanese, "バージョン情報", "Bitmapの保存", "キャンセル"},
                          Case{Language::English, "Version information", "Save bitmap", "Cancel"}}) {
        const InLanguage installed(c.language);
        SCOPED_TRACE(c.aboutTitle);
        TestHost testHost;
        gui::AboutDialog about{testHost, [](const std::function<void()>& event) { event(); }, gui::Units{}};
        EXPECT_EQ(about.windowTitle(), QString::fromUtf8(c.aboutTitle));
        EXPECT_EQ(about.accessibleName(), QString::fromUtf8(c.aboutTitle));

        QtHost host;
        QString cancel;
        whenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            cancel = box->button(QMessageBox::Cancel)->text().remove(QLatin1Char('&'));
            box->button(QMessageBox::Cancel)->click();
        });
        host.MsgBox("?", MsgFlags::OkCancelQuestion);
        EXPECT_EQ(cancel, QString::fromUtf8(c.cancel));

        SaveDialogState dialog;
        dialog.initDir = testHost.root().native();
        QString saveTitle;
        whenModal([&](QWidget* w) {
            saveTitle = w->windowTitle();
            qobject_cast<QFileDialog*>(w)->reject();
        });
        EXPECT_FALSE(host.ShowSave(dialog));
        EXPECT_EQ(saveTitle, QString::fromUtf8(c.saveTitle));
    }
}

}  // namespace
}  // namespace pictavo::test
