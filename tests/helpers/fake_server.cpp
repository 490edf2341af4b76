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
//   record=1             write arguments, directory and environment to
//                        fake_server.record
//
// Every SIGINT and SIGTERM received is appended to fake_server.signals ("INT",
// "TERM"), also when it is then ignored. A file feed.xml in the working directory
// is served at /appcast.xml.
//
// It writes its PID to $PIDFILE, appends one line per request to
// fake_requests.log in its working directory ("METHOD PATH|cookie=…|token=…"),
// and serves a small page at every path but /up.

#include <glib-unix.h>
#include <libsoup/soup.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

std::map<std::string, std::string> conf;
std::vector<int> statuses;
size_t upRequests = 0;
GMainLoop* loop = nullptr;
int port = -1;

int confInt(const std::string& key, int fallback) {
  auto it = conf.find(key);
  return it == conf.end() ? fallback : std::atoi(it->second.c_str());
}

void readConf() {
  std::ifstream in("fake_server.conf");
  std::string line;
  while (std::getline(in, line)) {
    auto eq = line.find('=');
    if (eq != std::string::npos) conf[line.substr(0, eq)] = line.substr(eq + 1);
  }
  std::stringstream list(conf["statuses"]);
  std::string item;
  while (std::getline(list, item, ',')) {
    if (!item.empty()) statuses.push_back(std::atoi(item.c_str()));
  }
}

void record(int argc, char** argv) {
  std::ofstream out("fake_server.record");
  for (int i = 0; i < argc; ++i) out << "arg=" << argv[i] << "\n";
  char cwd[4096] = {};
  if (getcwd(cwd, sizeof cwd)) out << "cwd=" << cwd << "\n";
  for (char** e = environ; *e; ++e) out << "env=" << *e << "\n";
}

void handle(SoupServer*, SoupServerMessage* msg, const char* path, GHashTable*, gpointer) {
  SoupMessageHeaders* headers = soup_server_message_get_request_headers(msg);
  const char* cookie = soup_message_headers_get_one(headers, "Cookie");
  const char* token = soup_message_headers_get_one(headers, "Launch-Token");
  {
    std::ofstream log("fake_requests.log", std::ios::app);
    log << soup_server_message_get_method(msg) << " " << path << "|cookie=" << (cookie ? cookie : "")
        << "|token=" << (token ? token : "") << "\n";
  }
  if (std::string(path) == "/appcast.xml") {
    std::ifstream feed("feed.xml", std::ios::binary);
    std::stringstream body;
    body << feed.rdbuf();
    std::string text = body.str();
    soup_server_message_set_status(msg, feed ? 200 : 404, nullptr);
    soup_server_message_set_response(msg, "application/rss+xml", SOUP_MEMORY_COPY, text.data(), text.size());
    return;
  }
  if (std::string(path) == "/up") {
    int status = upRequests < statuses.size() ? statuses[upRequests] : 200;
    ++upRequests;
    soup_server_message_set_status(msg, static_cast<guint>(status), nullptr);
    soup_server_message_set_response(msg, "text/plain", SOUP_MEMORY_COPY, "up", 2);
    return;
  }
  static const char page[] =
      "<!doctype html><html><head><title>Fake Server</title></head>"
      "<body style=\"font-family:sans-serif\"><h1 id=\"title\">Fake server page</h1>"
      "<p>Served by the test server.</p></body></html>";
  soup_server_message_set_status(msg, 200, nullptr);
  soup_server_message_set_response(msg, "text/html", SOUP_MEMORY_STATIC, page, sizeof page - 1);
}

gboolean startListening(gpointer server) {
  GError* error = nullptr;
  GInetAddress* address = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
  GSocketAddress* socketAddress = g_inet_socket_address_new(address, static_cast<guint16>(port));
  if (!soup_server_listen(SOUP_SERVER(server), socketAddress, static_cast<SoupServerListenOptions>(0), &error)) {
    std::fprintf(stderr, "fake_server: cannot listen on %d: %s\n", port, error->message);
    std::exit(70);
  }
  g_object_unref(socketAddress);
  g_object_unref(address);
  return G_SOURCE_REMOVE;
}

void noteSignal(const char* name) { std::ofstream("fake_server.signals", std::ios::app) << name << "\n"; }

gboolean quitNow(gpointer) {
  g_main_loop_quit(loop);
  return G_SOURCE_REMOVE;
}

gboolean onInt(gpointer) {
  noteSignal("INT");
  if (conf["ignore_sigint"] != "1") g_main_loop_quit(loop);
  return G_SOURCE_CONTINUE;
}

gboolean onTerm(gpointer) {
  noteSignal("TERM");
  if (conf["ignore_sigterm"] != "1") {
    g_timeout_add(static_cast<guint>(confInt("term_exit_ms", 0)), quitNow, nullptr);
  }
  return G_SOURCE_CONTINUE;
}

gboolean endAsConfigured(gpointer) {
  if (conf.count("die_signal")) {
    int sig = confInt("die_signal", 9);
    signal(sig, SIG_DFL);
    raise(sig);
  }
  std::exit(confInt("exit_status", 0));
}

}  // namespace

int main(int argc, char** argv) {
  readConf();
  if (conf["record"] == "1") record(argc, argv);
  for (int i = 1; i + 1 < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-b") {
      std::string bind = argv[i + 1];
      port = std::atoi(bind.substr(bind.rfind(':') + 1).c_str());
    }
  }
  if (const char* pidFile = std::getenv("PIDFILE")) {
    std::ofstream(pidFile) << getpid() << "\n";
  }
  std::printf("fake_server %d starting\n", getpid());
  std::fflush(stdout);

  loop = g_main_loop_new(nullptr, FALSE);
  g_unix_signal_add(SIGINT, onInt, nullptr);
  g_unix_signal_add(SIGTERM, onTerm, nullptr);
  if (conf.count("exit_status") || conf.count("die_signal")) {
    g_timeout_add(static_cast<guint>(confInt("exit_after_ms", 0)), endAsConfigured, nullptr);
  }

  SoupServer* server = soup_server_new(nullptr, nullptr);
  soup_server_add_handler(server, nullptr, handle, nullptr, nullptr);
  if (port >= 0) {
    g_timeout_add(static_cast<guint>(confInt("ready_after_ms", 0)), startListening, server);
  }
  g_main_loop_run(loop);
  g_object_unref(server);
  g_main_loop_unref(loop);
  return 0;
}
