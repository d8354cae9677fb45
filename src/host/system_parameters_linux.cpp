#ifndef _WIN32
#include <sys/stat.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>

#include "host/system_parameters.h"

namespace pictavo::os {

namespace {

constexpr int kProgramTimeoutMs = 10000;
constexpr const char* kGnomeSchema = "org.gnome.desktop.background";

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

bool gsettingsSet(const QString& key, const QString& valueText) {
    return run("gsettings", {"set", kGnomeSchema, key, valueText}).has_value();
}

std::optional<QString> gsettingsGet(const QString& key) {
    const auto out = run("gsettings", {"get", kGnomeSchema, key});
    if (!out) return std::nullopt;
    return QString::fromUtf8(*out).trimmed();
}

int gnomeWallpaper(const std::string& path) {
    const auto keys = run("gsettings", {"list-keys", kGnomeSchema});
    if (!keys) return 0;  // no gsettings, or the schema is not installed
    const QStringList keyList = QString::fromUtf8(*keys).split('\n', Qt::SkipEmptyParts);
    QStringList uriKeys{"picture-uri"};
    if (keyList.contains("picture-uri-dark")) uriKeys << "picture-uri-dark";

    const QString uri = path.empty() ? QString() : QString::fromLatin1(fileUri(path).c_str());
    for (const auto& key : uriKeys)
        if (!gsettingsSet(key, gvariantText(uri))) return 0;
    if (path.empty()) {
        if (!gsettingsSet("picture-options", "'none'")) return 0;
    } else if (gsettingsGet("picture-options") == QString("'none'")) {
        // A cleared wall paper leaves the desktop set to show none; show the new one.
        if (!gsettingsSet("picture-options", "'zoom'")) return 0;
    }
    // Some stores accept a write and drop it (dconf without a session bus): only a value
    // that reads back counts as set.
    for (const auto& key : uriKeys)
        if (gsettingsGet(key) != gvariantText(uri)) return 0;
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

int kdeWallpaper(const std::string& path) {
    // The value goes into the script as a quoted literal; a percent-encoded URI holds
    // nothing that needs escaping there.
    const QString uri = path.empty() ? QString() : QString::fromLatin1(fileUri(path).c_str());
    const QString script =
        "var all = desktops(); var ok = 0;"
        "for (var i = 0; i < all.length; i++) { var d = all[i];"
        " d.wallpaperPlugin = 'org.kde.image';"
        " d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General'];"
        " d.writeConfig('Image', '" + uri + "');"
        " if (d.readConfig('Image') == '" + uri + "') ok++; }"
        "print(ok == all.length && ok > 0 ? 'ok' : 'failed');";
    QDBusMessage call = QDBusMessage::createMethodCall("org.kde.plasmashell", "/PlasmaShell", "org.kde.PlasmaShell",
                                                       "evaluateScript");
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
        case Desktop::Gnome: return gnomeWallpaper(text);
        case Desktop::Xfce: return xfceWallpaper(text);
        case Desktop::Kde: return kdeWallpaper(text);
        case Desktop::Unknown: return 0;
    }
    return 0;
}

}  // namespace pictavo::os
#endif
