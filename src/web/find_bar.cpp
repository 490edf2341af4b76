#include "web/find_bar.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <string>

namespace quorvel {
namespace {

constexpr guint32 kOptions = WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND;

struct ScriptAnswer {
  WeakOwner<FindBar> bar;
  std::function<void(FindBar&, const std::string&)> then;
};

// Runs `script` on the page and hands its result (a string, else "") to `then`,
// if the bar is still there; a page that cannot answer answers "". In a script
// world of its own, where the page's scripts cannot stand in for the DOM's.
void evaluate(WebKitWebView* view, const char* script, WeakOwner<FindBar> bar,
              std::function<void(FindBar&, const std::string&)> then) {
  webkit_web_view_evaluate_javascript(
      view, script, -1, "Quorvel find", nullptr, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<ScriptAnswer> answer(static_cast<ScriptAnswer*>(data));
        auto value = GRef<JSCValue>::adopt(webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr));
        auto owner = answer->bar.get();
        if (!owner) return;
        std::string text;
        if (value && jsc_value_is_string(value.get())) text = takeString(jsc_value_to_string(value.get()));
        answer->then(*owner, text);
      },
      new ScriptAnswer{std::move(bar), std::move(then)});
}

GtkWidget* arrowButton(const char* icon, const char* name) {
  GtkWidget* button = gtk_button_new_from_icon_name(icon, GTK_ICON_SIZE_BUTTON);
  gtk_widget_set_tooltip_text(button, name);
  atk_object_set_name(gtk_widget_get_accessible(button), name);
  return button;
}

}  // namespace

FindBar::FindBar(WebKitWebView* webView)
    : webView_(webView),
      finder_(webkit_web_view_get_find_controller(webView)),
      bar_(gtk_search_bar_new()),
      entry_(gtk_search_entry_new()),
      status_(gtk_label_new(nullptr)) {
  gtk_entry_set_width_chars(GTK_ENTRY(entry_), 32);
  gtk_entry_set_placeholder_text(GTK_ENTRY(entry_), "Find in page");
  atk_object_set_name(gtk_widget_get_accessible(entry_), "Find in page");
  GtkWidget* previous = arrowButton("go-up-symbolic", "Find Previous");
  GtkWidget* next = arrowButton("go-down-symbolic", "Find Next");
  GtkWidget* arrows = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  gtk_style_context_add_class(gtk_widget_get_style_context(arrows), GTK_STYLE_CLASS_LINKED);
  gtk_container_add(GTK_CONTAINER(arrows), previous);
  gtk_container_add(GTK_CONTAINER(arrows), next);
  gtk_label_set_width_chars(GTK_LABEL(status_), 12);
  gtk_label_set_xalign(GTK_LABEL(status_), 0);
  gtk_style_context_add_class(gtk_widget_get_style_context(status_), GTK_STYLE_CLASS_DIM_LABEL);
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  gtk_container_add(GTK_CONTAINER(row), entry_);
  gtk_container_add(GTK_CONTAINER(row), arrows);
  gtk_container_add(GTK_CONTAINER(row), status_);
  gtk_container_add(GTK_CONTAINER(bar_), row);
  gtk_search_bar_connect_entry(GTK_SEARCH_BAR(bar_), GTK_ENTRY(entry_));  // Escape closes it
  gtk_search_bar_set_show_close_button(GTK_SEARCH_BAR(bar_), TRUE);

  connections_.add(entry_, "search-changed", G_CALLBACK(+[](FindBar* self) { self->search(); }), this,
                   G_CONNECT_SWAPPED);
  connections_.add(entry_, "activate", G_CALLBACK(+[](FindBar* self) { self->step(true); }), this, G_CONNECT_SWAPPED);
  connections_.add(entry_, "key-press-event", G_CALLBACK(+[](GtkWidget*, GdkEventKey* event, FindBar* self) -> gboolean {
                     bool enter = event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter ||
                                  event->keyval == GDK_KEY_ISO_Enter;
                     if (!enter || !(event->state & GDK_SHIFT_MASK)) return FALSE;
                     self->step(false);
                     return TRUE;
                   }),
                   this);
  connections_.add(previous, "clicked", G_CALLBACK(+[](FindBar* self) { self->step(false); }), this, G_CONNECT_SWAPPED);
  connections_.add(next, "clicked", G_CALLBACK(+[](FindBar* self) { self->step(true); }), this, G_CONNECT_SWAPPED);
  connections_.add(bar_, "notify::search-mode-enabled", G_CALLBACK(+[](FindBar* self) {
                     if (!self->isOpen()) self->closed();
                   }),
                   this, G_CONNECT_SWAPPED);
  connections_.add(finder_, "found-text", G_CALLBACK(+[](FindBar* self) {
                     self->progress_.found();
                     self->showProgress();
                   }),
                   this, G_CONNECT_SWAPPED);
  connections_.add(finder_, "failed-to-find-text", G_CALLBACK(+[](FindBar* self) {
                     self->progress_.notFound();
                     self->showProgress();
                   }),
                   this, G_CONNECT_SWAPPED);
  connections_.add(finder_, "counted-matches", G_CALLBACK(+[](WebKitFindController*, guint count, FindBar* self) {
                     self->progress_.counted(count);
                     self->showProgress();
                   }),
                   this);
  // A new page in the main frame: the old page's matches mean nothing there.
  connections_.add(webView_, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, FindBar* self) {
                     if (event == WEBKIT_LOAD_COMMITTED) self->close();
                   }),
                   this);
}

bool FindBar::isOpen() const { return gtk_search_bar_get_search_mode(GTK_SEARCH_BAR(bar_)); }

void FindBar::open() {
  bool wasOpen = isOpen();
  reveal();
  std::string before = gtk_entry_get_text(GTK_ENTRY(entry_));
  if (wasOpen) return;  // the page's selection is the match found by now
  evaluate(webView_, "window.getSelection().toString()", anchor_.weak(), [before](FindBar& bar, const std::string& selected) {
    // Its first line; what was typed meanwhile wins. Not selected: the page's own
    // selection, which the search changes, would take it away (X's primary selection).
    GCharPtr line(g_strstrip(g_strdup(selected.substr(0, selected.find('\n')).c_str())));
    if (!*line || before != gtk_entry_get_text(GTK_ENTRY(bar.entry_))) return;
    gtk_entry_set_text(GTK_ENTRY(bar.entry_), line.get());
    gtk_editable_set_position(GTK_EDITABLE(bar.entry_), -1);
  });
}

void FindBar::step(bool next) {
  if (!isOpen()) return reveal();  // the last text, searched from the top
  if (!*gtk_entry_get_text(GTK_ENTRY(entry_))) return;
  progress_.stepped(next);
  if (next) {
    webkit_find_controller_search_next(finder_);
  } else {
    webkit_find_controller_search_previous(finder_);
  }
}

void FindBar::close() {
  if (isOpen()) gtk_search_bar_set_search_mode(GTK_SEARCH_BAR(bar_), FALSE);
}

void FindBar::reveal() {
  // GtkSearchBar empties its entry when it closes: the last text comes back.
  if (!isOpen()) gtk_entry_set_text(GTK_ENTRY(entry_), lastText_.c_str());
  gtk_search_bar_set_search_mode(GTK_SEARCH_BAR(bar_), TRUE);
  gtk_widget_grab_focus(entry_);  // and selects its text, to type over
}

void FindBar::search() {
  unsigned serial = ++searchSerial_;
  if (!*gtk_entry_get_text(GTK_ENTRY(entry_))) {
    webkit_find_controller_search_finish(finder_);
    progress_.cleared();
    showProgress();
    return;
  }
  // WebKit searches on from the page's selection, and tells which match it found
  // only by how many there are: from the top, the position is known.
  evaluate(webView_, "window.getSelection().removeAllRanges()", anchor_.weak(),
           [serial](FindBar& bar, const std::string&) { bar.searchNow(serial); });
}

void FindBar::searchNow(unsigned serial) {
  const char* text = gtk_entry_get_text(GTK_ENTRY(entry_));
  if (serial != searchSerial_ || !isOpen() || !*text) return;  // typed on, or closed meanwhile
  lastText_ = text;
  progress_.searched();
  webkit_find_controller_search(finder_, text, kOptions, FindProgress::kMaxCount);
  webkit_find_controller_count_matches(finder_, text, kOptions, FindProgress::kMaxCount);
  showProgress();
}

void FindBar::closed() {
  webkit_find_controller_search_finish(finder_);
  progress_.cleared();
  showProgress();
  if (gtk_widget_get_mapped(GTK_WIDGET(webView_))) gtk_widget_grab_focus(GTK_WIDGET(webView_));
}

void FindBar::showProgress() { gtk_label_set_text(GTK_LABEL(status_), progress_.text().c_str()); }

}  // namespace quorvel
