// SPDX-License-Identifier: MIT
#pragma once
// The language of the texts the program shows. The texts are written in Japanese (the
// program's own language) where they are messages and titles, and in English where they
// name a command or a control; each is marked where it is written with
// QT_TRANSLATE_NOOP("pictavo", ...) so that lupdate finds it, and looked up when shown.
// The English translation is embedded in the program.

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>
#include <string>

class QTranslator;

namespace pictavo {

enum class Language { Japanese, English };

// Japanese where the person's languages put Japanese first, and under the C/POSIX
// locale (which names no language); English where any other language comes first.
[[nodiscard]] Language chooseLanguage(const QStringList& uiLanguages, const QString& localeName);
// The same choice for this process's locale (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
[[nodiscard]] Language systemLanguage();

// The program's translation into a language, with Qt's own (the buttons of its boxes
// and dialogs) where the system has it; installed while this lives. Needs the
// application object.
class Translation {
public:
    explicit Translation(Language language);
    ~Translation();
    Translation(const Translation&) = delete;
    Translation& operator=(const Translation&) = delete;
    // False when the program's own translation could not be loaded.
    [[nodiscard]] bool loaded() const { return loaded_; }

private:
    std::unique_ptr<QTranslator> program_;
    std::unique_ptr<QTranslator> qt_;
    bool loaded_ = true;
};

// A marked text in the language installed now (the text itself when none is).
[[nodiscard]] std::string translated(const char* source);
[[nodiscard]] QString translatedQ(const char* source);

}  // namespace pictavo
