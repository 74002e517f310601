#include "app/window_places.h"

#include <X11/Xlib-xcb.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

// Replies and errors of xcb are malloc'ed.
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

// No window tree a window manager builds is this deep; the bound only keeps
// a server that answers nonsense from holding the program.
constexpr int kMaxDepth = 16;

}  // namespace

std::vector<OuterPlace> OuterPlaces(Display* display, const std::vector<Window>& windows) {
  std::vector<OuterPlace> places(windows.size());
  if (windows.empty()) return places;
  // Requests made through Xlib so far go out before these.
  XFlush(display);
  xcb_connection_t* conn = XGetXCBConnection(display);
  std::vector<xcb_window_t> outer(windows.begin(), windows.end());

  // Climb one level of every window's ancestry per round: all the windows
  // still below the root's children are asked for their parents at once.
  std::vector<std::size_t> climbing;
  for (std::size_t i = 0; i < windows.size(); ++i)
    if (windows[i] != None) climbing.push_back(i);
  for (int depth = 0; depth < kMaxDepth && !climbing.empty(); ++depth) {
    std::vector<xcb_query_tree_cookie_t> cookies;
    cookies.reserve(climbing.size());
    for (std::size_t i : climbing) cookies.push_back(xcb_query_tree(conn, outer[i]));
    std::vector<std::size_t> next;
    for (std::size_t k = 0; k < climbing.size(); ++k) {
      xcb_generic_error_t* error = nullptr;
      XcbReply<xcb_query_tree_reply_t> reply(xcb_query_tree_reply(conn, cookies[k], &error));
      std::free(error);
      if (!reply) continue;
      if (reply->parent != reply->root && reply->parent != XCB_WINDOW_NONE) {
        outer[climbing[k]] = reply->parent;
        next.push_back(climbing[k]);
      }
    }
    climbing.swap(next);
  }

  std::vector<std::size_t> asked;
  std::vector<xcb_get_geometry_cookie_t> cookies;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    if (windows[i] == None) continue;
    asked.push_back(i);
    cookies.push_back(xcb_get_geometry(conn, outer[i]));
  }
  for (std::size_t k = 0; k < asked.size(); ++k) {
    xcb_generic_error_t* error = nullptr;
    XcbReply<xcb_get_geometry_reply_t> reply(xcb_get_geometry_reply(conn, cookies[k], &error));
    std::free(error);
    if (!reply) continue;
    OuterPlace& place = places[asked[k]];
    place.known = true;
    place.reparented = outer[asked[k]] != windows[asked[k]];
    place.x = reply->x;
    place.y = reply->y;
    place.border = reply->border_width;
  }
  return places;
}
