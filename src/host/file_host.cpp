#include "host/file_host.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "host/natural_order.h"
#include "host/picture_reader.h"

namespace fs = std::filesystem;

namespace pictavo {

std::string reasonText(const std::error_code& ec) {
    std::string text = ec.message();
    if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool isHidden(const fs::path& name) {
    const auto& s = name.native();
    return !s.empty() && s[0] == '.';
}

// "a\b\c" or "a/b/c" into its non-empty parts, with "." and ".." resolved.
std::vector<std::string> splitParts(std::string_view rest, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= rest.size()) {
        auto cut = rest.find(sep, start);
        if (cut == std::string_view::npos) cut = rest.size();
        std::string part(rest.substr(start, cut - start));
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = cut + 1;
    }
    return parts;
}

bool isPrefix(const fs::path& root, const fs::path& p) {
    auto r = root.begin(), q = p.begin();
    for (; r != root.end(); ++r, ++q) {
        if (r->empty()) continue;  // trailing separator
        if (q == p.end() || *r != *q) return false;
    }
    return true;
}

}  // namespace

FileHost::FileHost(PathSyntax syntax, std::vector<Volume> volumes)
    : syntax_(syntax), volumes_(std::move(volumes)) {}

void FileHost::setVolumes(std::vector<Volume> volumes) { volumes_ = std::move(volumes); }

char FileHost::Separator() const { return syntax_ == PathSyntax::Windows ? '\\' : '/'; }

const Volume* FileHost::volumeByDrive(const std::string& drive) const {
    const auto want = syntax_ == PathSyntax::Windows ? lower(drive) : drive;
    for (const auto& v : volumes_)
        if (v.drive == want) return &v;
    return nullptr;
}

const Volume* FileHost::volumeOf(const std::string& hostPath) const {
    if (syntax_ == PathSyntax::Windows) {
        if (hostPath.size() < 2 || hostPath[1] != ':' ||
            !std::isalpha(static_cast<unsigned char>(hostPath[0])))
            return nullptr;
        return volumeByDrive(hostPath.substr(0, 2));
    }
    if (hostPath.empty() || hostPath[0] != '/') return nullptr;
    const Volume* best = nullptr;
    for (const auto& v : volumes_)
        if (isPrefix(v.root, fs::path(hostPath)) &&
            (!best || v.root.native().size() > best->root.native().size()))
            best = &v;
    return best;
}

std::string FileHost::rootText(const Volume& v) const {
    return syntax_ == PathSyntax::Windows ? v.drive + "\\" : v.root.native();
}

std::string FileHost::normalise(const std::string& hostPath) const {
    const Volume* v = volumeOf(hostPath);
    if (!v) throw HostError("Path not found: " + hostPath);
    if (syntax_ == PathSyntax::Windows) {
        if (hostPath.size() > 2 && hostPath[2] != '\\') throw HostError("Path not found: " + hostPath);
        std::string out = v->drive + "\\";
        const auto parts = splitParts(std::string_view(hostPath).substr(2), '\\');
        for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "\\" : "") + parts[i];
        return out;
    }
    std::string out = "/";
    const auto parts = splitParts(hostPath, '/');
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "/" : "") + parts[i];
    return out;
}

fs::path FileHost::toNative(const std::string& hostPath) const {
    if (syntax_ == PathSyntax::Posix) return fs::path(hostPath);
    const Volume* v = volumeOf(hostPath);
    if (!v) throw HostError("Path not found: " + hostPath);
    // ".." never climbs above the drive's root, as on Windows.
    fs::path native = v->root;
    const auto rest = std::string_view(hostPath).substr(2);
    for (const auto& part : splitParts(rest, '\\')) native /= part;
    // A trailing separator stays meaningful (a folder path ending in "\").
    if (rest.size() > 1 && rest.back() == '\\') native /= "";
    return native;
}

std::string FileHost::fromNative(const fs::path& native) const {
    if (syntax_ == PathSyntax::Posix) return normalise(native.native());
    for (const auto& v : volumes_) {
        if (!isPrefix(v.root, native)) continue;
        const auto rel = native.lexically_relative(v.root);
        std::string out = v.drive + "\\";
        bool first = true;
        for (const auto& part : rel) {
            if (part.empty() || part == ".") continue;
            out += (first ? "" : "\\") + part.native();
            first = false;
        }
        return out;
    }
    throw HostError("Path not found: " + native.native());
}

std::vector<std::string> FileHost::Drives() {
    std::vector<std::string> out;
    for (const auto& v : volumes_) out.push_back(v.drive);
    return out;
}

std::string FileHost::DriveLabel(const std::string& drive) {
    const Volume* v = volumeByDrive(drive);
    if (!v) return drive;
    return v->label.empty() ? v->drive : v->drive + " [" + v->label + "]";
}

std::string FileHost::DriveOf(const std::string& pathOrDrive) {
    const Volume* v = IsDriveText(pathOrDrive) ? volumeByDrive(pathOrDrive) : volumeOf(pathOrDrive);
    if (!v) throw HostError("Device unavailable: " + pathOrDrive);
    return v->drive;
}

bool FileHost::IsDriveText(const std::string& text) {
    if (syntax_ == PathSyntax::Windows)
        return text.size() == 2 && text[1] == ':' && volumeByDrive(text) != nullptr;
    return volumeByDrive(text) != nullptr;
}

std::string FileHost::CurrentFolder(const std::string& drive) {
    const Volume* v = volumeByDrive(drive);
    if (!v) throw HostError("Device unavailable: " + drive);
    const auto it = currentFolders_.find(v->drive);
    if (it == currentFolders_.end()) return rootText(*v);
    // A remembered folder that has gone since falls back to its nearest remaining parent.
    std::string folder = it->second;
    std::error_code ec;
    fs::path native = toNative(folder);
    while (!fs::is_directory(native, ec) && isPrefix(v->root, native.parent_path()) &&
           native != v->root)
        native = native.parent_path();
    return fromNative(native);
}

std::string FileHost::OpenFolder(const std::string& path) {
    const std::string folder = IsDriveText(path) ? CurrentFolder(path) : normalise(path);
    const Volume* v = volumeOf(folder);
    std::error_code ec;
    if (!v || !fs::is_directory(v->root, ec)) throw HostError("Device unavailable: " + path);
    const fs::path native = toNative(folder);
    const auto st = fs::status(native, ec);
    if (ec && ec != std::errc::no_such_file_or_directory)
        throw HostError(reasonText(ec) + ": " + folder);
    if (!fs::is_directory(st)) throw HostError("Path not found: " + folder);
    fs::directory_iterator probe(native, ec);
    if (ec) throw HostError(reasonText(ec) + ": " + folder);
    return folder;
}

void FileHost::SetCurrentFolder(const std::string& path) {
    if (const Volume* v = volumeOf(path)) currentFolders_[v->drive] = normalise(path);
}

std::vector<std::string> FileHost::FolderChain(const std::string& path) {
    const std::string folder = normalise(path);
    const Volume* v = volumeOf(folder);
    std::vector<std::string> chain{rootText(*v)};
    const std::string root = rootText(*v);
    const char sep = Separator();
    std::string rest = folder.size() > root.size() ? folder.substr(root.size()) : std::string();
    if (!rest.empty() && rest.front() == sep) rest.erase(0, 1);
    std::string current = root;
    for (const auto& part : splitParts(rest, sep)) {
        current = Join(current, part);
        chain.push_back(current);
    }
    return chain;
}

std::vector<std::string> FileHost::SubFolders(const std::string& path) {
    std::error_code ec;
    std::vector<std::string> names;
    fs::directory_iterator it(toNative(path), ec);
    if (ec) throw HostError(reasonText(ec) + ": " + path);
    for (const auto& entry : it) {
        const auto name = entry.path().filename();
        std::error_code dirEc;
        if (isHidden(name) || !entry.is_directory(dirEc)) continue;
        names.push_back(name.native());
    }
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return naturalLess(a, b); });
    return names;
}

std::vector<std::string> FileHost::Files(const std::string& path, const std::string& pattern) {
    std::error_code ec;
    std::vector<std::string> names;
    fs::directory_iterator it(toNative(path), ec);
    if (ec) throw HostError(reasonText(ec) + ": " + path);
    for (const auto& entry : it) {
        std::string name = entry.path().filename().native();
        if (name.empty() || name[0] == '.' || !matchesAny(pattern, name)) continue;
        std::error_code dirEc;
        if (entry.is_directory(dirEc)) continue;
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return naturalLess(a, b); });
    return names;
}

std::string FileHost::Join(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == Separator()) return folder + name;
    return folder + Separator() + name;
}

std::string FileHost::Dir(const std::string& path) {
    std::error_code ec;
    const fs::path native = toNative(path);
    const auto st = fs::status(native, ec);
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
        throw HostError(reasonText(ec) + ": " + path);
    if (!fs::is_regular_file(st)) return {};
    return native.filename().native();
}

std::int64_t FileHost::FileLen(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(toNative(path), ec);
    if (ec) throw HostError(reasonText(ec) + ": " + path);
    return static_cast<std::int64_t>(size);
}

void FileHost::Kill(const std::string& path) {
    const fs::path native = toNative(path);
    std::error_code ec;
    const auto st = fs::symlink_status(native, ec);
    if (ec || !fs::exists(st)) throw HostError("File not found: " + path);
    if (fs::is_directory(st)) throw HostError("Path/File access error: " + path);
    if (::unlink(native.c_str()) != 0)
        throw HostError(reasonText({errno, std::generic_category()}) + ": " + path);
}

Picture FileHost::LoadPicture(const std::string& path) {
    return Picture(std::make_shared<const QImage>(decodePicture(readPictureFile(toNative(path)))));
}

void FileHost::SavePicture(const Picture& picture, const std::string& path) {
    if (picture.isNull()) throw HostError("There is no picture to save");
    const QImage& source = *picture.image();
    // Bitmap files at 24 bits per pixel, or 32 where the picture has transparency.
    const QImage image = source.hasAlphaChannel() ? source.convertToFormat(QImage::Format_ARGB32)
                                                  : source.convertToFormat(QImage::Format_RGB32);
    QByteArray data;
    {
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "bmp");
        if (!writer.write(image)) throw HostError(writer.errorString().toStdString());
    }

    // Write beside the target and rename over it only when every byte is on disk, so a
    // failed write never harms the file it would have replaced. The name is used as raw
    // bytes, which keeps names that are not valid UTF-8 exactly as they are.
    const fs::path target = toNative(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temp = (folder / ".pictavo-save-XXXXXX").native();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) throw HostError(reasonText({errno, std::generic_category()}) + ": " + path);
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw HostError(reasonText({err, std::generic_category()}) + ": " + path);
    };
    const char* p = data.constData();
    std::size_t left = static_cast<std::size_t>(data.size());
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    struct stat st {};
    mode_t mode = 0666;
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        throw HostError(reasonText({err, std::generic_category()}) + ": " + path);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        throw HostError(reasonText({err, std::generic_category()}) + ": " + path);
    }
}

std::vector<Volume> systemVolumes() {
    std::vector<Volume> volumes{{"/", "/", "File System"}};
    std::ifstream mounts("/proc/self/mounts");
    std::string device, mountPoint, rest;
    while (mounts >> device >> mountPoint && std::getline(mounts, rest)) {
        // Octal escapes (\040 for a blank) in mount points.
        std::string decoded;
        for (std::size_t i = 0; i < mountPoint.size(); ++i) {
            if (mountPoint[i] == '\\' && i + 3 < mountPoint.size()) {
                decoded += static_cast<char>(std::stoi(mountPoint.substr(i + 1, 3), nullptr, 8));
                i += 3;
            } else {
                decoded += mountPoint[i];
            }
        }
        const bool personal = decoded.rfind("/media/", 0) == 0 || decoded.rfind("/run/media/", 0) == 0 ||
                              decoded.rfind("/mnt/", 0) == 0;
        if (!personal) continue;
        if (std::any_of(volumes.begin(), volumes.end(), [&](const Volume& v) { return v.drive == decoded; }))
            continue;
        volumes.push_back({decoded, decoded, fs::path(decoded).filename().native()});
    }
    return volumes;
}

}  // namespace pictavo
