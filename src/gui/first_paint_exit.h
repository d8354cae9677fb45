// SPDX-License-Identifier: MIT
#pragma once
// Start-up timing: with PICTAVO_EXIT_AFTER_FIRST_PAINT set, the process ends as soon as its
// first paint is done, so a benchmark can time a start as the life of a process. The
// benchmark's bare Qt window uses the same hook, so both are timed the same way.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <cstdlib>

namespace pictavo::gui {

inline void exitAfterFirstPaintWhenAsked() {
    if (!qEnvironmentVariableIsSet("PICTAVO_EXIT_AFTER_FIRST_PAINT")) return;
    class Watch : public QObject {
    public:
        using QObject::QObject;
        bool eventFilter(QObject* watched, QEvent* event) override {
            // The whole window paints in one pass; the queued exit runs right after it.
            if (event->type() == QEvent::Paint && !seen_) {
                seen_ = true;
                QTimer::singleShot(0, [] { std::_Exit(0); });
            }
            return QObject::eventFilter(watched, event);
        }

    private:
        bool seen_ = false;
    };
    qApp->installEventFilter(new Watch(qApp));
}

}  // namespace pictavo::gui
