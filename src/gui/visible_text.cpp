// SPDX-License-Identifier: MIT
#include "gui/visible_text.h"

namespace pictavo::gui {

QString visibleText(const std::string& bytes) {
    QString text = QString::fromUtf8(bytes);
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20)
            c = QChar(char16_t(0x2400 + u));  // the block of control pictures follows C0's order
        else if (u == 0x7F)
            c = QChar(char16_t(0x2421));
        else if ((u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029)
            c = QLatin1Char('?');
    }
    return text;
}

}  // namespace pictavo::gui
