#include "wallpaper/wallpaper.h"

namespace pictavo {

namespace {
void setWallpaper(FormControls& f, const std::string& path) {
    if (f.host.SystemParametersInfoA(kSetDeskWallpaper, 0, path, kUpdateIniFile) == 0)
        f.host.MsgBox(kWallpaperFailedMessage, MsgFlags::OkOnly);
}
}  // namespace

void SetBtn_Click(FormControls& f) { setWallpaper(f, f.picPath); }
void UnsetBtn_Click(FormControls& f) { setWallpaper(f, ""); }

}  // namespace pictavo
