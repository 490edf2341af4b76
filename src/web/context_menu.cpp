#include "web/context_menu.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>
#include <vector>

#include "web/rules/context_menu_rules.h"
#include "web/desktop_handoff.h"

namespace quorvel {
namespace {

// The rules name WebKit's actions by value.
static_assert(static_cast<int>(PageMenuAction::OpenLink) == WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK);
static_assert(static_cast<int>(PageMenuAction::Reload) == WEBKIT_CONTEXT_MENU_ACTION_RELOAD);
static_assert(static_cast<int>(PageMenuAction::SpellingGuess) == WEBKIT_CONTEXT_MENU_ACTION_SPELLING_GUESS);
static_assert(static_cast<int>(PageMenuAction::InspectElement) == WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT);
static_assert(static_cast<int>(PageMenuAction::MediaMute) == WEBKIT_CONTEXT_MENU_ACTION_MEDIA_MUTE);
static_assert(static_cast<int>(PageMenuAction::PasteAsPlainText) == WEBKIT_CONTEXT_MENU_ACTION_PASTE_AS_PLAIN_TEXT);
static_assert(static_cast<int>(PageMenuAction::Custom) == WEBKIT_CONTEXT_MENU_ACTION_CUSTOM);

gboolean trim(WebKitContextMenu* menu, WebKitHitTestResult* hit, const LocalOrigin& origin, bool inspector,
             GAction* openLink) {
  std::vector<GRef<WebKitContextMenuItem>> items;
  std::vector<PageMenuAction> offered;
  for (GList* entry = webkit_context_menu_get_items(menu); entry; entry = entry->next) {
    auto* item = WEBKIT_CONTEXT_MENU_ITEM(entry->data);
    items.push_back(GRef<WebKitContextMenuItem>::retain(item));
    offered.push_back(webkit_context_menu_item_is_separator(item)
                          ? PageMenuAction::Separator
                          : static_cast<PageMenuAction>(webkit_context_menu_item_get_stock_action(item)));
  }
  PageMenuContext context{{}, inspector};
  const char* link = webkit_hit_test_result_context_is_link(hit) ? webkit_hit_test_result_get_link_uri(hit) : nullptr;
  if (link) context.link = link;
  std::vector<PageMenuLine> lines = pageMenu(context, offered, origin);
  if (lines.empty()) {
    g_debug("No context menu: nothing in it fits");
    return TRUE;
  }
  webkit_context_menu_remove_all(menu);
  for (const PageMenuLine& line : lines) {
    webkit_context_menu_append(menu, line.offered >= 0 ? items[line.offered].get()
                                                       : webkit_context_menu_item_new_from_gaction(
                                                             openLink, line.label.c_str(), g_variant_new_string(link)));
  }
  return FALSE;
}

}  // namespace

PageContextMenu::PageContextMenu(WebKitWebView* webView, LocalOrigin origin, bool inspector)
    : webView_(webView),
      origin_(std::move(origin)),
      inspector_(inspector),
      openLink_(GRef<GSimpleAction>::adopt(g_simple_action_new("open-link", G_VARIANT_TYPE_STRING))) {
  connections_.add(webView, "context-menu",
                   G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult* hit,
                                  PageContextMenu* self) -> gboolean {
                     return trim(menu, hit, self->origin_, self->inspector_, G_ACTION(self->openLink_.get()));
                   }),
                   this);
  // Decided here rather than by WebKit's own item, which navigates the frame the
  // link is in and counts as no user's act: the user asked, so the page loads in
  // the window if it is the server's, and goes to the desktop if not.
  connections_.add(openLink_.get(), "activate", G_CALLBACK(+[](GSimpleAction*, GVariant* url, PageContextMenu* self) {
                     const std::string link = g_variant_get_string(url, nullptr);
                     switch (decideNewWindow(link, self->origin_, true)) {
                       case NewWindow::LoadHere: webkit_web_view_load_uri(self->webView_, link.c_str()); break;
                       case NewWindow::HandToDesktop: openWithDesktop(link, GTK_WIDGET(self->webView_)); break;
                       case NewWindow::Nothing: break;
                     }
                   }),
                   this);
}

}  // namespace quorvel
