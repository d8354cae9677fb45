// SPDX-License-Identifier: MIT
#pragma once
// The screen's colour profile, as a colour manager publishes it on X: the root window's
// _ICC_PROFILE property (the "ICC Profiles in X" convention: 8-bit cardinals on the root
// window of screen 0), followed as it changes. Without one, and off X (Wayland), the screen
// is taken as sRGB.

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QObject>
#include <cstdint>

struct xcb_connection_t;

namespace pictavo {

class ScreenProfile : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // Reads the profile now and follows its changes; needs the application object.
    explicit ScreenProfile(QObject* parent = nullptr);
    ~ScreenProfile() override;

    // Empty: sRGB.
    [[nodiscard]] const QByteArray& profile() const { return profile_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // The screen's profile changed (empty: sRGB again).
    void changed(const QByteArray& icc);

private:
    [[nodiscard]] QByteArray read() const;

    xcb_connection_t* connection_ = nullptr;
    std::uint32_t root_ = 0;
    std::uint32_t atom_ = 0;
    QByteArray profile_;
};

}  // namespace pictavo
