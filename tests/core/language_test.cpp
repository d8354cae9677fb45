// SPDX-License-Identifier: MIT
// The person's language: which one the locale picks, and the texts the handlers then show.

#include <gtest/gtest.h>

#include <QStringList>
#include <filesystem>
#include <functional>
#include <string>

#include "support/form_fixture.h"
#include "support/in_language.h"

namespace fs = std::filesystem;

namespace pictavo::test {
namespace {

TEST(Language, JapaneseWhereItComesFirstOrNoLanguageIsNamed) {
    struct Case {
        QStringList uiLanguages;
        const char* localeName;
        Language expected;
    };
    // The first rows are what Qt reads from LANG, LC_ALL and LANGUAGE on Linux.
    const Case cases[] = {
        {{"en-US", "en-Latn-US", "en"}, "en_US", Language::English},                  // LANG=en_US.UTF-8
        {{"ja-JP", "ja-Jpan-JP", "ja"}, "ja_JP", Language::Japanese},                 // LANG=ja_JP.UTF-8
        {{"C"}, "C", Language::Japanese},                                             // LANG=C, C.UTF-8, POSIX
        {{"de", "de-Latn-DE", "de-DE"}, "C", Language::Japanese},                     // LANG=C LANGUAGE=de
        {{"ja", "ja-Jpan-JP", "ja-JP", "en", "en-US"}, "ja_JP", Language::Japanese},  // LANGUAGE=ja:en
        {{"de-DE", "de-Latn-DE", "de"}, "de_DE", Language::English},
        {{"en-US", "ja"}, "en_US", Language::English},
        {{"ja-JP", "en-US"}, "ja_JP", Language::Japanese},
        {{"ja_JP"}, "ja_JP", Language::Japanese},
        {{"JA"}, "ja", Language::Japanese},
        {{"jv-ID"}, "jv_ID", Language::English},  // Javanese, not Japanese
        {{}, "en_US", Language::Japanese},
        {{"fr-FR"}, "POSIX", Language::Japanese},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseLanguage(c.uiLanguages, QString::fromLatin1(c.localeName)), c.expected)
            << c.uiLanguages.join(',').toStdString() << " / " << c.localeName;
}

// One text a person meets, from the start of the program through a handler.
struct Met {
    const char* what;
    std::function<std::string(FormFixture&)> meet;
    const char* japanese;
    const char* english;
};

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }
// The status text with the folder's path left out.
std::string afterFolder(FormFixture& t) {
    const std::string text = t.c().StatusBar1.panel(1).text;
    const std::string folder = t.host.startFolder().native() + "/";
    return text.rfind(folder, 0) == 0 ? text.substr(folder.size()) : text;
}
std::string inFolder(FormFixture& t, const std::string& name) { return (t.host.startFolder() / name).native(); }

const Met kMet[] = {
    {"broken picture",
     [](FormFixture& t) {
         writeBytes(t.host.startFolder() / "b.bmp", "not a picture");
         t.open(1);
         return t.prompts().at(0);
     },
     "ファイルを正常にロードできませんでした", "The file could not be loaded."},
    {"notice before saving",
     [](FormFixture& t) {
         t.click(t.c().svcomBtn);
         return t.prompts().at(0);
     },
     "現在のディスプレイの解像度で\nﾋﾞｯﾄﾏｯﾌﾟが作成されます",
     "A bitmap will be made at the display's current resolution."},
    {"save dialog's title",
     [](FormFixture& t) {
         t.click(t.c().svcomBtn);
         return t.host.dialogs.at(0).dialogTitle;
     },
     "Bitmapの保存", "Save bitmap"},
    {"overwrite question",
     [](FormFixture& t) {
         t.host.saveAnswers.push_back(inFolder(t, "b.bmp"));
         t.host.msgBoxAnswers = {MsgResult::Ok, MsgResult::Cancel};
         t.click(t.c().svcomBtn);
         return t.prompts().at(1);
     },
     "同じファイル名が存在します。\n上書き保存しますか？", "A file of the same name exists.\nSave over it?"},
    {"overwrite question's title",
     [](FormFixture& t) {
         t.host.saveAnswers.push_back(inFolder(t, "b.bmp"));
         t.host.msgBoxAnswers = {MsgResult::Ok, MsgResult::Cancel};
         t.click(t.c().svcomBtn);
         return t.host.messages.at(1).title.value_or("");
     },
     "ファイルの保存", "Save file"},
    {"saved",
     [](FormFixture& t) {
         t.host.saveAnswers.push_back(inFolder(t, "new.bmp"));
         t.click(t.c().svcomBtn);
         return t.prompts().at(1);
     },
     "ファイルは保存されました", "The file was saved."},
    {"save failed",
     [](FormFixture& t) {
         t.host.saveAnswers.push_back(inFolder(t, "no such folder/new.bmp"));
         t.click(t.c().svcomBtn);
         return firstLine(t.prompts().at(1));
     },
     "ファイルを保存できませんでした。", "The file could not be saved."},
    {"delete question",
     [](FormFixture& t) {
         t.host.msgBoxAnswers = {MsgResult::Cancel};
         t.click(t.c().delBtn);
         return t.prompts().at(0);
     },
     "このｲﾒｰｼﾞを削除しますか？", "Delete this picture?"},
    {"delete question's title",
     [](FormFixture& t) {
         t.host.msgBoxAnswers = {MsgResult::Cancel};
         t.click(t.c().Del);
         return t.host.messages.at(0).title.value_or("");
     },
     "ﾌｧｲﾙ削除", "Delete file"},
    {"deleted",
     [](FormFixture& t) {
         t.click(t.c().delBtn);
         return t.c().StatusBar1.panel(1).text;
     },
     "このイメージは削除されました", "This picture was deleted."},
    {"already gone",
     [](FormFixture& t) {
         fs::remove(t.host.startFolder() / "a.jpg");
         t.click(t.c().delBtn);
         return t.prompts().at(1);
     },
     "このファイルは既に存在しません", "This file no longer exists."},
    {"copied",
     [](FormFixture& t) {
         t.click(t.c().cpyBtn);
         return afterFolder(t);
     },
     "a.jpgはコピーされました", "a.jpg was copied."},
    {"wall paper failed",
     [](FormFixture& t) {
         t.host.wallpaperResult = 0;
         t.click(t.c().UnsetBtn);
         return t.prompts().at(0);
     },
     "壁紙の設定に失敗しました。", "Setting the wall paper failed."},
    {"close question",
     [](FormFixture& t) {
         t.host.msgBoxAnswers = {MsgResult::Cancel};
         t.click(t.c().Cls);
         return t.prompts().at(0);
     },
     "プログラムを終了します。", "The program will end."},
};

// Each text under the three locales a person is most likely to run in; the Japanese
// texts are the program's own, byte for byte.
TEST(Language, HandlersSpeakThePersonsLanguage) {
    struct Locale {
        const char* lang;
        QStringList uiLanguages;
        const char* name;
        bool english;
    };
    const Locale locales[] = {{"en_US.UTF-8", {"en-US", "en-Latn-US", "en"}, "en_US", true},
                              {"ja_JP.UTF-8", {"ja-JP", "ja-Jpan-JP", "ja"}, "ja_JP", false},
                              {"C", {"C"}, "C", false}};
    for (const Locale& locale : locales) {
        const InLanguage language(chooseLanguage(locale.uiLanguages, QString::fromLatin1(locale.name)));
        ASSERT_TRUE(language.loaded());
        for (const Met& met : kMet) {
            FormFixture t;
            t.start({"a.jpg", "b.bmp"});
            t.open(0);
            t.host.messages.clear();
            EXPECT_EQ(met.meet(t), locale.english ? met.english : met.japanese)
                << met.what << " under LANG=" << locale.lang;
        }
    }
}

// The tool tips name the commands in English, in either language.
TEST(Language, ToolTipsAreTheCommandsEnglishNames) {
    for (const Language language : {Language::Japanese, Language::English}) {
        const InLanguage installed(language);
        FormFixture t;
        t.start({});
        EXPECT_EQ(t.c().svcomBtn.toolTip(), "change to bitmap");
        EXPECT_EQ(t.c().Slider1.toolTip(), "Speed(1-3sec)");
        EXPECT_EQ(t.c().Cpy.caption(), "Copy to Clipboad");
    }
}

}  // namespace
}  // namespace pictavo::test
