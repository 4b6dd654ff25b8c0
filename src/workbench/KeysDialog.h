#pragma once

// What the keys dialog does with the configuration and the ep2 security:
// the key values it edits, random keys, session-key variants, the default
// key sets and the taking over of an imported public key; and the file
// dialogs of public-key records over the main window's dialogs.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "ep2/Ep2PublicKey.h"

namespace kal {

class ICEXDialogs;
class TCFGConfig;
class TSECep2Security;

// The configuration values of the keys dialog, as hex texts, and the
// session-key mode (0 configured, 1 from the incoming message, 2 random).
struct TKEYValues {
  std::string sessionKey, publicModulus, publicExponent, privateModulus, privateExponent, atc;
  int32_t sessionKeyMode = 0;
};

class TKEYKeys {
 public:
  TKEYKeys(TCFGConfig& config, TSECep2Security& security) : config_(config), security_(security) {}

  TKEYValues KEYLoad() const;
  // Writes session key, public modulus, public exponent, private modulus,
  // private exponent, data-object list and session-key mode, in this order.
  void KEYSave(const TKEYValues& values);
  // A random key of `length` bytes as spaced hex.
  std::string KEYRandomKey(int length);
  // Variants 0 to 4 of the hex key as spaced hex, or "Error " + code.
  std::array<std::string, 5> KEYVariants(std::string_view hexKey);
  // The default 16- or 24-byte key set, written into the configuration at
  // once.
  void KEYSetDefault(bool key24);
  // An imported record's index and owner identifier (padded on the left with
  // "0" to 11 characters) into the configuration.
  void KEYTakeImported(const TEp2PublicKey& key);

 private:
  TCFGConfig& config_;
  TSECep2Security& security_;
};

// The open and save dialogs of public-key records through the main window's
// dialogs; the chosen path goes back whole.
class TCEXPublicKeyFileChooser final : public IEp2PublicKeyFileChooser {
 public:
  explicit TCEXPublicKeyFileChooser(ICEXDialogs& dialogs) : dialogs_(dialogs) {}
  bool ChooseOpenFile(const std::string& sFolder, std::string& sFileName) override;
  bool ChooseSaveFile(const std::string& sFolder, std::string& sFileName) override;

 private:
  ICEXDialogs& dialogs_;
};

}  // namespace kal
