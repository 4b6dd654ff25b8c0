#pragma once

// Where the ep2 cryptography takes its random bytes: session keys, OAEP
// seeds, the filling of session-key cryptograms and the fill digits of PIN
// blocks. The program uses the operating system's generator; tests inject a
// deterministic source so that every output can be predicted.

#include <cstddef>
#include <cstdint>
#include <string>

namespace kal {

class ISECRandomSource {
 public:
  virtual ~ISECRandomSource() = default;
  // Fills `count` bytes at `out`.
  virtual void SECFillRandom(uint8_t* out, size_t count) = 0;
};

// The kernel's generator (getrandom, blocking only until it is seeded at
// boot). Stateless and safe on any thread. A kernel that refuses to deliver
// random bytes ends the program: keys made without them could be guessed.
class TSECSystemRandom final : public ISECRandomSource {
 public:
  void SECFillRandom(uint8_t* out, size_t count) override;
};

// The process-wide system source.
ISECRandomSource& SECSystemRandom();

// Repeats a fixed byte string (the bytes 0, 1, ..., 255 when it is empty),
// continuing where the previous call stopped. For tests only.
class TSECDeterministicRandom final : public ISECRandomSource {
 public:
  explicit TSECDeterministicRandom(std::string bytes = {});
  void SECFillRandom(uint8_t* out, size_t count) override;

 private:
  std::string bytes_;
  size_t pos_ = 0;
};

}  // namespace kal
