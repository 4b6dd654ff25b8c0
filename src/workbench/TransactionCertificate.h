#pragma once

// The input of the acquirer transaction certificate ("ep2:AcqTC"): the
// values of the elements named by a configured list of BER tags and
// lengths, each formatted to its length and concatenated. The build road
// computes it for an outgoing "ep2:AcqTC"; the receive road verifies a
// received certificate with it.

#include <string>
#include <string_view>
#include <vector>

namespace kal {

class TSECep2Security;
class TUAXxmlElement;
class TXMLTreeNode;

// Lengths in the tag list above this are refused as malformed.
inline constexpr int CEXcMaxATCItemLength = 65535;

// The element whose TLV tag is `tag` (trimmed, any case), searched in tree
// order from the first node under the same parent as `element`, among the
// nodes at most one level deeper than that node; the first deeper node ends
// the search. Null when there is none.
const TUAXxmlElement* CEXFindTLVElement(std::string_view tag, const TXMLTreeNode& element);

// The certificate input for the "ep2:AcqTC" node `element` over the tag
// list `tagList` (hex text; blanks are removed). A found element gives its
// value, or its run-time value when `useActualValues` is set, it is a pool
// value or its use-actual-value flag is set; with attribute E, a key and
// run-time values the value is decrypted first (key variant 3, mandatory
// padding). A tag without element gives zero bytes of its length. With
// `memo` a line of type, value and tag per item is added.
//
// `errorTags` lists, separated by ", ", the tags whose value could not be
// formatted and items of the list that are malformed (a tag cut short, a
// missing length, a length above CEXcMaxATCItemLength); the list is read
// no further after a malformed item. Returns the input bytes.
std::string CEXComputeATC(const TXMLTreeNode& element, std::string_view tagList,
                          bool useActualValues, std::vector<std::string>* memo,
                          TSECep2Security& security, std::string_view key, std::string& errorTags);

// The text of the message that reports `errorTags`.
inline std::string CEXATCErrorText(const std::string& errorTags) {
  return "The items with the following TLV-tags contain errors: " + errorTags;
}

}  // namespace kal
