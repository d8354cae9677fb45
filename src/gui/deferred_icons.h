// SPDX-License-Identifier: MIT
#pragma once
// The desktop's own style, whose standard icons are fetched from it only when first drawn.
// Qt's styles load them from picture files, and the first such load makes Qt's image
// plugins load, with their libraries: about ten milliseconds of start-up spent on the
// menu bar's overflow button, which a window of ordinary width never shows.

#include <QProxyStyle>

namespace pictavo::gui {

class DeferredIconStyle : public QProxyStyle {
public:
    DeferredIconStyle() = default;

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};

}  // namespace pictavo::gui
