#include "virtual_display.h"

#include <xcb/xcb.h>

#include <QStandardPaths>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "child_process.h"

namespace zephra::e2e {

namespace {

constexpr int XServerStartMs = 10000;
constexpr std::uint32_t AllPlanes = ~0u;
constexpr std::uint32_t LongestTitle = 256;  // in 32-bit units

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

}  // namespace

// --- XServer -----------------------------------------------------------------------------------

XServer& XServer::Instance() {
  static XServer server;
  return server;
}

XServer::XServer() {
  if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) return;
  const QString screen = QStringLiteral("%1x%2x24").arg(ScreenWidth).arg(ScreenHeight);
  // Nobody reads its warnings; a full pipe would stall the server.
  server_.setStandardErrorFile(QProcess::nullDevice());
  EndWithThisProcess(server_);
  // Without -noreset the server starts over each time its last client leaves, between two tests
  // say, and refuses the connections that come meanwhile.
  server_.start(QStringLiteral("Xvfb"),
                {"-displayfd", "1", "-nolisten", "tcp", "-noreset", "-screen", "0", screen});
  if (!server_.waitForReadyRead(XServerStartMs)) return;
  const QByteArray number = server_.readLine().trimmed();
  qputenv("DISPLAY", ":" + number);
  up_ = !number.isEmpty();
}

XServer::~XServer() {
  server_.terminate();
  if (!server_.waitForFinished(StopMs)) {
    server_.kill();
    server_.waitForFinished(StopMs);
  }
}

// --- XClient -----------------------------------------------------------------------------------

XClient::XClient() : connection_(xcb_connect(nullptr, nullptr)) {}

XClient::~XClient() { xcb_disconnect(connection_); }

bool XClient::Ok() const { return xcb_connection_has_error(connection_) == 0; }

void XClient::Sync() {
  XcbReply<xcb_get_input_focus_reply_t> reply(
      xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

unsigned XClient::Atom(const char* name) {
  const auto cookie =
      xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookie, nullptr));
  return reply ? reply->atom : static_cast<unsigned>(XCB_ATOM_NONE);
}

void XClient::PaintRoot(QRgb colour) {
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
  // The default visual of a 24-bit Xvfb screen is true colour with red in the high byte.
  const std::uint32_t pixel = colour & 0xFFFFFFu;
  xcb_change_window_attributes(connection_, screen->root, XCB_CW_BACK_PIXEL, &pixel);
  xcb_clear_area(connection_, 0, screen->root, 0, 0, 0, 0);
  Sync();
}

QImage XClient::Grab() {
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
  const int width = screen->width_in_pixels;
  const int height = screen->height_in_pixels;
  const auto cookie = xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, 0, 0,
                                    static_cast<std::uint16_t>(width),
                                    static_cast<std::uint16_t>(height), AllPlanes);
  XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(connection_, cookie, nullptr));
  // 32 bits per pixel, least significant byte first: the layout of QImage::Format_RGB32 here.
  if (!reply || reply->depth != 24 || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST ||
      xcb_get_image_data_length(reply.get()) != width * height * 4) {
    return {};
  }
  QImage image(width, height, QImage::Format_RGB32);
  const std::uint8_t* data = xcb_get_image_data(reply.get());
  for (int y = 0; y < height; ++y) {
    std::memcpy(image.scanLine(y), data + static_cast<std::size_t>(y) * width * 4,
                static_cast<std::size_t>(width) * 4);
  }
  return image;
}

unsigned XClient::Root() { return xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root; }

QByteArray XClient::WindowTitle(unsigned window) {
  const auto cookie = xcb_get_property(connection_, 0, window, Atom("_NET_WM_NAME"),
                                       Atom("UTF8_STRING"), 0, LongestTitle);
  XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection_, cookie, nullptr));
  if (!reply || reply->format != 8) return {};
  return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                    xcb_get_property_value_length(reply.get()));
}

// WM_CLASS is "instance\0class\0".
QByteArray XClient::WindowInstance(unsigned window) {
  const auto cookie =
      xcb_get_property(connection_, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, LongestTitle);
  XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection_, cookie, nullptr));
  if (!reply || reply->format != 8) return {};
  const QByteArray value(static_cast<const char*>(xcb_get_property_value(reply.get())),
                         xcb_get_property_value_length(reply.get()));
  return value.left(value.indexOf('\0'));
}

qint64 XClient::WindowPid(unsigned window) {
  const auto cookie =
      xcb_get_property(connection_, 0, window, Atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 0, 1);
  XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection_, cookie, nullptr));
  if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 4) return 0;
  return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

std::optional<QRect> XClient::ScreenRect(unsigned window) {
  XcbReply<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
  XcbReply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
      connection_, xcb_translate_coordinates(connection_, window, Root(), 0, 0), nullptr));
  if (!geometry || !origin) return std::nullopt;
  return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

// Depth first; a window that isn't viewable hides its children.
void XClient::AddViewable(unsigned parent, QList<Window>& windows) {
  XcbReply<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(connection_, xcb_query_tree(connection_, parent), nullptr));
  if (!tree) return;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  for (int i = 0; i < count; ++i) {
    XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, children[i]), nullptr));
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) continue;
    const std::optional<QRect> rect = ScreenRect(children[i]);
    if (!rect) continue;
    windows.append({children[i], WindowTitle(children[i]), WindowInstance(children[i]), *rect,
                    attributes->override_redirect != 0});
    AddViewable(children[i], windows);
  }
}

QList<XClient::Window> XClient::ViewableWindows() {
  QList<Window> windows;
  AddViewable(Root(), windows);
  return windows;
}

std::optional<XClient::Window> XClient::FindWindow(const QByteArray& title) {
  for (const Window& window : ViewableWindows()) {
    if (window.title == title) return window;
  }
  return std::nullopt;
}

bool XClient::SelectionOwned(const char* name) {
  XcbReply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
      connection_, xcb_get_selection_owner(connection_, Atom(name)), nullptr));
  return reply && reply->owner != XCB_WINDOW_NONE;
}

void XClient::WatchMappings() {
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection_, Root(), XCB_CW_EVENT_MASK, &mask);
  Sync();
}

QList<qint64> XClient::MappedWindowPids() {
  Sync();
  QList<qint64> pids;
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
    if ((event->response_type & ~0x80) == XCB_MAP_NOTIFY) {
      pids << WindowPid(reinterpret_cast<xcb_map_notify_event_t*>(event)->window);
    }
    std::free(event);
  }
  return pids;
}

}  // namespace zephra::e2e
