// A stand-in for the Ruby server, copied into temporary bundles as ruby/bin/ruby.
// It takes the server's command line (… -b tcp://127.0.0.1:PORT) and reads what
// to do from fake_server.conf in its working directory, one key=value a line:
//
//   ready_after_ms=N     start listening only after N ms
//   statuses=503,401     answer /up with these statuses first, then 200
//   exit_status=N        exit with status N (after exit_after_ms, default 0)
//   die_signal=N         end by signal N (after exit_after_ms)
//   ignore_sigint=1      ignore SIGINT
//   ignore_sigterm=1     ignore SIGTERM
//   term_exit_ms=N       on SIGTERM, exit only after N ms
//   worker=1             fork a worker, as a clustered server does: it writes its PID
//                        to fake_worker.pid, ignores SIGINT and ends on SIGTERM, which
//                        the master sends it when SIGINT ends the master
//
// It prints "fake_server PID ready" once its signal handlers are in place and it
// listens (if asked to). Every SIGINT and SIGTERM received is appended to
// fake_server.signals. It writes its PID to $PIDFILE and appends "METHOD PATH?QUERY|cookie=…|token=…" to
// fake_requests.log for each request. A file www/PATH in its working directory is
// served at PATH (www/index.html at /) (as an attachment when the query says "attachment", or "half": then
// only half of it is sent, and the rest never; .html as a page, anything else as text); /redirect?to=URL answers
// 302 to URL, /slow never answers; every other path gets a small page.

#include <glib-unix.h>
#include <libsoup/soup.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

std::map<std::string, std::string> conf;
std::istringstream statuses;
GMainLoop* loop = nullptr;
pid_t worker = 0;

int confInt(const std::string& key) { return std::atoi(conf[key].c_str()); }

void append(const char* file, const std::string& line) { std::ofstream(file, std::ios::app) << line << "\n"; }

void handle(SoupServer*, SoupServerMessage* msg, const char* path, GHashTable*, gpointer) {
  SoupMessageHeaders* in = soup_server_message_get_request_headers(msg);
  const char* query = g_uri_get_query(soup_server_message_get_uri(msg));
  const char* cookie = soup_message_headers_get_one(in, "Cookie");
  const char* token = soup_message_headers_get_one(in, "Launch-Token");
  const std::string name = path, served = "www" + (name == "/" ? "/index.html" : name);
  append("fake_requests.log", std::string(soup_server_message_get_method(msg)) + " " + name +
                                  (query ? std::string("?") + query : "") + "|cookie=" + (cookie ? cookie : "") +
                                  "|token=" + (token ? token : ""));
  std::string status = "200", type = "text/html", body = "<!doctype html><title>Fake</title><h1>Fake server</h1>";
  if (name == "/slow") return soup_server_message_pause(msg);
  if (name == "/redirect" && query && g_str_has_prefix(query, "to=")) return soup_server_message_set_redirect(msg, 302, query + 3);
  if (name == "/up") {
    if (!std::getline(statuses, status, ',')) status = "200";
    body = "up";
  } else if (g_file_test(served.c_str(), G_FILE_TEST_IS_REGULAR)) {
    body = (std::stringstream() << std::ifstream(served, std::ios::binary).rdbuf()).str();
    if (!served.ends_with(".html")) type = "text/plain";
    if (query && (std::string(query) == "attachment" || std::string(query) == "half")) {
      soup_message_headers_append(soup_server_message_get_response_headers(msg), "Content-Disposition", "attachment");
    }
  }
  soup_server_message_set_status(msg, static_cast<guint>(std::stoi(status)), nullptr);
  if (query && std::string(query) == "half")  // announced whole, the body never completed
    return soup_message_headers_set_content_length(soup_server_message_get_response_headers(msg), body.size()),
           soup_message_body_append(soup_server_message_get_response_body(msg), SOUP_MEMORY_COPY, body.data(), body.size() / 2);
  soup_server_message_set_response(msg, type.c_str(), SOUP_MEMORY_COPY, body.data(), body.size());
}

gboolean quit(gpointer) { return g_main_loop_quit(loop), G_SOURCE_REMOVE; }

gboolean onSignal(gpointer name) {
  const std::string which = static_cast<const char*>(name);  // "INT" or "TERM"
  append("fake_server.signals", which);
  if (conf[which == "INT" ? "ignore_sigint" : "ignore_sigterm"] == "1") return G_SOURCE_CONTINUE;
  if (which == "INT" && worker > 0) kill(worker, SIGTERM);
  g_timeout_add(static_cast<guint>(which == "INT" ? 0 : confInt("term_exit_ms")), quit, nullptr);
  return G_SOURCE_CONTINUE;
}

}  // namespace

int main(int argc, char** argv) {
  std::ifstream in("fake_server.conf");
  for (std::string line; std::getline(in, line);) {
    if (auto eq = line.find('='); eq != std::string::npos) conf[line.substr(0, eq)] = line.substr(eq + 1);
  }
  statuses.str(conf["statuses"]);
  static int port = -1;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "-b") port = std::atoi(g_strrstr(argv[i + 1], ":") + 1);
  }
  if (const char* pidFile = std::getenv("PIDFILE")) std::ofstream(pidFile) << getpid() << "\n";
  if (conf["worker"] == "1" && (worker = fork()) == 0) {
    signal(SIGINT, SIG_IGN);
    std::ofstream("fake_worker.pid") << getpid() << "\n";
    for (;;) pause();
  }

  loop = g_main_loop_new(nullptr, FALSE);
  g_unix_signal_add(SIGINT, onSignal, const_cast<char*>("INT"));
  g_unix_signal_add(SIGTERM, onSignal, const_cast<char*>("TERM"));
  if (conf.count("exit_status") || conf.count("die_signal")) {
    g_timeout_add(static_cast<guint>(confInt("exit_after_ms")), [](gpointer) -> gboolean {
      if (conf.count("die_signal")) signal(confInt("die_signal"), SIG_DFL), raise(confInt("die_signal"));
      std::exit(confInt("exit_status"));
    }, nullptr);
  }
  SoupServer* server = soup_server_new(nullptr, nullptr);
  soup_server_add_handler(server, nullptr, handle, nullptr, nullptr);
  g_timeout_add(static_cast<guint>(confInt("ready_after_ms")), [](gpointer server) {
    GError* error = nullptr;
    if (port >= 0 &&
        !soup_server_listen_local(SOUP_SERVER(server), static_cast<guint>(port), SOUP_SERVER_LISTEN_IPV4_ONLY, &error)) {
      g_printerr("fake_server: cannot listen on %d: %s\n", port, error->message);
      std::exit(70);
    }
    g_print("fake_server %d ready\n", getpid());
    return G_SOURCE_REMOVE;
  }, server);
  g_main_loop_run(loop);
  g_object_unref(server);
}
