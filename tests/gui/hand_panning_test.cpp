// SPDX-License-Identifier: MIT
// Panning by hand: the wheel, Shift with the wheel, a touchpad and a drag move the picture
// through the scroll bars' values, and stop where the bars stop.

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QWheelEvent>

#include "gui/hand_panning.h"
#include "gui_fixture.h"

namespace pictavo::test {
namespace {

TEST(HandPanningSteps, FollowThePointerAndTheWheel) {
    struct Row {
        std::int32_t value;
        int angle, pixels, lines;
        std::int64_t expected;
    };
    // 15 twips to the pixel; a track step of 300 twips.
    for (const Row& r : {Row{1000, -120, 0, 3, 1900}, Row{1000, 120, 0, 3, 100}, Row{0, -60, 0, 3, 450},
                         Row{0, -120, 0, 1, 300}, Row{500, 0, -7, 3, 605}, Row{500, 0, 10, 3, 350}}) {
        SCOPED_TRACE(testing::Message() << r.value << " " << r.angle << " " << r.pixels << " " << r.lines);
        EXPECT_EQ(gui::wheeledValue(r.value, r.angle, r.pixels, r.lines, 300, 15.0), r.expected);
    }
    EXPECT_EQ(gui::draggedValue(3000, -100, 15.0), 4500);  // pointer left: see further right
    EXPECT_EQ(gui::draggedValue(3000, 40, 15.0), 2400);
    EXPECT_EQ(gui::draggedValue(0, 1, 11.25), -11);  // clamped by the bar, not here
}

class HandPanningTest : public GuiTest {
protected:
    QWidget* view() { return widget("Picture1"); }
    void wheel(QPoint angle, QPoint pixels = {}, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        const QPointF at(50, 50);
        QWheelEvent e(at, view()->mapToGlobal(at), pixels, angle, Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view(), &e);
        settle();
    }
    std::int32_t across() const { return form.c.HScroll1.value(); }
    std::int32_t upDown() const { return form.c.VScroll1.value(); }
};

TEST_F(HandPanningTest, TheWheelPansUpAndDownAndWithShiftAcross) {
    writePattern(host.startFolder() / "big.bmp", 1200, 900);
    start();
    clickRow("filList", 0);
    ASSERT_TRUE(form.c.VScroll1.visible());

    wheel({0, -120});  // one notch towards the person: further down
    const int lines = QApplication::wheelScrollLines();
    EXPECT_EQ(upDown(), lines * 300);
    EXPECT_EQ(form.c.Image1.place().top, -lines * 300.0f);  // through the change handler
    EXPECT_EQ(widget<QScrollBar>("VScroll1")->value(), lines * 300);
    EXPECT_EQ(across(), 0);

    wheel({0, -120}, {}, Qt::ShiftModifier);
    EXPECT_EQ(across(), lines * 300);
    wheel({-120, 0});  // a horizontal wheel
    EXPECT_EQ(across(), 2 * lines * 300);
    wheel({0, 0}, {0, 30});  // a touchpad, pixel for pixel, back up
    EXPECT_EQ(upDown(), lines * 300 - 450);

    // The ends hold: far past the bottom stops at Max, far above the top at 0.
    for (int i = 0; i < 50; ++i) wheel({0, -120});
    EXPECT_EQ(upDown(), form.c.VScroll1.max());
    for (int i = 0; i < 50; ++i) wheel({0, 120});
    EXPECT_EQ(upDown(), 0);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(HandPanningTest, DraggingMovesThePictureWithThePointer) {
    writePattern(host.startFolder() / "big.bmp", 1200, 900);
    start();
    clickRow("filList", 0);
    QTest::mousePress(view(), Qt::LeftButton, {}, {200, 150});
    QTest::mouseMove(view(), {150, 130});
    settle();
    EXPECT_EQ(across(), 50 * 15);
    EXPECT_EQ(upDown(), 20 * 15);
    EXPECT_EQ(form.c.Image1.place().left, -750.0f);
    QTest::mouseMove(view(), {190, 160});  // back and beyond: the top edge holds
    settle();
    EXPECT_EQ(across(), 10 * 15);
    EXPECT_EQ(upDown(), 0);
    QTest::mouseRelease(view(), Qt::LeftButton, {}, {190, 160});
    QTest::mouseMove(view(), {10, 10});
    settle();
    EXPECT_EQ(across(), 150);  // moving without the button pans nothing
}

TEST_F(HandPanningTest, APictureThatFitsIsNotPanned) {
    writePattern(host.startFolder() / "small.bmp", 100, 80);
    start();
    clickRow("filList", 0);
    ASSERT_FALSE(form.c.VScroll1.visible());
    wheel({0, -120});
    QTest::mousePress(view(), Qt::LeftButton, {}, {60, 60});
    QTest::mouseMove(view(), {10, 10});
    QTest::mouseRelease(view(), Qt::LeftButton, {}, {10, 10});
    settle();
    EXPECT_EQ(across(), 0);
    EXPECT_EQ(upDown(), 0);
    EXPECT_EQ(form.c.Image1.place().left, 0.0f);
    EXPECT_EQ(form.c.Image1.place().top, 0.0f);
}

}  // namespace
}  // namespace pictavo::test
