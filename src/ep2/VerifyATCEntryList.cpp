#include "ep2/VerifyATCEntryList.h"

#include "support/SecureWipe.h"

namespace kal {

TSTCVerifyATCEntry::~TSTCVerifyATCEntry() {
  SecureWipe(STCsSessionKey);
}

void TSTCVerifyATCEntry::STCSetValue(std::string_view v) {
  STCsValue = v;
  STCbValueIsSet = true;
}

void TSTCVerifyATCEntry::STCSetKeyCryptogramm(std::string_view v) {
  STCsSessionKeyCryptogramm = v;
  STCbSessionKeyCryptogrammIsSet = true;
}

void TSTCVerifyATCEntry::STCSetSessionKey(std::string_view v) {
  SecureWipe(STCsSessionKey);
  STCsSessionKey = v;
  STCbSessionKeyIsSet = true;
}

void TSTCVerifyATCEntryList::STCAddValue(std::string_view sValue) {
  if (STCaEntryList.empty() || STCaEntryList.back()->STCValueIsSet())
    STCaEntryList.push_back(std::make_unique<TSTCVerifyATCEntry>());
  STCaEntryList.back()->STCSetValue(sValue);
}

void TSTCVerifyATCEntryList::STCAddKey(std::string_view sKey) {
  if (STCaEntryList.empty() || STCaEntryList.back()->STCKeyCryptogrammIsSet())
    STCaEntryList.push_back(std::make_unique<TSTCVerifyATCEntry>());
  STCaEntryList.back()->STCSetKeyCryptogramm(sKey);
}

TSTCVerifyATCEntry* TSTCVerifyATCEntryList::STCGetElement(int iIndex) {
  if (iIndex < 0 || iIndex >= STCGetEntriesCount()) return nullptr;
  return STCaEntryList[static_cast<size_t>(iIndex)].get();
}

const TSTCVerifyATCEntry* TSTCVerifyATCEntryList::STCGetElement(int iIndex) const {
  return const_cast<TSTCVerifyATCEntryList*>(this)->STCGetElement(iIndex);
}

}  // namespace kal
