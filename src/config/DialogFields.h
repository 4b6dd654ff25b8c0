#pragma once

// What the configuration dialogs do with their fields, without widgets: the
// number fields, the two identifier-type choices of the message header
// dialog and where the directory chooser starts.

#include <cstdint>
#include <string>
#include <string_view>

namespace kal {

class TCFGConfig;

// A number field's text as a decimal integer: optional blanks around it, an
// optional sign, digits, within min..max. False for anything else.
bool CFGParseDialogNumber(std::string_view text, int32_t min, int32_t max, int32_t& value);

// The identifier-type choices: the sender's six items and the owner's four,
// the last one the user value.
enum class TCFGIdType { Sender, Owner };
int CFGIdTypeItems(TCFGIdType kind);

// The item the dialog selects: the user value exactly when the
// configuration's user-value flag is set, else the stored type's item
// (type t selects item t - 1); -1 (nothing) for type 0.
int CFGIdTypeItem(const TCFGConfig& config, TCFGIdType kind);

// Stores the choice, then the typed user value and its length. The user
// value keeps the stored type when that already means the user value (so 9
// stays 9), else takes the first user type number; item -1 stores type 0.
void CFGStoreIdType(TCFGConfig& config, TCFGIdType kind, int item, uint8_t userType,
                    uint8_t userLength);

// Where the directory chooser starts: the Record directory when it is set
// and names an existing directory, else the program folder.
std::string CFGDirectoryChooserStart(const TCFGConfig& config);

}  // namespace kal
