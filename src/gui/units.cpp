// SPDX-License-Identifier: MIT
#include "gui/units.h"

#include "platform/host.h"

namespace pictavo::gui {

Units unitsFor(const Host& host, double devicePixelRatio) {
    const double ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    return {host.TwipsPerPixelX() * ratio, host.TwipsPerPixelY() * ratio, host.TwipsPerPixelX(), host.TwipsPerPixelY()};
}

}  // namespace pictavo::gui
