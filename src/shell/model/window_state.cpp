#include "shell/model/window_state.h"

#include <glib.h>


#include "base/glib_ptr.h"
#include "base/text_file.h"

namespace quorvel {
namespace {

constexpr const char* kGroup = "MainWindow";
constexpr std::size_t kMaxFileBytes = 64 * 1024;
// Anything outside this is a damaged file, not a window someone made.
constexpr int kMinSide = 200;
constexpr int kMaxSide = 32768;

using KeyFilePtr = CPtr<GKeyFile, g_key_file_free>;

int readSide(GKeyFile* file, const char* key, int fallback) {
  GErrorHolder error;
  int value = g_key_file_get_integer(file, kGroup, key, error.out());
  if (error || value < kMinSide || value > kMaxSide) return fallback;
  return value;
}

}  // namespace

WindowState parseWindowState(const std::string& text) {
  WindowState state;
  KeyFilePtr file(g_key_file_new());
  if (!g_key_file_load_from_data(file.get(), text.data(), text.size(), G_KEY_FILE_NONE, nullptr)) {
    return state;
  }
  state.width = readSide(file.get(), "width", state.width);
  state.height = readSide(file.get(), "height", state.height);
  GErrorHolder error;
  gboolean maximized = g_key_file_get_boolean(file.get(), kGroup, "maximized", error.out());
  if (!error) state.maximized = maximized;
  return state;
}

WindowState loadWindowState(const std::string& path) {
  auto text = readUtf8File(path, kMaxFileBytes);
  return text ? parseWindowState(*text) : WindowState{};
}

std::string serializeWindowState(const WindowState& state) {
  KeyFilePtr file(g_key_file_new());
  g_key_file_set_integer(file.get(), kGroup, "width", state.width);
  g_key_file_set_integer(file.get(), kGroup, "height", state.height);
  g_key_file_set_boolean(file.get(), kGroup, "maximized", state.maximized);
  return takeString(g_key_file_to_data(file.get(), nullptr, nullptr));
}

void rememberSize(WindowState& state, int width, int height, bool imposed) {
  if (imposed) return;
  state.width = width;
  state.height = height;
}

Status saveWindowState(const std::string& path, const WindowState& state) {
  return writeFileAtomically(path, serializeWindowState(state));
}

}  // namespace quorvel
