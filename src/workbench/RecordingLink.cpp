#include "workbench/RecordingLink.h"

#include <memory>

#include "workbench/BuildRoad.h"
#include "workbench/MainWindow.h"
#include "workbench/RecordingItemsList.h"

namespace kal {

namespace {

// The build road's PAN encryption and acquirer cryptogram.
class TBuildRoadCryptography final : public IRFLCryptography {
 public:
  explicit TBuildRoadCryptography(TCEXMainWindow& core) : core_(core) {}
  int RFLEncryptValue(std::string& bytes) override {
    return core_.CEXBuildRoad().CEXSetEncryptedValue(bytes);
  }
  int RFLComputeCryptogram(std::string_view sessionKey, std::string& bytes) override {
    return core_.CEXBuildRoad().CEXSetEncryptedATC(sessionKey, bytes);
  }

 private:
  TCEXMainWindow& core_;
};

}  // namespace

void RFLLinkToCore(TRFLRecordingItemsList& list, TCEXMainWindow& core) {
  auto cryptography = std::make_unique<TBuildRoadCryptography>(core);
  TRFLRecordingItemsList::TEnvironment environment;
  environment.config = &core.CEXConfiguration();
  environment.aliases = &core.CEXAliasList();
  environment.cryptography = cryptography.get();
  environment.random = &core.CEXRandomSource();
  environment.notice = [&core](const std::string& text) { core.CEXShowMessage(text); };
  list.RFLKeepCryptography(std::move(cryptography));
  list.RFLAttach(std::move(environment));
}

}  // namespace kal
