// SPDX-License-Identifier: MIT
#include "imaging/picture.h"

#include <QImage>

namespace pictavo {

const QImage& Arrival::soFar(int& rows) {
    const std::lock_guard lock(mutex_);
    adopt();
    rows = rows_.load(std::memory_order_acquire);
    return image_;
}

const QImage& Arrival::soFar(int& rows, int& firstRows) {
    const std::lock_guard lock(mutex_);
    adopt();
    rows = rows_.load(std::memory_order_acquire);
    firstRows = std::max(rows, firstRows_.load(std::memory_order_acquire));
    return image_;
}

const QImage& Arrival::whole() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return end_ != End::None; });
    adopt();
    if (end_ != End::Whole) image_ = QImage();
    return image_;
}

void Arrival::waitRows(int rows, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout,
                      [&] { return end_ != End::None || rows_.load(std::memory_order_acquire) >= rows; });
}

Arrival::End Arrival::end() const {
    const std::lock_guard lock(mutex_);
    return end_;
}

std::string Arrival::failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

void Arrival::rowsReady(int rows) {
    {
        const std::lock_guard lock(mutex_);
        rows_.store(rows, std::memory_order_release);
    }
    changed_.notify_all();
}

void Arrival::firstRowsReady(int rows) {
    {
        const std::lock_guard lock(mutex_);
        firstRows_.store(rows, std::memory_order_release);
    }
    changed_.notify_all();
}

void Arrival::finish(QImage decoded) {
    {
        const std::lock_guard lock(mutex_);
        if (!decoded.isNull()) {
            handedOver_ = std::move(decoded);
            adopted_ = false;
        }
        rows_.store(size_.height(), std::memory_order_release);
        end_ = End::Whole;
    }
    changed_.notify_all();
}

void Arrival::fail(std::string why) {
    {
        const std::lock_guard lock(mutex_);
        failure_ = std::move(why);
    }
    endWith(End::Failed);
}

void Arrival::stopped() { endWith(End::Cancelled); }

void Arrival::endWith(End end) {
    {
        const std::lock_guard lock(mutex_);
        if (end_ == End::None) end_ = end;
    }
    changed_.notify_all();
}

void Arrival::adopt() {
    if (adopted_) return;
    image_ = std::move(handedOver_);
    adopted_ = true;
}

Picture::Picture(std::shared_ptr<const QImage> image) : image_(std::move(image)) {
    if (image_ && image_->isNull()) image_.reset();
}

Picture::Picture(std::shared_ptr<Arrival> arrival) : arrival_(std::move(arrival)) {}

bool Picture::isNull() const { return !image_ && !arrival_; }
int Picture::widthPx() const { return arrival_ ? arrival_->size().width() : image_ ? image_->width() : 0; }
int Picture::heightPx() const { return arrival_ ? arrival_->size().height() : image_ ? image_->height() : 0; }

const QImage* Picture::image() const {
    if (arrival_) return &arrival_->whole();
    return image_.get();
}

QImage to32Bits(const QImage& image) {
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

Picture drawablePicture(QImage image) {
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied)
        image = to32Bits(image);
    return Picture(std::make_shared<const QImage>(std::move(image)));
}

}  // namespace pictavo
