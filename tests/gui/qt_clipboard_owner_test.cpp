// SPDX-License-Identifier: MIT
// The Qt host tells the picture it copied from anything copied after it, also from a
// picture that another run of the program copied.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "qthost/qt_host.h"

namespace pictavo {
namespace {

Picture picture(QRgb colour) {
    auto image = std::make_shared<QImage>(3, 2, QImage::Format_RGB32);
    image->fill(colour);
    return Picture(std::move(image));
}

TEST(QtHostClipboardOwner, OnlyItsOwnPictureCounts) {
    QtHost host;
    QtHost otherRun;
    QClipboard* clipboard = QGuiApplication::clipboard();

    host.ClipboardSetData(picture(qRgb(1, 2, 3)));
    EXPECT_TRUE(host.ClipboardHoldsOwnPicture());
    EXPECT_TRUE(host.ClipboardHasBitmap());

    clipboard->setText(QStringLiteral("text from an editor"));
    EXPECT_FALSE(host.ClipboardHoldsOwnPicture());

    host.ClipboardSetData(picture(qRgb(1, 2, 3)));
    clipboard->setImage(QImage(4, 4, QImage::Format_RGB32));  // a picture from a browser
    EXPECT_FALSE(host.ClipboardHoldsOwnPicture());

    otherRun.ClipboardSetData(picture(qRgb(9, 9, 9)));
    EXPECT_FALSE(host.ClipboardHoldsOwnPicture());
    EXPECT_TRUE(otherRun.ClipboardHoldsOwnPicture());

    // A clipboard manager that copies every format keeps the mark, and the picture is
    // still ours.
    host.ClipboardSetData(picture(qRgb(1, 2, 3)));
    auto* copy = new QMimeData;
    for (const QString& format : clipboard->mimeData()->formats())
        copy->setData(format, clipboard->mimeData()->data(format));
    clipboard->setMimeData(copy);
    EXPECT_TRUE(host.ClipboardHoldsOwnPicture());

    host.ClipboardClear();
    EXPECT_FALSE(host.ClipboardHoldsOwnPicture());
}

}  // namespace
}  // namespace pictavo
