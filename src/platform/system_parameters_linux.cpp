// SPDX-License-Identifier: MIT
#include <sys/stat.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>

#include "platform/system_parameters.h"

namespace pictavo::os {

namespace {

constexpr int kProgramTimeoutMs = 10000;
constexpr int kSettleMs = 2000;

// Runs a program with an argument list (no shell ever sees the path) and returns what it
// printed, or nothing when it could not run or failed.
std::optional<QByteArray> run(const QString& program, const QStringList& args) {
    const QString exe = QStandardPaths::findExecutable(program);
    if (exe.isEmpty()) return std::nullopt;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(exe, args);
    if (!process.waitForStarted(kProgramTimeoutMs)) return std::nullopt;
    process.closeWriteChannel();
    if (!process.waitForFinished(kProgramTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return std::nullopt;
    return process.readAllStandardOutput();
}

// A string as GSettings' text form: '...' with backslash escapes.
QString gvariantText(const QString& s) {
    QString out = "'";
    for (const QChar c : s) {
        if (c == '\\' || c == '\'') out += '\\';
        out += c;
    }
    return out + "'";
}

// A string as gsettings prints it back: in '...' or, when it holds a ', in "...", with
// backslash escapes.
std::optional<QString> printedString(const QString& printed) {
    if (printed.size() < 2 || (printed.front() != '\'' && printed.front() != '"') || printed.back() != printed.front())
        return std::nullopt;
    QString out;
    for (qsizetype i = 1; i + 1 < printed.size(); ++i) {
        QChar c = printed[i];
        if (c == '\\' && i + 2 < printed.size()) {
            c = printed[++i];
            if (c == 'n')
                c = '\n';
            else if (c == 't')
                c = '\t';
            else if (c == 'r')
                c = '\r';
        }
        out += c;
    }
    return out;
}

// The text of a path that is valid UTF-8; nothing for one that is not, since a setting
// that holds a plain file name (not a URI) cannot keep such bytes.
std::optional<QString> utf8Path(const std::string& path) {
    const QString text = QString::fromUtf8(path.c_str());
    if (text.toUtf8().toStdString() != path) return std::nullopt;
    return text;
}

// Where a desktop of the GNOME family keeps its wall paper in GSettings.
struct BackgroundSchema {
    const char* schema;
    const char* pictureKey;  // a file URI, or a plain path where pictureIsUri is false
    bool pictureIsUri;
    bool darkKey;     // also "picture-uri-dark", where the schema has it
    bool optionNone;  // "picture-options" can be 'none'
};

constexpr BackgroundSchema kGnome{"org.gnome.desktop.background", "picture-uri", true, true, true};
constexpr BackgroundSchema kCinnamon{"org.cinnamon.desktop.background", "picture-uri", true, false, true};
// MATE has no 'none' picture option: an empty file name shows the plain colour.
constexpr BackgroundSchema kMate{"org.mate.background", "picture-filename", false, false, false};

int gsettingsWallpaper(const BackgroundSchema& b, const std::string& path) {
    const auto keys = run("gsettings", {"list-keys", b.schema});
    if (!keys) return 0;  // no gsettings, or the schema is not installed
    const QStringList keyList = QString::fromUtf8(*keys).split('\n', Qt::SkipEmptyParts);
    QStringList pictureKeys{b.pictureKey};
    if (b.darkKey && keyList.contains("picture-uri-dark")) pictureKeys << "picture-uri-dark";
    const auto set = [&](const QString& key, const QString& text) {
        return run("gsettings", {"set", b.schema, key, text}).has_value();
    };
    const auto get = [&](const QString& key) -> std::optional<QString> {
        const auto out = run("gsettings", {"get", b.schema, key});
        if (!out) return std::nullopt;
        return printedString(QString::fromUtf8(*out).trimmed());
    };

    QString value;
    if (!path.empty()) {
        if (b.pictureIsUri) {
            value = QString::fromLatin1(fileUri(path).c_str());
        } else if (const auto text = utf8Path(path)) {
            value = *text;
        } else {
            return 0;
        }
    }
    for (const auto& key : pictureKeys)
        if (!set(key, gvariantText(value))) return 0;
    if (b.optionNone) {
        if (path.empty()) {
            if (!set("picture-options", "'none'")) return 0;
        } else if (get("picture-options") == QString("none")) {
            // A cleared wall paper leaves the desktop set to show none; show the new one.
            if (!set("picture-options", "'zoom'")) return 0;
        }
    }
    // Some stores accept a write and drop it (dconf without a session bus): only a value
    // that reads back counts as set.
    for (const auto& key : pictureKeys)
        if (get(key) != value) return 0;
    return 1;
}

int xfceWallpaper(const std::string& path) {
    const auto list = run("xfconf-query", {"-c", "xfce4-desktop", "-l"});
    if (!list) return 0;
    const QString value = QString::fromLocal8Bit(path.c_str());
    int done = 0;
    for (const auto& property : QString::fromUtf8(*list).split('\n', Qt::SkipEmptyParts)) {
        if (path.empty() ? !property.endsWith("/image-style") : !property.endsWith("/last-image")) continue;
        const QString wanted = path.empty() ? "0" : value;
        if (!run("xfconf-query", {"-c", "xfce4-desktop", "-p", property, "-s", wanted})) return 0;
        const auto back = run("xfconf-query", {"-c", "xfce4-desktop", "-p", property});
        if (!back || QString::fromLocal8Bit(*back).trimmed() != wanted) return 0;
        ++done;
    }
    return done > 0 ? 1 : 0;
}

// LXQt's desktop (pcmanfm-qt) takes the wall paper on its command line, hands it to the
// running desktop and keeps it in its settings file, where it is read back. Clearing
// leaves the desktop's plain colour.
int lxqtWallpaper(const std::string& path) {
    std::optional<QString> file;
    if (!path.empty() && !(file = utf8Path(path))) return 0;
    const QStringList args = path.empty() ? QStringList{"--wallpaper-mode=color"}
                                          : QStringList{"--set-wallpaper=" + *file, "--wallpaper-mode=zoom"};
    if (!run("pcmanfm-qt", args)) return 0;
    const QString settings =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/pcmanfm-qt/lxqt/settings.conf";
    const QString key = path.empty() ? "Desktop/WallpaperMode" : "Desktop/Wallpaper";
    const QString wanted = path.empty() ? "color" : *file;
    // The running desktop writes its settings a moment after the command has handed over.
    QDeadlineTimer deadline(kSettleMs);
    do {
        if (QSettings(settings, QSettings::IniFormat).value(key).toString() == wanted) return 1;
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return 0;
}

int kdeWallpaper(const std::string& path) {
    // The value goes into the script as a quoted literal; a percent-encoded URI holds
    // nothing that needs escaping there.
    const QString uri = path.empty() ? QString() : QString::fromLatin1(fileUri(path).c_str());
    const QString script =
        "var all = desktops(); var ok = 0;"
        "for (var i = 0; i < all.length; i++) { var d = all[i];"
        " d.wallpaperPlugin = 'org.kde.image';"
        " d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General'];"
        " d.writeConfig('Image', '" +
        uri +
        "');"
        " if (d.readConfig('Image') == '" +
        uri +
        "') ok++; }"
        "print(ok == all.length && ok > 0 ? 'ok' : 'failed');";
    QDBusMessage call =
        QDBusMessage::createMethodCall("org.kde.plasmashell", "/PlasmaShell", "org.kde.PlasmaShell", "evaluateScript");
    call << script;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kProgramTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return 0;
    // The reply is what the script printed.
    return reply.arguments().front().toString().trimmed() == "ok" ? 1 : 0;
}

}  // namespace

Desktop detectDesktop(std::string_view currentDesktop) {
    std::string upper(currentDesktop);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    std::size_t start = 0;
    while (start <= upper.size()) {
        auto cut = upper.find(':', start);
        if (cut == std::string::npos) cut = upper.size();
        const std::string name = upper.substr(start, cut - start);
        if (name == "GNOME" || name == "UNITY" || name == "BUDGIE" || name == "PANTHEON" || name == "GNOME-FLASHBACK" ||
            name == "GNOME-CLASSIC")
            return Desktop::Gnome;
        if (name == "X-CINNAMON" || name == "CINNAMON") return Desktop::Cinnamon;
        if (name == "MATE") return Desktop::Mate;
        if (name == "LXQT") return Desktop::Lxqt;
        if (name == "XFCE") return Desktop::Xfce;
        if (name == "KDE") return Desktop::Kde;
        start = cut + 1;
    }
    return Desktop::Unknown;
}

std::string fileUri(std::string_view path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out = "file://";
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}

int SystemParametersInfoA(unsigned action, unsigned /*param*/, const std::string& text, unsigned /*flags*/) {
    // Every supported desktop keeps its setting in the user's profile, which is what the
    // update flag asks for.
    if (action != kSpiSetDeskWallpaper) return 0;
    // The desktop would open the file later: a file that is gone, a FIFO or a device would
    // leave it with no picture or waiting on another process.
    struct stat st {};
    if (!text.empty() && (::stat(text.c_str(), &st) != 0 || !S_ISREG(st.st_mode))) return 0;
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    switch (detectDesktop(desktop ? desktop : "")) {
        case Desktop::Gnome: return gsettingsWallpaper(kGnome, text);
        case Desktop::Cinnamon: return gsettingsWallpaper(kCinnamon, text);
        case Desktop::Mate: return gsettingsWallpaper(kMate, text);
        case Desktop::Lxqt: return lxqtWallpaper(text);
        case Desktop::Xfce: return xfceWallpaper(text);
        case Desktop::Kde: return kdeWallpaper(text);
        case Desktop::Unknown: return 0;
    }
    return 0;
}

}  // namespace pictavo::os
