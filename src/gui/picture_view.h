// SPDX-License-Identifier: MIT
#pragma once
// The viewport Picture1: shows Image1's picture at its natural size, one picture pixel to
// one device pixel, clipped, at the image's offset.

#include <QRect>
#include <QWidget>
#include <chrono>
#include <functional>
#include <optional>

#include "controls/controls.h"
#include "gui/units.h"

namespace pictavo::gui {

// The part of a picture that a viewport shows, in device pixels: where it lands in the
// viewport and where it comes from in the picture. Empty when nothing shows.
struct VisiblePart {
    QRect target;
    QRect source;
};
[[nodiscard]] VisiblePart visiblePart(QSize viewport, QPoint pictureOrigin, QSize picture);

class PictureView : public QWidget {
public:
    PictureView(const Image& image, const Units& units, QWidget* parent = nullptr);
    // Called after each paint that showed a whole picture.
    std::function<void()> onPainted;
    // Called once a picture still arriving has shown every row in view.
    std::function<void()> onInView;
    // Called with the viewport's size in device pixels whenever it changes.
    std::function<void(QSize)> onResized;
    // More rows of the picture have arrived: painted where they show.
    void rowsArrived();
    // The last paint showed every row of the picture that lies in the viewport.
    [[nodiscard]] bool paintedAllInView() const;
    // Since when the picture on view has shown every row in the viewport; none before
    // its first such paint.
    [[nodiscard]] std::optional<std::chrono::steady_clock::time_point> wholeInViewSince() const {
        return wholeInViewSince_;
    }
    // The image took another picture: none of it is painted yet.
    void pictureChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Where the picture's origin is and how tall the viewport is, in device pixels.
    [[nodiscard]] QPoint origin() const;
    [[nodiscard]] QSize deviceSize() const;
    // Of a picture still arriving, the rows complete in the viewport's columns.
    [[nodiscard]] int rowsInView(const Arrival& arrival, int rows, int firstRows) const;

    const Image& image_;
    Units units_;
    // Rows from the top of the arriving picture that the last paint showed.
    int paintedRows_ = 0;
    std::optional<std::chrono::steady_clock::time_point> wholeInViewSince_;
};

}  // namespace pictavo::gui
