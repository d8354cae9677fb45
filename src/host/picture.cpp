#include "host/picture.h"

#include <QImage>

namespace pictavo {

Picture::Picture(std::shared_ptr<const QImage> image) : image_(std::move(image)) {
    if (image_ && image_->isNull()) image_.reset();
}

bool Picture::isNull() const { return !image_; }
int Picture::widthPx() const { return image_ ? image_->width() : 0; }
int Picture::heightPx() const { return image_ ? image_->height() : 0; }

}  // namespace pictavo
