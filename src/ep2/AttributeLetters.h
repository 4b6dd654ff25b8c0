#pragma once

// Attribute letters of message elements and sequence rows. An attribute
// string is the concatenation of the set letters; a letter may be followed
// by a decimal counter, as in P3 or F12.

#include <cstdint>
#include <string>
#include <string_view>

namespace kal {

struct TUCBAttributeLetter {
  char letter;
  const char* text;  // what the dialogs show after the letter
};

// Element attribute letters, in the order the element dialog lists them.
inline constexpr TUCBAttributeLetter kUCBElementAttributes[] = {
    {'F', "Fix value"},
    {'M', "Mandatory"},
    {'V', "Value from input"},
    {'S', "Fast selection for edit"},
    {'A', "Automatic update"},
    {'E', "Encrypted"},
    {'G', "Group selection"},
    {'P', "Value pool file (sequential)"},
    {'R', "Value pool file (random)"},
    {'C', "Value pool file contains Component Secret"},
    {'I', "Value is Sender ID"},
    {'O', "Value is Public Key Owner ID"},
    {'L', "Reference value lookup file"},
    {'X', "Copy value from previous occurence"},
    {'N', "Element is not sent (Recording only)"},
    {'T', "Value is imported text file"},
};

// Sequence-row attribute letters, in the order the sequence editor lists them.
inline constexpr TUCBAttributeLetter kUCBSequenceAttributes[] = {
    {'C', "Config file (load)"},
    {'G', "Generate 'msgnum'"},
    {'A', "Add 'msgnum' from input"},
    {'D', "Disconnect on server response"},
    {'M', "Mac only (if encoding is not off)"},
    {'R', "Generate random errors"},
    {'S', "Generate random errors with correct header"},
    {'T', "Transfer input values prior to message send"},
    {'1', "Conditional group 1 member"},
    {'2', "Conditional group 2 member"},
    {'O', "Send only (repeat last data stream)"},
};

// A list with one check box per item whose text begins with its letter (the
// attribute list of the element dialog and the sequence editor). The Qt
// check-list box implements it.
class IUCBCheckList {
 public:
  virtual ~IUCBCheckList() = default;
  virtual int Count() const = 0;
  virtual std::string ItemText(int index) const = 0;
  virtual bool Checked(int index) const = 0;
  virtual void SetChecked(int index, bool checked) = 0;
};

// The first character of every checked item, in item order (an item with an
// empty text gives nothing).
void UCBGetAttributeString(const IUCBCheckList& checkListBox, std::string& s);

// Checks every item exactly when its first character occurs anywhere in `s`
// (so digits of a counter count as letters too); items with an empty text
// are cleared.
void UCBSetAttributes(std::string_view s, IUCBCheckList& checkListBox);

// True when `c` occurs anywhere in `s`, counter digits included.
bool UCBAttributeIsSet(char c, std::string_view s);

// True when `c` occurs in `s`. `iCounter` is the decimal number formed by the
// digits directly after the first occurrence, 0 when none follow; a counter
// beyond the 32-bit range reads as 2147483647.
bool UCBAttributeCounterIsSet(char c, std::string_view s, int32_t& iCounter);

// `s` with the first occurrence of `c` and its following digits replaced by
// `c` and the decimal form of `iNew`; `s` unchanged when `c` does not occur.
void UCBReplaceCounter(char c, std::string_view s, int32_t iNew, std::string& sResult);

}  // namespace kal
