// SPDX-License-Identifier: MIT
// The About box: its fixed places, fonts and texts, and the OK button.

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "gui/about_dialog.h"
#include "support/test_host.h"

namespace pictavo::test {
namespace {

class AboutTest : public ::testing::Test {
protected:
    TestHost host;
    int runs = 0;
    gui::AboutDialog about{host,
                           [this](const std::function<void()>& event) {
                               ++runs;
                               event();
                           },
                           gui::Units{}};

    QLabel* label(const char* name, int index = -1) {
        for (QLabel* l : about.findChildren<QLabel*>(QString::fromLatin1(name)))
            if (index < 0 || l->property("index").toInt() == index) return l;
        ADD_FAILURE() << name;
        return nullptr;
    }
};

TEST_F(AboutTest, FixedBoxAtTheDesignSizeWithItsTitle) {
    EXPECT_EQ(about.windowTitle(), QStringLiteral("バージョン情報"));
    EXPECT_EQ(about.minimumSize(), QSize(231, 135));
    EXPECT_EQ(about.maximumSize(), QSize(231, 135));
    EXPECT_FALSE(about.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(about.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(about.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(about.findChild<QWidget*>(QStringLiteral("Frame1"))->geometry(), QRect(10, 5, 213, 120));

    // The emblem is stretched to its place.
    QLabel* image = label("Image1");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->geometry(), QRect(11, 41, 74, 56));
    EXPECT_EQ(image->pixmap().size(), QSize(70, 52));
    EXPECT_TRUE(image->hasScaledContents());
}

TEST_F(AboutTest, LabelsUseAJapaneseGothicFaceAndAreNotCut) {
    QLabel* name = label("Label1");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), QStringLiteral("Pictavo"));
    EXPECT_TRUE(name->font().bold());
    EXPECT_DOUBLE_EQ(name->font().pointSizeF(), 15.75);
    EXPECT_EQ(name->palette().color(QPalette::WindowText), QColor(0x40, 0x40, 0x40));
    EXPECT_EQ(name->pos(), QPoint(14, 12));
    // The face exists here, so Japanese text has glyphs.
    EXPECT_EQ(QFontInfo(name->font()).family(), QStringLiteral("IPAPGothic"));

    QLabel* version = label("Label2", 0);
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), QStringLiteral("Ver:6.0.2"));
    EXPECT_DOUBLE_EQ(version->font().pointSizeF(), 12);
    EXPECT_EQ(version->pos(), QPoint(109, 44));
    EXPECT_GE(version->width(), version->sizeHint().width()) << "the version text is cut";
    ASSERT_NE(label("Label2", 1), nullptr);
    EXPECT_FALSE(label("Label2", 1)->text().isEmpty());
}

TEST_F(AboutTest, OkUnloadsTheBoxThroughTheDispatcher) {
    auto* ok = about.findChild<QPushButton*>(QStringLiteral("okBtn"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->geometry(), QRect(103, 91, 77, 23));
    EXPECT_TRUE(ok->isDefault());
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(host.unloaded, std::vector<std::string>{"frmAbout"});
}

}  // namespace
}  // namespace pictavo::test
