#include "xml/NodeStore.h"

#include <algorithm>
#include <cstring>

namespace kal {

namespace {

// Four units at a time: names are short, and the parser hashes one for every
// element and attribute it reads. Units are read by value, so that a name
// hashes the same from its UTF-16 units as from its ASCII bytes.
template <class Unit>
std::uint32_t NameHash(const Unit* p, std::size_t n) {
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15u;
  std::uint64_t h = n * kMul;
  for (; n >= 4; p += 4, n -= 4) {
    const std::uint64_t w = std::uint64_t{p[0]} | std::uint64_t{p[1]} << 16 |
                            std::uint64_t{p[2]} << 32 | std::uint64_t{p[3]} << 48;
    h = (h ^ w) * kMul;
    h ^= h >> 32;
  }
  std::uint64_t w = 0;
  for (; n > 0; --n) w = w << 16 | *p++;
  h = (h ^ w) * kMul;
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

template <class Unit>
bool SameName(const std::u16string& name, const Unit* p, std::size_t n) {
  if (name.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (name[i] != p[i]) return false;
  return true;
}

}  // namespace

// The last chunk of the store that went last on this thread, the first chunk
// of the next one. Keeping it does more than save one allocation: it lies
// just below the top of the C library's heap, so the other chunks freed with
// it stay free memory for the next document instead of being merged into
// the top and given back to the system, which would make every document
// fault in fresh pages.
// A store that goes after the thread's own objects (a static document at
// exit) frees its chunk instead.
struct TSpareChunk {
  std::unique_ptr<unsigned char[]> bytes;
  std::size_t size = 0;
  bool gone = false;
  ~TSpareChunk() {
    bytes.reset();
    gone = true;
  }
};
thread_local TSpareChunk tSpare;

TVxNodeStore::~TVxNodeStore() {
  if (chunks_.empty() || tSpare.gone) return;
  tSpare.bytes = std::move(chunks_.back().bytes);
  tSpare.size = chunks_.back().size;
}

template <class Unit>
const std::u16string& TVxNodeStore::Find(const Unit* name, std::size_t size) {
  if (slots_.empty()) {
    slots_.assign(64, 0);
    hashes_.reserve(32);
  }
  const std::uint32_t h = NameHash(name, size);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = h & mask;; i = (i + 1) & mask) {
    const std::uint32_t slot = slots_[i];
    if (slot == 0) break;
    if (hashes_[slot - 1] == h && SameName(names_[slot - 1], name, size)) return names_[slot - 1];
  }
  names_.emplace_back(name, name + size);
  hashes_.push_back(h);
  // At most half the slots in use keeps the probes short.
  if (2 * names_.size() > slots_.size()) {
    Rehash();
  } else {
    std::size_t i = h & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = static_cast<std::uint32_t>(names_.size());
  }
  return names_.back();
}

const std::u16string& TVxNodeStore::Intern(std::u16string_view name) {
  return Find(name.data(), name.size());
}

const std::u16string& TVxNodeStore::InternAscii(const unsigned char* name, std::size_t size) {
  return Find(name, size);
}

void TVxNodeStore::Rehash() {
  slots_.assign(slots_.size() * 2, 0);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t n = 0; n < names_.size(); ++n) {
    std::size_t i = hashes_[n] & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = static_cast<std::uint32_t>(n + 1);
  }
}

void TVxNodeStore::Grow(std::size_t size) {
  if (chunks_.empty() && !tSpare.gone && tSpare.bytes && tSpare.size >= size) {
    chunks_.push_back({std::move(tSpare.bytes), tSpare.size});
    tSpare.size = 0;
    next_ = chunks_.back().bytes.get();
    end_ = next_ + chunks_.back().size;
    return;
  }
  const std::size_t last = chunks_.empty() ? kFirstChunk / 2 : chunks_.back().size;
  const std::size_t chunk = std::max(size, std::min(2 * last, kMaxChunk));
  chunks_.push_back({std::make_unique_for_overwrite<unsigned char[]>(chunk), chunk});
  next_ = chunks_.back().bytes.get();
  end_ = next_ + chunk;
}

void TVxNodeStore::Reset() {
  names_.clear();
  hashes_.clear();
  std::fill(slots_.begin(), slots_.end(), 0);
  if (chunks_.empty()) return;
  // The largest chunk, the last, stays for the next document.
  std::swap(chunks_.front(), chunks_.back());
  chunks_.resize(1);
  next_ = chunks_.front().bytes.get();
  end_ = next_ + chunks_.front().size;
}

std::size_t TVxNodeStore::ArenaBytes() const {
  std::size_t total = 0;
  for (const Chunk& c : chunks_) total += c.size;
  return total;
}

}  // namespace kal
