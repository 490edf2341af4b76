#include "shell/relaunch.h"

#include <glib.h>
#include <linux/close_range.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "base/glib_ptr.h"

namespace quorvel {

std::string startedFrom() { return takeString(g_file_read_link("/proc/self/exe", nullptr)); }

std::string relaunch(const std::string& executable, const char* argv0, const Environment& environment) {
  std::vector<std::string> entries;
  for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string name = argv0;
  char* argv[] = {name.data(), nullptr};
  // The new image starts as a fresh launch would: no descriptor of this one (the
  // display connection would keep the old windows up), no blocked or ignored signal.
  close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  std::signal(SIGPIPE, SIG_DFL);
  execve(executable.c_str(), argv, envp.data());
  return std::strerror(errno);
}

}  // namespace quorvel
