#pragma once

// Reference lookup files: text files that map a received value to a text for
// the tester. Each line is key;text[;element;expected value]; the key
// "$ELSE" gives the default text, and "$VALUE" in a text stands for the
// looked-up value.

#include <cstdint>
#include <functional>
#include <string>

namespace kal {

class TCOMEp2InMessage;
class TVxXMLElement;

// Searches the received message for an element by name (the deep search
// below the message element); true with its value when found.
using TUERFindElement = std::function<bool(const std::string& name, std::string& value)>;

// The finder for a received message: the reader's deep search
// (COMFindAnyElement) below aParent, the message element. Reader and
// document must outlive the finder.
TUERFindElement UERMessageElementFinder(const TCOMEp2InMessage& reader,
                                        const TVxXMLElement* aParent);

// Lookup files larger than this are not read.
inline constexpr size_t kUERMaxFileBytes = 4u * 1024u * 1024u;

// Looks `sValue` up in the file `sFileName`. Result:
//  0: a line matched and its text is blank; or a matching line's condition
//     element is not in the message (its text is given); or no line matched
//     and there is no non-blank "$ELSE" text;
//  1: the file cannot be read (missing, unreadable or too large); sText is
//     "Reference Lookup File not found: " + sFileName;
//  2: a text applies: a matching line's text without a condition or with a
//     condition that holds, or the "$ELSE" text when no line matched.
// Keys, condition names and values are compared after trimming blanks;
// texts are returned untrimmed, with every "$VALUE" replaced by sValue in
// one pass. A file that is not valid UTF-8 is read as Latin-1.
[[nodiscard]] int32_t UERGetValuePoolErrorText(const std::string& sValue,
                                               const std::string& sFileName,
                                               const TUERFindElement& findElement,
                                               std::string& sText);

}  // namespace kal
