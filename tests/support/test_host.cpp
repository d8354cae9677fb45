// SPDX-License-Identifier: MIT
#include "support/test_host.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace pictavo::test {

TempDir::TempDir(const fs::path& parent) {
    std::string pattern = (parent / "pictavo-test-XXXXXX").native();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Give back permissions that a test took away, so everything can be removed.
    for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code pe;
        if (it->is_directory(pe) && !it->is_symlink(pe))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, pe);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

namespace {
std::vector<Volume> volumesFor(const fs::path& root) {
    fs::create_directories(root / "Pictures");
    return {{"/", "File System"}, {"/media/pictavo-offline", "offline"}};
}
}  // namespace

TestHost::TestHost()
    : volumes_(volumesFor(temp_.path())), files_(FileSystem::VolumeReader([this] { return volumes_; })) {
    files_.tellPictures(&pictures_);
}

std::string TestHost::addDrive(const std::string& name, const std::string& label) {
    const fs::path mount = temp_.path() / name;
    fs::create_directories(mount);
    volumes_.push_back({mount.native(), label});
    files_.Drives();
    return mount.native();
}

fs::path TestHost::startFolder() const { return temp_.path() / "Pictures"; }

std::string TestHost::StartDrive() { return "/"; }

std::string TestHost::StartFolder() { return startFolder().native(); }

MsgResult TestHost::MsgBox(const std::string& prompt, MsgFlags flags, const std::optional<std::string>& title) {
    messages.push_back({prompt, flags, title});
    if (msgBoxAnswers.empty()) return MsgResult::Ok;
    const auto answer = msgBoxAnswers.front();
    msgBoxAnswers.pop_front();
    return answer;
}

void TestHost::SetMousePointer(MousePointer pointer) { pointers.push_back(pointer); }

bool TestHost::ShowSave(SaveDialogState& dialog) {
    std::optional<std::string> answer;
    if (!saveAnswers.empty()) {
        answer = saveAnswers.front();
        saveAnswers.pop_front();
    }
    dialogs.push_back(dialog);
    if (!answer) {
        if (dialog.cancelError) throw HostError("Cancel was selected.");
        return false;
    }
    dialog.fileName = *answer;
    return true;
}

void TestHost::ClipboardClear() {
    ++clipboardClears;
    clipboardPicture.reset();
    clipboardBytes.reset();
    clipboardHasText = false;
    clipboardOwn = false;
}

void TestHost::ClipboardSetData(const Picture& picture) {
    clipboardBytes.reset();
    clipboardPicture = picture;
    clipboardHasText = false;
    clipboardOwn = true;
}

bool TestHost::ClipboardHoldsOwnPicture() { return clipboardOwn && clipboardPicture.has_value(); }

void TestHost::otherProgramCopies(const Picture& picture) {
    clipboardBytes.reset();
    clipboardPicture = picture;
    clipboardHasText = false;
    clipboardOwn = false;
}

void TestHost::otherProgramCopiesText() {
    clipboardBytes.reset();
    clipboardPicture.reset();
    clipboardHasText = true;
    clipboardOwn = false;
}

ClipboardPicture TestHost::ClipboardGetData() {
    if (clipboardBytes) return *clipboardBytes;
    if (!clipboardPicture || clipboardPicture->isNull()) return {};
    return {kDecodedPictureType, {}, *clipboardPicture->image()};
}

void TestHost::otherProgramOffers(const char* format, const QByteArray& bytes) {
    clipboardPicture.reset();
    clipboardBytes = ClipboardPicture{QString::fromLatin1(format), bytes, {}};
    clipboardHasText = false;
    clipboardOwn = false;
}

bool TestHost::ClipboardHasBitmap() { return clipboardPicture.has_value() || clipboardBytes.has_value(); }

void TestHost::Show(const std::string& window) { shown.push_back(window); }

void TestHost::Unload(const std::string& window) { unloaded.push_back(window); }

int TestHost::SystemParametersInfoA(unsigned action, unsigned param, const std::string& text, unsigned flags) {
    wallpaperCalls.push_back({action, param, text, flags});
    return wallpaperResult;
}

namespace {

// A GIF whose LZW stream never grows past 3-bit codes: a clear code before every two
// pixels. Large, but simple and valid.
std::string plainGif(int width, int height, unsigned rgb) {
    std::string out = "GIF89a";
    auto u16 = [&](int v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>((v >> 8) & 0xFF);
    };
    u16(width);
    u16(height);
    out += static_cast<char>(0x81);  // global table of 4 colours
    out += '\0';
    out += '\0';
    out += static_cast<char>((rgb >> 16) & 0xFF);
    out += static_cast<char>((rgb >> 8) & 0xFF);
    out += static_cast<char>(rgb & 0xFF);
    out += std::string(9, '\0');
    out += ',';
    u16(0);
    u16(0);
    u16(width);
    u16(height);
    out += '\0';
    out += static_cast<char>(2);  // minimum code size
    std::string data;
    unsigned long bits = 0;
    int count = 0;
    auto putCode = [&](unsigned code) {
        bits |= static_cast<unsigned long>(code) << count;
        count += 3;
        while (count >= 8) {
            data += static_cast<char>(bits & 0xFF);
            bits >>= 8;
            count -= 8;
        }
    };
    const long pixels = static_cast<long>(width) * height;
    for (long i = 0; i < pixels; i += 2) {
        putCode(4);
        putCode(0);
        if (i + 1 < pixels) putCode(0);
    }
    putCode(5);
    if (count > 0) data += static_cast<char>(bits & 0xFF);
    for (std::size_t i = 0; i < data.size(); i += 255) {
        const auto n = std::min<std::size_t>(255, data.size() - i);
        out += static_cast<char>(n);
        out += data.substr(i, n);
    }
    out += '\0';
    out += ';';
    return out;
}

}  // namespace

void writePicture(const fs::path& file, int width, int height, unsigned rgb) {
    const auto ext = file.extension().native();
    if (ext == ".gif" || ext == ".GIF") {
        writeBytes(file, plainGif(width, height, rgb));
        return;
    }
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(rgb));
    const char* format = (ext == ".bmp" || ext == ".BMP" || ext == ".Bmp") ? "BMP" : "JPG";
    if (!image.save(QFile::decodeName(QByteArray::fromStdString(file.native())), format, 95))
        throw std::runtime_error("cannot write " + file.native());
}

Picture solidPicture(int width, int height, unsigned rgb) {
    auto image = std::make_shared<QImage>(width, height, QImage::Format_RGB32);
    image->fill(QColor::fromRgb(rgb));
    return Picture(std::move(image));
}

fs::path homeTrash() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (!dataHome || !*dataHome) throw std::runtime_error("XDG_DATA_HOME is not set for the tests");
    return fs::path(dataHome) / "Trash";
}

void writeBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + file.native());
}

std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

QByteArray jpegOf(const QImage& image, bool progressive, QImageIOHandler::Transformations turn) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    writer.setTransformation(turn);
    if (!writer.write(image)) throw std::runtime_error("cannot encode a JPEG");
    return data;
}

}  // namespace pictavo::test
