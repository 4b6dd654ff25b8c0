#pragma once

// The registry file: which library implements a class id, the ProgIDs and
// the type libraries. An INI file in the user's configuration folder
// ($XDG_CONFIG_HOME/kalmore/components.ini, else
// ~/.config/kalmore/components.ini; KAL_COMPONENT_REGISTRY names another).
//
//   [CLSID\{class id}]        Name, InprocServer32 (library path),
//                             ThreadingModel, ProgID, MiscStatus, Insertable,
//                             ToolboxBitmap32, TypeLib, Version
//   [ProgID\<progid>]         CLSID
//   [TypeLib\{libid}\<ver>]   Name, Path
//
// Every change is one read, change and write of the whole file (to a
// temporary file and renamed) under an exclusive lock on "<file>.lock", so
// the file is never torn and two registrations at once both land.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/IniFile.h"
#include "platform/component/Guid.h"

namespace kal {

inline constexpr const char* PLTcRegistryVariable = "KAL_COMPONENT_REGISTRY";

// The registry file's path (see above); empty when no folder is known.
std::string PLTComponentRegistryPath();

struct TPLTClassEntry {
  TPLTGuid clsid;
  std::string name;  // registered type name
  std::string libraryPath;
  std::string threadingModel = "Apartment";
  std::string progId;  // may be empty
  std::optional<int32_t> miscStatus;
  bool insertable = false;
  std::string toolboxBitmap;  // "<library>,<resource>", may be empty
  std::optional<TPLTGuid> typeLib;
  std::string version;  // of the type library
};

struct TPLTTypeLibEntry {
  TPLTGuid libid;
  std::string version;  // "1.0"
  std::string name;
  std::string path;
};

class TPLTComponentRegistry {
 public:
  TPLTComponentRegistry() : path_(PLTComponentRegistryPath()) {}
  explicit TPLTComponentRegistry(std::string path) : path_(std::move(path)) {}
  virtual ~TPLTComponentRegistry() = default;
  const std::string& PLTPath() const { return path_; }

  // Reads of the file as it is now (a missing or unreadable file holds
  // nothing).
  std::optional<TPLTClassEntry> PLTFindClass(const TPLTGuid& clsid) const;
  std::optional<TPLTGuid> PLTFindProgId(const std::string& progId) const;
  std::optional<TPLTTypeLibEntry> PLTFindTypeLib(const TPLTGuid& libid,
                                                 const std::string& version) const;

  // Changes: 0, or a system error number (nothing is changed then).
  // Registering a class replaces its former entry and names its ProgID.
  [[nodiscard]] int PLTRegisterTypeLib(const TPLTTypeLibEntry& entry);
  // ENOENT when that type library is not registered.
  [[nodiscard]] int PLTUnregisterTypeLib(const TPLTGuid& libid, const std::string& version);
  [[nodiscard]] int PLTRegisterClasses(const std::vector<TPLTClassEntry>& entries);
  // Removes the classes and the ProgIDs that name them.
  [[nodiscard]] int PLTUnregisterClasses(const std::vector<TPLTGuid>& clsids);

 protected:
  // Writes the changed file; a test may make it fail.
  virtual int PLTSaveFile(const TPLTIniFile& ini);

 private:
  int Update(const std::function<int(TPLTIniFile&)>& change);
  std::string path_;
};

}  // namespace kal
