// SPDX-License-Identifier: MIT
#include "wallpaper/wallpaper.h"

#include "form/rules.h"
#include "platform/system_parameters.h"

namespace pictavo {

namespace {
void setWallpaper(FormControls& f, const std::string& path) {
    if (f.host.SystemParametersInfoA(os::kSpiSetDeskWallpaper, 0, path, os::kSpifUpdateIniFile) == 0)
        f.host.MsgBox(translated(kWallpaperFailedMessage), MsgFlags::OkOnly);
}
}  // namespace

void SetBtn_Click(FormControls& f) {
    if (pictureArrivedWhole(f)) setWallpaper(f, f.picPath);
}
void UnsetBtn_Click(FormControls& f) { setWallpaper(f, ""); }

}  // namespace pictavo
