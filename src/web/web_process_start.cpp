#include "web/web_process_start.h"

#include <webkit2/webkit2.h>

#include "base/glib_ptr.h"
#include "base/milestones.h"

namespace quorvel {

void startWebProcess(WebKitWebView* webView) {
  auto answered = [](GObject* view, GAsyncResult* result, gpointer) {
    GErrorHolder error;
    auto value = GRef<JSCValue>::adopt(
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, error.out()));
    // No answer only when the view went first: nothing to report then.
    if (value) logMilestone("web process ready");
  };
  webkit_web_view_evaluate_javascript(webView, "0", -1, nullptr, nullptr, nullptr, answered, nullptr);
}

}  // namespace quorvel
