// SPDX-License-Identifier: MIT
#pragma once
// The main window over the scripted host, started as the program starts it.

#include <QAbstractItemView>
#include <QApplication>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/form1.h"
#include "gui/main_window.h"
#include "support/test_host.h"

namespace pictavo::test {

// A picture whose every pixel tells where it lies: red is x, green is y (modulo 256).
inline QRgb patternPixel(int x, int y) { return qRgb(x & 0xFF, y & 0xFF, ((x >> 8) << 5 | (y >> 8)) & 0xFF); }

inline void writePattern(const std::filesystem::path& file, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, patternPixel(x, y));
    ASSERT_TRUE(image.save(QString::fromStdString(file.native()), "BMP"));
}

// Runs `act` on the modal window as soon as it is up; the call that opened it returns once
// `act` has closed it.
inline void whenModal(std::function<void(QWidget*)> act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        act(modal);
    });
    poll->start(5);
}

// Runs what the event loop has queued (the lists hand their input to the model queued).
// A step of the file list that waits for the photo on view to be seen (a frame at most) is
// waited for too.
inline void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    auto stepping = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<gui::MainWindow*>(w); window && window->stepsWaiting()) return true;
        return false;
    };
    if (stepping()) (void)QTest::qWaitFor([&] { return !stepping(); }, 1000);
}

class GuiTest : public ::testing::Test {
protected:
    TestHost host;
    Form1 form{host};
    std::unique_ptr<gui::MainWindow> window;

    // Started as the program starts: Form_Load, the window shown at its design size, and
    // `opening` (what the program was started with) where there is one.
    void start(const std::function<void()>& opening = {}) {
        window = std::make_unique<gui::MainWindow>(form);
        window->start(opening);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        settle();
    }

    template <typename T = QWidget>
    T* widget(const char* name) {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    // A click on a row of a list view, as a person makes it.
    void clickRow(const char* list, int row) {
        auto* view = widget<QAbstractItemView>(list);
        const QRect r = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
        settle();
    }
};

}  // namespace pictavo::test
