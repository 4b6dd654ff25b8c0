#include "ep2/RandomSource.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace kal {

void TSECSystemRandom::SECFillRandom(uint8_t* out, size_t count) {
  while (count > 0) {
    const ssize_t got = getrandom(out, count, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      std::abort();
    }
    out += got;
    count -= static_cast<size_t>(got);
  }
}

ISECRandomSource& SECSystemRandom() {
  static TSECSystemRandom source;
  return source;
}

TSECDeterministicRandom::TSECDeterministicRandom(std::string bytes) : bytes_(std::move(bytes)) {
  if (bytes_.empty()) {
    bytes_.resize(256);
    for (size_t i = 0; i < 256; ++i) bytes_[i] = static_cast<char>(i);
  }
}

void TSECDeterministicRandom::SECFillRandom(uint8_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    out[i] = static_cast<uint8_t>(bytes_[pos_]);
    pos_ = (pos_ + 1) % bytes_.size();
  }
}

}  // namespace kal
