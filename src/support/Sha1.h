#pragma once

// SHA-1 (FIPS 180-1) as a digest object.

#include "support/MessageDigest.h"

namespace kal {

class TSHA1 final : public TMD4Family {
 public:
  TSHA1();  // a cleared digest object
  std::string AsString() const override { return "SHA1"; }

 protected:
  void TransformBlocks(const uint8_t* blocks, size_t count) override;
};

}  // namespace kal
