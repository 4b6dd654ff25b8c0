#pragma once

// The memory, names and values of one document's nodes. The parser takes
// its nodes from the store's arena in one piece after another instead of
// one heap block each, nodes keep their values there, and every node's name
// is interned there once per document, so a name is a pointer, not a copy
// per node.
//
// Lifetime: the store counts its users (the document, every node whose name
// or value it holds, every node in its arena) and goes when the last one
// lets go. So
// a node removed from its document, or moved into another one, stays valid
// for as long as it lives, and a document whose nodes all die with it frees
// its arena in one step.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kal {

class TVxNodeStore {
 public:
  // A new store with one user, the caller.
  static TVxNodeStore* Create() { return new TVxNodeStore(); }
  TVxNodeStore(const TVxNodeStore&) = delete;
  TVxNodeStore& operator=(const TVxNodeStore&) = delete;

  void AddRef() { ++users_; }
  // The last user deletes the store.
  void Release() {
    if (--users_ == 0) delete this;
  }
  // Users besides the one asking.
  bool Shared() const { return users_ > 1; }

  // size bytes aligned for a pointer, valid while the store lives; nothing
  // is given back before then.
  void* Allocate(std::size_t size) {
    size = (size + kAlign - 1) & ~(kAlign - 1);
    if (static_cast<std::size_t>(end_ - next_) < size) Grow(size);
    void* p = next_;
    next_ += size;
    return p;
  }

  // The store's copy of name, made on first use; it lives as long as the
  // store.
  const std::u16string& Intern(std::u16string_view name);
  // The same for a name of size ASCII bytes, found without widening it.
  const std::u16string& InternAscii(const unsigned char* name, std::size_t size);

  // Gives back the end of the last allocation: block, of size bytes as
  // asked, keeps its first keep bytes. Any other block stays as it is.
  void Shrink(void* block, std::size_t size, std::size_t keep) {
    size = (size + kAlign - 1) & ~(kAlign - 1);
    keep = (keep + kAlign - 1) & ~(kAlign - 1);
    if (static_cast<unsigned char*>(block) + size == next_) next_ -= size - keep;
  }

  // Forgets every name and reuses the arena's first chunk; only for a store
  // whose nodes are all gone (its one user the caller).
  void Reset();

  // Bytes held by the arena's chunks.
  std::size_t ArenaBytes() const;

 private:
  TVxNodeStore() = default;
  ~TVxNodeStore();
  void Grow(std::size_t size);
  void Rehash();
  template <class Unit>
  const std::u16string& Find(const Unit* name, std::size_t size);

  static constexpr std::size_t kAlign = alignof(void*);
  // The first chunk suits a message of a few KB; later ones double up to
  // kMaxChunk. Chunks stay below 64 KB: glibc gives memory back to the system
  // whenever a block that large is freed, and the next document would fault
  // in fresh pages for all its chunks again.
  static constexpr std::size_t kFirstChunk = std::size_t{8} << 10;
  static constexpr std::size_t kMaxChunk = (std::size_t{32} << 10) - 64;

  struct Chunk {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size;
  };
  std::vector<Chunk> chunks_;
  unsigned char* next_ = nullptr;
  unsigned char* end_ = nullptr;

  // The names: an open-addressed table of indexes into names_ (a deque never
  // moves its strings), 0 for a free slot, index + 1 otherwise.
  std::deque<std::u16string> names_;
  std::vector<std::uint32_t> slots_;
  std::vector<std::uint32_t> hashes_;  // per name, to rehash without hashing again
  std::size_t users_ = 1;
};

}  // namespace kal
