#include "test_support.h"

#include <arpa/inet.h>
#include <glib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "server/server_controller.h"

namespace fs = std::filesystem;

namespace quorvel::test {

TempDir::TempDir() : path_(takeString(g_dir_make_tmp("quorvel-test-XXXXXX", nullptr))) {}

TempDir::~TempDir() { fs::remove_all(path_); }

std::string readFile(const std::string& path) {
  std::stringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& contents) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << contents;
}

bool exists(const std::string& path) { return fs::exists(fs::symlink_status(path)); }

int count(const std::string& text, const std::string& needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

int loopbackSocket(int port, bool listening) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
  auto* raw = reinterpret_cast<sockaddr*>(&address);
  if (listening ? bind(fd, raw, sizeof address) != 0 || listen(fd, 16) != 0 : connect(fd, raw, sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int freePort() {
  int fd = loopbackSocket(0, true);
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

std::string fakeServerPath() { return FAKE_SERVER_PATH; }
std::string builtBundleResources() { return QUORVEL_BUNDLE_RESOURCES; }

std::string makeBundle(const std::string& root, const std::string& program) {
  fs::path resources = fs::path(root) / "Quorvel.app/Contents/Resources";
  fs::create_directories(resources / "ruby/bin");
  fs::create_directories(resources / "app");
  fs::copy_file(program, resources / "ruby/bin/ruby", fs::copy_options::overwrite_existing);
  return resources.string();
}

LaunchInputs inputsWith(Environment environment) {
  LaunchInputs in;
  in.resourcePath = "/A/Resources";
  in.environment = std::move(environment);
  in.fallbackHome = "/home/account";
  in.currentDirectory = "/work/cwd";
  return in;
}

LaunchSettings settingsFor(const std::string& resources, const std::string& home, int port) {
  LaunchInputs in = inputsWith({{"QUORVEL_HOME", home}, {"USER", "tester"}});
  in.info["QuorvelPort"] = std::to_string(port);
  in.resourcePath = resources;
  return computeLaunchSettings(in).value();
}

bool processAlive(pid_t pid) {
  std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  auto close = stat.rfind(") ");
  return close != std::string::npos && stat[close + 2] != 'Z';
}

bool runMainLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // Wake the loop now and then even if nothing happens.
    guint timer = g_timeout_add(
        50, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr);
    g_main_context_iteration(nullptr, TRUE);
    if (GSource* source = g_main_context_find_source_by_id(nullptr, timer)) g_source_destroy(source);
  }
  return true;
}

Status startAndWait(ServerController& controller, std::chrono::milliseconds timeout) {
  std::optional<Status> result;
  int calls = 0;
  auto mainThread = std::this_thread::get_id();
  controller.start([&](const Status& status) {
    ++calls;
    EXPECT_EQ(std::this_thread::get_id(), mainThread) << "completion on the main thread";
    result = status;
  });
  EXPECT_TRUE(runMainLoopUntil([&] { return result.has_value(); }, timeout));
  runMainLoopUntil([] { return false; }, 100ms);
  EXPECT_EQ(calls, 1) << "exactly one completion";
  return result.value_or(AppError("no completion"));
}

std::string messageOf(const Status& status) { return status.ok() ? "success" : status.error().message(); }

double secondsFor(const std::function<void()>& action) {
  auto begin = std::chrono::steady_clock::now();
  action();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

void ProcessTest::TearDown() { EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a zombie was left"; }

}  // namespace quorvel::test
