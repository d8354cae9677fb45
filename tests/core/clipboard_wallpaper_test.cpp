// SPDX-License-Identifier: MIT
// Copy and paste through the clipboard, and the wall-paper commands.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <cstdlib>
#include <filesystem>

#include "commands/commands.h"
#include "imaging/picture_reader.h"
#include "platform/system_parameters.h"
#include "support/encoded_pictures.h"
#include "support/form_fixture.h"
#include "support/hostile_corpus.h"
#include "wallpaper/wallpaper.h"

namespace fs = std::filesystem;

namespace pictavo::test {
namespace {

TEST(Clipboard, CopyPutsThePictureThereAndReportsIt) {
    for (const bool menu : {true, false}) {
        FormFixture t;
        t.start({"a.jpg", "b.jpg"});
        t.open(1);
        ASSERT_FALSE(t.c().pstBtn.enabled());
        t.click(menu ? static_cast<Command&>(t.c().Cpy) : t.c().cpyBtn);
        ASSERT_TRUE(t.host.clipboardPicture);
        EXPECT_EQ(*t.host.clipboardPicture, t.c().Image1.picture());
        EXPECT_EQ(t.c().StatusBar1.panel(1).text, (t.host.startFolder() / "b.jpg").native() + kCopiedSuffix);
        EXPECT_TRUE(t.c().pstBtn.enabled());
        EXPECT_FALSE(t.c().Cpy.enabled());
        EXPECT_FALSE(t.c().cpyBtn.enabled());
        EXPECT_TRUE(t.host.messages.empty());
    }
}

TEST(Clipboard, CopyTextAlwaysInsertsTheSeparator) {
    FormFixture t;
    t.start({"a.jpg"});
    const std::string folder = t.c().dirList.path();
    t.open(0);
    ASSERT_EQ(t.c().picPath, folder + "/a.jpg");
    t.click(t.c().cpyBtn);
    EXPECT_EQ(t.c().StatusBar1.panel(1).text, folder + "/a.jpg" + kCopiedSuffix);

    // With nothing selected the name is simply missing; at the root the separator doubles.
    t.form->dispatch([&] { t.c().dirList.userOpen(0); });  // the root row
    t.c().Cpy.setEnabled(true);
    t.click(t.c().Cpy);
    EXPECT_EQ(t.c().StatusBar1.panel(1).text, std::string("//") + kCopiedSuffix);
}

TEST(Clipboard, PasteShowsThePictureAtTheCornerAndEnablesSaving) {
    FormFixture t;
    t.start({"a.jpg"});
    t.open(0);
    t.c().svcomBtn.setEnabled(false);
    t.c().bmp.setEnabled(false);
    const std::string panel = t.c().StatusBar1.panel(1).text;
    // Exactly as tall as the viewport (2745 twips = 183 pixels), narrower than it.
    t.host.clipboardPicture = solidPicture(100, 183);
    t.c().pstBtn.setEnabled(true);
    t.click(t.c().pstBtn);
    ASSERT_NE(t.c().Image1.picture().image(), nullptr);
    EXPECT_EQ(*t.c().Image1.picture().image(), *t.host.clipboardPicture->image());
    EXPECT_TRUE(t.c().VScroll1.visible());
    EXPECT_EQ(t.c().VScroll1.max(), 0);
    EXPECT_FALSE(t.c().HScroll1.visible());
    EXPECT_EQ(t.c().Image1.place().left, 0);
    EXPECT_EQ(t.c().Image1.place().top, 0);
    EXPECT_TRUE(t.c().svcomBtn.enabled());
    EXPECT_TRUE(t.c().bmp.enabled());
    EXPECT_EQ(t.c().StatusBar1.panel(1).text, panel);
    EXPECT_EQ(t.host.pointers.back(), MousePointer::Default);
}

TEST(Clipboard, AHugePastedPictureScrollsOverItsWholeSize) {
    FormFixture t;
    t.start({});
    t.host.clipboardPicture = solidPicture(5000, 4000);
    t.c().pstBtn.setEnabled(true);
    t.click(t.c().pstBtn);
    EXPECT_TRUE(t.host.messages.empty());
    EXPECT_EQ(t.c().HScroll1.max(), 5000 * 15 - 3645);
    EXPECT_EQ(t.c().VScroll1.max(), 4000 * 15 - 2745);
    t.form->dispatch([&] { t.c().HScroll1.userScrollTo(1'000'000); });
    t.form->dispatch([&] { t.c().VScroll1.userScrollTo(1'000'000); });
    EXPECT_EQ(t.c().Image1.place().left, -(5000.0f * 15 - 3645));
    EXPECT_EQ(t.c().Image1.place().top, -(4000.0f * 15 - 2745));
}

TEST(Clipboard, PasteWithTextOnTheClipboardKeepsThePicture) {
    FormFixture t;
    t.start({"a.jpg"});
    t.open(0);
    const Picture shown = t.c().Image1.picture();
    t.c().pstBtn.setEnabled(true);  // enabled while a picture was there
    t.host.clipboardHasText = true;
    t.click(t.c().pstBtn);
    EXPECT_EQ(t.c().Image1.picture(), shown);
    EXPECT_FALSE(t.c().pstBtn.enabled());
    EXPECT_TRUE(t.host.messages.empty());
}

// What another program offers goes through the reader and checks that a file goes through.
TEST(Clipboard, APastedPictureIsReadAsAFileIsAndARefusalIsSaid) {
    const auto bytesOf = [](const QImage& image, const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return bytes;
    };
    QImage small(40, 30, QImage::Format_RGB32);
    small.fill(0x3366cc);
    const QByteArray png = bytesOf(small, "PNG");
    QImage square(100, 100, QImage::Format_RGB32);
    square.fill(0xffffff);
    const QByteArray bmp = bytesOf(square, "BMP");
    // A PNG whose header claims 30000 x 30000 pixels: beyond the bound, refused before decoding.
    const QByteArray huge = pngClaiming(png, 30000, 30000);
    ASSERT_EQ(pictureSize(huge), QSize(30000, 30000));
    struct Case {
        const char* what;
        const char* format;
        QByteArray bytes;
        bool pasted;
    };
    const Case cases[] = {
        {"a whole PNG", "image/png", png, true},
        {"a whole bitmap", "image/bmp", bmp, true},
        {"a bitmap with a tenth of its pixels", "image/bmp", bmp.left(54 + bmp.size() / 10), false},
        {"a PNG cut short", "image/png", png.left(png.size() / 2), false},
        {"a PNG claiming 30000 x 30000 pixels", "image/png", huge, false},
        {"a JPEG claiming 16383 x 16383 pixels", "image/jpeg", QByteArray::fromStdString(jpegClaiming(16383, 16383)),
         false},
        {"random bytes", "image/png", QByteArray(4096, '\x5a'), false},
        {"no bytes at all", "image/png", QByteArray(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FormFixture t;
        t.start({"a.jpg"});
        t.open(0);
        t.c().svcomBtn.setEnabled(false);
        const Picture shown = t.c().Image1.picture();
        t.host.messages.clear();
        t.host.otherProgramOffers(c.format, c.bytes);
        t.c().pstBtn.setEnabled(true);
        t.click(t.c().pstBtn);
        if (c.pasted) {
            EXPECT_TRUE(t.host.messages.empty());
            EXPECT_EQ(t.c().Image1.picture().image()->size(), c.format[6] == 'p' ? QSize(40, 30) : QSize(100, 100));
            EXPECT_TRUE(t.c().svcomBtn.enabled());
        } else {
            ASSERT_EQ(t.host.messages.size(), 1u);
            EXPECT_EQ(t.host.messages[0].prompt, kPasteFailedMessage);
            EXPECT_EQ(t.host.messages[0].flags, MsgFlags::OkOnly);
            EXPECT_FALSE(t.host.messages[0].title);
            EXPECT_EQ(t.c().Image1.picture(), shown);
            EXPECT_FALSE(t.c().svcomBtn.enabled());
        }
    }
}

TEST(Wallpaper, ButtonsMakeTheOneCallAndReportOnlyAFailure) {
    FormFixture t;
    t.start({"wall.bmp"});
    t.open(0);
    ASSERT_TRUE(t.c().SetBtn.enabled());
    t.click(t.c().SetBtn);
    t.click(t.c().UnsetBtn);
    ASSERT_EQ(t.host.wallpaperCalls.size(), 2u);
    EXPECT_EQ(t.host.wallpaperCalls[0].action, 20u);
    EXPECT_EQ(t.host.wallpaperCalls[0].param, 0u);
    EXPECT_EQ(t.host.wallpaperCalls[0].text, (t.host.startFolder() / "wall.bmp").native());
    EXPECT_EQ(t.host.wallpaperCalls[0].flags, 1u);
    EXPECT_EQ(t.host.wallpaperCalls[1].text, "");
    EXPECT_TRUE(t.host.messages.empty());

    t.host.wallpaperResult = 0;
    t.click(t.c().UnsetBtn);
    ASSERT_EQ(t.host.messages.size(), 1u);
    EXPECT_EQ(t.host.messages[0].prompt, kWallpaperFailedMessage);
    EXPECT_EQ(t.host.messages[0].flags, MsgFlags::OkOnly);
    EXPECT_FALSE(t.host.messages[0].title);
}

TEST(Wallpaper, SetIsOfferedForBitmapNamesOnly) {
    FormFixture t;
    t.start({"a.jpg", "b.gif", "c.Bmp", "d.BMP"});
    for (int row = 0; row < 4; ++row) {
        t.open(row);
        EXPECT_EQ(t.c().SetBtn.enabled(), row == 3) << t.c().filList.fileName();
    }
    EXPECT_TRUE(t.c().UnsetBtn.enabled());
}

TEST(Wallpaper, DesktopNamesAndUris) {
    using os::Desktop;
    EXPECT_EQ(os::detectDesktop("ubuntu:GNOME"), Desktop::Gnome);
    EXPECT_EQ(os::detectDesktop("Budgie:GNOME"), Desktop::Gnome);
    EXPECT_EQ(os::detectDesktop("XFCE"), Desktop::Xfce);
    EXPECT_EQ(os::detectDesktop("KDE"), Desktop::Kde);
    EXPECT_EQ(os::detectDesktop("X-Cinnamon"), Desktop::Cinnamon);
    EXPECT_EQ(os::detectDesktop("MATE"), Desktop::Mate);
    EXPECT_EQ(os::detectDesktop("LXQt"), Desktop::Lxqt);
    EXPECT_EQ(os::detectDesktop(""), Desktop::Unknown);
    EXPECT_EQ(os::detectDesktop("i3"), Desktop::Unknown);
    EXPECT_EQ(os::fileUri("/home/me/my 'wall\".bmp"), "file:///home/me/my%20%27wall%22.bmp");
    EXPECT_EQ(os::fileUri("/tmp/caf\xC3\xA9.bmp"), "file:///tmp/caf%C3%A9.bmp");
}

// The real setting, in a GSettings key file inside a temporary home, with the schemas of
// Debian's desktop packages.
struct DesktopCase {
    const char* currentDesktop;
    const char* schema;
    const char* pictureKey;
    bool uri;         // the key holds a file URI (else a plain path)
    bool darkKey;     // picture-uri-dark is set too
    bool optionNone;  // clearing sets picture-options to 'none'
};

class DesktopEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "GSETTINGS_BACKEND", "XDG_CURRENT_DESKTOP", "PATH"}) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
        }
        setenv("HOME", home_.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home_.path() / ".config").c_str(), 1);
        setenv("GSETTINGS_BACKEND", "keyfile", 1);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    TempDir home_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

class GSettingsWallpaper : public DesktopEnvironment, public ::testing::WithParamInterface<DesktopCase> {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("gsettings").isEmpty()) GTEST_SKIP() << "gsettings is not installed";
        DesktopEnvironment::SetUp();
        setenv("XDG_CURRENT_DESKTOP", GetParam().currentDesktop, 1);
        if (get(GetParam().pictureKey).empty()) GTEST_SKIP() << GetParam().schema << " is not installed";
    }
    static std::string get(const char* key) {
        QProcess p;
        p.start("gsettings", {"get", GetParam().schema, key});
        p.waitForFinished(10000);
        return p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput()).trimmed().toStdString() : "";
    }
};

TEST_P(GSettingsWallpaper, SetWritesThePictureAndClearEmptiesIt) {
    const DesktopCase& d = GetParam();
    const std::string path = (home_.path() / "-my 'odd\" wall.bmp").native();
    writePicture(path, 8, 8);
    ASSERT_NE(os::SystemParametersInfoA(20, 0, path, 1), 0);
    const std::string value = std::string("'").append(d.uri ? os::fileUri(path) : path).append("'");
    // gsettings prints a string that holds a ' between double quotes.
    const std::string printed =
        d.uri ? value : std::string("\"").append(home_.path().native()).append("/-my 'odd\\\" wall.bmp\"");
    EXPECT_EQ(get(d.pictureKey), printed);
    if (d.darkKey) {
        EXPECT_EQ(get("picture-uri-dark"), value);
    }
    EXPECT_NE(get("picture-options"), "'none'");
    // The value is kept in the user's profile, not just in this process.
    EXPECT_TRUE(fs::exists(home_.path() / ".config" / "glib-2.0" / "settings" / "keyfile"));

    ASSERT_NE(os::SystemParametersInfoA(20, 0, "", 1), 0);
    EXPECT_EQ(get(d.pictureKey), "''");
    if (d.darkKey) {
        EXPECT_EQ(get("picture-uri-dark"), "''");
    }
    if (d.optionNone) {
        EXPECT_EQ(get("picture-options"), "'none'");
    }

    // Setting again after a clear shows the picture again.
    ASSERT_NE(os::SystemParametersInfoA(20, 0, path, 1), 0);
    EXPECT_NE(get("picture-options"), "'none'");
    EXPECT_NE(get(d.pictureKey), "''");
}

TEST_P(GSettingsWallpaper, ANameThatIsNotUtf8IsSetByItsBytesOrRefused) {
    const DesktopCase& d = GetParam();
    writePicture(home_.path() / "plain.bmp", 8, 8);  // written under a plain name: the writer takes Unicode
    const std::string path = (home_.path() / "caf\xe9.bmp").native();
    writeBytes(path, readBytes(home_.path() / "plain.bmp"));
    ASSERT_NE(os::SystemParametersInfoA(20, 0, "", 1), 0);
    if (d.uri) {
        ASSERT_NE(os::SystemParametersInfoA(20, 0, path, 1), 0);
        EXPECT_EQ(get(d.pictureKey), std::string("'").append(os::fileUri(path)).append("'"));
    } else {
        // A plain file name in a text setting cannot hold these bytes: refused, unchanged.
        EXPECT_EQ(os::SystemParametersInfoA(20, 0, path, 1), 0);
        EXPECT_EQ(get(d.pictureKey), "''");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, GSettingsWallpaper,
    ::testing::Values(DesktopCase{"ubuntu:GNOME", "org.gnome.desktop.background", "picture-uri", true, true, true},
                      DesktopCase{"X-Cinnamon", "org.cinnamon.desktop.background", "picture-uri", true, false, true},
                      DesktopCase{"MATE", "org.mate.background", "picture-filename", false, false, false}),
    [](const ::testing::TestParamInfo<DesktopCase>& info) {
        return std::string(info.param.schema).substr(4, std::string(info.param.schema).find('.', 4) - 4);
    });

TEST_F(DesktopEnvironment, NoSupportedDesktopFails) {
    setenv("XDG_CURRENT_DESKTOP", "i3", 1);
    EXPECT_EQ(os::SystemParametersInfoA(20, 0, "", 1), 0);
    unsetenv("XDG_CURRENT_DESKTOP");
    EXPECT_EQ(os::SystemParametersInfoA(20, 0, "", 1), 0);
}

// LXQt's desktop, pcmanfm-qt, stood in for by a script that does what it does with these
// options: the running desktop keeps the wall paper in its settings file.
TEST_F(DesktopEnvironment, LxqtSetsThroughItsDesktopAndReadsTheSettingBack) {
    const fs::path bin = home_.path() / "bin";
    fs::create_directories(bin);
    writeBytes(bin / "pcmanfm-qt", R"sh(#!/bin/sh
conf="$XDG_CONFIG_HOME/pcmanfm-qt/lxqt/settings.conf"
mkdir -p "$(dirname "$conf")"
wall="$(sed -n 's/^Wallpaper=//p' "$conf" 2>/dev/null)"; mode=zoom
for a in "$@"; do
  case "$a" in
    --set-wallpaper=*) wall="${a#--set-wallpaper=}" ;;
    --wallpaper-mode=*) mode="${a#--wallpaper-mode=}" ;;
    *) exit 1 ;;
  esac
done
printf '[Desktop]
Wallpaper=%s
WallpaperMode=%s
' "$wall" "$mode" >"$conf"
)sh");
    fs::permissions(bin / "pcmanfm-qt", fs::perms::owner_all);
    setenv("PATH", (bin.native() + ":/usr/bin:/bin").c_str(), 1);
    setenv("XDG_CURRENT_DESKTOP", "LXQt", 1);
    const fs::path conf = home_.path() / ".config" / "pcmanfm-qt" / "lxqt" / "settings.conf";

    const std::string path = (home_.path() / "my wall.bmp").native();
    writePicture(path, 8, 8);
    ASSERT_NE(os::SystemParametersInfoA(20, 0, path, 1), 0);
    EXPECT_NE(readBytes(conf).find("Wallpaper=" + path + "\n"), std::string::npos) << readBytes(conf);
    ASSERT_NE(os::SystemParametersInfoA(20, 0, "", 1), 0);
    EXPECT_NE(readBytes(conf).find("WallpaperMode=color"), std::string::npos);

    // A desktop that refuses, or one whose setting does not hold, fails.
    writeBytes(bin / "pcmanfm-qt", "#!/bin/sh\nexit 0\n");
    writePicture(home_.path() / "other.bmp", 8, 8);
    EXPECT_EQ(os::SystemParametersInfoA(20, 0, (home_.path() / "other.bmp").native(), 1), 0);
}

}  // namespace
}  // namespace pictavo::test
