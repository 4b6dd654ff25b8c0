#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <random>

namespace kal {

namespace {

constexpr std::string_view kTemporarySuffix = ".kaltmp";
constexpr size_t kUniqueChars = 6;  // the XXXXXX of the temporary name

bool IsUniqueChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The file a write of `path` replaces: `path` itself, or the end of its
// chain of symbolic links (a relative link read from the link's folder).
// The end may not exist yet (a dangling link is written through). False
// with errno ELOOP for a chain longer than PLTcMaxLinks.
bool FollowLinks(const std::string& path, std::string& target) {
  target = path;
  for (int links = 0;; ++links) {
    struct stat st {};
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    if (links == PLTcMaxLinks) {
      errno = ELOOP;
      return false;
    }
    char buf[PATH_MAX];
    const ssize_t n = readlink(target.c_str(), buf, sizeof buf);
    if (n < 0) return false;
    if (static_cast<size_t>(n) == sizeof buf) {
      errno = ENAMETOOLONG;
      return false;
    }
    std::string link(buf, static_cast<size_t>(n));
    if (link.front() != '/') link = target.substr(0, target.rfind('/') + 1) + link;
    target = std::move(link);
  }
}

// Creates the temporary file of `target` with a fresh unique part, with the
// bits `mode` less the umask; its descriptor, or -1 with errno set.
int CreateTemporaryFile(const std::string& target, mode_t mode, std::string& name) {
  static constexpr std::string_view kChars =
      "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  thread_local std::mt19937_64 rng{std::random_device{}()};
  name = PLTTemporaryFileName(target);
  const size_t unique = name.size() - kTemporarySuffix.size() - kUniqueChars;
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (size_t i = 0; i < kUniqueChars; ++i) name[unique + i] = kChars[rng() % kChars.size()];
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Gives the temporary file the owner, group and bits of the file `old` it
// replaces, the bits limited to `allowedMode`.
bool TakeOverOwnerAndMode(int fd, const struct stat& old, mode_t allowedMode) {
  struct stat now {};
  if (fstat(fd, &now) != 0) return false;
  mode_t mode = old.st_mode & 07777 & allowedMode;
  // Owner and group where this process may set them (as root), else the
  // group alone (one it belongs to), else the writer's own. A group that
  // cannot be kept gets no more than others had, so that no one gains
  // access by the write.
  if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
      fchown(fd, old.st_uid, old.st_gid) != 0 &&
      fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0)
    mode = (mode & ~S_IRWXG) | (mode & S_IRWXG & ((mode & S_IRWXO) << 3));
  // After fchown, which clears the set-id bits.
  return fchmod(fd, mode) == 0;
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

bool PLTWriteFileAtomically(const std::string& path, std::string_view content,
                            unsigned allowedMode) {
  std::string target;
  if (!FollowLinks(path, target)) return false;
  struct stat old {};
  const bool replacing = stat(target.c_str(), &old) == 0;
  std::string name;
  // The kernel applies the umask to a new file's bits; an existing file's
  // bits are set before any content is written.
  const int fd = CreateTemporaryFile(target, static_cast<mode_t>(0666 & allowedMode), name);
  if (fd < 0) return false;
  bool ok = !replacing || TakeOverOwnerAndMode(fd, old, static_cast<mode_t>(allowedMode));
  const char* p = content.data();
  size_t left = content.size();
  while (ok && left > 0) {
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
  if (close(fd) != 0) ok = false;
  if (ok && std::rename(name.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) {
    const int err = errno;
    unlink(name.c_str());
    errno = err;
  }
  return ok;
}

bool PLTReadFile(const std::string& path, std::string& content, size_t maxBytes) {
  content.clear();
  // Non-blocking, so that a FIFO or a device named as a file cannot hold
  // the caller in open(); only regular files are read.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    close(fd);
    errno = error;
    return false;
  }
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
      errno = EFBIG;
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
