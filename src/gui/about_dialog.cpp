// SPDX-License-Identifier: MIT
#include "gui/about_dialog.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>

#include "app/about_box.h"
#include "base/translation.h"
#include "gui/icons.h"
#include "platform/host.h"
#include "program_info.h"

namespace pictavo::gui {

AboutDialog::AboutDialog(Host& host, Runner run, const Units& units, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setProperty(kFormWindowProperty, true);
    setWindowTitle(translatedQ(about::kTitle));
    setAccessibleName(translatedQ(about::kTitle));
    // A fixed dialog border: a title and a close control, no minimize or maximize.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(units.x(about::kClientWidth), units.y(about::kClientHeight));

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setAccessibleName(QCoreApplication::translate("pictavo", "About %1").arg(QStringLiteral(PICTAVO_NAME)));
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(units.rect(about::kFrame));

    for (const about::Label& design : about::kLabels) {
        auto* label = new QLabel(QString::fromUtf8(design.text), frame);
        label->setObjectName(QString::fromLatin1(design.name));
        if (design.index >= 0) label->setProperty("index", design.index);
        label->setAccessibleName(label->text());
        label->setTextFormat(Qt::PlainText);
        QFont font(QString::fromLatin1(kGothicFamily));
        font.setPointSizeF(design.pointSize);
        font.setBold(design.bold);
        label->setFont(font);
        // The design widths were measured with another font: a text that would be cut
        // widens its label to the right, inside the frame.
        QRect place = units.rect(design.place);
        const int room = frame->contentsRect().right() - place.left();
        place.setWidth(std::min(std::max(place.width(), label->sizeHint().width()), room));
        label->setGeometry(place);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor::fromRgb(design.rgb));
        label->setPalette(palette);
    }

    auto* image = new QLabel(frame);
    image->setObjectName(QStringLiteral("Image1"));
    image->setAccessibleName(QCoreApplication::translate("pictavo", "Emblem"));
    image->setPixmap(QPixmap::fromImage(emblem()));
    image->setScaledContents(true);
    image->setGeometry(units.rect(about::kImage));

    auto* ok = new QPushButton(QString::fromUtf8(about::kOkText), frame);
    ok->setObjectName(QStringLiteral("okBtn"));
    ok->setAccessibleName(ok->text());
    ok->setGeometry(units.rect(about::kOkButton));
    ok->setDefault(true);
    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, [&host, run] { run([&host] { about::okBtn_Click(host); }); });
}

}  // namespace pictavo::gui
