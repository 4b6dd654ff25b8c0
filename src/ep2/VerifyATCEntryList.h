#pragma once

// The acquirer transaction certificates (ATC values) of a received message
// and the session-key cryptograms that come with them, paired in document
// order: an entry takes at most one value and one cryptogram, so value,
// cryptogram, value, cryptogram gives two complete entries and value,
// value, cryptogram an entry with only a value followed by a complete one.
// An entry also keeps the session key once its cryptogram is opened.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kal {

class TSTCVerifyATCEntry final {
 public:
  ~TSTCVerifyATCEntry();

  const std::string& STCGetValue() const { return STCsValue; }
  void STCSetValue(std::string_view v);  // also sets the value flag
  bool STCValueIsSet() const { return STCbValueIsSet; }
  const std::string& STCGetKeyCryptogramm() const { return STCsSessionKeyCryptogramm; }
  void STCSetKeyCryptogramm(std::string_view v);  // also sets its flag
  bool STCKeyCryptogrammIsSet() const { return STCbSessionKeyCryptogrammIsSet; }
  const std::string& STCGetSessionKey() const { return STCsSessionKey; }
  void STCSetSessionKey(std::string_view v);  // also sets its flag
  bool STCSessionKeyIsSet() const { return STCbSessionKeyIsSet; }

 private:
  std::string STCsValue;
  std::string STCsSessionKeyCryptogramm;
  bool STCbValueIsSet = false;
  bool STCbSessionKeyCryptogrammIsSet = false;
  bool STCbSessionKeyIsSet = false;
  std::string STCsSessionKey;  // wiped on destruction
};

class TSTCVerifyATCEntryList final {
 public:
  void STCEmptyList() { STCaEntryList.clear(); }
  int STCGetEntriesCount() const { return static_cast<int>(STCaEntryList.size()); }
  // Sets the value (the cryptogram) of the last entry, appending a new entry
  // when the list is empty or the last one already has a value (cryptogram).
  void STCAddValue(std::string_view sValue);
  void STCAddKey(std::string_view sKey);
  // The entry at iIndex (from 0); null outside the list. The list owns it.
  TSTCVerifyATCEntry* STCGetElement(int iIndex);
  const TSTCVerifyATCEntry* STCGetElement(int iIndex) const;

 private:
  std::vector<std::unique_ptr<TSTCVerifyATCEntry>> STCaEntryList;
};

}  // namespace kal
