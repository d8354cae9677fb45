// SPDX-License-Identifier: MIT
// The slide show, driven by ticking the timer by hand.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/form_fixture.h"

namespace pictavo::test {
namespace {

std::vector<std::string> numbered(int count, const std::string& ext = ".jpg") {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) names.push_back(std::string("p").append(std::to_string(i)).append(ext));
    return names;
}

struct ShowState {
    bool timer, play, stop, slider;
};

ShowState state(FormControls& c) {
    return {c.Timer1.enabled(), c.autoRn.enabled(), c.stpBtn.enabled(), c.Slider1.enabled()};
}

void expectIdleCannotPlay(FormControls& c) {
    const auto s = state(c);
    EXPECT_FALSE(s.timer);
    EXPECT_FALSE(s.play);
    EXPECT_FALSE(s.stop);
    EXPECT_FALSE(s.slider);
}

TEST(SlideShow, StartedOnTheNextToLastFileEndsAtItsFirstTick) {
    FormFixture t;
    t.start(numbered(12));
    t.open(10);  // p11, the next to last
    ASSERT_TRUE(t.c().autoRn.enabled());
    t.click(t.c().autoRn);
    EXPECT_TRUE(t.c().Timer1.enabled());
    EXPECT_TRUE(t.c().stpBtn.enabled());
    EXPECT_FALSE(t.c().autoRn.enabled());
    // Until the first step the file commands keep their states.
    EXPECT_TRUE(t.c().delBtn.enabled());

    t.tick();
    EXPECT_EQ(t.c().lstCnt.text(), "12/12");
    expectIdleCannotPlay(t.c());
    // After the end the commands are those of the last file opened with no show running.
    EXPECT_TRUE(t.c().delBtn.enabled());
    EXPECT_TRUE(t.c().Del.enabled());
    EXPECT_TRUE(t.c().renm.enabled());
    EXPECT_TRUE(t.c().svcomBtn.enabled());
    EXPECT_TRUE(t.c().bmp.enabled());
    EXPECT_FALSE(t.c().SetBtn.enabled());
    EXPECT_TRUE(t.host.messages.empty());
    EXPECT_EQ(t.c().filList.fileName(), "p12.jpg");
}

TEST(SlideShow, StepsUntilPositionEqualsCountAsText) {
    FormFixture t;
    t.start(numbered(10));
    t.open(7);  // 8/10
    t.click(t.c().autoRn);
    t.tick();
    EXPECT_EQ(t.c().lstCnt.text(), "9/10");
    EXPECT_TRUE(t.c().Timer1.enabled());
    // While the show runs the file commands are locked and the slider stays usable.
    EXPECT_FALSE(t.c().delBtn.enabled());
    EXPECT_FALSE(t.c().renm.enabled());
    EXPECT_FALSE(t.c().svcomBtn.enabled());
    EXPECT_TRUE(t.c().Slider1.enabled());
    EXPECT_TRUE(t.c().cpyBtn.enabled());
    t.tick();
    EXPECT_EQ(t.c().lstCnt.text(), "10/10");
    EXPECT_FALSE(t.c().Timer1.enabled());
    // The show does not wrap round.
    t.tick();
    EXPECT_EQ(t.c().lstCnt.text(), "10/10");
    EXPECT_EQ(t.c().filList.listIndex(), 9);
}

TEST(SlideShow, SliderSetsTheIntervalDuringAndBetweenShows) {
    FormFixture t;
    t.start(numbered(5));
    t.open(0);
    EXPECT_EQ(t.c().Timer1.interval(), 1000);
    t.form->dispatch([&] { t.c().Slider1.userScroll(2); });
    EXPECT_EQ(t.c().Timer1.interval(), 2000);  // idle: the next show's pace
    t.click(t.c().autoRn);
    t.form->dispatch([&] { t.c().Slider1.userScroll(3); });
    EXPECT_EQ(t.c().Timer1.interval(), 3000);
    EXPECT_TRUE(t.c().Timer1.enabled());
    t.form->dispatch([&] { t.c().Slider1.userScroll(1); });
    EXPECT_EQ(t.c().Timer1.interval(), 1000);
}

TEST(SlideShow, StopRestoresTheCommandsByTheBitmapTest) {
    struct Case {
        const char* name;
        bool bitmap;
    };
    for (const Case& k : {Case{"a.jpg", false}, Case{"a.BMP", true}, Case{"a.bmp", true}, Case{"a.Bmp", false}}) {
        SCOPED_TRACE(k.name);
        FormFixture t;
        t.start({k.name, "z.jpg"});
        t.open(0);
        t.click(t.c().autoRn);
        t.click(t.c().stpBtn);
        EXPECT_FALSE(t.c().Timer1.enabled());
        EXPECT_FALSE(t.c().stpBtn.enabled());
        EXPECT_TRUE(t.c().autoRn.enabled());  // 1/2: there are files after it
        EXPECT_TRUE(t.c().Slider1.enabled());
        EXPECT_TRUE(t.c().delBtn.enabled());
        EXPECT_TRUE(t.c().Del.enabled());
        EXPECT_TRUE(t.c().renm.enabled());
        EXPECT_EQ(t.c().svcomBtn.enabled(), !k.bitmap);
        EXPECT_EQ(t.c().bmp.enabled(), !k.bitmap);
        EXPECT_EQ(t.c().SetBtn.enabled(), k.bitmap);
    }
}

TEST(SlideShow, StopOnTheLastFileLeavesPlayDisabled) {
    FormFixture t;
    t.start(numbered(3));
    t.open(1);
    t.click(t.c().autoRn);
    t.open(2);  // the user picks the last file during the show
    t.click(t.c().stpBtn);
    EXPECT_FALSE(t.c().autoRn.enabled());
    EXPECT_FALSE(t.c().Slider1.enabled());
    EXPECT_FALSE(t.c().Timer1.enabled());
}

TEST(SlideShow, AClickDuringTheShowContinuesFromThere) {
    FormFixture t;
    t.start(numbered(8));
    t.open(0);
    t.click(t.c().autoRn);
    t.tick();
    EXPECT_EQ(t.c().lstCnt.text(), "2/8");
    t.open(4);
    EXPECT_TRUE(t.c().Timer1.enabled());
    EXPECT_FALSE(t.c().delBtn.enabled());  // opened during a show
    t.tick();
    EXPECT_EQ(t.c().lstCnt.text(), "6/8");
}

TEST(SlideShow, ATickAfterTheLastFileWasClickedEndsTheShowQuietly) {
    FormFixture t;
    t.start(numbered(4));
    t.open(0);
    t.click(t.c().autoRn);
    t.tick();
    t.open(3);
    EXPECT_TRUE(t.c().Timer1.enabled());
    t.tick();
    expectIdleCannotPlay(t.c());
    EXPECT_EQ(t.c().lstCnt.text(), "4/4");
    EXPECT_EQ(t.c().filList.listIndex(), 3);
    EXPECT_TRUE(t.host.messages.empty());
    EXPECT_TRUE(t.c().delBtn.enabled());
}

TEST(SlideShow, AChangeOfFolderStopsItAtOnce) {
    FormFixture t;
    std::filesystem::create_directory(t.host.startFolder() / "sub");
    t.start(numbered(4));
    t.open(0);
    t.click(t.c().autoRn);
    t.tick();
    const int sub = static_cast<int>(t.c().dirList.rows().size()) - 1;
    t.form->dispatch([&] { t.c().dirList.userOpen(sub); });
    EXPECT_FALSE(t.c().Timer1.enabled());
    EXPECT_FALSE(t.c().stpBtn.enabled());
    EXPECT_FALSE(t.c().autoRn.enabled());
    EXPECT_EQ(t.c().lstCnt.text(), "0/0");
}

TEST(SlideShow, APictureThatFailsToLoadStopsTheShow) {
    FormFixture t;
    t.start(numbered(3));
    writeBytes(t.host.startFolder() / "p2.jpg", "not a picture");
    t.open(0);
    t.click(t.c().autoRn);
    t.tick();
    ASSERT_EQ(t.prompts(), std::vector<std::string>{"ファイルを正常にロードできませんでした"});
    EXPECT_FALSE(t.c().Timer1.enabled());
    EXPECT_FALSE(t.c().stpBtn.enabled());
    EXPECT_FALSE(t.c().autoRn.enabled());
    EXPECT_EQ(t.c().lstCnt.text(), "1/3");  // the picture and counters of p1 stay
    EXPECT_EQ(t.c().picPath.substr(t.c().picPath.size() - 6), "p2.jpg");
}

}  // namespace
}  // namespace pictavo::test
