// SPDX-License-Identifier: MIT
// The style whose standard icons are fetched only once drawn: each looks exactly as the
// desktop style's own, at every size and in every mode.

#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QStyle>

#include "gui/deferred_icons.h"

namespace pictavo::test {
namespace {

TEST(DeferredIconStyle, EachStandardIconIsTheDesktopStylesOwnOnceDrawn) {
    gui::DeferredIconStyle style;
    const QStyle::StandardPixmap icons[] = {
        QStyle::SP_ToolBarHorizontalExtensionButton,  // the menu bar's overflow button
        QStyle::SP_MessageBoxWarning,
        QStyle::SP_MessageBoxCritical,
        QStyle::SP_DialogOkButton,
        QStyle::SP_DirIcon,
        QStyle::SP_TitleBarCloseButton};
    for (const QStyle::StandardPixmap which : icons) {
        SCOPED_TRACE(int(which));
        const QIcon deferred = style.standardIcon(which);
        const QIcon own = style.baseStyle()->standardIcon(which);
        EXPECT_EQ(deferred.availableSizes(), own.availableSizes());
        for (const int side : {16, 32, 48}) {
            EXPECT_EQ(deferred.actualSize(QSize(side, side)), own.actualSize(QSize(side, side)));
            for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled})
                EXPECT_EQ(deferred.pixmap(side, mode).toImage(), own.pixmap(side, mode).toImage()) << side;
        }
    }
}

}  // namespace
}  // namespace pictavo::test
