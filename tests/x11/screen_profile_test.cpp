// SPDX-License-Identifier: MIT
// The screen's profile as a colour manager sets it on a real X server (run under xvfb-run):
// read at start, followed through every change, and sRGB (empty) where it is gone, of the
// wrong form or too large.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <cstdlib>
#include <functional>
#include <string>

#include "imaging/colour_profile.h"
#include "qthost/screen_profile.h"

namespace pictavo {
namespace {

// Another client on the same display, as a colour manager is.
class ColourManager {
public:
    ColourManager() : c_(xcb_connect(nullptr, nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, 12, "_ICC_PROFILE"), nullptr);
        atom_ = reply->atom;
        std::free(reply);
    }
    ~ColourManager() { xcb_disconnect(c_); }
    void set(const QByteArray& icc, std::uint8_t format = 8, xcb_atom_t atom = 0) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, root_, atom ? atom : atom_, XCB_ATOM_CARDINAL, format,
                            static_cast<std::uint32_t>(icc.size() / (format / 8)), icc.constData());
        sync();
    }
    void remove() {
        xcb_delete_property(c_, root_, atom_);
        sync();
    }
    void setOther(const QByteArray& bytes) { set(bytes, 8, XCB_ATOM_WM_NAME); }

private:
    // Returns once the server has carried out every request sent so far: what the program
    // reads on its own connection afterwards is what this client left, not what it had.
    void sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

    xcb_connection_t* c_;
    xcb_window_t root_;
    xcb_atom_t atom_;
};

QByteArray adobe() {
    QFile f(QStringLiteral("/usr/share/color/icc/colord/AdobeRGB1998.icc"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

class ScreenProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")) << "needs an X server (xvfb-run)";
        manager.remove();
    }
    ColourManager manager;
};

TEST_F(ScreenProfileTest, AProfileSetBeforeStartIsRead) {
    manager.set(adobe());
    QCoreApplication::processEvents();
    const ScreenProfile screen;
    EXPECT_EQ(screen.profile(), adobe());
}

struct Change {
    const char* what;
    std::function<void(ColourManager&)> act;
    QByteArray expected;  // the profile then; empty: sRGB
};

TEST_F(ScreenProfileTest, EveryChangeIsFollowed) {
    ScreenProfile screen;
    EXPECT_TRUE(screen.profile().isEmpty()) << "no colour manager: sRGB";
    QSignalSpy changed(&screen, &ScreenProfile::changed);
    const QByteArray other = adobe().replace(100, 4, "abcd");
    const Change changes[] = {
        {"a profile set", [](ColourManager& m) { m.set(adobe()); }, adobe()},
        {"another profile", [&](ColourManager& m) { m.set(other); }, other},
        {"taken away", [](ColourManager& m) { m.remove(); }, {}},
        {"set again", [](ColourManager& m) { m.set(adobe()); }, adobe()},
        {"32-bit items, not the convention's 8", [](ColourManager& m) { m.set(adobe(), 32); }, {}},
        {"back to 8-bit", [](ColourManager& m) { m.set(adobe()); }, adobe()},
        {"larger than any profile", [](ColourManager& m) { m.set(QByteArray(kMaxProfileBytes + 4, 'x')); }, {}},
    };
    for (const Change& change : changes) {
        changed.clear();
        change.act(manager);
        ASSERT_TRUE(changed.wait(5000)) << change.what;
        EXPECT_EQ(changed.takeFirst().at(0).toByteArray(), change.expected) << change.what;
        EXPECT_EQ(screen.profile(), change.expected) << change.what;
    }
    // Another property of the root window, or the same profile again, is no change.
    manager.setOther("title");
    manager.set(adobe());
    manager.set(adobe());
    ASSERT_TRUE(changed.wait(5000));
    changed.clear();
    manager.setOther("title again");
    EXPECT_FALSE(changed.wait(300));
}

}  // namespace
}  // namespace pictavo

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
