#pragma once

// The element clipboard of the main window: copies of elements for cut, copy
// and paste. It owns its copies and frees them when cleared.

#include <cstdint>
#include <memory>
#include <vector>

#include "ep2/MessageElement.h"

namespace kal {

// Result of UACGetElement for an index outside the list.
inline constexpr int32_t kUACIndexError = 1;

class TUACEditElement final {
 public:
  // Appends a copy of `element` (CreateCopy).
  void UACAddElement(const TUAXxmlElement& element);
  // Frees every copy.
  void UACClear() { items_.clear(); }
  // A fresh copy of the entry at `index` for the caller, who owns it; the
  // clipboard keeps its own, so an entry can be pasted any number of times.
  // kUACIndexError (and `element` empty) for an index outside the list.
  [[nodiscard]] int32_t UACGetElement(int index, std::unique_ptr<TUAXxmlElement>& element) const;
  int Count() const { return static_cast<int>(items_.size()); }

 private:
  std::vector<std::unique_ptr<TUAXxmlElement>> items_;
};

}  // namespace kal
