#include "form/rules.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace pictavo {

std::string countText(std::int64_t n) { return std::to_string(n); }

void showPosition(FormControls& f) { f.lstCnt.setText(f.lstPos + "/" + f.lstTotal); }

void recount(FormControls& f) {
    f.lstTotal = countText(f.filList.listCount());
    f.lstPos = countText(static_cast<std::int64_t>(f.filList.listIndex()) + 1);
    showPosition(f);
}

std::string formatNumber(double value, std::string_view pattern) {
    const auto numericEnd = pattern.find_first_not_of("#,0.");
    const auto numeric = pattern.substr(0, numericEnd);
    const auto literal = numericEnd == std::string_view::npos ? std::string_view() : pattern.substr(numericEnd);
    const auto point = numeric.find('.');
    const int decimals = point == std::string_view::npos ? 0 : static_cast<int>(numeric.size() - point - 1);
    const bool grouping = numeric.substr(0, point).find(',') != std::string_view::npos;

    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string digits = buffer;
    std::string sign;
    if (!digits.empty() && digits[0] == '-') {
        sign = "-";
        digits.erase(0, 1);
    }
    const auto dot = digits.find('.');
    const std::string whole = digits.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? std::string() : digits.substr(dot);
    std::string out = sign;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (grouping && i > 0 && (whole.size() - i) % 3 == 0) out += ',';
        out += whole[i];
    }
    return out + fraction + std::string(literal);
}

std::string sizeText(std::int64_t bytes) {
    const double size = static_cast<double>(bytes);
    if (size < 1024000) return formatNumber(size / 1000, "#,#0.0KB");
    return formatNumber(size / 1024000, "#,#0.0MB");
}

std::string rightText(const std::string& text, std::size_t n) {
    return text.size() <= n ? text : text.substr(text.size() - n);
}

bool isBitmapPath(const std::string& path) {
    const std::string tail = rightText(path, 3);
    return tail == "bmp" || tail == "BMP";
}

std::int32_t scrollRange(float pictureSize, float viewportSize) {
    const double excess = std::nearbyint(static_cast<double>(pictureSize) - static_cast<double>(viewportSize));
    if (excess > std::numeric_limits<std::int32_t>::max() || excess < std::numeric_limits<std::int32_t>::min())
        throw HostError("Overflow");
    return static_cast<std::int32_t>(excess);
}

void fitScrollBar(ScrollBar& bar, float pictureSize, float viewportSize, bool toStart) {
    if (pictureSize < viewportSize) {
        bar.setVisible(false);
        return;
    }
    bar.setVisible(true);
    bar.setMax(scrollRange(pictureSize, viewportSize));
    if (toStart) bar.setValue(0);
}

void fitViewport(FormControls& f) {
    f.VScroll1.setValue(0);
    f.HScroll1.setValue(0);
    f.Image1.setTop(0);
    f.Image1.setLeft(0);
    fitScrollBar(f.VScroll1, f.Image1.place().height, f.Picture1.place().height, true);
    fitScrollBar(f.HScroll1, f.Image1.place().width, f.Picture1.place().width, true);
}

void setBitmapCommands(FormControls& f, bool bitmap) {
    f.svcomBtn.setEnabled(!bitmap);
    f.bmp.setEnabled(!bitmap);
    f.SetBtn.setEnabled(bitmap);
}

}  // namespace pictavo
