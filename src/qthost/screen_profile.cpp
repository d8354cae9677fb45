// SPDX-License-Identifier: MIT
#include "qthost/screen_profile.h"

#include <xcb/xcb.h>

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <cstdlib>
#include <cstring>

#include "imaging/colour_profile.h"

namespace pictavo {

ScreenProfile::ScreenProfile(QObject* parent) : QObject(parent) {
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return;  // not on X: sRGB
    connection_ = x11->connection();
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    static constexpr char kName[] = "_ICC_PROFILE";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, sizeof kName - 1, kName), nullptr);
    if (!atom) {
        connection_ = nullptr;
        return;
    }
    atom_ = atom->atom;
    std::free(atom);
    // Property changes on the root window, added to what Qt already listens to there (the
    // mask is per client, so setting ours alone would take Qt's away).
    if (xcb_get_window_attributes_reply_t* attributes =
            xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, root_), nullptr)) {
        const std::uint32_t mask = attributes->your_event_mask;
        std::free(attributes);
        if (!(mask & XCB_EVENT_MASK_PROPERTY_CHANGE)) {
            const std::uint32_t wanted = mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &wanted);
            xcb_flush(connection_);
        }
    }
    profile_ = read();
    qGuiApp->installNativeEventFilter(this);
}

ScreenProfile::~ScreenProfile() {
    if (connection_ && qGuiApp) qGuiApp->removeNativeEventFilter(this);
}

QByteArray ScreenProfile::read() const {
    // One word past the bound tells a larger profile apart, which is ignored.
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, root_, atom_, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxProfileBytes / 4 + 1),
        nullptr);
    if (!reply) return {};
    QByteArray icc;
    const int length = xcb_get_property_value_length(reply);
    if (reply->format == 8 && reply->bytes_after == 0 && length > 0 && length <= kMaxProfileBytes)
        icc = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)), length);
    std::free(reply);
    return icc;
}

bool ScreenProfile::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) return false;
    const auto* property = static_cast<const xcb_property_notify_event_t*>(message);
    if (property->window != root_ || property->atom != atom_) return false;
    QByteArray icc = read();
    if (icc != profile_) {
        profile_ = icc;
        emit changed(profile_);
    }
    return false;  // Qt may want it as well
}

}  // namespace pictavo
