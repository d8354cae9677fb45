// SPDX-License-Identifier: MIT
#include "base/translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace pictavo {

namespace {
constexpr const char* kContext = "pictavo";
}

Language chooseLanguage(const QStringList& uiLanguages, const QString& localeName) {
    // The C locale still lists LANGUAGE's choices, which the C library ignores there.
    if (localeName == QLatin1String("C") || localeName == QLatin1String("POSIX") ||
        localeName.startsWith(QLatin1String("C.")) || uiLanguages.isEmpty())
        return Language::Japanese;
    const QString& first = uiLanguages.front();
    if (first == QLatin1String("C") || first == QLatin1String("POSIX")) return Language::Japanese;
    const QString code = first.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0);
    return code.compare(QLatin1String("ja"), Qt::CaseInsensitive) == 0 ? Language::Japanese : Language::English;
}

Language systemLanguage() {
    const QLocale system = QLocale::system();
    return chooseLanguage(system.uiLanguages(), system.name());
}

Translation::Translation(Language language) {
    // Japanese is the source: only Qt's own texts need a translation then.
    if (language == Language::English) {
        program_ = std::make_unique<QTranslator>();
        loaded_ = program_->load(QStringLiteral(":/i18n/pictavo_en.qm")) &&
                  QCoreApplication::installTranslator(program_.get());
    }
    const QString qtName = language == Language::English ? QStringLiteral("qtbase_en") : QStringLiteral("qtbase_ja");
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(qtName, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(qt.get()))
        qt_ = std::move(qt);
}

Translation::~Translation() {
    if (qt_) QCoreApplication::removeTranslator(qt_.get());
    if (program_) QCoreApplication::removeTranslator(program_.get());
}

std::string translated(const char* source) { return translatedQ(source).toStdString(); }

QString translatedQ(const char* source) { return QCoreApplication::translate(kContext, source); }

}  // namespace pictavo
