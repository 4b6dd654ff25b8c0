// The session key's one owner alone: which key is in use for each setting
// of "session key from the received message", and when the
// received-message security takes a key (and is told so).

#include <gtest/gtest.h>

#include "comm/CommParams.h"
#include "comm/ErrorHandOff.h"
#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/Ep2Security.h"
#include "ep2/RandomSource.h"
#include "ep2/SecurityDecryption.h"
#include "support/HexUtilities.h"
#include "workbench/ReceiveRoad.h"
#include "workbench/SessionKey.h"

namespace kal {
namespace {

const std::string kConfigured = "0123456789ABCDEFFEDCBA9876543210";
const std::string kReceived = "00112233445566778899AABBCCDDEEFF";

struct SessionKeyCase {
  const char* name;
  int fromMessage;        // the configuration's setting
  bool receivedKey;       // the last received message brought a key
  bool useConfigured;     // CEXUseConfiguredKey after the look-up
  int rc;                 // of CEXGetSessionKey
  std::string key;        // what CEXGetSessionKey gives (hex)
  std::string heldAfter;  // the received-message security's key (hex; "" none)
  int handOffs;           // times the security took a key
};

class SessionKeyTest : public ::testing::TestWithParam<SessionKeyCase> {
 protected:
  test::TempDir dir_;
  TCEXNullErrorHandOff errors_;
  TTCPCommParams comm_{8000, &errors_};
  TCFGConfig config_{dir_.path(), TCFGConfig::CFGcBaseFileName, &comm_};
  TSECDeterministicRandom random_;
  TSECep2Security security_{4000, random_};
  TCEXSecurityConfiguration securityConfig_{config_};
  TSDCSecurityDecryption decryption_{5000, securityConfig_, security_, nullptr};
  int handOffs_ = 0;
  TCEXSessionKey owner_{TCEXSessionKey::TPorts{
      .config = config_, .decryption = decryption_, .changed = [this] { ++handOffs_; }}};
};

TEST_P(SessionKeyTest, KeyInUseAndHandOff) {
  const SessionKeyCase& c = GetParam();
  config_.CFGSetSessionKey(kConfigured);
  config_.CFGSetSessionKeyFromInMessage(c.fromMessage);
  if (c.receivedKey) decryption_.SDCSetSessionKey(UTHHexToString(kReceived));
  std::string key;
  EXPECT_EQ(owner_.CEXGetSessionKey(key), c.rc);
  EXPECT_EQ(UTHStringToCompactHex(key), c.key);
  if (c.useConfigured) owner_.CEXUseConfiguredKey();
  EXPECT_EQ(decryption_.SDCSessionKeyPresent()
                ? UTHStringToCompactHex(decryption_.SDCGetSessionKey())
                : "",
            c.heldAfter);
  EXPECT_EQ(handOffs_, c.handOffs);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Settings, SessionKeyTest, ::testing::Values(
    SessionKeyCase{"ConfiguredKeyIsHandedOff", 0, false, false, 0, kConfigured, kConfigured, 1},
    SessionKeyCase{"NewKeyPerBuildIsHandedOff", 2, true, false, 0, kConfigured, kConfigured, 1},
    SessionKeyCase{"ReceivedKeyStays", 1, true, false, 0, kReceived, kReceived, 0},
    SessionKeyCase{"NoReceivedKeyGivesNothing", 1, false, false, 7009, kConfigured, "", 0},
    SessionKeyCase{"AfterNoKeyTheConfiguredOneIsTaken", 1, false, true, 7009, kConfigured,
                   kConfigured, 1}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace kal
