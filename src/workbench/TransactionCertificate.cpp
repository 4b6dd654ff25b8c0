#include "workbench/TransactionCertificate.h"

#include "ep2/AttributeLetters.h"
#include "ep2/Ep2Security.h"
#include "ep2/MessageTree.h"
#include "support/CompressedNumeric.h"
#include "support/HexUtilities.h"
#include "support/SecureWipe.h"
#include "support/StringUnit.h"
#include "support/TlvUtilities.h"
#include "workbench/ValuePools.h"

namespace kal {

const TUAXxmlElement* CEXFindTLVElement(std::string_view tag, const TXMLTreeNode& element) {
  const std::string wanted = STRUpperCase(STRTrim(tag));
  if (wanted.empty()) return nullptr;
  const TXMLTreeNode* start = element.GetParent() != nullptr ? element.GetParent()->GetFirstChild()
                                                             : element.GetOwner()->GetFirstNode();
  if (start == nullptr) return nullptr;
  const int level = start->GetLevel();
  for (const TXMLTreeNode* node = start; node != nullptr; node = node->GetNext()) {
    if (node->GetLevel() > level + 1) break;
    const TUAXxmlElement* candidate = node->GetData();
    if (STRUpperCase(STRTrim(candidate->GetTLVTag())) == wanted) return candidate;
  }
  return nullptr;
}

namespace {

// `digits` packed two per byte; false when a character is no hex digit.
bool Pack(std::string_view digits, std::string& packed) {
  const TUTCompressedNumeric converter(0);
  packed.clear();
  if (converter.UTCCompressNumericString(digits, packed) != 0) {
    packed.clear();
    return false;
  }
  return true;
}

// The value formatted to `length` bytes by its type; false when it cannot
// be packed.
bool Format(const std::string& type, const std::string& value, size_t length, std::string& out) {
  out.clear();
  if (type == "b") {
    out = UTHHexToString(value);
    out.resize(length, '\0');
    return true;
  }
  if (type == "a" || type == "an" || type == "ans") {
    out = value;
    out.resize(length, '\0');
    return true;
  }
  if (type == "n" || type == "date" || type == "expdate" || type == "time") {
    std::string digits = value;
    if (digits.size() % 2 != 0) digits.insert(0, 1, '0');
    if (!Pack(digits, out)) return false;
    if (out.size() < length)
      out.insert(0, length - out.size(), '\0');
    else
      out.erase(0, out.size() - length);
    return true;
  }
  if (type == "cn") {
    if (!Pack(value, out)) return false;
    out.resize(length, '\xFF');
    return true;
  }
  return false;
}

void AddTag(std::string& errorTags, std::string_view tag) {
  if (!errorTags.empty()) errorTags += ", ";
  errorTags += tag;
}

}  // namespace

std::string CEXComputeATC(const TXMLTreeNode& element, std::string_view tagList,
                          bool useActualValues, std::vector<std::string>* memo,
                          TSECep2Security& security, std::string_view key, std::string& errorTags) {
  errorTags.clear();
  const std::string list = STRRemoveBlanks(tagList);
  std::string_view rest = list;
  std::string input;
  while (!rest.empty()) {
    std::string tag;
    int length = 0;
    if (UTLGetTagLength(rest, tag, length) != UTLcOk || length > CEXcMaxATCItemLength) {
      AddTag(errorTags, tag.empty() ? std::string(rest.substr(0, 2)) : tag);
      break;
    }
    const size_t size = static_cast<size_t>(length);
    const TUAXxmlElement* found = CEXFindTLVElement(tag, element);
    if (found == nullptr) {
      input.append(size, '\0');
      continue;
    }
    const bool actual =
        useActualValues || CEXIsPoolValue(found->GetAttributes()) || found->GetUseActValue();
    std::string value = actual ? found->GetActValue() : found->GetValue();
    const std::string& type = found->GetType();
    if (memo != nullptr) memo->push_back(type + " " + value + " " + tag);
    bool ok = true;
    if (UCBAttributeIsSet('E', found->GetAttributes()) && !key.empty() && useActualValues) {
      std::string variant, plain;
      ok = security.SECGenerateSessionKeyVariant(TSECep2Security::SECcSessionKeyVariantEncryption,
                                                 key, nullptr, variant) == 0 &&
           security.SECDESDecryptString(UTHHexToString(value), variant, true, nullptr, plain) == 0;
      value = ok ? UTHStringToCompactHex(plain) : std::string();
      SecureWipe(variant);
      SecureWipe(plain);
    }
    std::string formatted;
    if (ok) ok = Format(type, value, size, formatted);
    if (!ok || (formatted.empty() && size > 0)) AddTag(errorTags, tag);
    input += formatted;
  }
  return input;
}

}  // namespace kal
