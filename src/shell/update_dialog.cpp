#include "shell/update_dialog.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "base/glib_ptr.h"
#include "web/desktop_handoff.h"

namespace quorvel {
namespace {

constexpr int kAccept = 0, kLater = 1, kSkip = 2;
constexpr guint kPulseMs = 100;

// The notes come from the feed's server: no scripts, and a clicked link opens in
// the browser rather than in the dialog.
gboolean decideNotesPolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  const bool web = g_str_has_prefix(uri, "https://") || g_str_has_prefix(uri, "http://");
  const bool clicked = webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED ||
                       type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION;
  if (!clicked && (web || g_str_equal(uri, "about:blank"))) return FALSE;  // the notes themselves
  if (clicked && web && webkit_navigation_action_is_user_gesture(action)) openWithDesktop(uri);
  webkit_policy_decision_ignore(decision);
  return TRUE;
}

GtkWidget* notesView(const UpdateOffer& offer) {
  // Ephemeral: the feed's server sees none of the window's cookies and leaves none.
  auto context = GRef<WebKitWebContext>::adopt(webkit_web_context_new_ephemeral());
  GtkWidget* view = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context.get(), nullptr));
  g_object_set(webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view)), "enable-javascript", FALSE,
               "enable-javascript-markup", FALSE, nullptr);
  SignalConnections::forLifeOf(view, "decide-policy", G_CALLBACK(decideNotesPolicy));
  gtk_widget_set_size_request(view, 460, 200);
  if (!offer.notesURL.empty()) {
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), offer.notesURL.c_str());
  } else {
    webkit_web_view_load_html(WEBKIT_WEB_VIEW(view), offer.notesHTML.c_str(), nullptr);
  }
  GtkWidget* frame = gtk_frame_new(nullptr);
  gtk_container_add(GTK_CONTAINER(frame), view);
  return frame;
}

}  // namespace

void showUpdateOffer(GtkWindow* parent, const UpdateOffer& offer, std::function<void(OfferAnswer)> answered) {
  GtkWidget* dialog =
      gtk_message_dialog_new(parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                             GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s", offer.primary.c_str());
  gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", offer.secondary.c_str());
  GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
  if (!offer.notesURL.empty() || !offer.notesHTML.empty()) {
    gtk_box_pack_start(GTK_BOX(area), notesView(offer), TRUE, TRUE, 0);
  }
  gtk_dialog_add_button(GTK_DIALOG(dialog), "Skip This Version", kSkip);
  gtk_dialog_add_button(GTK_DIALOG(dialog), "Remind Me Later", kLater);
  const bool install = offer.downloadURL.empty();
  GtkWidget* accept = gtk_dialog_add_button(GTK_DIALOG(dialog), install ? "Install Update" : "Download", kAccept);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), kAccept);
  using Answer = std::function<void(int)>;
  auto* answer = new Answer([answered = std::move(answered), install](int response) {
    if (response == kAccept) answered(install ? OfferAnswer::Install : OfferAnswer::Download);
    else answered(response == kSkip ? OfferAnswer::Skip : OfferAnswer::RemindLater);
  });
  SignalConnections::forLifeOf(dialog, "response", G_CALLBACK(+[](GtkDialog* self, int response, Answer* done) {
                                 // Destroying the dialog frees the answer: take it out first.
                                 Answer call = std::move(*done);
                                 gtk_widget_destroy(GTK_WIDGET(self));
                                 call(response);
                               }),
                               answer);
  gtk_widget_show_all(dialog);
  // Return answers the offer, not the notes.
  gtk_widget_grab_focus(accept);
  gtk_window_present(GTK_WINDOW(dialog));
}

UpdateProgress::UpdateProgress(GtkWindow* parent, std::function<void()> cancel)
    : dialog_(gtk_dialog_new()),
      label_(gtk_label_new("")),
      bar_(gtk_progress_bar_new()),
      cancelled_(std::move(cancel)) {
  gtk_window_set_title(GTK_WINDOW(dialog_), "Updating Quorvel");
  gtk_window_set_transient_for(GTK_WINDOW(dialog_), parent);
  gtk_window_set_modal(GTK_WINDOW(dialog_), TRUE);
  gtk_window_set_deletable(GTK_WINDOW(dialog_), FALSE);
  gtk_window_set_resizable(GTK_WINDOW(dialog_), FALSE);
  GtkWidget* box = gtk_dialog_get_content_area(GTK_DIALOG(dialog_));
  gtk_container_set_border_width(GTK_CONTAINER(box), 18);
  gtk_box_set_spacing(GTK_BOX(box), 12);
  gtk_label_set_xalign(GTK_LABEL(label_), 0);
  gtk_widget_set_size_request(bar_, 360, -1);
  gtk_box_pack_start(GTK_BOX(box), label_, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), bar_, FALSE, FALSE, 0);
  cancel_ = gtk_dialog_add_button(GTK_DIALOG(dialog_), "Cancel", GTK_RESPONSE_CANCEL);
  connections_.add(dialog_, "response", G_CALLBACK(+[](GtkDialog*, int response, UpdateProgress* self) {
                     // Escape too, but only while there is something to cancel. Cancelling
                     // takes this dialog down: the callback runs from a copy.
                     if (gtk_widget_get_sensitive(self->cancel_) && (response == GTK_RESPONSE_CANCEL ||
                                                                     response == GTK_RESPONSE_DELETE_EVENT)) {
                       auto cancelled = self->cancelled_;
                       cancelled();
                     }
                   }),
                   this);
  connections_.add(dialog_, "delete-event", G_CALLBACK(gtk_true), nullptr);
  gtk_widget_show_all(dialog_);
}

UpdateProgress::~UpdateProgress() {
  g_clear_handle_id(&pulse_, g_source_remove);
  connections_.disconnectAll();
  gtk_widget_destroy(dialog_);
}

void UpdateProgress::set(const std::string& status, double fraction, bool cancellable) {
  gtk_label_set_text(GTK_LABEL(label_), status.c_str());
  gtk_widget_set_sensitive(cancel_, cancellable);
  if (fraction >= 0) {
    g_clear_handle_id(&pulse_, g_source_remove);
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar_), fraction);
  } else if (pulse_ == 0) {
    pulse_ = g_timeout_add(kPulseMs, [](gpointer bar) -> gboolean {
      gtk_progress_bar_pulse(GTK_PROGRESS_BAR(bar));
      return G_SOURCE_CONTINUE;
    }, bar_);
  }
}

}  // namespace quorvel
