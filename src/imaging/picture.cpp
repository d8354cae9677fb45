#include "imaging/picture.h"

#include <QImage>

namespace pictavo {

Picture::Picture(std::shared_ptr<const QImage> image) : image_(std::move(image)) {
    if (image_ && image_->isNull()) image_.reset();
}

bool Picture::isNull() const { return !image_; }
int Picture::widthPx() const { return image_ ? image_->width() : 0; }
int Picture::heightPx() const { return image_ ? image_->height() : 0; }

QImage to32Bits(const QImage& image) {
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

Picture drawablePicture(QImage image) {
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied)
        image = to32Bits(image);
    return Picture(std::make_shared<const QImage>(std::move(image)));
}

}  // namespace pictavo
