// SPDX-License-Identifier: MIT
#include "gui/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>

#include "form/rules.h"
#include "gui/about_dialog.h"
#include "gui/control_widgets.h"
#include "gui/hand_panning.h"
#include "gui/icons.h"
#include "gui/lists.h"
#include "gui/picture_view.h"
#include "gui/status_panels.h"
#include "program_info.h"

namespace pictavo::gui {

namespace {

// The window's own surface: mouse movement outside every control is Form_MouseMove.
class FormSurface : public QWidget {
public:
    explicit FormSurface(std::function<void()> onFreeMove, QWidget* parent = nullptr)
        : QWidget(parent), onFreeMove_(std::move(onFreeMove)) {
        setMouseTracking(true);
        setAutoFillBackground(true);
    }

protected:
    void mouseMoveEvent(QMouseEvent* event) override {
        // Moves over a child that does not track the mouse arrive here too: only the
        // free surface counts.
        if (!childAt(event->position().toPoint())) onFreeMove_();
        QWidget::mouseMoveEvent(event);
    }

private:
    std::function<void()> onFreeMove_;
};

// The picture buttons in the order of the strip, each with its glyph.
struct ButtonEntry {
    Button FormControls::*button;
    Glyph glyph;
};
constexpr std::array<ButtonEntry, 8> kButtonTable{{
    {&FormControls::svcomBtn, Glyph::SaveBitmap},
    {&FormControls::delBtn, Glyph::Delete},
    {&FormControls::cpyBtn, Glyph::Copy},
    {&FormControls::pstBtn, Glyph::Paste},
    {&FormControls::SetBtn, Glyph::SetWallpaper},
    {&FormControls::UnsetBtn, Glyph::UnsetWallpaper},
    {&FormControls::stpBtn, Glyph::Stop},
    {&FormControls::autoRn, Glyph::Play},
}};

// Under a held key a photo stays on screen, whole in view, at least this long before the
// next step replaces it: one frame of a 60 Hz screen.
constexpr std::chrono::milliseconds kLeastOnScreen{17};

}  // namespace

MainWindow::MainWindow(Form1& form, QWidget* parent)
    : QMainWindow(parent), form_(form), units_(unitsFor(form.c.host, qApp->devicePixelRatio())) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(kProgramTitle));
    setAccessibleName(windowTitle());
    setWindowIcon(programIcon());
    timer1_.setParent(this);
    timer1_.setObjectName(QStringLiteral("Timer1"));

    buildMenus();
    buildSurface();

    status_ = new StatusPanels(form_.c.StatusBar1, units_, this);
    status_->setObjectName(QStringLiteral("StatusBar1"));
    status_->setAccessibleName(QCoreApplication::translate("pictavo", "Status"));
    status_->setFixedHeight(units_.y(kStatusBarHeightTwips));
    setStatusBar(status_);
    form_.c.StatusBar1.observe([status = QPointer<StatusPanels>(status_)] {
        if (status) status->follow();
    });

    form_.c.Timer1.observe([self = QPointer<MainWindow>(this)] {
        if (self) self->followTimer();
    });
    connect(&timer1_, &QTimer::timeout, this, [this] {
        // A tick that falls while another event runs (a message box is open) is dropped,
        // as a window timer's would be: handlers never overlap.
        if (depth_ == 0) run([this] { form_.c.Timer1.tick(); });
    });
    followTimer();
    // Copying in another program moves no mouse over this window: a person who comes back
    // with the keyboard must find paste (and Ctrl+V) as the clipboard now stands.
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, this, [this] { activateForm(); });

    orderTabs();
    resize(designSize());
    qApp->installEventFilter(this);

    // Rows of a picture arrive on a decoder's thread: the window takes a look on its own,
    // once for any number of notices that came meanwhile.
    form_.c.pictures.setOnArrival([this] {
        if (arrivalPosted_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this, [this] { pictureArrived(); }, Qt::QueuedConnection);
    });
}

MainWindow::~MainWindow() {
    form_.c.pictures.setOnArrival({});
    qApp->removeEventFilter(this);
}

void MainWindow::run(const std::function<void()>& event) {
    ++depth_;
    form_.dispatch(event);
    --depth_;
    if (depth_ > 0) return;
    if (activationPending_) {
        activationPending_ = false;
        run([this] { form_.Form_Activate(); });
    }
    if (pictureOpened_) {
        pictureOpened_ = false;
        // Qt paints only once the input already queued is handled (its update requests
        // wait at low priority): while an arrow key is held, no picture would show until
        // the key is let go. So a picture is painted as soon as it is opened, and with it
        // whatever else the step changed (the list's selection, the count, the status).
        // A picture still arriving is painted as its rows in view arrive; while more steps of
        // a held key wait (they would replace it at once), it is painted once those rows are
        // there, so that every step shows its photo.
        if (!waitingRows_.empty()) waitForVisibleRows();
        pictureView_->repaint();
    }
}

void MainWindow::start(const std::function<void()>& opening) {
    run([this] { form_.Form_Load(); });
    show();
    if (opening) run(opening);
}

void MainWindow::waitForVisibleRows() {
    const auto& arrival = form_.c.Image1.picture().arrival();
    if (!arrival) return;
    const int top = units_.deviceY(form_.c.Image1.place().top);
    const int bottom = static_cast<int>(std::ceil(pictureView_->height() * pictureView_->devicePixelRatioF()));
    const int rows = std::min(arrival->size().height(), bottom - top);
    // Bounded: a picture that arrives only whole (a bitmap, a turned photo) may take longer,
    // and the window answers meanwhile; it is painted as it arrives.
    constexpr std::chrono::milliseconds kLongest{100};
    if (rows > 0) arrival->waitRows(rows, kLongest);
}

void MainWindow::postTakeWaitingRow(std::chrono::milliseconds after) {
    takePosted_ = true;
    QTimer::singleShot(after, Qt::PreciseTimer, this, [this] {
        takePosted_ = false;
        takeWaitingRow();
    });
}

void MainWindow::takeWaitingRow() {
    if (waitingRows_.empty()) return;
    // Rows of a list that another folder's has replaced meanwhile are not this list's.
    if (waitingListing_ != form_.c.filList.listing()) {
        waitingRows_.clear();
        return;
    }
    // A photo replaced before a screen has shown it for a frame was never seen: under a
    // held key the next step waits for the rows in view of the photo on view (bounded,
    // as when it was opened), then until it has been whole in view for a frame.
    const Picture& shown = form_.c.Image1.picture();
    if (pictureView_->isVisible() && !shown.isNull()) {
        const auto& arrival = shown.arrival();
        const auto end = arrival ? arrival->end() : Arrival::End::Whole;
        if (!pictureView_->wholeInViewSince() && (end == Arrival::End::None || end == Arrival::End::Whole)) {
            waitForVisibleRows();
            pictureView_->repaint();
        }
        if (const auto since = pictureView_->wholeInViewSince()) {
            const auto left = kLeastOnScreen - (std::chrono::steady_clock::now() - *since);
            if (left > left.zero()) {
                postTakeWaitingRow(std::chrono::ceil<std::chrono::milliseconds>(left));
                return;
            }
        }
    }
    const int row = waitingRows_.front();
    waitingRows_.pop_front();
    // Its own event, as each press of the key was: whatever came in between runs first.
    if (waitingRows_.empty()) {
        files_->choicesTaken();
    } else {
        postTakeWaitingRow(std::chrono::milliseconds(0));
    }
    run([this, row] { form_.c.filList.userClick(row); });
}

void MainWindow::pictureArrived() {
    arrivalPosted_.store(false);
    const auto& arrival = form_.c.Image1.picture().arrival();
    if (!arrival) return;
    const Arrival::End end = arrival->end();
    if (end != Arrival::End::Failed) pictureView_->rowsArrived();
    if (end == Arrival::End::Failed || end == Arrival::End::Whole) {
        if (depth_ == 0) {
            run([this] { form_.pictureArrived(); });
        } else {
            // A message box is open: told once it is closed.
            QTimer::singleShot(50, this, [this] { pictureArrived(); });
        }
    }
}

void MainWindow::pictureShown() {
    // While steps of a held key wait, each opens its own visible rows first; the
    // neighbours come once the window has caught up.
    if (!decodeAhead_ || !waitingRows_.empty() || aheadPending_) return;
    aheadPending_ = true;
    // Behind whatever already waits, input included: the person's next step comes first.
    QTimer::singleShot(0, this, [this] {
        aheadPending_ = false;
        if (depth_ == 0 && waitingRows_.empty()) run([this] { decodeLikelyNext(form_.c); });
    });
}

QSize MainWindow::designSize() const {
    const int width = units_.x(kClientWidthTwips);
    return {width, units_.y(kClientHeightTwips) + menuBar()->heightForWidth(width)};
}

QSizeF MainWindow::outerTwips() const {
    // The client area starts below the menu bar, where the central widget starts.
    const int clientHeight = height() - centralWidget()->y();
    return {units_.twipsX(width()) + kFrameWidthTwips, units_.twipsY(clientHeight) + kFrameHeightTwips};
}

template <class W>
void MainWindow::bind(Control& control, W* widget) {
    auto follow = [this, &control, w = QPointer<W>(widget)] {
        if (!w) return;
        w->setGeometry(units_.rect(control.place()));
        w->setEnabled(control.enabled());
        w->setVisible(control.visible());
        if constexpr (requires(W & x) { x.follow(); }) w->follow();
    };
    control.observe(follow);
    follow();
}

void MainWindow::buildMenus() {
    auto& c = form_.c;
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
    bar->setAccessibleName(QCoreApplication::translate("pictavo", "Menu"));

    QMenu* edit = bar->addMenu(QString::fromUtf8(c.Edit.caption()));
    edit->setObjectName(QString::fromStdString(c.Edit.name()));
    auto bindAction = [this](MenuItem& item, QAction* action) {
        action->setObjectName(QString::fromStdString(item.name()));
        auto follow = [&item, a = QPointer<QAction>(action)] {
            if (!a) return;
            a->setText(QString::fromUtf8(item.caption()));
            a->setEnabled(item.enabled());
            a->setVisible(item.visible());
        };
        item.observe(follow);
        follow();
        connect(action, &QAction::triggered, this, [this, &item] { run([&item] { item.click(); }); });
    };
    bindAction(c.Edit, edit->menuAction());
    for (MenuItem* item : {&c.bmp, &c.renm, &c.Del, &c.Cpy}) bindAction(*item, edit->addAction(QString()));
    bindAction(c.Cls, bar->addAction(QString()));
    bindAction(c.Version, bar->addAction(QString()));

    // The desktop's usual keys for the commands; a key works only while its command is
    // enabled and shown, and the menu shows it beside the command.
    const std::pair<MenuItem*, QKeySequence> keys[] = {{&c.bmp, QKeySequence(Qt::CTRL | Qt::Key_S)},
                                                       {&c.Cpy, QKeySequence(Qt::CTRL | Qt::Key_C)},
                                                       {&c.Del, QKeySequence(Qt::Key_Delete)},
                                                       {&c.Cls, QKeySequence(Qt::CTRL | Qt::Key_Q)},
                                                       {&c.Version, QKeySequence(Qt::Key_F1)}};
    for (const auto& [item, key] : keys) findChild<QAction*>(QString::fromStdString(item->name()))->setShortcut(key);

    // Paste has a button only; its key follows the button's state.
    auto* paste = new QAction(QCoreApplication::translate("pictavo", "Paste from clipboard"), this);
    paste->setObjectName(QStringLiteral("pasteKey"));
    paste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    addAction(paste);
    auto followPaste = [&button = c.pstBtn, a = QPointer<QAction>(paste)] {
        if (a) a->setEnabled(button.enabled() && button.visible());
    };
    c.pstBtn.observe(followPaste);
    followPaste();
    connect(paste, &QAction::triggered, this, [this] { run([this] { form_.c.pstBtn.click(); }); });
}

void MainWindow::buildSurface() {
    auto& c = form_.c;
    auto* surface = new FormSurface([this] { run([this] { form_.Form_MouseMove(); }); }, this);
    surface->setObjectName(QStringLiteral("surface"));
    setCentralWidget(surface);

    // The frames first: they lie behind the buttons of their groups.
    for (Frame& member : c.Frame1) bind(member, new GroupFrame(member, surface));

    auto* picture = new PictureView(c.Image1, units_, surface);
    pictureView_ = picture;
    picture->onPainted = [this] { pictureShown(); };
    // A large photo's neighbours need not wait for all of it: under a held key the next
    // photo's rows in view are decoded ahead while the key's next step is still to come.
    picture->onInView = [this] { pictureShown(); };
    picture->onResized = [this](QSize devicePixels) { form_.c.pictures.setViewSize(devicePixels); };
    picture->setObjectName(QString::fromStdString(c.Picture1.name()));
    picture->setAccessibleName(QCoreApplication::translate("pictavo", "Picture"));
    bind(c.Picture1, picture);
    c.Image1.observe([this, p = QPointer<PictureView>(picture)] {
        if (!p) return;
        p->update();
        const Picture& shown = form_.c.Image1.picture();
        if (!(shown == lastPicture_)) {
            p->pictureChanged();
            if (!shown.isNull()) pictureOpened_ = true;
        }
        lastPicture_ = shown;
    });
    new HandPanning(picture, c.HScroll1, c.VScroll1, units_,
                    [this](const std::function<void()>& event) { run(event); });

    for (const ButtonEntry& entry : kButtonTable) {
        Button& button = c.*entry.button;
        const QRect r = units_.rect(button.place());
        auto* tool = new PictureButton(button, entry.glyph, std::max(8, std::min(r.width(), r.height()) - 5), surface);
        bind(button, tool);
        connect(tool, &QToolButton::clicked, this, [this, &button] { run([&button] { button.click(); }); });
    }

    bind(c.lstCnt, new CountBox(c.lstCnt, surface));

    auto* slider = new SpeedSlider(c.Slider1, surface);
    bind(c.Slider1, slider);
    connect(slider, &QSlider::valueChanged, this,
            [this](int value) { run([this, value] { form_.c.Slider1.userScroll(value); }); });

    for (ScrollBar* model : {&c.HScroll1, &c.VScroll1}) {
        auto* bar = new PanBar(*model, surface);
        bind(*model, bar);
        connect(bar, &QScrollBar::valueChanged, this,
                [this, model](int value) { run([model, value] { model->userScrollTo(value); }); });
        bar->raise();
    }

    auto* drives = new DriveBox(c.drvList, surface);
    drives->setObjectName(QString::fromStdString(c.drvList.name()));
    drives->setAccessibleName(QCoreApplication::translate("pictavo", "Drives"));
    bind(c.drvList, drives);
    connect(drives, &DriveBox::aboutToOpen, this, [this] { run([this] { form_.c.drvList.refreshDrives(); }); });
    // The list's own input handling finishes before the model runs (and perhaps opens a
    // message box): hence the queued connections of the three lists.
    connect(
        drives, &DriveBox::driveChosen, this,
        [this](const QByteArray& drive) { run([this, drive] { form_.c.drvList.setDrive(drive.toStdString()); }); },
        Qt::QueuedConnection);

    auto* folders = new FolderListView(c.dirList, surface);
    folders->setObjectName(QString::fromStdString(c.dirList.name()));
    folders->setAccessibleName(QCoreApplication::translate("pictavo", "Folders"));
    bind(c.dirList, folders);
    auto rowOf = [this](const QByteArray& path) {
        const auto& rows = form_.c.dirList.rows();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].path == path.toStdString()) return static_cast<int>(i);
        return -1;
    };
    connect(
        folders, &FolderListView::rowSelected, this,
        [this, rowOf](const QByteArray& path) {
            run([this, rowOf, path] { form_.c.dirList.userSelect(rowOf(path)); });
        },
        Qt::QueuedConnection);
    connect(
        folders, &FolderListView::rowOpened, this,
        [this, rowOf](const QByteArray& path) { run([this, rowOf, path] { form_.c.dirList.userOpen(rowOf(path)); }); },
        Qt::QueuedConnection);

    auto* files = new FileListView(c.filList, surface);
    files_ = files;
    files->setObjectName(QString::fromStdString(c.filList.name()));
    files->setAccessibleName(QCoreApplication::translate("pictavo", "Files"));
    bind(c.filList, files);
    connect(files, &FileListView::rowChosen, this, [this](int row) {
        if (waitingListing_ != form_.c.filList.listing()) waitingRows_.clear();
        waitingListing_ = form_.c.filList.listing();
        waitingRows_.push_back(row);
        if (!takePosted_) postTakeWaitingRow(std::chrono::milliseconds(0));
    });
    files->setFocus();
}

void MainWindow::orderTabs() {
    QWidget* previous = nullptr;
    for (Control* control : form_.c.tabOrder()) {
        auto* widget =
            centralWidget()->findChild<QWidget*>(QString::fromStdString(control->name()), Qt::FindDirectChildrenOnly);
        if (!widget) continue;
        if (previous) QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

void MainWindow::followTimer() {
    const Timer& timer = form_.c.Timer1;
    if (!timer.enabled() || timer.interval() <= 0) {
        timer1_.stop();
    } else if (!timer1_.isActive() || timer1_.interval() != timer.interval()) {
        timer1_.start(timer.interval());
    }
}

void MainWindow::formResize() {
    if (isMinimized()) return;
    const QSizeF outer = outerTwips();
    run([this, outer] { form_.resize(static_cast<float>(outer.width()), static_cast<float>(outer.height())); });
}

void MainWindow::activateForm() {
    if (depth_ > 0) {
        activationPending_ = true;
        return;
    }
    run([this] { form_.Form_Activate(); });
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    formResize();
    activateForm();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (shown_) formResize();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Form_Activate runs when the main window becomes active coming back from another
    // form of the program (the About box). An activation that follows another program,
    // or one of our message boxes or dialogs, does not count.
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType()) {
        auto* window = static_cast<QWidget*>(watched);
        if (window == this) {
            if (otherFormWasActive_) {
                otherFormWasActive_ = false;
                activateForm();
            }
        } else if (window->isWindow() && window->property(kFormWindowProperty).toBool()) {
            otherFormWasActive_ = true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace pictavo::gui
