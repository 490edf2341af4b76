#include "test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <glib.h>
#include <gtest/gtest.h>

#include <thread>

#include "server/server_controller.h"

namespace fs = std::filesystem;

namespace quorvel::test {

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "quorvel-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Restore write permission where a test took it away, so everything goes.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& contents) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << contents;
}

bool exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

int freePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

std::string fakeServerPath() { return FAKE_SERVER_PATH; }

std::string makeBundle(const std::string& root, const std::string& program) {
  fs::path resources = fs::path(root) / "Quorvel.app/Contents/Resources";
  fs::create_directories(resources / "ruby/bin");
  fs::create_directories(resources / "app");
  fs::copy_file(program, resources / "ruby/bin/ruby", fs::copy_options::overwrite_existing);
  writeFile((resources / "server.rb").string(), "# not read by the fake server\n");
  return resources.string();
}

LaunchSettings settingsFor(const std::string& resources, const std::string& home, int port) {
  LaunchInputs in;
  in.info["QuorvelPort"] = std::to_string(port);
  in.resourcePath = resources;
  in.environment = {{"QUORVEL_HOME", home}, {"USER", "tester"}};
  in.fallbackHome = "/nonexistent";
  in.currentDirectory = "/";
  return computeLaunchSettings(in).value();
}

bool iterateMainLoopOnce(std::chrono::milliseconds maxWait) {
  // Wake the loop after maxWait even if nothing happens.
  guint timer = g_timeout_add(static_cast<guint>(maxWait.count()), [](gpointer) { return G_SOURCE_REMOVE; }, nullptr);
  bool dispatched = g_main_context_iteration(nullptr, TRUE);
  if (GSource* source = g_main_context_find_source_by_id(nullptr, timer)) g_source_destroy(source);
  return dispatched;
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
  runMainLoopUntil([] { return false; }, std::chrono::milliseconds(100));
  EXPECT_EQ(calls, 1) << "exactly one completion";
  return result.value_or(AppError("no completion"));
}

std::string builtBundleResources() { return QUORVEL_BUNDLE_RESOURCES; }

bool processAlive(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  auto close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

}  // namespace quorvel::test
