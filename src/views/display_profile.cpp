#include "views/display_profile.h"

#include "document/folder_document.h"
#include "imaging/colour_management.h"

#include <QGuiApplication>
#include <QObject>
#include <QScreen>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace vemra {
namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};

xcb_atom_t atomNamed(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(std::strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, FreeReply> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

} // namespace

std::vector<std::byte> desktopDisplayProfile() {
    auto* app = qGuiApp;
    if (app == nullptr)
        return {};
    const auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr)
        return {};
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (screens.rem == 0)
        return {};
    const xcb_atom_t atom = atomNamed(connection, "_ICC_PROFILE");
    if (atom == XCB_ATOM_NONE)
        return {};
    // The property's length is given in 32-bit units; anything larger than
    // a profile can be is not read.
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, screens.data->root, atom, XCB_ATOM_ANY, 0,
                         static_cast<std::uint32_t>(kMaxColourProfileBytes / 4));
    const std::unique_ptr<xcb_get_property_reply_t, FreeReply> reply(
        xcb_get_property_reply(connection, cookie, nullptr));
    if (!reply || reply->format != 8 || reply->bytes_after != 0)
        return {};
    const int length = xcb_get_property_value_length(reply.get());
    if (length <= 0)
        return {};
    const auto* bytes = static_cast<const std::byte*>(xcb_get_property_value(reply.get()));
    return std::vector<std::byte>(bytes, bytes + length);
}

void followDesktopDisplayProfile(FolderDocument& document, QObject* context) {
    document.setDesktopColourProfile(desktopDisplayProfile());
    if (qGuiApp == nullptr)
        return;
    QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, context,
                     [&document] { document.setDesktopColourProfile(desktopDisplayProfile()); });
}

} // namespace vemra
