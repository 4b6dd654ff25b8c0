#include "ep2/ElementClipboard.h"

namespace kal {

void TUACEditElement::UACAddElement(const TUAXxmlElement& element) {
  items_.push_back(element.CreateCopy());
}

int32_t TUACEditElement::UACGetElement(int index, std::unique_ptr<TUAXxmlElement>& element) const {
  element.reset();
  if (index < 0 || index >= Count()) return kUACIndexError;
  element = items_[static_cast<size_t>(index)]->CreateCopy();
  return 0;
}

}  // namespace kal
