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

// A picture in the form the viewport draws from: 32 bits per pixel, premultiplied where
// the image has transparency. Every image that enters the program goes through here.
[[nodiscard]] Picture drawablePicture(QImage image);

}  // namespace pictavo
