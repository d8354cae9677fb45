// SPDX-License-Identifier: MIT
#pragma once
// The program's texts in one language while this lives, installed as at start-up. Looking
// a text up needs an application object: one is made for the core tests, which otherwise
// run without, and the C library's locale that it sets is put back afterwards.

#include <QCoreApplication>
#include <clocale>
#include <memory>
#include <optional>
#include <string>

#include "base/translation.h"

namespace pictavo::test {

class InLanguage {
public:
    explicit InLanguage(Language language) : locale_(std::setlocale(LC_ALL, nullptr)) {
        if (!QCoreApplication::instance()) app_ = std::make_unique<QCoreApplication>(argc_, argv_);
        translation_.emplace(language);
    }
    ~InLanguage() {
        translation_.reset();
        app_.reset();
        std::setlocale(LC_ALL, locale_.c_str());
    }
    InLanguage(const InLanguage&) = delete;
    InLanguage& operator=(const InLanguage&) = delete;
    [[nodiscard]] bool loaded() const { return translation_->loaded(); }

private:
    static inline char name_[] = "tests";
    static inline char* argv_[] = {name_, nullptr};
    static inline int argc_ = 1;
    std::string locale_;
    std::unique_ptr<QCoreApplication> app_;
    std::optional<Translation> translation_;
};

}  // namespace pictavo::test
