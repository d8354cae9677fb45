// SPDX-License-Identifier: MIT
// Every image that enters the program (decoded or pasted) is drawn from 32 bits per pixel,
// with its transparency kept.

#include <gtest/gtest.h>

#include <QImage>

#include "imaging/picture.h"

using pictavo::drawablePicture;

TEST(DrawablePicture, ImagesOfOtherDepthsBecome32BitWithTheirColoursAndTransparency) {
    QImage indexed(2, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    indexed.setPixel(0, 0, 0);
    indexed.setPixel(1, 0, 1);
    const auto opaque = drawablePicture(indexed);
    ASSERT_FALSE(opaque.isNull());
    EXPECT_EQ(opaque.image()->format(), QImage::Format_RGB32);
    EXPECT_EQ(opaque.image()->pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(opaque.image()->pixel(1, 0), qRgb(0, 0, 255));

    QImage clear(1, 1, QImage::Format_ARGB32);
    clear.setPixel(0, 0, qRgba(200, 100, 0, 128));
    const auto translucent = drawablePicture(clear);
    EXPECT_EQ(translucent.image()->format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(qAlpha(translucent.image()->pixel(0, 0)), 128);

    // An image already in a drawable form keeps its pixels, unconverted.
    QImage rgb(4, 4, QImage::Format_RGB32);
    rgb.fill(Qt::green);
    const uchar* bits = rgb.constBits();
    EXPECT_EQ(drawablePicture(rgb).image()->constBits(), bits);

    EXPECT_TRUE(drawablePicture(QImage()).isNull());
}
