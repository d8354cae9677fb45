// SPDX-License-Identifier: MIT
// The main window as a person sees and uses it, over the scripted host (15 twips a pixel).

#include <gtest/gtest.h>

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <chrono>

#include "app/open_path.h"
#include "form/rules.h"
#include "gui/about_dialog.h"
#include "gui/picture_view.h"
#include "gui_fixture.h"
#include "imaging/picture_reader.h"

namespace fs = std::filesystem;

namespace pictavo::test {
namespace {

struct Expected {
    const char* name;
    QRect pixels;
    const char* accessibleName;
    const char* toolTip;
};

// Design places in twips, over 15: edges rounded. The left column and the viewport are
// those that Form_Resize gives them at the design size.
const Expected kControls[] = {
    {"svcomBtn", {7, 2, 21, 21}, "change to bitmap", "change to bitmap"},
    {"delBtn", {27, 2, 21, 21}, "Delete", "Delete"},
    {"cpyBtn", {48, 2, 21, 21}, "Copy to clipboard", "Copy to clipboard"},
    {"pstBtn", {69, 2, 21, 21}, "Paste from clipboard", "Paste from clipboard"},
    {"SetBtn", {103, 2, 21, 21}, "Set wall paper", "Set wall paper"},
    {"UnsetBtn", {124, 2, 21, 21}, "Delete wall paper", "Delete wall paper"},
    {"lstCnt", {163, 4, 49, 18}, "Position/count", ""},
    {"stpBtn", {216, 2, 21, 21}, "Stop", "Stop"},
    {"autoRn", {237, 2, 21, 21}, "Play", "Play"},
    {"Slider1", {258, 2, 49, 20}, "Speed(1-3sec)", "Speed(1-3sec)"},
    {"drvList", {5, 27, 135, 20}, "Drives", ""},
    {"dirList", {5, 48, 135, 65}, "Folders", ""},
    {"filList", {4, 115, 137, 97}, "Files", ""},
    {"Picture1", {148, 28, 243, 183}, "Picture", ""},
};

TEST_F(GuiTest, ControlsSitAtTheirDesignPlacesWithTheirNames) {
    start();
    for (const Expected& e : kControls) {
        SCOPED_TRACE(e.name);
        QWidget* w = widget(e.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), e.pixels);
        EXPECT_EQ(w->accessibleName(), QString::fromUtf8(e.accessibleName));
        EXPECT_EQ(w->toolTip(), QString::fromUtf8(e.toolTip));
    }
    // The four frames of the top strip, behind their buttons, tops cut off by the menu bar.
    std::map<int, QRect> frames;
    for (QWidget* f : window->centralWidget()->findChildren<QWidget*>(QStringLiteral("Frame1")))
        frames[f->property("index").toInt()] = f->geometry();
    EXPECT_EQ(frames[1], QRect(2, -6, 93, 32));
    EXPECT_EQ(frames[2], QRect(100, -6, 50, 32));
    EXPECT_EQ(frames[0], QRect(155, -6, 154, 32));
    EXPECT_EQ(frames[3], QRect(315, -6, 75, 32));
    EXPECT_EQ(window->centralWidget()->childAt(10, 10)->objectName(), QStringLiteral("svcomBtn"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Pictavo"));
    EXPECT_FALSE(window->windowIcon().isNull());
}

TEST_F(GuiTest, ResizeReadsTheOuterSizeFromTheClientArea) {
    start();
    // The design client area gives the design outer size, which gives the design viewport.
    EXPECT_FLOAT_EQ(form.width(), 6450);
    EXPECT_FLOAT_EQ(form.height(), 4365);
    EXPECT_FLOAT_EQ(form.c.Picture1.place().width, 3645);
    EXPECT_FLOAT_EQ(form.c.Picture1.place().height, 2745);

    window->resize(window->width() + 150, window->height() + 60);
    settle();
    EXPECT_FLOAT_EQ(form.width(), 6450 + 2250);
    EXPECT_FLOAT_EQ(form.height(), 4365 + 900);
    EXPECT_EQ(widget("Picture1")->size(), QSize(243 + 150, 183 + 60));
    EXPECT_EQ(widget("VScroll1")->x(), 390 + 150);

    // Too narrow for a layout: nothing moves.
    window->resize(150, window->height());
    settle();
    EXPECT_FLOAT_EQ(form.width(), 2370);
    EXPECT_EQ(widget("Picture1")->size(), QSize(243 + 150, 183 + 60));
}

TEST_F(GuiTest, MenuEntriesReadAsTheirCaptionsAndFollowTheirStates) {
    start();
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(window->menuBar());
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->childCount(), 3);
    EXPECT_EQ(bar->child(0)->text(QAccessible::Name), QStringLiteral("Edit"));
    EXPECT_EQ(bar->child(1)->text(QAccessible::Name), QStringLiteral("Close"));
    EXPECT_EQ(bar->child(2)->text(QAccessible::Name), QStringLiteral("Version"));

    const std::pair<const char*, const char*> items[] = {
        {"bmp", "Save for BMP"}, {"renm", "Rename(save)"}, {"Del", "Delete"}, {"Cpy", "Copy to Clipboad"}};
    for (const auto& [name, caption] : items) {
        auto* action = widget<QAction>(name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), QString::fromUtf8(caption));
        EXPECT_FALSE(action->isEnabled()) << name << " needs a picture";
    }
    EXPECT_TRUE(widget<QAction>("Cls")->isEnabled());
    EXPECT_TRUE(widget<QAction>("Version")->isEnabled());

    form.c.Edit.setEnabled(false);
    EXPECT_FALSE(window->findChild<QMenu*>(QStringLiteral("Edit"))->menuAction()->isEnabled());
}

TEST_F(GuiTest, FocusStartsInTheFileListAndTabsInDesignOrder) {
    start();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("filList"));

    const QStringList order{"filList",  "drvList",  "dirList", "autoRn", "stpBtn",   "delBtn", "svcomBtn", "HScroll1",
                            "VScroll1", "Picture1", "cpyBtn",  "SetBtn", "UnsetBtn", "lstCnt", "Slider1",  "pstBtn"};
    QStringList seen;
    QWidget* w = widget("filList");
    for (int guard = 0; guard < 500 && seen.size() < order.size(); ++guard, w = w->nextInFocusChain())
        if (order.contains(w->objectName()) && !seen.contains(w->objectName())) seen << w->objectName();
    EXPECT_EQ(seen, order);
}

TEST_F(GuiTest, OpeningAPictureShowsItsCommandsCountAndStatus) {
    writePattern(host.startFolder() / "a.bmp", 600, 400);
    writePicture(host.startFolder() / "b.jpg", 40, 30);
    start();
    EXPECT_EQ(widget<QLineEdit>("lstCnt")->text(), QStringLiteral("0/2"));
    EXPECT_FALSE(widget("delBtn")->isEnabled());
    EXPECT_TRUE(widget("UnsetBtn")->isEnabled());
    EXPECT_FALSE(widget("HScroll1")->isVisible());

    clickRow("filList", 0);
    EXPECT_EQ(widget<QLineEdit>("lstCnt")->text(), QStringLiteral("1/2"));
    EXPECT_TRUE(widget("delBtn")->isEnabled());
    EXPECT_TRUE(widget<QAction>("Del")->isEnabled());
    EXPECT_TRUE(widget("cpyBtn")->isEnabled());
    EXPECT_FALSE(widget("svcomBtn")->isEnabled()) << "a bitmap is not converted";
    EXPECT_TRUE(widget("SetBtn")->isEnabled());
    EXPECT_TRUE(widget("autoRn")->isEnabled());
    EXPECT_TRUE(widget("Slider1")->isEnabled());
    // 600 x 400 pixels exceed the viewport both ways.
    EXPECT_TRUE(widget("HScroll1")->isVisible());
    EXPECT_TRUE(widget("VScroll1")->isVisible());
    EXPECT_EQ(widget<QScrollBar>("HScroll1")->maximum(), 9000 - 3645);

    auto* panels = window->statusBar();
    auto full = [](QLabel* l) { return l->toolTip().isEmpty() ? l->text() : l->toolTip(); };
    EXPECT_TRUE(full(panels->findChild<QLabel*>(QStringLiteral("StatusBar1_panel1"))).endsWith(u"/a.bmp"));
    EXPECT_EQ(panels->findChild<QLabel*>(QStringLiteral("StatusBar1_panel2"))->text(),
              QString::fromUtf8(form.c.filSize.text()));

    // Down moves on and opens the next file.
    QTest::keyClick(widget("filList"), Qt::Key_Down);
    settle();
    EXPECT_EQ(widget<QLineEdit>("lstCnt")->text(), QStringLiteral("2/2"));
    EXPECT_TRUE(widget("svcomBtn")->isEnabled());
    EXPECT_FALSE(widget("autoRn")->isEnabled()) << "the last file has no next one";
}

TEST_F(GuiTest, StartedWithAPictureItsCommandsAreThoseOfAClickOnIt) {
    writePicture(host.startFolder() / "b.jpg", 40, 30);
    writePicture(host.startFolder() / "c.jpg", 40, 30);
    std::string why = "not opened";
    start([&] { why = openStartPath(form.c, host.hostPath(host.startFolder() / "c.jpg")); });
    ASSERT_EQ(why, "");
    EXPECT_EQ(widget<QLineEdit>("lstCnt")->text(), QStringLiteral("2/2"));

    auto commands = [&] {
        std::string states;
        for (Control* c : form.c.tabOrder())
            states += c->name() + (widget(c->name().c_str())->isEnabled() ? "+ " : "- ");
        for (MenuItem* m : form.c.menuEntries())
            states += m->name() + (widget<QAction>(m->name().c_str())->isEnabled() ? "+ " : "- ");
        return states;
    };
    const std::string started = commands();
    clickRow("filList", 1);
    EXPECT_EQ(started, commands());
}

TEST_F(GuiTest, OnceAPictureIsPaintedTheNextFileIsDecodedAhead) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) writePicture(host.startFolder() / name, 40, 30);
    start();
    clickRow("filList", 0);
    pictavo::PicturePipeline& pictures = host.pictures();
    settle();
    pictures.finishAll();
    EXPECT_FALSE(pictures.held().holds(host.startFolder() / "b.jpg")) << "nothing ahead unless the window is told to";

    window->setDecodeAhead(true);
    clickRow("filList", 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pictures.held().holds(host.startFolder() / "c.jpg"); }, 3000));
    pictures.finishAll();
    EXPECT_TRUE(pictures.held().holds(host.startFolder() / "a.jpg"));
    QTest::keyClick(widget("filList"), Qt::Key_Down);
    settle();
    EXPECT_EQ(pictures.held().hits(), 1u);
    EXPECT_EQ(widget<QLineEdit>("lstCnt")->text(), QStringLiteral("3/3"));
}

// Notes what a widget shows each time it is painted, as it is painted.
class PaintLog : public QObject {
public:
    explicit PaintLog(std::function<std::string()> shown) : shown_(std::move(shown)) {}
    std::vector<std::string> seen;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) seen.push_back(shown_());
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<std::string()> shown_;
};

// A held key through six photos whose colours tell them apart, from the first.
class HeldKeyTest : public GuiTest {
protected:
    QAbstractItemView* files = nullptr;
    // The photos in the order the viewport first painted them, and when.
    std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> firstPaints;
    std::unique_ptr<PaintLog> log;

    void SetUp() override {
        const std::pair<const char*, unsigned> photos[] = {{"p0.bmp", 0x102030}, {"p1.bmp", 0x405060},
                                                           {"p2.bmp", 0x708090}, {"p3.bmp", 0xa0b0c0},
                                                           {"p4.bmp", 0xd0e0f0}, {"p5.bmp", 0xf0f0f0}};
        for (const auto& [name, colour] : photos) writePicture(host.startFolder() / name, 40, 30, colour);
        start();
        clickRow("filList", 0);
        files = widget<QAbstractItemView>("filList");
        log = std::make_unique<PaintLog>([this] {
            const QImage* image = form.c.Image1.picture().image();
            const std::string colour = QColor(image->pixel(0, 0)).name().toStdString();
            if (firstPaints.empty() || firstPaints.back().first != colour)
                firstPaints.emplace_back(colour, std::chrono::steady_clock::now());
            return std::string();
        });
        widget("Picture1")->installEventFilter(log.get());
    }
    std::vector<std::string> photosPainted() const {
        std::vector<std::string> colours;
        for (const auto& paint : firstPaints) colours.push_back(paint.first);
        return colours;
    }
};

TEST_F(HeldKeyTest, HeldArrowKeyPaintsEachPictureAsTheSelectionReachesIt) {
    auto* count = widget<QLineEdit>("lstCnt");
    // The file selected in the list, and the colour of the picture the viewport draws.
    PaintLog pictures([&] {
        const QImage* image = form.c.Image1.picture().image();
        const QString colour = image ? QColor(image->pixel(0, 0)).name() : QStringLiteral("none");
        return QStringLiteral("%1 %2").arg(files->currentIndex().data().toString(), colour).toStdString();
    });
    PaintLog counts([count] { return count->text().toStdString(); });
    widget("Picture1")->installEventFilter(&pictures);
    count->installEventFilter(&counts);

    // A held key repeats faster than photos open: its presses reach the list together,
    // and the steps they choose wait in the queue behind them.
    for (int i = 0; i < 4; ++i) QTest::keyPress(files, Qt::Key_Down);
    QTest::keyRelease(files, Qt::Key_Down);
    settle();

    EXPECT_EQ(pictures.seen,
              (std::vector<std::string>{"p1.bmp #405060", "p2.bmp #708090", "p3.bmp #a0b0c0", "p4.bmp #d0e0f0"}));
    EXPECT_EQ(counts.seen, (std::vector<std::string>{"2/6", "3/6", "4/6", "5/6"}));
    EXPECT_EQ(form.c.filList.listIndex(), 4) << "every press is one step";
}

TEST_F(HeldKeyTest, EachPhotoStaysOnScreenAFrameBeforeTheNextStepReplacesIt) {
    // Presses that reach the window together: their photos open at once, one after another.
    for (int i = 0; i < 4; ++i) QTest::keyPress(files, Qt::Key_Down);
    QTest::keyRelease(files, Qt::Key_Down);
    settle();

    EXPECT_EQ(photosPainted(), (std::vector<std::string>{"#405060", "#708090", "#a0b0c0", "#d0e0f0"}));
    const std::chrono::duration<double, std::milli> frame(1000.0 / 60);
    for (std::size_t i = 1; i < firstPaints.size(); ++i)
        EXPECT_GE(firstPaints[i].second - firstPaints[i - 1].second, frame) << "photo " << i << " replaced unseen";
    EXPECT_EQ(form.c.filList.listIndex(), 4);
}

TEST_F(HeldKeyTest, APressWhileStepsWaitMovesOnFromTheLastRowChosen) {
    QTest::keyPress(files, Qt::Key_Down);
    QTest::keyPress(files, Qt::Key_Down);
    // The first step is taken and shows its row; the second waits for its photo to be seen.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.c.filList.listIndex() == 1; }, 1000));
    ASSERT_TRUE(window->stepsWaiting());
    EXPECT_EQ(files->currentIndex().row(), 1) << "the list shows the photo on view";
    QTest::keyPress(files, Qt::Key_Down);
    QTest::keyRelease(files, Qt::Key_Down);
    settle();

    EXPECT_EQ(form.c.filList.listIndex(), 3) << "every press is one step";
    EXPECT_EQ(files->currentIndex().row(), 3);
    EXPECT_EQ(photosPainted(), (std::vector<std::string>{"#405060", "#708090", "#a0b0c0"}));
}

// A step still waiting when another folder opens belongs to the list that folder replaced:
// it opens nothing in the new one.
TEST_F(GuiTest, AStepChosenBeforeAnotherFolderOpensIsDropped) {
    for (const char* name : {"a0.bmp", "a1.bmp"}) writePicture(host.startFolder() / name, 40, 30);
    fs::create_directories(host.startFolder() / "other");
    for (const char* name : {"b0.bmp", "b1.bmp"}) writePicture(host.startFolder() / "other" / name, 40, 30);
    start();
    clickRow("filList", 0);
    QTest::keyPress(widget("filList"), Qt::Key_Down);  // its step is queued, not yet taken
    int other = -1;
    for (std::size_t i = 0; i < form.c.dirList.rows().size(); ++i)
        if (form.c.dirList.rows()[i].name == "other") other = static_cast<int>(i);
    window->run([&] { form.c.dirList.userOpen(other); });
    settle();
    EXPECT_EQ(form.c.dirList.path(), host.hostPath(host.startFolder() / "other"));
    EXPECT_EQ(form.c.filList.listIndex(), -1) << "nothing chosen in this folder";
    EXPECT_FALSE(window->stepsWaiting());
}

TEST_F(GuiTest, PositionCountOfALargeFolderStaysWholeInItsBox) {
    start();
    auto* count = widget<QLineEdit>("lstCnt");
    const QRect place = count->geometry();
    window->run([this] { form.c.lstCnt.setText("1/100000"); });
    EXPECT_EQ(count->text(), QStringLiteral("1/100000"));
    EXPECT_LE(QFontMetrics(count->font()).horizontalAdvance(count->text()), count->contentsRect().width() - 4);
    EXPECT_LT(count->font().pointSizeF(), QApplication::font(count).pointSizeF());
    EXPECT_EQ(count->geometry(), place);  // the box keeps its design place
    window->run([this] { form.c.lstCnt.setText("0/3"); });
    EXPECT_EQ(count->font().pointSizeF(), QApplication::font(count).pointSizeF());
}

TEST_F(GuiTest, ViewportShowsThePicturesOwnPixelsAtTheScrollOffset) {
    writePattern(host.startFolder() / "a.bmp", 600, 400);
    start();
    clickRow("filList", 0);
    auto shown = [this] { return widget("Picture1")->grab().toImage(); };

    QImage image = shown();
    ASSERT_EQ(image.size(), QSize(243, 183));
    EXPECT_EQ(image.pixel(0, 0), patternPixel(0, 0));
    EXPECT_EQ(image.pixel(200, 150), patternPixel(200, 150));

    // A click in the track moves 300 twips, on an arrow 50.
    auto* across = widget<QScrollBar>("HScroll1");
    auto* down = widget<QScrollBar>("VScroll1");
    across->triggerAction(QAbstractSlider::SliderPageStepAdd);
    down->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(form.c.HScroll1.value(), 300);
    EXPECT_FLOAT_EQ(form.c.Image1.place().left, -300);
    EXPECT_EQ(form.c.VScroll1.value(), 50);
    image = shown();
    EXPECT_EQ(image.pixel(0, 0), patternPixel(20, 3));
    EXPECT_EQ(image.pixel(100, 60), patternPixel(120, 63));

    // A dragged thumb moves the picture once, when it is let go.
    across->setSliderDown(true);
    across->setSliderPosition(1200);
    across->setSliderPosition(1500);
    EXPECT_EQ(form.c.HScroll1.value(), 300);
    across->setSliderDown(false);
    EXPECT_EQ(form.c.HScroll1.value(), 1500);

    // At the end of the range the picture's last column meets the viewport's right edge.
    across->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(shown().pixel(242, 0), patternPixel(599, 3));
}

TEST_F(GuiTest, SmallPictureLeavesTheRestOfTheViewportEmpty) {
    writePattern(host.startFolder() / "small.bmp", 100, 50);
    start();
    clickRow("filList", 0);
    const QImage image = widget("Picture1")->grab().toImage();
    EXPECT_EQ(image.pixel(99, 49), patternPixel(99, 49));
    EXPECT_EQ(image.pixel(100, 49), widget("Picture1")->palette().color(QPalette::Mid).rgb());
    EXPECT_FALSE(widget("HScroll1")->isVisible());
    EXPECT_FALSE(widget("VScroll1")->isVisible());
}

TEST_F(GuiTest, ButtonsAndMenuCommandsReachTheirHandlers) {
    start();
    QTest::mouseClick(widget("UnsetBtn"), Qt::LeftButton);
    ASSERT_EQ(host.wallpaperCalls.size(), 1u);
    EXPECT_EQ(host.wallpaperCalls[0].text, "");

    // A disabled button does nothing.
    QTest::mouseClick(widget("delBtn"), Qt::LeftButton);
    EXPECT_TRUE(host.messages.empty());

    widget<QAction>("Version")->trigger();
    EXPECT_EQ(host.shown, std::vector<std::string>{"frmAbout"});

    // A picture this program copied does not outlive it.
    host.ClipboardSetData(Picture(std::make_shared<const QImage>(4, 4, QImage::Format_RGB32)));
    host.msgBoxAnswers = {MsgResult::Cancel};
    widget<QAction>("Cls")->trigger();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].flags, MsgFlags::OkCancelInformation);
    EXPECT_TRUE(host.unloaded.empty());
    EXPECT_EQ(host.clipboardClears, 0);

    widget<QAction>("Cls")->trigger();
    EXPECT_EQ(host.unloaded, std::vector<std::string>{"Form1"});
    EXPECT_EQ(host.clipboardClears, 1);
}

TEST_F(GuiTest, SlideShowTicksThroughTheListAndStops) {
    for (const char* name : {"1.bmp", "2.bmp", "3.bmp"}) writePicture(host.startFolder() / name, 20, 20);
    start();
    clickRow("filList", 0);
    auto* timer = window->findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive());

    QTest::mouseClick(widget("autoRn"), Qt::LeftButton);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    QTest::keyClick(widget("Slider1"), Qt::Key_End);
    EXPECT_EQ(form.c.Slider1.value(), 3);
    EXPECT_EQ(timer->interval(), 3000);

    // Quicker ticks than any the slider offers, so the test need not wait seconds.
    form.c.Timer1.setInterval(10);
    EXPECT_TRUE(QTest::qWaitFor([this] { return widget<QLineEdit>("lstCnt")->text() == QStringLiteral("3/3"); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([timer] { return !timer->isActive(); }, 1000)) << "the show ends at the last file";
    EXPECT_FALSE(widget("stpBtn")->isEnabled());
}

TEST_F(GuiTest, FolderListSelectsOnAClickAndOpensOnADoubleClickOrEnter) {
    fs::create_directories(host.startFolder() / "alpha");
    fs::create_directories(host.startFolder() / "beta");
    writePicture(host.startFolder() / "beta" / "x.jpg", 10, 10);
    start();
    auto rowOf = [this](const std::string& name) {
        const auto& rows = form.c.dirList.rows();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].name == name) return static_cast<int>(i);
        return -1;
    };
    const std::string start = host.hostPath(host.startFolder());

    clickRow("dirList", rowOf("beta"));
    EXPECT_EQ(form.c.dirList.path(), start);
    EXPECT_EQ(form.c.dirList.selectedRow(), rowOf("beta"));

    auto* folders = widget<QAbstractItemView>("dirList");
    const QRect beta = folders->visualRect(folders->model()->index(rowOf("beta"), 0));
    QTest::mouseDClick(folders->viewport(), Qt::LeftButton, {}, beta.center());
    settle();
    EXPECT_EQ(form.c.dirList.path(), start + "/beta");
    EXPECT_EQ(widget<QLineEdit>("lstCnt")->text(), QStringLiteral("0/1"));
    EXPECT_EQ(folders->model()->index(folders->currentIndex().row(), 0).data().toString(), QStringLiteral("beta"));

    // Up selects the parent folder's row; Enter opens it.
    QTest::keyClick(folders, Qt::Key_Up);
    settle();
    EXPECT_EQ(form.c.dirList.path(), start + "/beta");
    QTest::keyClick(folders, Qt::Key_Return);
    settle();
    EXPECT_EQ(form.c.dirList.path(), start);
}

TEST_F(GuiTest, DriveThatIsNotReadyPutsTheDriveListBack) {
    start();
    auto* drives = widget<QComboBox>("drvList");
    ASSERT_EQ(drives->count(), 2);
    EXPECT_EQ(drives->currentIndex(), 0);
    EXPECT_EQ(drives->itemText(1), QString::fromUtf8(form.c.drvList.label(1)));

    QTest::keyClick(drives, Qt::Key_Down);  // the offline drive
    settle();
    EXPECT_TRUE(host.messages.empty()) << "a drive that is not ready is refused silently";
    EXPECT_EQ(form.c.drvList.drive(), "/");
    EXPECT_EQ(drives->currentIndex(), 0);
    EXPECT_EQ(form.c.dirList.path(), host.hostPath(host.startFolder()));
}

TEST_F(GuiTest, FileNamesThatAreNotUtf8ShowReplacementCharactersAndStillOpen) {
    // Written under a plain name first: the picture writer takes names as UTF-8.
    writePicture(host.startFolder() / "bad.jpg", 10, 10);
    fs::rename(host.startFolder() / "bad.jpg", host.startFolder() / "bad\xff.jpg");
    start();
    auto* files = widget<QAbstractItemView>("filList");
    EXPECT_EQ(files->model()->index(0, 0).data().toString(), QStringLiteral("bad\uFFFD.jpg"));
    clickRow("filList", 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(form.c.picPath, host.hostPath(host.startFolder()) + "/bad\xff.jpg");
}

TEST_F(GuiTest, MouseOverTheFreeSurfaceWatchesTheClipboard) {
    start();
    EXPECT_FALSE(widget("pstBtn")->isEnabled());
    host.clipboardPicture = Picture(std::make_shared<const QImage>(4, 4, QImage::Format_RGB32));
    QWidget* surface = window->centralWidget();
    auto moveTo = [surface](QPoint pos) {
        QMouseEvent move(QEvent::MouseMove, pos, surface->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(surface, &move);
    };
    moveTo(QPoint(4, 10));  // on a frame: a control, not the window's own surface
    EXPECT_FALSE(widget("pstBtn")->isEnabled());
    moveTo(QPoint(144, 150));  // between the file list and the viewport
    EXPECT_TRUE(widget("pstBtn")->isEnabled());
}

TEST_F(GuiTest, AnyChangeOfTheClipboardBringsPasteUpToDateWithoutTheMouse) {
    start();
    ASSERT_FALSE(widget("pstBtn")->isEnabled());
    QClipboard* clipboard = QGuiApplication::clipboard();
    // Another program copies a picture, then text; the clipboard says so each time.
    host.otherProgramCopies(Picture(std::make_shared<const QImage>(4, 4, QImage::Format_RGB32)));
    clipboard->setText(QStringLiteral("change"));
    settle();
    EXPECT_TRUE(widget("pstBtn")->isEnabled());
    QTest::keyClick(window.get(), Qt::Key_V, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(form.c.svcomBtn.enabled()) << "Ctrl+V pasted";
    host.otherProgramCopiesText();
    clipboard->setText(QStringLiteral("again"));
    settle();
    EXPECT_FALSE(widget("pstBtn")->isEnabled());
}

TEST_F(GuiTest, ComingBackFromTheAboutBoxRunsFormActivate) {
    start();
    host.clipboardPicture = Picture(std::make_shared<const QImage>(4, 4, QImage::Format_RGB32));
    QEvent activate(QEvent::WindowActivate);
    // Coming back from another program changes nothing.
    QApplication::sendEvent(window.get(), &activate);
    EXPECT_FALSE(widget("pstBtn")->isEnabled());

    gui::AboutDialog about(
        host, [this](const std::function<void()>& e) { window->run(e); }, window->units(), window.get());
    QApplication::sendEvent(&about, &activate);
    QApplication::sendEvent(window.get(), &activate);
    EXPECT_TRUE(widget("pstBtn")->isEnabled());
}

TEST_F(GuiTest, StatusBarShowsFourPermanentPanels) {
    start();
    const auto labels = window->statusBar()->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 4);
    auto* path = window->statusBar()->findChild<QLabel*>(QStringLiteral("StatusBar1_panel1"));
    const QString full = path->toolTip().isEmpty() ? path->text() : path->toolTip();
    EXPECT_EQ(full, QString::fromStdString(host.hostPath(host.startFolder())));
    EXPECT_EQ(window->statusBar()->findChild<QLabel*>(QStringLiteral("StatusBar1_panel3"))->text(),
              QString::fromUtf8(form.c.StatusBar1.displayText(3)));
    EXPECT_EQ(window->statusBar()->findChild<QLabel*>(QStringLiteral("StatusBar1_panel2"))->width(), 60);
    EXPECT_EQ(window->statusBar()->accessibleName(), QStringLiteral("Status"));
}

TEST_F(GuiTest, ControlCharactersInNamesShowVisiblyOnOneLineAndTheFileStillOpens) {
    const std::string name = "two\nlines\x7f\x1b.jpg";
    fs::create_directory(host.startFolder() / "tab\there");
    writePicture(host.startFolder() / "tab\there" / "plain.jpg", 10, 10);
    fs::rename(host.startFolder() / "tab\there" / "plain.jpg", host.startFolder() / "tab\there" / name);
    start();
    window->run([&] { form.c.dirList.setPath(host.hostPath(host.startFolder() / "tab\there")); });
    settle();
    const QString shown = QStringLiteral("two\u240Alines\u2421\u241B.jpg");
    auto* files = widget<QAbstractItemView>("filList");
    EXPECT_EQ(files->model()->index(0, 0).data().toString(), shown);
    EXPECT_EQ(files->model()->index(0, 0).data(Qt::AccessibleTextRole).toString(), shown);
    auto* folders = widget<QListWidget>("dirList");
    EXPECT_EQ(folders->currentItem()->text(), QStringLiteral("tab\u2409here"));
    clickRow("filList", 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(form.c.picPath, host.hostPath(host.startFolder() / "tab\there" / name));
    auto* path = window->statusBar()->findChild<QLabel*>(QStringLiteral("StatusBar1_panel1"));
    EXPECT_TRUE(path->accessibleName().endsWith(QStringLiteral("/tab\u2409here/") + shown))
        << path->accessibleName().toStdString();
    EXPECT_FALSE(path->text().contains(QLatin1Char('\n')));
    EXPECT_FALSE(path->accessibleName().contains(QLatin1Char('\t')));
}

TEST_F(GuiTest, AScreenReaderReadsEachPanelsWholeTextAndItsRole) {
    const auto folder = host.startFolder() / "a folder whose name is far too long for the message panel";
    fs::create_directories(folder);
    writePicture(folder / "picture.bmp", 10, 10);
    start();
    window->run([&] { form.c.dirList.setPath(host.hostPath(folder)); });
    window->run([&] { form.c.filList.userClick(0); });
    window->statusBar()->resize(window->width(), window->statusBar()->height());
    const auto panel = [&](int i) {
        return window->statusBar()->findChild<QLabel*>(QStringLiteral("StatusBar1_panel%1").arg(i));
    };
    const QString full = QString::fromStdString(host.hostPath(folder / "picture.bmp"));
    EXPECT_NE(panel(1)->text(), full);  // shortened on screen
    EXPECT_EQ(panel(1)->accessibleName(), full);
    EXPECT_EQ(panel(1)->accessibleDescription(), QStringLiteral("Message"));
    EXPECT_EQ(panel(2)->accessibleName(), QString::fromUtf8(form.c.StatusBar1.displayText(2)));
    EXPECT_EQ(panel(2)->accessibleDescription(), QStringLiteral("File size"));
    EXPECT_EQ(panel(3)->accessibleDescription(), QStringLiteral("Date"));
    EXPECT_EQ(panel(4)->accessibleName(), QString::fromUtf8(form.c.StatusBar1.displayText(4)));
    EXPECT_EQ(panel(4)->accessibleDescription(), QStringLiteral("Time"));
}

}  // namespace
}  // namespace pictavo::test

namespace pictavo::test {
namespace {

// Noise compresses badly: a JPEG of it takes long to decode.
void writeNoiseJpeg(const std::filesystem::path& file, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    std::uint32_t state = 12345;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) row[x] = 0xFF000000u | ((state = state * 1664525u + 1013904223u) >> 8);
    }
    ASSERT_TRUE(image.save(QString::fromStdString(file.native()), "JPEG", 90));
}

TEST_F(GuiTest, ALargePhotoShowsItsVisibleRowsAndTheWindowAnswersWhileTheRestArrives) {
    writeNoiseJpeg(host.startFolder() / "big.jpg", 4000, 3000);
    writePicture(host.startFolder() / "small.bmp", 40, 30, 0x405060);
    start();
    clickRow("filList", 0);
    const auto arrival = form.c.Image1.picture().arrival();
    ASSERT_NE(arrival, nullptr) << "the click returned before the whole photo was decoded";

    // Input queued behind the click is handled while the photo is still arriving.
    bool answeredDuringDecode = false;
    QTimer::singleShot(0, window.get(), [&] { answeredDuringDecode = arrival->end() == Arrival::End::None; });
    QCoreApplication::processEvents();
    EXPECT_TRUE(answeredDuringDecode);

    // The rows in view are painted as they arrive, long before the whole.
    auto* view = static_cast<gui::PictureView*>(widget("Picture1"));
    ASSERT_TRUE(QTest::qWaitFor([view] { return view->paintedAllInView(); }, 5000));
    const QImage file = decodePicture(readPictureFile(host.startFolder() / "big.jpg"));
    const QImage shown = widget("Picture1")->grab().toImage();
    EXPECT_EQ(shown.pixel(5, 5), file.pixel(5, 5));
    EXPECT_EQ(shown.pixel(shown.width() - 5, shown.height() - 5), file.pixel(shown.width() - 5, shown.height() - 5));

    // The next file cancels the rest, and only its own picture is painted from then on.
    clickRow("filList", 1);
    EXPECT_EQ(arrival->end() == Arrival::End::Whole || arrival->end() == Arrival::End::Cancelled, true);
    EXPECT_EQ(widget("Picture1")->grab().toImage().pixel(5, 5) & 0xFFFFFF, 0x405060u);
}

// A profiled photo's columns in view are converted before the rest of its rows: the view
// draws the rows that have arrived in the columns it shows, and never a pixel of a column
// still waiting for its colours, wherever the picture is scrolled.
TEST_F(GuiTest, APhotoArrivingColumnsFirstShowsOnlyWhatHasArrivedInView) {
    start();
    auto* view = static_cast<gui::PictureView*>(widget("Picture1"));
    const int w = view->width(), h = view->height();
    constexpr QRgb kArrived = 0xFF00C000, kWaiting = 0xFFFF0000;
    constexpr int kRows = 20, kFirstRows = 60;
    const int firstColumns = w + 10;
    QImage memory(2 * w, 3 * h, QImage::Format_RGB32);
    memory.fill(kWaiting);
    for (int y = 0; y < kFirstRows; ++y)
        for (int x = 0; x < (y < kRows ? memory.width() : firstColumns); ++x) memory.setPixel(x, y, kArrived);
    const auto arrival = std::make_shared<Arrival>(memory.size());
    arrival->setMemory(memory);
    arrival->setFirstColumns(firstColumns);
    arrival->firstRowsReady(kFirstRows);
    arrival->rowsReady(kRows);
    window->run([&] {
        form.c.Image1.setPicture(Picture(arrival), host.TwipsPerPixelX(), host.TwipsPerPixelY());
        fitViewport(form.c);
    });
    const auto shown = [&] { return view->grab().toImage(); };
    const QRgb background = view->palette().color(QPalette::Mid).rgb();
    struct {
        const char* where;
        int scrolledRight;  // pixels
        int drawnRows;
    } cases[] = {{"at the left, within the first columns", 0, kFirstRows},
                 {"scrolled past the first columns", 40, kRows}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        window->run([&] { form.c.Image1.setLeft(-c.scrolledRight * host.TwipsPerPixelX()); });
        settle();
        const QImage image = shown();
        for (int y : {0, kRows - 1, kRows, kFirstRows - 1, kFirstRows, h - 1}) {
            const QRgb want = y < c.drawnRows ? kArrived : background;
            EXPECT_EQ(image.pixel(w - 1, y), want) << "row " << y;
            EXPECT_EQ(image.pixel(0, y), want) << "row " << y;
        }
        EXPECT_FALSE(view->paintedAllInView());
    }

    // The rest of the rows arrive: all is drawn.
    arrival->rowsReady(memory.height());
    view->rowsArrived();
    settle();
    EXPECT_TRUE(view->paintedAllInView());
    EXPECT_EQ(shown().pixel(w - 1, h - 1), kWaiting) << "the rows, whole, as they came";
}

}  // namespace
}  // namespace pictavo::test
