#include "platform/component/ComponentRegistry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kal {

namespace {

std::string ClassSection(const TPLTGuid& clsid) {
  return "CLSID\\" + PLTGuidToString(clsid);
}

std::string ProgIdSection(const std::string& progId) {
  return "ProgID\\" + progId;
}

std::string TypeLibSection(const TPLTGuid& libid, const std::string& version) {
  return "TypeLib\\" + PLTGuidToString(libid) + "\\" + version;
}

// Makes the folders of `path` (mode 0700 for new ones); 0 or errno.
int MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string dir = path.substr(0, slash);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  }
  return 0;
}

// Holds an exclusive lock on a lock file for its life.
class TFileLock {
 public:
  explicit TFileLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
      error_ = errno;
      return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        error_ = errno;
        return;
      }
    }
  }
  ~TFileLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;
  int Error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

TPLTIniFile ReadFile(const std::string& path) {
  TPLTIniFile ini;
  if (ini.PLTLoad(path) != 0) ini.PLTParse("");
  return ini;
}

}  // namespace

std::string PLTComponentRegistryPath() {
  if (const char* named = std::getenv(PLTcRegistryVariable); named && *named) return named;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
    return std::string(config) + "/kalmore/components.ini";
  if (const char* home = std::getenv("HOME"); home && *home)
    return std::string(home) + "/.config/kalmore/components.ini";
  return {};
}

std::optional<TPLTClassEntry> TPLTComponentRegistry::PLTFindClass(const TPLTGuid& clsid) const {
  const TPLTIniFile ini = ReadFile(path_);
  const std::string s = ClassSection(clsid);
  if (!ini.PLTSectionExists(s)) return std::nullopt;
  TPLTClassEntry e;
  e.clsid = clsid;
  e.name = ini.PLTReadString(s, "Name", "");
  e.libraryPath = ini.PLTReadString(s, "InprocServer32", "");
  e.threadingModel = ini.PLTReadString(s, "ThreadingModel", "");
  e.progId = ini.PLTReadString(s, "ProgID", "");
  if (ini.PLTValueExists(s, "MiscStatus")) e.miscStatus = ini.PLTReadInteger(s, "MiscStatus", 0);
  e.insertable = ini.PLTReadInteger(s, "Insertable", 0) != 0;
  e.toolboxBitmap = ini.PLTReadString(s, "ToolboxBitmap32", "");
  e.typeLib = PLTGuidFromString(ini.PLTReadString(s, "TypeLib", ""));
  e.version = ini.PLTReadString(s, "Version", "");
  return e;
}

std::optional<TPLTGuid> TPLTComponentRegistry::PLTFindProgId(const std::string& progId) const {
  const TPLTIniFile ini = ReadFile(path_);
  return PLTGuidFromString(ini.PLTReadString(ProgIdSection(progId), "CLSID", ""));
}

std::optional<TPLTTypeLibEntry> TPLTComponentRegistry::PLTFindTypeLib(
    const TPLTGuid& libid, const std::string& version) const {
  const TPLTIniFile ini = ReadFile(path_);
  const std::string s = TypeLibSection(libid, version);
  if (!ini.PLTSectionExists(s)) return std::nullopt;
  return TPLTTypeLibEntry{libid, version, ini.PLTReadString(s, "Name", ""),
                          ini.PLTReadString(s, "Path", "")};
}

int TPLTComponentRegistry::PLTSaveFile(const TPLTIniFile& ini) {
  return ini.PLTSave(path_, 0600);
}

int TPLTComponentRegistry::Update(const std::function<int(TPLTIniFile&)>& change) {
  if (path_.empty()) return ENOENT;
  if (const int e = MakeFolders(path_); e != 0) return e;
  TFileLock lock(path_ + ".lock");
  if (lock.Error() != 0) return lock.Error();
  TPLTIniFile ini;
  if (const int e = ini.PLTLoad(path_); e != 0) return e;
  if (const int e = change(ini); e != 0) return e;
  return PLTSaveFile(ini);
}

int TPLTComponentRegistry::PLTRegisterTypeLib(const TPLTTypeLibEntry& entry) {
  return Update([&](TPLTIniFile& ini) {
    const std::string s = TypeLibSection(entry.libid, entry.version);
    ini.PLTEraseSection(s);
    ini.PLTWriteString(s, "Name", entry.name);
    ini.PLTWriteString(s, "Path", entry.path);
    return 0;
  });
}

int TPLTComponentRegistry::PLTUnregisterTypeLib(const TPLTGuid& libid, const std::string& version) {
  return Update([&](TPLTIniFile& ini) {
    const std::string s = TypeLibSection(libid, version);
    if (!ini.PLTSectionExists(s)) return ENOENT;
    ini.PLTEraseSection(s);
    return 0;
  });
}

int TPLTComponentRegistry::PLTRegisterClasses(const std::vector<TPLTClassEntry>& entries) {
  return Update([&](TPLTIniFile& ini) {
    for (const TPLTClassEntry& e : entries) {
      const std::string s = ClassSection(e.clsid);
      ini.PLTEraseSection(s);
      ini.PLTWriteString(s, "Name", e.name);
      ini.PLTWriteString(s, "InprocServer32", e.libraryPath);
      ini.PLTWriteString(s, "ThreadingModel", e.threadingModel);
      if (!e.progId.empty()) {
        ini.PLTWriteString(s, "ProgID", e.progId);
        ini.PLTEraseSection(ProgIdSection(e.progId));
        ini.PLTWriteString(ProgIdSection(e.progId), "CLSID", PLTGuidToString(e.clsid));
      }
      if (e.miscStatus) ini.PLTWriteInteger(s, "MiscStatus", *e.miscStatus);
      if (e.insertable) ini.PLTWriteInteger(s, "Insertable", 1);
      if (!e.toolboxBitmap.empty()) ini.PLTWriteString(s, "ToolboxBitmap32", e.toolboxBitmap);
      if (e.typeLib) ini.PLTWriteString(s, "TypeLib", PLTGuidToString(*e.typeLib));
      if (!e.version.empty()) ini.PLTWriteString(s, "Version", e.version);
    }
    return 0;
  });
}

int TPLTComponentRegistry::PLTUnregisterClasses(const std::vector<TPLTGuid>& clsids) {
  return Update([&](TPLTIniFile& ini) {
    for (const TPLTGuid& clsid : clsids) {
      const std::string s = ClassSection(clsid);
      const std::string progId = ini.PLTReadString(s, "ProgID", "");
      if (!progId.empty() &&
          PLTGuidFromString(ini.PLTReadString(ProgIdSection(progId), "CLSID", "")) == clsid)
        ini.PLTEraseSection(ProgIdSection(progId));
      ini.PLTEraseSection(s);
    }
    return 0;
  });
}

}  // namespace kal
