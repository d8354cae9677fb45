// SPDX-License-Identifier: MIT
#include "gui/lists.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "base/visible_text.h"
#include "gui/icons.h"

namespace pictavo::gui {

namespace {

constexpr int kDepthRole = Qt::UserRole;
constexpr int kPathRole = Qt::UserRole + 1;
constexpr int kIndentPixels = 8;

// Indents each folder row by its depth in the chain.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem shifted(option);
        shifted.rect.adjust(indent(index), 0, 0, 0);
        QStyledItemDelegate::paint(painter, shifted, index);
    }

    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(index), 0);
    }

private:
    static int indent(const QModelIndex& index) { return index.data(kDepthRole).toInt() * kIndentPixels; }
};

bool sameRows(const std::vector<FolderRow>& a, const std::vector<FolderRow>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const FolderRow& x, const FolderRow& y) {
        return x.path == y.path && x.name == y.name && x.depth == y.depth && x.open == y.open;
    });
}

}  // namespace

// --- file list ---------------------------------------------------------------------------

FileListModel::FileListModel(const FileList& list, QObject* parent) : QAbstractListModel(parent), list_(list) {}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(names_->size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(names_->size())) return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
        // The control keeps the bytes; what shows can be read on one line.
        return visibleText((*names_)[static_cast<std::size_t>(index.row())]);
    return {};
}

bool FileListModel::follow() {
    if (listing_ == list_.listing()) return false;
    beginResetModel();
    names_ = list_.sharedNames();
    listing_ = list_.listing();
    endResetModel();
    return true;
}

FileListView::FileListView(const FileList& list, QWidget* parent) : QListView(parent), list_(list), model_(list, this) {
    setModel(&model_);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    follow();
}

void FileListView::follow() {
    following_ = true;
    if (model_.follow()) {
        scrollToTop();
        lastChoice_ = -1;  // chosen in another listing
    }
    const int row = list_.listIndex();
    if (row >= 0 && row < model_.rowCount()) {
        const QModelIndex index = model_.index(row);
        if (currentIndex() != index || !selectionModel()->isSelected(index)) {
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
            scrollTo(index);
        }
    } else if (selectionModel()->hasSelection() || currentIndex().isValid()) {
        selectionModel()->clear();
    }
    following_ = false;
}

void FileListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QListView::currentChanged(current, previous);
    if (following_ || !input_ || !current.isValid()) return;
    chosen_ = true;
    lastChoice_ = current.row();
    emit rowChosen(current.row());
}

void FileListView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex hit = indexAt(event->position().toPoint());
    chosen_ = false;
    input_ = true;
    QListView::mousePressEvent(event);
    input_ = false;
    // A click on the row that is already current is a click all the same.
    if (!chosen_ && hit.isValid() && event->button() == Qt::LeftButton) {
        lastChoice_ = hit.row();
        emit rowChosen(hit.row());
    }
}

void FileListView::mouseMoveEvent(QMouseEvent* event) {
    input_ = true;
    QListView::mouseMoveEvent(event);
    input_ = false;
}

namespace {
bool isCopyKey(const QKeyEvent* event) {
    return event->matches(QKeySequence::Copy) ||
           (event->key() == Qt::Key_C && (event->modifiers() & Qt::ControlModifier));
}
}  // namespace

void FileListView::keyPressEvent(QKeyEvent* event) {
    // Copy is the picture's command: a list never puts a file name on the clipboard.
    if (isCopyKey(event)) {
        event->ignore();
        return;
    }
    if (lastChoice_ >= 0 && lastChoice_ < model_.rowCount() && currentIndex().row() != lastChoice_) {
        following_ = true;
        selectionModel()->setCurrentIndex(model_.index(lastChoice_), QItemSelectionModel::ClearAndSelect);
        following_ = false;
    }
    input_ = true;
    QListView::keyPressEvent(event);
    input_ = false;
}

void FileListView::focusInEvent(QFocusEvent* event) {
    QListView::focusInEvent(event);
    // With nothing selected, the first arrow key selects the first file.
    if (list_.listIndex() < 0 && currentIndex().isValid()) {
        following_ = true;
        selectionModel()->clear();
        following_ = false;
    }
}

// --- folder list -------------------------------------------------------------------------

FolderListView::FolderListView(const DirList& list, QWidget* parent) : QListWidget(parent), list_(list) {
    setItemDelegate(new IndentDelegate(this));
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    follow();
}

void FolderListView::follow() {
    if (!sameRows(shown_, list_.rows())) {
        shown_ = list_.rows();
        clear();
        static const QIcon open = glyphIcon(Glyph::FolderOpen);
        static const QIcon closed = glyphIcon(Glyph::FolderClosed);
        for (const FolderRow& row : shown_) {
            auto* item = new QListWidgetItem(row.open ? open : closed, visibleText(row.name), this);
            item->setData(kDepthRole, row.depth);
            item->setData(kPathRole, QByteArray::fromStdString(row.path));
            item->setData(Qt::ToolTipRole, visibleText(row.path));
        }
    }
    const int selected = list_.selectedRow();
    if (selected != currentRow()) {
        const QSignalBlocker quiet(this);
        setCurrentRow(selected);
    }
    if (currentItem()) scrollToItem(currentItem());
}

QByteArray FolderListView::pathOf(int row) const {
    const QListWidgetItem* it = item(row);
    return it ? it->data(kPathRole).toByteArray() : QByteArray();
}

void FolderListView::mousePressEvent(QMouseEvent* event) {
    pressed_ = indexAt(event->position().toPoint());
    QListWidget::mousePressEvent(event);
}

void FolderListView::mouseReleaseEvent(QMouseEvent* event) {
    const QModelIndex hit = indexAt(event->position().toPoint());
    const bool endOfDoubleClick = afterDoubleClick_;
    afterDoubleClick_ = false;
    QListWidget::mouseReleaseEvent(event);
    if (!endOfDoubleClick && event->button() == Qt::LeftButton && hit.isValid() && hit == pressed_)
        emit rowSelected(pathOf(hit.row()));
}

void FolderListView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex hit = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !hit.isValid()) {
        QListWidget::mouseDoubleClickEvent(event);
        return;
    }
    // The release that ends the double click is not another single click.
    afterDoubleClick_ = true;
    event->accept();
    emit rowOpened(pathOf(hit.row()));
}

void FolderListView::keyPressEvent(QKeyEvent* event) {
    if (isCopyKey(event)) {
        event->ignore();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (currentRow() >= 0) emit rowOpened(pathOf(currentRow()));
        event->accept();
        return;
    }
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before && currentRow() >= 0) emit rowSelected(pathOf(currentRow()));
}

// --- drive list --------------------------------------------------------------------------

DriveBox::DriveBox(const DriveList& list, QWidget* parent) : QComboBox(parent), list_(list) {
    connect(this, &QComboBox::activated, this, [this](int row) {
        if (row >= 0 && row < static_cast<int>(list_.drives().size()))
            emit driveChosen(QByteArray::fromStdString(list_.drives()[static_cast<std::size_t>(row)]));
    });
    follow();
}

void DriveBox::follow() {
    QStringList labels;
    for (std::size_t row = 0; row < list_.drives().size(); ++row) labels << visibleText(list_.label(row));
    if (labels != shown_) {
        shown_ = labels;
        const QSignalBlocker quiet(this);
        clear();
        static const QIcon drive = glyphIcon(Glyph::Drive);
        for (const QString& label : labels) addItem(drive, label);
    }
    const auto& drives = list_.drives();
    const auto it = std::find(drives.begin(), drives.end(), list_.drive());
    const int row = it == drives.end() ? -1 : static_cast<int>(it - drives.begin());
    if (row != currentIndex()) {
        const QSignalBlocker quiet(this);
        setCurrentIndex(row);
    }
}

void DriveBox::showPopup() {
    emit aboutToOpen();
    QComboBox::showPopup();
}

}  // namespace pictavo::gui
