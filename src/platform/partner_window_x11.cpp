#include <xcb/res.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/partner_window.h"

namespace zephra::platform {

namespace {

// Longest property read, in 32-bit units: far more than any class, title or client list needs.
constexpr std::uint32_t MaxPropertyUnits = 1 << 16;

template <typename T>
using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
XcbReply<T> Reply(T* reply) {
  return XcbReply<T>(reply, &std::free);
}

struct TDisplay {
  TDisplay() : connection(xcb_connect(nullptr, nullptr)) {}
  ~TDisplay() { xcb_disconnect(connection); }
  TDisplay(const TDisplay&) = delete;
  TDisplay& operator=(const TDisplay&) = delete;
  bool Usable() const { return xcb_connection_has_error(connection) == 0; }
  xcb_connection_t* connection;
};

struct TAtoms {
  xcb_atom_t clientList = XCB_ATOM_NONE;
  xcb_atom_t wmName = XCB_ATOM_NONE;  // _NET_WM_NAME
  xcb_atom_t wmPid = XCB_ATOM_NONE;
  xcb_atom_t utf8String = XCB_ATOM_NONE;
};

struct TProperty {
  xcb_atom_t type = XCB_ATOM_NONE;
  std::uint8_t format = 0;
  QByteArray bytes;
};

xcb_atom_t InternAtom(xcb_connection_t* c, const char* name) {
  const auto cookie = xcb_intern_atom(c, 1, static_cast<std::uint16_t>(std::strlen(name)), name);
  const auto reply = Reply(xcb_intern_atom_reply(c, cookie, nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

TAtoms InternAtoms(xcb_connection_t* c) {
  return TAtoms{InternAtom(c, "_NET_CLIENT_LIST"), InternAtom(c, "_NET_WM_NAME"),
                InternAtom(c, "_NET_WM_PID"), InternAtom(c, "UTF8_STRING")};
}

// A property of any type; empty (type None) when the window or the property doesn't exist.
TProperty GetProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
  TProperty result;
  if (property == XCB_ATOM_NONE) {
    return result;
  }
  const auto cookie =
      xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, MaxPropertyUnits);
  const auto reply = Reply(xcb_get_property_reply(c, cookie, nullptr));
  if (!reply || reply->type == XCB_ATOM_NONE) {
    return result;
  }
  result.type = reply->type;
  result.format = reply->format;
  const int length = xcb_get_property_value_length(reply.get());
  result.bytes = QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
  return result;
}

std::vector<xcb_window_t> WindowsOf(const TProperty& property) {
  std::vector<xcb_window_t> windows;
  if (property.type != XCB_ATOM_WINDOW || property.format != 32) {
    return windows;
  }
  windows.resize(property.bytes.size() / sizeof(xcb_window_t));
  // An empty list (a window manager that manages nothing yet) has no buffer to copy into.
  if (!windows.empty()) {
    std::memcpy(windows.data(), property.bytes.constData(), windows.size() * sizeof(xcb_window_t));
  }
  return windows;
}

std::vector<xcb_window_t> ChildrenOf(xcb_connection_t* c, xcb_window_t window) {
  const auto reply = Reply(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
  if (!reply) {
    return {};
  }
  const xcb_window_t* children = xcb_query_tree_children(reply.get());
  return std::vector<xcb_window_t>(children,
                                   children + xcb_query_tree_children_length(reply.get()));
}

// The client list of the window manager first, then the root's children and grandchildren.
std::vector<xcb_window_t> CandidateWindows(xcb_connection_t* c, xcb_window_t root,
                                           const TAtoms& atoms) {
  std::vector<xcb_window_t> windows = WindowsOf(GetProperty(c, root, atoms.clientList));
  for (const xcb_window_t child : ChildrenOf(c, root)) {
    windows.push_back(child);
    for (const xcb_window_t grandchild : ChildrenOf(c, child)) {
      windows.push_back(grandchild);
    }
  }
  return windows;
}

// WM_CLASS holds "instance\0class\0"; the class is the second string.
QString ClassOf(xcb_connection_t* c, xcb_window_t window) {
  const QByteArray bytes = GetProperty(c, window, XCB_ATOM_WM_CLASS).bytes;
  const qsizetype split = bytes.indexOf('\0');
  if (split < 0) {
    return {};
  }
  QByteArray className = bytes.mid(split + 1);
  const qsizetype end = className.indexOf('\0');
  if (end >= 0) {
    className.truncate(end);
  }
  return QString::fromLatin1(className);
}

// WM_NAME of type STRING is Latin-1; UTF8_STRING (and what else is met in practice) is UTF-8.
QString TextOf(const TProperty& property) {
  if (property.type == XCB_ATOM_STRING) {
    return QString::fromLatin1(property.bytes);
  }
  return QString::fromUtf8(property.bytes);
}

QString TitleOf(xcb_connection_t* c, xcb_window_t window, const TAtoms& atoms) {
  const TProperty netName = GetProperty(c, window, atoms.wmName);
  if (netName.type != XCB_ATOM_NONE && netName.type == atoms.utf8String) {
    return QString::fromUtf8(netName.bytes);
  }
  return TextOf(GetProperty(c, window, XCB_ATOM_WM_NAME));
}

std::optional<std::int64_t> NetWmPid(xcb_connection_t* c, xcb_window_t window,
                                     const TAtoms& atoms) {
  const TProperty pid = GetProperty(c, window, atoms.wmPid);
  if (pid.type != XCB_ATOM_CARDINAL || pid.format != 32 || pid.bytes.size() < 4) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  std::memcpy(&value, pid.bytes.constData(), sizeof value);
  return value > 0 ? std::optional<std::int64_t>(value) : std::nullopt;
}

// Asks the X server which local process owns the client that created `window`.
std::optional<std::int64_t> ResourcePid(xcb_connection_t* c, xcb_window_t window) {
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_res_id);
  if (extension == nullptr || !extension->present) {
    return std::nullopt;
  }
  xcb_res_client_id_spec_t query{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
  const auto reply =
      Reply(xcb_res_query_client_ids_reply(c, xcb_res_query_client_ids(c, 1, &query), nullptr));
  if (!reply) {
    return std::nullopt;
  }
  // Only the process id was asked for, so every value that comes back is one.
  for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem > 0;
       xcb_res_client_id_value_next(&it)) {
    if (xcb_res_client_id_value_value_length(it.data) >= 1) {
      return *xcb_res_client_id_value_value(it.data);
    }
  }
  return std::nullopt;
}

std::optional<xcb_window_t> FindWindow(xcb_connection_t* c, const TAtoms& atoms,
                                       const QString& windowClass, const QString& title) {
  for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(c)); screens.rem > 0;
       xcb_screen_next(&screens)) {
    for (const xcb_window_t window : CandidateWindows(c, screens.data->root, atoms)) {
      if (ClassOf(c, window) == windowClass && TitleOf(c, window, atoms) == title) {
        return window;
      }
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::int64_t> FindTopLevelWindowProcess(const QString& windowClass,
                                                      const QString& title) {
  TDisplay display;
  if (!display.Usable()) {
    return std::nullopt;
  }
  xcb_connection_t* c = display.connection;
  const TAtoms atoms = InternAtoms(c);
  const std::optional<xcb_window_t> window = FindWindow(c, atoms, windowClass, title);
  if (!window) {
    return std::nullopt;
  }
  if (const auto pid = NetWmPid(c, *window, atoms)) {
    return pid;
  }
  return ResourcePid(c, *window);
}

}  // namespace zephra::platform
