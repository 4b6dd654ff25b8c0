#include "workbench/Archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "workbench/FilePaths.h"

namespace kal {

namespace {

// Moves `from` to `to` unless `to` exists: 0, EEXIST, or another errno.
int MoveNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  const int rc = errno;
  if (rc != EINVAL && rc != ENOSYS) return rc;
  // A file system without the no-replace rename: a hard link refuses an
  // existing target just as well.
  if (link(from.c_str(), to.c_str()) != 0) return errno;
  if (unlink(from.c_str()) != 0) {
    const int unlinkError = errno;
    unlink(to.c_str());
    return unlinkError;
  }
  return 0;
}

}  // namespace

int TARCArchive::ARCCopyToArchive(const std::string& path) {
  const std::string folder = CEXDirectoryOf(path) + ARCcFolderName;
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    // Another program may create it meanwhile; what counts is that a
    // folder stands there afterwards.
    static_cast<void>(mkdir(folder.c_str(), 0755));
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      if (showMessage_) showMessage_("Can not create archive directory " + folder);
      return ARCcNoFolder;
    }
  }
  if (!CEXFileExists(path)) return ARCcNoFile;
  const std::string target = folder + "/" + CEXNameOf(path);
  for (int n = 0; n <= ARCcMaxSuffix; ++n) {
    const std::string name = n == 0 ? target : target + "_" + std::to_string(n);
    const int rc = MoveNoReplace(path, name);
    if (rc == 0) return ARCcOk;
    if (rc != EEXIST) return ARCcMoveFailed;
  }
  return ARCcMoveFailed;
}

}  // namespace kal
