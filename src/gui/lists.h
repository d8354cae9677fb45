// SPDX-License-Identifier: MIT
#pragma once
// The three browser lists as widgets. Each follows its control and reports what the user
// does as a signal; the main window turns the signals into events of the model.

#include <QAbstractListModel>
#include <QComboBox>
#include <QListView>
#include <QListWidget>
#include <memory>
#include <string>
#include <vector>

#include "controls/controls.h"

namespace pictavo::gui {

// The file list's names for a QListView. Only rows in view are turned into text, so a
// folder of 100,000 pictures lists at once.
class FileListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit FileListModel(const FileList& list, QObject* parent = nullptr);
    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    // Takes the control's names when they differ from those shown; true when they did.
    bool follow();

private:
    const FileList& list_;
    // The listing shown, shared with the control until it reads the folder again.
    std::shared_ptr<const std::vector<std::string>> names_ = std::make_shared<const std::vector<std::string>>();
    std::uint64_t listing_ = ~std::uint64_t{0};
};

class FileListView : public QListView {
    Q_OBJECT
public:
    explicit FileListView(const FileList& list, QWidget* parent = nullptr);
    // Shows the control's names and selection.
    void follow();
    // Every row the user chose has been taken by the control. Until then the selection
    // shows each row as the control steps onto it, and the next key moves on from the
    // last row chosen, so that no press of a held key is lost.
    void choicesTaken() { lastChoice_ = -1; }

signals:
    // The user clicked a row or moved onto it with the keyboard.
    void rowChosen(int row);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    const FileList& list_;
    FileListModel model_;
    bool following_ = false;
    // Only a move that the user's own input causes is a choice; Qt also moves the
    // current row by itself (onto the first row when the list gets the focus).
    bool input_ = false;
    bool chosen_ = false;
    int lastChoice_ = -1;
};

// The open folder's chain of parents, indented, then its subfolders.
class FolderListView : public QListWidget {
    Q_OBJECT
public:
    explicit FolderListView(const DirList& list, QWidget* parent = nullptr);
    void follow();

signals:
    // A single click or a keyboard move: the row is selected, the folder stays.
    void rowSelected(const QByteArray& path);
    // A double click or Enter.
    void rowOpened(const QByteArray& path);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    [[nodiscard]] QByteArray pathOf(int row) const;
    const DirList& list_;
    std::vector<FolderRow> shown_;
    QPersistentModelIndex pressed_;
    bool afterDoubleClick_ = false;
};

class DriveBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveBox(const DriveList& list, QWidget* parent = nullptr);
    void follow();

signals:
    // The list is about to open: a good moment to look for newly mounted media.
    void aboutToOpen();
    void driveChosen(const QByteArray& drive);

protected:
    void showPopup() override;

private:
    const DriveList& list_;
    QStringList shown_;
};

}  // namespace pictavo::gui
