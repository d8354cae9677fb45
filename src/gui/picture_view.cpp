#include "gui/picture_view.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
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

void PictureView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Mid));
    const QImage* picture = image_.picture().image();
    if (!picture) return;

    // Work in device pixels: the picture is never scaled, whatever the pixel ratio.
    const qreal ratio = devicePixelRatioF();
    const QPoint origin(units_.deviceX(image_.place().left), units_.deviceY(image_.place().top));
    const QRectF exposed(event->rect().x() * ratio, event->rect().y() * ratio, event->rect().width() * ratio,
                         event->rect().height() * ratio);
    const QSize viewport(static_cast<int>(std::ceil(width() * ratio)), static_cast<int>(std::ceil(height() * ratio)));
    VisiblePart part = visiblePart(viewport, origin, picture->size());
    part.target = part.target.intersected(exposed.toAlignedRect());
    if (part.target.isEmpty()) return;
    part.source = part.target.translated(-origin);

    // Only the visible part is drawn, straight from the decoded image: a whole large
    // picture would never fit into one X11 pixmap.
    const QRectF target(part.target.x() / ratio, part.target.y() / ratio, part.target.width() / ratio,
                        part.target.height() / ratio);
    painter.drawImage(target, *picture, QRectF(part.source));
    painter.end();
    if (onPainted) onPainted();
}

}  // namespace pictavo::gui
