#include "base/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>

#include <glib.h>

#include "base/glib_ptr.h"
#include "base/unique_fd.h"

namespace quorvel {
namespace {

bool isSpaceOrLineBreak(gunichar c) {
  // g_unichar_isspace covers ASCII white space and the Zs, Zl, Zp categories;
  // NEL is a line break too.
  return g_unichar_isspace(c) || c == 0x0B || c == 0x85;
}

}  // namespace

std::optional<std::string> readUtf8File(const std::string& path, std::size_t maxBytes) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) return std::nullopt;
  struct stat st {};
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  if (static_cast<std::size_t>(st.st_size) > maxBytes) return std::nullopt;

  std::string text;
  char buffer[4096];
  for (;;) {
    ssize_t n = read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    // The file may have grown since fstat.
    if (text.size() > maxBytes) return std::nullopt;
  }
  if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return std::nullopt;
  return text;
}

Status writeFileAtomically(const std::string& path, std::string_view text) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  if (g_mkdir_with_parents(folder.c_str(), 0755) != 0) {
    return AppError("Couldn't create the folder " + folder + ": " + g_strerror(errno));
  }
  GErrorHolder error;
  if (!g_file_set_contents_full(path.c_str(), text.data(), static_cast<gssize>(text.size()),
                                G_FILE_SET_CONTENTS_CONSISTENT, 0644, error.out())) {
    return AppError(error.message());
  }
  return success();
}

std::string lastLines(const std::string& path, std::size_t count) {
  constexpr off_t kTail = 64 * 1024;
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat st {};
  if (!fd || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  std::string text(static_cast<std::size_t>(std::min(st.st_size, kTail)), '\0');
  ssize_t n = pread(fd.get(), text.data(), text.size(), st.st_size - static_cast<off_t>(text.size()));
  text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  std::size_t start = text.size();
  for (std::size_t found = 0; start > 0;) {
    auto newline = text.rfind('\n', start - 1);
    if (newline == std::string::npos) {
      start = 0;
    } else if (++found == count) {
      start = newline + 1;
      break;
    } else {
      start = newline;
    }
  }
  return takeString(g_utf8_make_valid(text.c_str() + start, static_cast<gssize>(text.size() - start)));
}

std::string trimWhitespace(std::string_view utf8) {
  const char* begin = utf8.data();
  const char* end = utf8.data() + utf8.size();
  while (begin < end && isSpaceOrLineBreak(g_utf8_get_char_validated(begin, end - begin))) {
    begin = g_utf8_next_char(begin);
  }
  while (end > begin) {
    const char* last = g_utf8_find_prev_char(begin, end);
    if (!last) last = begin;
    if (!isSpaceOrLineBreak(g_utf8_get_char_validated(last, end - last))) break;
    end = last;
  }
  return std::string(begin, static_cast<std::size_t>(end - begin));
}

std::optional<std::int64_t> parseStrictDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // from_chars alone would take a second '-' and never a '+'.
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  std::string signedDigits = (negative ? "-" : "") + std::string(text);
  std::int64_t value = 0;
  const char* end = signedDigits.data() + signedDigits.size();
  auto [ptr, ec] = std::from_chars(signedDigits.data(), end, value, 10);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace quorvel
