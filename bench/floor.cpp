// The engine's floor for scripts/bench.sh: the least a WebKit2GTK program does to
// show one page, one GtkApplicationWindow holding one WebKitWebView that loads one
// URL, nothing else. Same default size as Quorvel's window, so both draw as much.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s URL\n", argv[0]);
    return 2;
  }
  static const char* url = argv[1];
  GtkApplication* app = gtk_application_new("app.quorvel.BenchFloor", G_APPLICATION_DEFAULT_FLAGS);
  g_signal_connect(app, "activate", G_CALLBACK(+[](GtkApplication* application) {
                     GtkWidget* window = gtk_application_window_new(application);
                     gtk_window_set_default_size(GTK_WINDOW(window), 1280, 860);
                     GtkWidget* view = webkit_web_view_new();
                     gtk_container_add(GTK_CONTAINER(window), view);
                     webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), url);
                     gtk_widget_show_all(window);
                   }),
                   nullptr);
  char* args[] = {argv[0], nullptr};
  int status = g_application_run(G_APPLICATION(app), 1, args);
  g_object_unref(app);
  return status;
}
