// SPDX-License-Identifier: MIT
#include "gui/icons.h"

#include <QApplication>
#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <functional>
#include <map>

namespace pictavo::gui {

namespace {

const QColor kInk(0x30, 0x30, 0x30);

QPen ink(qreal width = 1.0) { return QPen(kInk, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

// Sky, sun and two hills inside a rectangle.
void drawLandscape(QPainter& p, const QRectF& r) {
    p.save();
    p.setClipRect(r);
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, QColor(0x4a, 0x8f, 0xe0));
    sky.setColorAt(1, QColor(0xb8, 0xdc, 0xff));
    p.fillRect(r, sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xd0, 0x30));
    const qreal sun = r.height() * 0.28;
    p.drawEllipse(QRectF(r.right() - r.width() * 0.32, r.top() + r.height() * 0.14, sun, sun));
    QPainterPath far;
    far.moveTo(r.left(), r.bottom());
    far.lineTo(r.left(), r.top() + r.height() * 0.62);
    far.lineTo(r.left() + r.width() * 0.38, r.top() + r.height() * 0.30);
    far.lineTo(r.left() + r.width() * 0.72, r.top() + r.height() * 0.70);
    far.lineTo(r.left() + r.width() * 0.72, r.bottom());
    far.closeSubpath();
    p.setBrush(QColor(0x3a, 0x7d, 0x44));
    p.drawPath(far);
    QPainterPath near;
    near.moveTo(r.left() + r.width() * 0.30, r.bottom());
    near.quadTo(r.left() + r.width() * 0.70, r.top() + r.height() * 0.40, r.right(), r.top() + r.height() * 0.66);
    near.lineTo(r.right(), r.bottom());
    near.closeSubpath();
    p.setBrush(QColor(0x6c, 0xb8, 0x4a));
    p.drawPath(near);
    p.restore();
}

void drawSheet(QPainter& p, const QRectF& r) {
    p.setPen(ink(0.8));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 0.8));
    for (qreal y = r.top() + 2.2; y < r.bottom() - 1.2; y += 2)
        p.drawLine(QPointF(r.left() + 1.5, y), QPointF(r.right() - 1.5, y));
}

void drawScreen(QPainter& p, bool withPicture) {
    p.setPen(ink(0.8));
    p.setBrush(QColor(0x50, 0x50, 0x58));
    p.drawRoundedRect(QRectF(0.8, 1.5, 14.4, 10.5), 1, 1);
    const QRectF screen(2.2, 2.9, 11.6, 7.7);
    if (withPicture) {
        drawLandscape(p, screen);
    } else {
        p.fillRect(screen, QColor(0xe8, 0xe8, 0xe8));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x50, 0x50, 0x58));
    p.drawRect(QRectF(6.8, 12, 2.4, 1.6));
    p.drawRoundedRect(QRectF(4.2, 13.4, 7.6, 1.6), 0.6, 0.6);
}

void drawFolder(QPainter& p, bool open) {
    const QColor back(0xd9, 0xa8, 0x2e), front(0xf4, 0xcf, 0x5c);
    p.setPen(QPen(QColor(0x8a, 0x64, 0x10), 0.8));
    QPainterPath body;
    body.moveTo(1, 3.5);
    body.lineTo(5.5, 3.5);
    body.lineTo(7, 5);
    body.lineTo(14, 5);
    body.lineTo(14, 13.5);
    body.lineTo(1, 13.5);
    body.closeSubpath();
    p.setBrush(open ? back : front);
    p.drawPath(body);
    if (open) {
        QPainterPath flap;
        flap.moveTo(3.2, 7.5);
        flap.lineTo(15.4, 7.5);
        flap.lineTo(13.6, 13.5);
        flap.lineTo(1, 13.5);
        flap.closeSubpath();
        p.setBrush(front);
        p.drawPath(flap);
    }
}

// Draws a glyph on a 16 x 16 grid; the painter is scaled to the wanted size.
void drawGlyph(QPainter& p, Glyph glyph) {
    switch (glyph) {
        case Glyph::SaveBitmap: {
            p.setPen(ink(0.9));
            p.setBrush(QColor(0x36, 0x6a, 0xb4));
            p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.2, 1.2);
            p.setBrush(QColor(0xd6, 0xd6, 0xd6));
            p.drawRect(QRectF(4.5, 1.5, 7, 4.3));
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawRect(QRectF(8.6, 2.4, 1.6, 2.5));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(3, 7.6, 10, 6.2));
            // The label is a grid of coloured pixels: this disk holds a bitmap.
            const QColor cells[] = {QColor(0xe0, 0x30, 0x30), QColor(0x30, 0xa0, 0x40), QColor(0x30, 0x60, 0xd0),
                                    QColor(0xf0, 0xc0, 0x20)};
            for (int row = 0; row < 2; ++row)
                for (int col = 0; col < 4; ++col)
                    p.fillRect(QRectF(4 + col * 2, 8.6 + row * 2.2, 1.8, 1.8), cells[(row + col) % 4]);
            break;
        }
        case Glyph::Delete: {
            p.setPen(ink(0.9));
            p.setBrush(QColor(0x9a, 0x9a, 0xa2));
            p.drawRect(QRectF(6, 1.2, 4, 1.8));
            p.drawRoundedRect(QRectF(2.5, 3, 11, 2), 0.6, 0.6);
            QPainterPath bin;
            bin.moveTo(3.8, 5);
            bin.lineTo(12.2, 5);
            bin.lineTo(11.3, 14.8);
            bin.lineTo(4.7, 14.8);
            bin.closeSubpath();
            p.setBrush(QColor(0xc8, 0xc8, 0xd0));
            p.drawPath(bin);
            p.setPen(QPen(QColor(0x60, 0x60, 0x68), 0.9));
            for (qreal x : {6.3, 8.0, 9.7}) p.drawLine(QPointF(x, 6.8), QPointF(x, 13.2));
            break;
        }
        case Glyph::Copy:
            drawSheet(p, QRectF(1.5, 1.2, 8.5, 10.5));
            drawSheet(p, QRectF(6, 4.3, 8.5, 10.5));
            break;
        case Glyph::Paste: {
            p.setPen(ink(0.9));
            p.setBrush(QColor(0xb2, 0x7c, 0x3e));
            p.drawRoundedRect(QRectF(1.5, 2.5, 10, 12), 1, 1);
            p.setBrush(QColor(0xa8, 0xa8, 0xa8));
            p.drawRoundedRect(QRectF(4, 1, 5, 3), 0.8, 0.8);
            drawSheet(p, QRectF(6.5, 6, 8, 9));
            break;
        }
        case Glyph::SetWallpaper: drawScreen(p, true); break;
        case Glyph::UnsetWallpaper:
            drawScreen(p, false);
            p.setPen(QPen(QColor(0xd0, 0x20, 0x20), 2.0, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(4.5, 4.2), QPointF(11.5, 9.4));
            p.drawLine(QPointF(11.5, 4.2), QPointF(4.5, 9.4));
            break;
        case Glyph::Stop:
            p.setPen(ink(0.9));
            p.setBrush(QColor(0xc8, 0x32, 0x32));
            p.drawRoundedRect(QRectF(3.5, 3.5, 9, 9), 1, 1);
            break;
        case Glyph::Play: {
            QPainterPath triangle;
            triangle.moveTo(4, 2.5);
            triangle.lineTo(13.5, 8);
            triangle.lineTo(4, 13.5);
            triangle.closeSubpath();
            p.setPen(ink(0.9));
            p.setBrush(QColor(0x2e, 0x9a, 0x3c));
            p.drawPath(triangle);
            break;
        }
        case Glyph::FolderOpen: drawFolder(p, true); break;
        case Glyph::FolderClosed: drawFolder(p, false); break;
        case Glyph::Drive: {
            QLinearGradient metal(QPointF(0, 4.5), QPointF(0, 11.5));
            metal.setColorAt(0, QColor(0xe4, 0xe4, 0xe8));
            metal.setColorAt(1, QColor(0x9c, 0x9c, 0xa4));
            p.setPen(ink(0.8));
            p.setBrush(metal);
            p.drawRoundedRect(QRectF(1, 4.5, 14, 7), 1.2, 1.2);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x30, 0xc0, 0x40));
            p.drawEllipse(QRectF(11.2, 7.2, 1.8, 1.8));
            break;
        }
    }
}

QPixmap render(int size, const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    return pixmap;
}

// Draws an icon at the size asked for when it is first shown, and keeps it: a dozen icons
// drawn at every size up front would hold up the window's first appearance.
class DrawnIconEngine : public QIconEngine {
public:
    explicit DrawnIconEngine(std::function<void(QPainter&)> draw) : draw_(std::move(draw)) {}

    QIconEngine* clone() const override { return new DrawnIconEngine(draw_); }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        const int side = std::max(1, std::min(size.width(), size.height()));
        QPixmap& cached = cache_[{side, static_cast<int>(mode)}];
        if (cached.isNull()) {
            cached = render(side, draw_);
            // The greyed and highlighted looks come from the style, as for any other icon.
            if (mode != QIcon::Normal) {
                QStyleOption option;
                option.palette = QGuiApplication::palette();
                cached = QApplication::style()->generatedIconPixmap(mode, cached, &option);
            }
        }
        return cached;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}};
    }

private:
    std::function<void(QPainter&)> draw_;
    std::map<std::pair<int, int>, QPixmap> cache_;
};

QIcon iconFrom(const std::function<void(QPainter&)>& draw) { return QIcon(new DrawnIconEngine(draw)); }

void drawProgramIcon(QPainter& p) {
    p.setPen(QPen(QColor(0x5a, 0x3a, 0x1a), 0.7));
    p.setBrush(QColor(0xc0, 0x8a, 0x48));
    p.drawRoundedRect(QRectF(0.6, 1.6, 14.8, 12.8), 1.2, 1.2);
    drawLandscape(p, QRectF(2.2, 3.2, 11.6, 9.6));
}

}  // namespace

QIcon glyphIcon(Glyph glyph) {
    return iconFrom([glyph](QPainter& p) { drawGlyph(p, glyph); });
}

QIcon programIcon() { return iconFrom(drawProgramIcon); }

QImage emblem() {
    QImage image(70, 52, QImage::Format_RGB32);
    image.fill(QColor(0xf0, 0xf0, 0xf0));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x5a, 0x3a, 0x1a), 1));
    p.setBrush(QColor(0xc0, 0x8a, 0x48));
    p.drawRoundedRect(QRectF(1.5, 1.5, 67, 49), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe2, 0xb4, 0x70));
    p.drawRect(QRectF(5, 5, 60, 42));
    drawLandscape(p, QRectF(7, 7, 56, 38));
    p.end();
    return image.convertToFormat(QImage::Format_Indexed8);
}

}  // namespace pictavo::gui
