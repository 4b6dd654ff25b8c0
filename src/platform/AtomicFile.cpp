#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kal {

namespace {

constexpr std::string_view kTemporarySuffix = ".kaltmp";
constexpr size_t kUniqueChars = 6;  // the XXXXXX of mkstemps

bool IsUniqueChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string PLTTemporaryFileName(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, base) + "." + path.substr(base) + ".XXXXXX" + std::string(kTemporarySuffix);
}

bool PLTIsTemporaryFileName(std::string_view name) {
  // "." + a name + "." + six letters or digits + the suffix.
  const size_t fixed = 1 + 1 + kUniqueChars + kTemporarySuffix.size();
  if (name.size() <= fixed || name.front() != '.' || !name.ends_with(kTemporarySuffix))
    return false;
  const std::string_view unique =
      name.substr(name.size() - kTemporarySuffix.size() - kUniqueChars, kUniqueChars);
  for (const char c : unique)
    if (!IsUniqueChar(c)) return false;
  return name[name.size() - kTemporarySuffix.size() - kUniqueChars - 1] == '.';
}

int PLTRemoveTemporaryFiles(const std::string& directory) {
  DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = readdir(dir)) {
    if (!PLTIsTemporaryFileName(entry->d_name)) continue;
    // Regular files only, never what a link points to.
    struct stat st {};
    if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
      continue;
    if (unlinkat(dirfd(dir), entry->d_name, 0) == 0) ++removed;
  }
  closedir(dir);
  return removed;
}

bool PLTWriteFileAtomically(const std::string& path, std::string_view content, unsigned mode) {
  const std::string tmpl = PLTTemporaryFileName(path);
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int fd = mkstemps(name.data(), static_cast<int>(kTemporarySuffix.size()));
  if (fd < 0) return false;
  const char* p = content.data();
  size_t left = content.size();
  bool ok = true;
  while (left > 0) {
    const ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (ok && fsync(fd) != 0) ok = false;
  if (ok && fchmod(fd, static_cast<mode_t>(mode)) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (ok && std::rename(name.data(), path.c_str()) != 0) ok = false;
  if (!ok) unlink(name.data());
  return ok;
}

bool PLTReadFile(const std::string& path, std::string& content, size_t maxBytes) {
  content.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (n == 0) break;
    if (content.size() + static_cast<size_t>(n) > maxBytes) {
      ok = false;
      break;
    }
    content.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  if (!ok) content.clear();
  return ok;
}

}  // namespace kal
