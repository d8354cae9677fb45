// SPDX-License-Identifier: MIT
#include "gui/status_panels.h"

#include <QFontMetrics>
#include <QResizeEvent>
#include <algorithm>

#include "base/translation.h"
#include "base/visible_text.h"

namespace pictavo::gui {

namespace {
constexpr int kGapPixels = 2;
constexpr const char* kPanelNames[] = {QT_TRANSLATE_NOOP("pictavo", "Message"),
                                       QT_TRANSLATE_NOOP("pictavo", "File size"), QT_TRANSLATE_NOOP("pictavo", "Date"),
                                       QT_TRANSLATE_NOOP("pictavo", "Time")};
}  // namespace

StatusPanels::StatusPanels(const StatusBar& bar, const Units& units, QWidget* parent)
    : QStatusBar(parent), bar_(bar), units_(units) {
    setSizeGripEnabled(false);
    for (int i = 1; i <= 4; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("StatusBar1_panel%1").arg(i));
        // A screen reader reads the panel's whole text as its name (set as the text
        // changes); what the panel is for is its description.
        label->setAccessibleDescription(translatedQ(kPanelNames[i - 1]));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setIndent(2);
        panels_[static_cast<std::size_t>(i - 1)] = label;
    }
    connect(&clock_, &QTimer::timeout, this, [this] { follow(); });
    clock_.start(1000);
    follow();
}

void StatusPanels::follow() {
    bool changed = false;
    for (int i = 1; i <= 4; ++i) {
        const QString text = visibleText(bar_.displayText(i));
        if (text == texts_[static_cast<std::size_t>(i - 1)]) continue;
        texts_[static_cast<std::size_t>(i - 1)] = text;
        changed = true;
    }
    if (changed) place();
}

int StatusPanels::panelWidth(int index) const {
    const int design = units_.x(bar_.panel(index).minWidth);
    if (index == 1) return design;
    // The size, date and time are never cut: with a wider font than the design's, their
    // panels grow to fit and the message panel gives way.
    const QLabel* label = panel(index);
    const int frame = label->width() - label->contentsRect().width();
    const int needed = label->fontMetrics().horizontalAdvance(texts_[static_cast<std::size_t>(index - 1)]) +
                       label->indent() + frame + 2;
    return std::max(design, needed);
}

void StatusPanels::showPanel(int index) {
    QLabel* label = panel(index);
    const QString& full = texts_[static_cast<std::size_t>(index - 1)];
    // A long path keeps its beginning and its file name.
    const int room = std::max(0, label->contentsRect().width() - label->indent());
    const QString shown = label->fontMetrics().elidedText(full, Qt::ElideMiddle, room);
    label->setText(shown);
    label->setToolTip(shown == full ? QString() : full);
    // Not the shortened text on screen: the whole path. A label without an accessible name
    // would be read by its shown text, and one with a fixed name would hide the text.
    label->setAccessibleName(full);
}

void StatusPanels::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    place();
}

void StatusPanels::place() {
    // Panels 2 to 4 keep their widths at the right; panel 1 takes the rest, at least its
    // minimum, and the panels that no longer fit are cut off at the window's edge.
    int fixed = 0;
    for (int i = 2; i <= 4; ++i) fixed += panelWidth(i) + kGapPixels;
    int x = 0;
    const int height = this->height() - 2;
    for (int i = 1; i <= 4; ++i) {
        const int min = panelWidth(i);
        const int w = i == 1 ? std::max(min, width() - fixed - kGapPixels) : min;
        panel(i)->setGeometry(x, 1, w, height);
        x += w + kGapPixels;
    }
    for (int i = 1; i <= 4; ++i) showPanel(i);
}

}  // namespace pictavo::gui
