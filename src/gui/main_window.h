// SPDX-License-Identifier: MIT
#pragma once
// Form1 on screen: a menu bar, a surface with every control at its design place, and the
// status bar. Each widget follows its control; everything the user does goes into the
// model through run(), so no exception ever crosses a Qt slot.

#include <QMainWindow>
#include <QSizeF>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "gui/units.h"

namespace pictavo::gui {

class FileListView;
class PictureView;
class StatusPanels;

// Twips that the window's frame adds to the client area below the menu bar: borders,
// caption and menu bar at their design sizes. They are fixed, not measured, so that the
// layout is the same with any window manager or none.
inline constexpr float kFrameWidthTwips = 120;
inline constexpr float kFrameHeightTwips = 660;
// The client area at the design size, below the menu bar, status bar included.
inline constexpr float kClientWidthTwips = 6330;
inline constexpr float kClientHeightTwips = 3705;
// Height of the status bar docked along the bottom edge.
inline constexpr float kStatusBarHeightTwips = 330;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(Form1& form, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs one event of the model through the form's dispatcher. Events may nest (a
    // handler that opens a modal box runs the box's events inside it).
    void run(const std::function<void()>& event);
    // Starts the program's window: Form_Load, the window shown (its first Form_Resize and
    // Form_Activate), then `opening`, what the program was started with, as one event. The
    // first layout may turn commands off, so a file opened before it would be left without
    // the commands that a click on it gives.
    void start(const std::function<void()>& opening = {});

    [[nodiscard]] const Units& units() const { return units_; }
    // The window's size at the design client area.
    [[nodiscard]] QSize designSize() const;
    // The outer size in twips that Form_Resize reads.
    [[nodiscard]] QSizeF outerTwips() const;
    // Once a picture is painted whole and the window is idle, the next and the previous
    // file of the list are decoded ahead (not until this is turned on).
    void setDecodeAhead(bool on) { decodeAhead_ = on; }
    // Rows chosen in the file list wait to be opened (a held key's steps).
    [[nodiscard]] bool stepsWaiting() const { return !waitingRows_.empty(); }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildSurface();
    void orderTabs();
    // Keeps a widget's place, enabled state and visibility in step with its control, and
    // has the widget show the rest through its own follow() where it has one.
    template <class W>
    void bind(Control& control, W* widget);
    void formResize();
    // Form_Activate, at once or, while an event is running, right after it.
    void activateForm();
    void followTimer();
    void pictureShown();
    // On the window's thread, after more of the picture on view has arrived.
    void pictureArrived();
    // Before a newly opened picture is painted: its rows that the viewport shows.
    void waitForVisibleRows();
    // The next row chosen in the file list, opened once the photo on view has been seen.
    void takeWaitingRow();
    void postTakeWaitingRow(std::chrono::milliseconds after);

    Form1& form_;
    Units units_;
    StatusPanels* status_ = nullptr;
    QTimer timer1_;
    int depth_ = 0;
    bool shown_ = false;
    bool activationPending_ = false;
    bool otherFormWasActive_ = false;
    bool decodeAhead_ = false;
    bool aheadPending_ = false;
    PictureView* pictureView_ = nullptr;
    FileListView* files_ = nullptr;
    // The picture Image1 showed when last seen.
    Picture lastPicture_;
    // A look at the arriving picture is posted and not yet taken.
    std::atomic<bool> arrivalPosted_{false};
    // An event opened a picture that is not painted yet.
    bool pictureOpened_ = false;
    // Rows chosen in the file list whose event has not run yet (a held key's repeats), and
    // whether the event that takes the next one is posted.
    std::deque<int> waitingRows_;
    std::uint64_t waitingListing_ = 0;  // the file list's listing they were chosen in
    bool takePosted_ = false;
};

}  // namespace pictavo::gui
