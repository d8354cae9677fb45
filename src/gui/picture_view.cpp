// SPDX-License-Identifier: MIT
#include "gui/picture_view.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

namespace pictavo::gui {

VisiblePart visiblePart(QSize viewport, QPoint pictureOrigin, QSize picture) {
    const QRect target = QRect(QPoint(0, 0), viewport).intersected(QRect(pictureOrigin, picture));
    if (target.isEmpty()) return {};
    return {target, target.translated(-pictureOrigin)};
}

PictureView::PictureView(const Image& image, const Units& units, QWidget* parent)
    : QWidget(parent), image_(image), units_(units) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

QPoint PictureView::origin() const { return {units_.deviceX(image_.place().left), units_.deviceY(image_.place().top)}; }

QSize PictureView::deviceSize() const {
    const qreal ratio = devicePixelRatioF();
    return {static_cast<int>(std::ceil(width() * ratio)), static_cast<int>(std::ceil(height() * ratio))};
}

int PictureView::rowsInView(const Arrival& arrival, int rows, int firstRows) const {
    // Columns of the picture up to the viewport's right edge: those that came first, or more.
    const int right = deviceSize().width() - origin().x();
    return right <= arrival.firstColumns() ? firstRows : rows;
}

void PictureView::rowsArrived() {
    const auto& arrival = image_.picture().arrival();
    if (!arrival) return;
    int rows = 0, firstRows = 0;
    (void)arrival->soFar(rows, firstRows);
    rows = rowsInView(*arrival, rows, firstRows);
    // Rows below the viewport need no paint until the person pans to them.
    const int bottom = deviceSize().height() - origin().y();
    if (rows > paintedRows_ && (paintedRows_ < bottom || rows == arrival->size().height())) update();
}

void PictureView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (onResized) onResized(deviceSize());
}

void PictureView::pictureChanged() {
    paintedRows_ = 0;
    wholeInViewSince_.reset();
}

bool PictureView::paintedAllInView() const {
    const int height = image_.picture().heightPx();
    return paintedRows_ >= std::min(height, deviceSize().height() - origin().y());
}

void PictureView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Mid));
    const Picture& shown = image_.picture();
    const QImage* picture = nullptr;
    int rows = 0;
    if (const auto& arrival = shown.arrival()) {
        // A picture found broken is never shown, not even the part that arrived.
        if (arrival->end() == Arrival::End::Failed) return;
        int firstRows = 0;
        picture = &arrival->soFar(rows, firstRows);
        // Rows whose columns in view have arrived, the columns to their right maybe not yet:
        // only the viewport's part of them is drawn.
        rows = rowsInView(*arrival, rows, firstRows);
    } else {
        picture = shown.image();
        rows = picture ? picture->height() : 0;
    }
    paintedRows_ = rows;
    if (!picture || picture->isNull() || rows <= 0) return;
    if (!wholeInViewSince_ && paintedAllInView()) wholeInViewSince_ = std::chrono::steady_clock::now();

    // Work in device pixels: the picture is never scaled, whatever the pixel ratio.
    const qreal ratio = devicePixelRatioF();
    const QPoint at = origin();
    const QRectF exposed(event->rect().x() * ratio, event->rect().y() * ratio, event->rect().width() * ratio,
                         event->rect().height() * ratio);
    // Only the rows that have arrived: the decoder is still writing those below.
    const QImage ready(picture->constBits(), picture->width(), rows, picture->bytesPerLine(), picture->format());
    VisiblePart part = visiblePart(deviceSize(), at, ready.size());
    part.target = part.target.intersected(exposed.toAlignedRect());
    if (part.target.isEmpty()) return;
    part.source = part.target.translated(-at);

    // Only the visible part is drawn, straight from the decoded image: a whole large
    // picture would never fit into one X11 pixmap.
    const QRectF target(part.target.x() / ratio, part.target.y() / ratio, part.target.width() / ratio,
                        part.target.height() / ratio);
    painter.drawImage(target, ready, QRectF(part.source));
    painter.end();
    if (const auto& arrival = shown.arrival(); arrival && paintedAllInView() && !arrival->partInViewShown()) {
        arrival->shownInView();
        if (onInView) onInView();
    }
    if (onPainted && rows == picture->height()) onPainted();
}

}  // namespace pictavo::gui
