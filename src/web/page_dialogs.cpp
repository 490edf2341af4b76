#include "web/page_dialogs.h"

#include <webkit2/webkit2.h>

#include <memory>
#include <string>
#include <vector>

#include "base/glib_ptr.h"

namespace quorvel {
namespace {

using DialogRef = CPtr<WebKitScriptDialog, webkit_script_dialog_unref>;

void fileChosen(GtkNativeDialog* native, int response, GRef<WebKitFileChooserRequest>* held) {
  WebKitFileChooserRequest* request = held->get();
  auto chooser = GRef<GtkNativeDialog>::adopt(native);  // its only reference: it goes with this answer
  std::vector<GCharPtr> paths;
  if (response == GTK_RESPONSE_ACCEPT) {
    SListPtr chosen(gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(native)));
    for (GSList* item = chosen.get(); item; item = item->next) paths.emplace_back(static_cast<gchar*>(item->data));
  }
  if (paths.empty()) {
    webkit_file_chooser_request_cancel(request);
    return;
  }
  std::vector<const char*> list;
  for (const auto& path : paths) list.push_back(path.get());
  list.push_back(nullptr);
  webkit_file_chooser_request_select_files(request, list.data());
}

// The input's accept types as the chooser's first filter, named by what they are
// ("CSV document"), with "All files" beside it: the list is a hint the user may
// overrule. WebKitGTK hands over the types only, not accept's extensions (".csv"),
// and nothing of webkitdirectory, so a folder cannot be asked for.
void offerAcceptedTypes(GtkFileChooser* chooser, WebKitFileChooserRequest* request) {
  const gchar* const* types = webkit_file_chooser_request_get_mime_types(request);
  if (!types || !*types) return;
  GtkFileFilter* accepted = gtk_file_filter_new();
  std::string name;
  for (const gchar* const* type = types; *type; ++type) {
    gtk_file_filter_add_mime_type(accepted, *type);
    name += (name.empty() ? "" : ", ") + takeString(g_content_type_get_description(*type));
  }
  gtk_file_filter_set_name(accepted, name.c_str());
  gtk_file_chooser_add_filter(chooser, accepted);
  GtkFileFilter* all = gtk_file_filter_new();
  gtk_file_filter_set_name(all, "All files");
  gtk_file_filter_add_pattern(all, "*");
  gtk_file_chooser_add_filter(chooser, all);
}

}  // namespace

PageDialogs::PageDialogs(WebKitWebView* webView, Present present) : present_(std::move(present)) {
  connections_.add(webView, "script-dialog", G_CALLBACK(+[](WebKitWebView*, WebKitScriptDialog* dialog,
                                                             PageDialogs* self) -> gboolean {
                     WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
                     if (type != WEBKIT_SCRIPT_DIALOG_ALERT && type != WEBKIT_SCRIPT_DIALOG_CONFIRM) return FALSE;
                     // The page's script waits until the dialog is closed.
                     auto held = std::make_shared<DialogRef>(webkit_script_dialog_ref(dialog));
                     bool confirm = type == WEBKIT_SCRIPT_DIALOG_CONFIRM;
                     self->present_(webkit_script_dialog_get_message(dialog), confirm, [held, confirm](bool ok) {
                       if (confirm) webkit_script_dialog_confirm_set_confirmed(held->get(), ok);
                       webkit_script_dialog_close(held->get());
                     });
                     return TRUE;
                   }),
                   this);
  connections_.add(webView, "run-file-chooser", G_CALLBACK(+[](WebKitWebView* view, WebKitFileChooserRequest* request,
                                                                PageDialogs*) -> gboolean {
                     GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view));
                     auto* window = gtk_widget_is_toplevel(top) ? GTK_WINDOW(top) : nullptr;
                     bool several = webkit_file_chooser_request_get_select_multiple(request);
                     GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
                         several ? "Open Files" : "Open File", window, GTK_FILE_CHOOSER_ACTION_OPEN, nullptr, nullptr);
                     gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser), TRUE);
                     gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(chooser), several);
                     offerAcceptedTypes(GTK_FILE_CHOOSER(chooser), request);
                     SignalConnections::forLifeOf(chooser, "response", G_CALLBACK(fileChosen),
                                                  new GRef(GRef<WebKitFileChooserRequest>::retain(request)));
                     gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser));
                     return TRUE;
                   }),
                   this);
}

}  // namespace quorvel
