// SPDX-License-Identifier: MIT
#include "imaging/colour_transforms.h"

#include <lcms2.h>

#include <QColorSpace>
#include <QCryptographicHash>
#include <algorithm>
#include <cstdlib>

namespace pictavo {

namespace {

// Profiles are untrusted bytes: LittleCMS reports what it refuses through this context's
// handler, which says nothing (the picture is shown as sRGB) and never stops the program.
cmsContext context() {
    static const cmsContext kContext = [] {
        cmsContext c = cmsCreateContext(nullptr, nullptr);
        cmsSetLogErrorHandlerTHR(c, [](cmsContext, cmsUInt32Number, const char*) {});
        return c;
    }();
    return kContext;
}

// A 32-bit pixel in memory: blue, green, red, alpha on a little-endian machine.
constexpr bool kLittle = Q_BYTE_ORDER == Q_LITTLE_ENDIAN;
constexpr cmsUInt32Number kPixels = kLittle ? TYPE_BGRA_8 : TYPE_ARGB_8;
// A grey picture's pixel as the decoder writes it (red = green = blue): one grey channel
// read from the blue byte, the other three stepped over.
constexpr cmsUInt32Number kGreyPixels =
    COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3) | (kLittle ? 0 : SWAPFIRST_SH(1));
// No one-pixel cache: the same conversion runs on several workers at once.
constexpr cmsUInt32Number kFlags = cmsFLAGS_NOCACHE;

class Profile {
public:
    // Empty bytes: sRGB.
    explicit Profile(const QByteArray& icc)
        : handle_(
              icc.isEmpty() ? cmsCreate_sRGBProfileTHR(context())
              : icc.size() > kMaxProfileBytes
                  ? nullptr
                  : cmsOpenProfileFromMemTHR(context(), icc.constData(), static_cast<cmsUInt32Number>(icc.size()))) {}
    ~Profile() {
        if (handle_) cmsCloseProfile(handle_);
    }
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;
    [[nodiscard]] cmsHPROFILE get() const { return handle_; }

    // A profile of a device or a colour space in `space`: not a device link, an abstract
    // or named-colour profile.
    [[nodiscard]] bool fits(cmsColorSpaceSignature space) const {
        if (!handle_ || cmsGetColorSpace(handle_) != space) return false;
        const cmsProfileClassSignature kind = cmsGetDeviceClass(handle_);
        return kind == cmsSigInputClass || kind == cmsSigDisplayClass || kind == cmsSigOutputClass ||
               kind == cmsSigColorSpaceClass;
    }

private:
    cmsHPROFILE handle_;
};

// Whether a conversion leaves every colour where it was (within one level): the same
// profile, or another description of the same colours (two makers' sRGB).
bool changesNothing(cmsHTRANSFORM transform, bool grey) {
    std::vector<QRgb> in, out;
    if (grey) {
        for (int v = 0; v < 256; ++v) in.push_back(qRgb(v, v, v));
    } else {
        for (int r = 0; r <= 256; r += 32)
            for (int g = 0; g <= 256; g += 32)
                for (int b = 0; b <= 256; b += 32)
                    in.push_back(qRgb(std::min(r, 255), std::min(g, 255), std::min(b, 255)));
    }
    out.resize(in.size());
    cmsDoTransform(transform, in.data(), out.data(), static_cast<cmsUInt32Number>(in.size()));
    for (std::size_t i = 0; i < in.size(); ++i)
        if (std::abs(qRed(in[i]) - qRed(out[i])) > 1 || std::abs(qGreen(in[i]) - qGreen(out[i])) > 1 ||
            std::abs(qBlue(in[i]) - qBlue(out[i])) > 1)
            return false;
    return true;
}

}  // namespace

ColourConversion::~ColourConversion() { cmsDeleteTransform(transform_); }

void ColourConversion::convertRows(uchar* bits, qsizetype bytesPerLine, int width, int rows,
                                   QImage::Format format) const {
    const bool premultiplied = format == QImage::Format_ARGB32_Premultiplied;
    if (!premultiplied && format != QImage::Format_RGB32 && format != QImage::Format_ARGB32) return;
    if (width <= 0 || rows <= 0) return;
    if (!quick_.isIdentity() && format == QImage::Format_RGB32) {
        // A row at a time: Qt hands a larger picture to threads of its own.
        for (int y = 0; y < rows; ++y) {
            QImage row(bits + y * bytesPerLine, width, 1, bytesPerLine, format);
            row.applyColorTransform(quick_);
        }
        return;
    }
    const auto stride = static_cast<cmsUInt32Number>(bytesPerLine);
    const auto pixels = static_cast<cmsUInt32Number>(width);
    if (!premultiplied) {
        cmsDoTransformLineStride(transform_, bits, bits, pixels, static_cast<cmsUInt32Number>(rows), stride, stride, 0,
                                 0);
        return;
    }
    // LittleCMS's own premultiplied formats (TYPE_BGRA_8_PREMUL) give wrong colours through
    // its optimised 8-bit conversions (2.14), so a row with partly transparent pixels is
    // taken apart from its alpha here; an opaque row is converted as it is.
    std::vector<QRgb> straight;
    for (int y = 0; y < rows; ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * bytesPerLine);
        const bool opaque = std::all_of(row, row + width, [](QRgb p) { return qAlpha(p) == 255; });
        if (opaque) {
            cmsDoTransform(transform_, row, row, pixels);
            continue;
        }
        straight.resize(std::size_t(width));
        std::transform(row, row + width, straight.begin(), [](QRgb p) { return qUnpremultiply(p); });
        cmsDoTransform(transform_, straight.data(), straight.data(), pixels);
        std::transform(straight.begin(), straight.end(), row, [](QRgb p) { return qPremultiply(p); });
    }
}

void ColourConversion::convert(QImage& image) const {
    if (image.isNull()) return;
    convertRows(image.bits(), image.bytesPerLine(), image.width(), image.height(), image.format());
}

namespace {

// From one profile to another; null when LittleCMS cannot make the conversion (a profile
// whose tags are broken or cut short) or when it changes nothing.
std::shared_ptr<const ColourConversion> makeConversion(const Profile& from, const Profile& to, bool grey,
                                                       ColourConversion* (*wrap)(void*)) {
    cmsHTRANSFORM transform = cmsCreateTransformTHR(context(), from.get(), grey ? kGreyPixels : kPixels, to.get(),
                                                    kPixels, INTENT_RELATIVE_COLORIMETRIC, kFlags);
    if (!transform) return {};
    if (changesNothing(transform, grey)) {
        cmsDeleteTransform(transform);
        return {};
    }
    return std::shared_ptr<const ColourConversion>(wrap(transform));
}

}  // namespace

ColourTransforms::ColourTransforms() = default;
ColourTransforms::~ColourTransforms() = default;

void ColourTransforms::setScreenProfile(const QByteArray& icc) {
    QByteArray accepted;
    if (!icc.isEmpty()) {
        const Profile screen(icc), srgb({});
        // The screen's profile must take colours in: one that cannot is no better than none.
        if (screen.fits(cmsSigRgbData))
            if (cmsHTRANSFORM probe = cmsCreateTransformTHR(context(), srgb.get(), kPixels, screen.get(), kPixels,
                                                            INTENT_RELATIVE_COLORIMETRIC, kFlags)) {
                cmsDeleteTransform(probe);
                accepted = icc;
            }
    }
    const std::lock_guard lock(mutex_);
    if (accepted == screen_) return;
    screen_ = accepted;
    cache_.clear();
    toSrgb_.reset();
    toSrgbMade_ = false;
}

std::shared_ptr<const ColourConversion> ColourTransforms::forPicture(const PictureColours& colours) const {
    if (colours.profile.isEmpty() || colours.profile.size() > kMaxProfileBytes) return {};
    QByteArray key = QCryptographicHash::hash(colours.profile, QCryptographicHash::Sha256);
    key.append(colours.grey ? 'g' : 'c');
    QByteArray screen;
    {
        const std::lock_guard lock(mutex_);
        const auto hit = std::find_if(cache_.begin(), cache_.end(), [&](const Entry& e) { return e.key == key; });
        if (hit != cache_.end()) {
            std::rotate(cache_.begin(), hit, hit + 1);
            return cache_.front().conversion;
        }
        screen = screen_;
    }
    // Made outside the lock: another worker's picture need not wait for this one's.
    std::shared_ptr<const ColourConversion> conversion;
    const Profile from(colours.profile);
    if (from.fits(colours.grey ? cmsSigGrayData : cmsSigRgbData))
        conversion =
            makeConversion(from, Profile(screen), colours.grey, [](void* t) { return new ColourConversion(t); });
    // Qt's quick conversion only to an sRGB screen, the usual one: to others it strays by
    // up to three levels from LittleCMS's.
    if (conversion && !colours.grey && screen.isEmpty()) {
        const QColorSpace in = QColorSpace::fromIccProfile(colours.profile);
        if (in.isValid())
            const_cast<ColourConversion&>(*conversion).quick_ = in.transformationToColorSpace(QColorSpace::SRgb);
    }
    const std::lock_guard lock(mutex_);
    ++made_;
    if (screen_ == screen && std::none_of(cache_.begin(), cache_.end(), [&](const Entry& e) { return e.key == key; })) {
        cache_.insert(cache_.begin(), Entry{key, conversion});
        if (cache_.size() > kCached) cache_.pop_back();
    }
    return conversion;
}

std::shared_ptr<const ColourConversion> ColourTransforms::screenToSrgb() const {
    QByteArray screen;
    {
        const std::lock_guard lock(mutex_);
        if (toSrgbMade_ || screen_.isEmpty()) return toSrgb_;
        screen = screen_;
    }
    auto conversion =
        makeConversion(Profile(screen), Profile({}), false, [](void* t) { return new ColourConversion(t); });
    const std::lock_guard lock(mutex_);
    if (screen_ == screen) {
        toSrgb_ = conversion;
        toSrgbMade_ = true;
    }
    return conversion;
}

int ColourTransforms::made() const {
    const std::lock_guard lock(mutex_);
    return made_;
}

}  // namespace pictavo
