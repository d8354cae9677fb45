// SPDX-License-Identifier: MIT
#include "qthost/qt_host.h"

#include "base/visible_text.h"
#include "imaging/clipboard_picture.h"
#include "platform/system_parameters.h"
#include "program_info.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QStandardPaths>
#include <QUuid>
#include <QWidget>
#include <exception>

namespace pictavo {

namespace {

// Offered beside the image data of a copied picture; holds the copying run's token.
constexpr const char* kOwnPictureType = "application/x-pictavo-picture";

QString decodePath(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }
std::string encodePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The folder the program and the save box start in: the pictures folder where there is
// one, else the home folder.
QString startFolder() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir()) return pictures;
    return QDir::homePath();
}

float twipsPerDevicePixel(bool horizontal) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 15;
    const qreal dpi = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    const qreal dpr = screen->devicePixelRatio();
    if (dpi <= 0 || dpr <= 0) return 15;
    return static_cast<float>(1440.0 / (dpi * dpr));
}

}  // namespace

std::string startFolderPath() { return encodePath(startFolder()); }

QStringList qtNameFilters(const std::string& filter) {
    const QString text = QString::fromUtf8(filter);
    auto patternOf = [](const QString& p) { return p.split(u';', Qt::SkipEmptyParts).join(u' ').trimmed(); };
    if (!text.contains(u'|')) {
        const QString only = patternOf(text);
        return only.isEmpty() ? QStringList() : QStringList{only};
    }
    QStringList parts = text.split(u'|');
    // The text ends in "|", which leaves an empty last part.
    if (!parts.isEmpty() && parts.back().isEmpty()) parts.pop_back();
    QStringList out;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString desc = parts[i].trimmed();
        if (i + 1 >= parts.size()) {
            // A description without its pattern: let Qt read it as patterns.
            if (!desc.isEmpty()) out << patternOf(desc);
            continue;
        }
        const QString raw = parts[i + 1].trimmed();
        const QString pattern = patternOf(raw);
        if (pattern.isEmpty()) continue;
        if (desc.isEmpty()) {
            out << pattern;
        } else if (!raw.contains(u';') && desc.endsWith(QLatin1Char('(') + raw + QLatin1Char(')'))) {
            // "bmp(*.bmp)" already reads the way Qt wants it.
            out << desc;
        } else {
            out << desc + QStringLiteral(" (") + pattern + u')';
        }
    }
    return out;
}

QtHost::QtHost() : clipboardToken_(QUuid::createUuid().toByteArray(QUuid::WithoutBraces)) {
    files_.tellPictures(&pictures_);
}

QtHost::~QtHost() {
    while (waitCursors_ > 0) {
        QGuiApplication::restoreOverrideCursor();
        --waitCursors_;
    }
}

void QtHost::setMainWindow(QWidget* window) { mainWindow_ = window; }

void QtHost::setWindowFactory(const std::string& name, WindowFactory factory) { factories_[name] = std::move(factory); }

MsgResult QtHost::MsgBox(const std::string& prompt, MsgFlags flags, const std::optional<std::string>& title) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool withCancel = true;
    switch (flags) {
        case MsgFlags::OkOnly: withCancel = false; break;
        case MsgFlags::OkCancelQuestion: icon = QMessageBox::Question; break;
        case MsgFlags::OkCancelExclamation: icon = QMessageBox::Warning; break;
        case MsgFlags::OkCancelInformation: icon = QMessageBox::Information; break;
    }
    const QString caption = title && !title->empty() ? visibleText(*title) : QString::fromLatin1(kProgramTitle);
    // A file name the prompt quotes shows its control characters, as the lists show them.
    QMessageBox box(icon, caption, visibleLines(prompt),
                    withCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, mainWindow_);
    // File names may hold "<" and "&": the prompt is never rich text.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(withCancel ? QMessageBox::Cancel : QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    // A box raised while the hourglass shows (a picture that failed to load) must still
    // look clickable.
    const bool waiting = waitCursors_ > 0;
    if (waiting) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (waiting) QGuiApplication::restoreOverrideCursor();
    return box.clickedButton() == box.button(QMessageBox::Cancel) ? MsgResult::Cancel : MsgResult::Ok;
}

void QtHost::SetMousePointer(MousePointer pointer) {
    if (pointer == MousePointer::Hourglass) {
        if (waitCursors_ == 0) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            ++waitCursors_;
        }
        return;
    }
    while (waitCursors_ > 0) {
        QGuiApplication::restoreOverrideCursor();
        --waitCursors_;
    }
}

bool QtHost::ShowSave(SaveDialogState& dialog) {
    QString folder = decodePath(dialog.initDir);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = startFolder();
    QString preselect;
    if (!dialog.fileName.empty()) {
        const QString chosen = decodePath(dialog.fileName);
        const QFileInfo info(chosen);
        if (chosen.contains(u'/')) {
            // A full path (the last one chosen) starts in its own folder.
            if (info.dir().exists()) folder = info.absolutePath();
            preselect = info.fileName();
        } else {
            preselect = chosen;
        }
    }

    QFileDialog box(mainWindow_, QString::fromUtf8(dialog.dialogTitle), folder);
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setFileMode(QFileDialog::AnyFile);
    // The save commands ask their own question before replacing a file.
    box.setOption(QFileDialog::DontConfirmOverwrite, true);
    box.setWindowModality(Qt::ApplicationModal);
    const QStringList filters = qtNameFilters(dialog.filter);
    if (!filters.isEmpty()) box.setNameFilters(filters);
    if (!preselect.isEmpty()) box.selectFile(preselect);

    const bool waiting = waitCursors_ > 0;
    if (waiting) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const bool accepted = box.exec() == QDialog::Accepted && !box.selectedFiles().isEmpty();
    if (waiting) QGuiApplication::restoreOverrideCursor();
    if (!accepted) {
        if (dialog.cancelError) throw HostError("Cancel was selected.");
        return false;
    }
    dialog.fileName = encodePath(box.selectedFiles().front());
    return true;
}

float QtHost::TwipsPerPixelX() const { return twipsPerDevicePixel(true); }
float QtHost::TwipsPerPixelY() const { return twipsPerDevicePixel(false); }

std::string QtHost::StartDrive() { return "/"; }

std::string QtHost::StartFolder() { return startFolderPath(); }

void QtHost::ClipboardClear() {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->clear();
}

void QtHost::ClipboardSetData(const Picture& picture) {
    if (picture.isNull()) throw HostError("There is no picture to copy");
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) throw HostError("The clipboard is not available");
    auto* data = new QMimeData;
    // In sRGB, as other programs take a picture without a profile.
    if (const auto toSrgb = pictures_.colours().screenToSrgb()) {
        QImage copy = *picture.image();
        toSrgb->convert(copy);
        data->setImageData(copy);
    } else {
        data->setImageData(*picture.image());
    }
    data->setData(QString::fromLatin1(kOwnPictureType), clipboardToken_);
    clipboard->setMimeData(data);
}

bool QtHost::ClipboardHoldsOwnPicture() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    const QMimeData* data = clipboard->mimeData();
    const QString type = QString::fromLatin1(kOwnPictureType);
    return data && data->hasFormat(type) && data->data(type) == clipboardToken_;
}

ClipboardPicture QtHost::ClipboardGetData() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) throw HostError("The clipboard is not available");
    const QMimeData* data = clipboard->mimeData();
    if (!data) return {};
    return takeClipboardPicture(*data);
}

bool QtHost::ClipboardHasBitmap() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    const QMimeData* data = clipboard->mimeData();
    return data && !clipboardPictureFormat(*data).isEmpty();
}

void QtHost::Show(const std::string& window) {
    const auto factory = factories_.find(window);
    if (factory == factories_.end()) throw HostError("Form not found: " + window);
    if (const auto it = open_.find(window); it != open_.end() && it->second)
        throw HostError("Form already displayed; can't show modally");
    std::unique_ptr<QDialog> dialog(factory->second(mainWindow_));
    if (!dialog) throw HostError("Form not found: " + window);
    open_[window] = dialog.get();
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->exec();
    open_.erase(window);
    dialog.reset();
    // Hand the activation back to the main window explicitly: without a window manager
    // nothing else would.
    if (mainWindow_ && mainWindow_->isVisible()) mainWindow_->activateWindow();
}

void QtHost::Unload(const std::string& window) {
    if (window == "Form1") {
        for (auto& [name, dialog] : open_)
            if (dialog) dialog->done(QDialog::Rejected);
        if (mainWindow_) mainWindow_->close();
        QCoreApplication::quit();
        return;
    }
    // Unloading a window that is not loaded does nothing.
    const auto it = open_.find(window);
    if (it != open_.end() && it->second) it->second->done(QDialog::Accepted);
}

int QtHost::SystemParametersInfoA(unsigned action, unsigned param, const std::string& text, unsigned flags) {
    // The desktop's own programs may take a moment; show that the program is busy.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const int result = os::SystemParametersInfoA(action, param, text, flags);
    QGuiApplication::restoreOverrideCursor();
    return result;
}

}  // namespace pictavo
