#pragma once

// The session key in use and its one owner: the configured key, or the key
// of the last received message when the configuration says so. Only this
// object gives the received-message security a key. The GUI thread only.

#include <functional>
#include <string>
#include <string_view>

#include "workbench/RoadPorts.h"

namespace kal {

class TCFGConfig;
class TSDCSecurityDecryption;

class TCEXSessionKey final : public ICEXSessionKeySource {
 public:
  static constexpr int CEXcErrorNoSessionKey = 7009;

  // None is owned; both references must outlive the key. `changed` runs
  // after the received-message security took a key.
  struct TPorts {
    const TCFGConfig& config;
    TSDCSecurityDecryption& decryption;
    std::function<void()> changed;
  };

  explicit TCEXSessionKey(TPorts ports) : ports_(std::move(ports)) {}

  // The configured key, which the received-message security takes as well,
  // unless the configuration takes it from the last received message;
  // without one there, 7009 and the configured key.
  [[nodiscard]] int CEXGetSessionKey(std::string& key) override;
  void CEXUseConfiguredKey() override;

 private:
  void HandOff(std::string_view key);

  TPorts ports_;
};

}  // namespace kal
