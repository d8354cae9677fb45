// SPDX-License-Identifier: MIT
#include "gui/deferred_icons.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <optional>

namespace pictavo::gui {

namespace {

// An icon that asks the style for itself the first time it is measured or drawn.
class DeferredIconEngine : public QIconEngine {
public:
    DeferredIconEngine(const QProxyStyle* style, QStyle::StandardPixmap which, const QWidget* widget)
        : style_(const_cast<QProxyStyle*>(style)), which_(which), widget_(const_cast<QWidget*>(widget)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

private:
    QIcon icon() {
        if (!fetched_) {
            // The style or the widget asked for may be gone by now; the application's style
            // and no widget serve as well for the picture.
            const QStyle* base = style_ ? style_->baseStyle() : QApplication::style();
            fetched_ = base->standardIcon(which_, nullptr, widget_.data());
        }
        return *fetched_;
    }

    // Watched, never changed.
    QPointer<QProxyStyle> style_;
    QStyle::StandardPixmap which_;
    QPointer<QWidget> widget_;
    std::optional<QIcon> fetched_;
};

}  // namespace

QIcon DeferredIconStyle::standardIcon(StandardPixmap icon, const QStyleOption*, const QWidget* widget) const {
    return QIcon(new DeferredIconEngine(this, icon, widget));
}

}  // namespace pictavo::gui
