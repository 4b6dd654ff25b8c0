#pragma once

// The key panel of the DES and the hash and MAC windows: random and default
// keys, the session-key variants of the key field and the key a
// computation takes by the "Use key" choice.

#include <string>
#include <string_view>
#include <vector>

#include "ep2/Ep2Security.h"

namespace kal {

class ISECRandomSource;

class TKPNKeyPanel final {
 public:
  // `shared` (the main window's security object) draws the random keys;
  // every other computation uses an object of its own drawing from
  // `random`. Neither is owned.
  TKPNKeyPanel(TSECep2Security& shared, ISECRandomSource& random)
      : shared_(shared), random_(random) {}

  // A random key of `length` bytes as spaced hex.
  std::string KPNRandomKey(int length);
  // The configuration's default 16- or 24-byte session key as spaced hex.
  static std::string KPNDefaultKey(bool key24);
  // Variants 0 to count - 1 of the key's hex text, each as spaced hex or
  // "Error " + code; the steps go to `memo` (may be null), after a note on
  // key digits the hex reader left out.
  std::vector<std::string> KPNVariants(std::string_view keyHex, int count, TSECMemo* memo);
  // The key bytes of a "Use key" choice: 0 reads the key field, i > 0 the
  // field of variant i - 1, each through the hex reader; digits it left out
  // are noted in `notes` (may be null) under `choice`, the choice's caption.
  // A choice without a field gives no bytes.
  static std::string KPNChosenKey(int useKey, std::string_view keyField,
                                  const std::vector<std::string>& variantFields,
                                  std::string_view choice, TSECMemo* notes);

 private:
  TSECep2Security& shared_;
  ISECRandomSource& random_;
};

// "Error " + the code in decimal: what a result field shows for a failed
// call.
std::string KPNErrorText(int code);

}  // namespace kal
