#include "web/rules/download_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include <glib.h>

#include "base/glib_ptr.h"
#include "base/unique_fd.h"
#include "web/rules/download_name.h"

namespace quorvel {
namespace {

// Past that many numbered names a folder is treated as full.
constexpr int kNumberedNames = 10000;

}  // namespace

Result<std::string> makeDownloadTemporary(const std::string& folder, const std::string& name) {
  if (g_mkdir_with_parents(folder.c_str(), 0755) != 0) return AppError(g_strerror(errno));
  std::string path = folder + "/." + name + ".XXXXXX.part";
  if (!UniqueFd(g_mkstemp_full(path.data(), O_RDWR | O_CLOEXEC, 0644))) return AppError(g_strerror(errno));
  return path;
}

int renameWithoutReplacing(const char* from, const char* to) {
  return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

Result<PlacedDownload> moveDownloadIntoPlace(const std::string& temporary, const std::string& folder,
                                             const std::string& name, Renamer rename) {
  bool linking = false;
  for (int n = 0; n < kNumberedNames; ++n) {
    const std::string candidate = numberedName(name, n), path = folder + "/" + candidate;
    int rc = linking ? link(temporary.c_str(), path.c_str()) : rename(temporary.c_str(), path.c_str());
    if (rc != 0 && !linking && (errno == EINVAL || errno == ENOSYS)) {
      // No RENAME_NOREPLACE here (NFS, some encrypted homes): a new hard link
      // never replaces a file either.
      linking = true;
      rc = link(temporary.c_str(), path.c_str());
    }
    if (rc == 0) {
      if (linking) unlink(temporary.c_str());
      return PlacedDownload{candidate, path};
    }
    if (errno != EEXIST) break;
  }
  AppError reason(g_strerror(errno));
  unlink(temporary.c_str());
  return reason;
}

void removeLeftoverDownloads(const std::string& folder) {
  // A leading dot, the name, then what g_mkstemp puts in place of XXXXXX; or
  // that with WebKit's ".wkdownload", which holds the data until the end. Raw
  // bytes: names need not be UTF-8. \z: '$' would also match before a last "\n".
  static GRegex* const leftover =
      g_regex_new("^\\..+\\.[A-Za-z0-9]{6}\\.part(\\.wkdownload)?\\z", static_cast<GRegexCompileFlags>(G_REGEX_RAW | G_REGEX_DOTALL),
                  G_REGEX_MATCH_DEFAULT, nullptr);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return;
  while (const dirent* entry = readdir(dir.get())) {
    struct stat st {};
    if (g_regex_match(leftover, entry->d_name, G_REGEX_MATCH_DEFAULT, nullptr) &&
        fstatat(dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) {
      g_debug("Removing %s, left by a download cut short", entry->d_name);
      unlinkat(dirfd(dir.get()), entry->d_name, 0);
    }
  }
}

}  // namespace quorvel
