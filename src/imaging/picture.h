#pragma once
// A decoded picture: shared, immutable pixels. Copies are cheap.

#include <memory>

class QImage;

namespace pictavo {

class Picture {
public:
    Picture() = default;
    explicit Picture(std::shared_ptr<const QImage> image);

    [[nodiscard]] bool isNull() const;
    [[nodiscard]] int widthPx() const;
    [[nodiscard]] int heightPx() const;
    [[nodiscard]] const QImage* image() const { return image_.get(); }

    friend bool operator==(const Picture& a, const Picture& b) { return a.image_ == b.image_; }

private:
    std::shared_ptr<const QImage> image_;
};

// The image at 32 bits per pixel in the form the viewport draws from fastest: RGB32, or
// premultiplied ARGB32 where it has transparency. The one conversion every picture that
// needs one goes through.
[[nodiscard]] QImage to32Bits(const QImage& image);

// A picture in the form the viewport draws from: RGB32 or premultiplied ARGB32, converted
// by to32Bits unless it already is. Every pasted image goes through here.
[[nodiscard]] Picture drawablePicture(QImage image);

}  // namespace pictavo
