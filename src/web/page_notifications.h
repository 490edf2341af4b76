#pragma once
// Shows the page's notifications through the desktop's notification server
// (org.freedesktop.Notifications) under Quorvel's name, icon and desktop entry.
// WebKit's own delivery first asks the server's capabilities, synchronously and
// for at most 20 ms, and a server slower than that (one started on demand) gets no
// notification for the rest of the run; this asks them without waiting, before
// each notification (a server that reads markup gets the text escaped).
// Clicking a notification runs the page's onclick and brings the window back
// (with the server's activation token, which Wayland asks for); closing it on
// either side closes it on the other.

#include <gio/gio.h>

#include <cstdint>
#include <map>
#include <string>

#include "base/glib_ptr.h"

typedef struct _WebKitNotification WebKitNotification;
typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

class PageNotifications {
 public:
  explicit PageNotifications(WebKitWebView* webView);
  ~PageNotifications();
  PageNotifications(const PageNotifications&) = delete;
  PageNotifications& operator=(const PageNotifications&) = delete;

 private:
  struct Shown {
    GRef<WebKitNotification> notification;
    std::uint32_t serverId = 0;  // 0 until the server has answered
    unsigned long closedHandler = 0;
    std::string activationToken;  // the server's, for the click it precedes
  };
  bool show(WebKitNotification* notification);
  void notify(std::uint64_t id, GVariant* capabilities);
  void shownAs(std::uint64_t id, std::uint32_t serverId);
  void serverSignal(const char* name, GVariant* parameters);
  void forget(std::uint64_t id);
  void call(const char* method, GVariant* parameters, const GVariantType* reply = nullptr,
            GAsyncReadyCallback done = nullptr, void* data = nullptr);

  WebKitWebView* webView_;
  GRef<GDBusConnection> bus_;
  GRef<GCancellable> cancellable_ = GRef<GCancellable>::adopt(g_cancellable_new());
  const WeakAnchor<PageNotifications> anchor_{this};  // held weakly by the server's answers
  unsigned subscription_ = 0;
  std::map<std::uint64_t, Shown> shown_;  // by WebKit's id
  SignalConnections connections_;
};

}  // namespace quorvel
