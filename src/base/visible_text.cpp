// SPDX-License-Identifier: MIT
#include "base/visible_text.h"

#include <QStringList>

namespace pictavo {

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

QString visibleLines(const std::string& bytes) {
    QStringList lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
        lines << visibleText(bytes.substr(start, end - start));
    lines << visibleText(bytes.substr(start));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace pictavo
