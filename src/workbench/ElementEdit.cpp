#include "workbench/ElementEdit.h"

#include <cctype>
#include <memory>
#include <vector>

#include "config/Config.h"
#include "ep2/AttributeLetters.h"
#include "ep2/MessageElement.h"
#include "ep2/MessageTree.h"
#include "support/HexUtilities.h"
#include "support/StringUnit.h"
#include "workbench/ElementCommands.h"
#include "workbench/EmvEditorPort.h"
#include "workbench/EmvElementMap.h"
#include "workbench/MainServices.h"
#include "workbench/TransactionCertificate.h"

namespace kal {

namespace {

bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

std::string EDFTypeOfItem(int index) {
  if (index < 0 || index >= EDFcTypeCount) return {};
  const std::string_view item = EDFcTypeItems[index];
  return std::string(item.substr(0, item.find(' ')));
}

int EDFItemOfType(std::string_view type) {
  int index = 0;
  while (index < EDFcTypeCount - 1 && EDFTypeOfItem(index) != type) ++index;
  return index;
}

std::string EDFKeepCounters(std::string_view old, std::string_view checked) {
  std::string result;
  for (const char letter : checked) {
    result += letter;
    // The digits after the letter's first place in the old string (a digit
    // is a counter, never a letter of its own).
    for (size_t at = 0; at < old.size(); ++at) {
      if (old[at] != letter || IsDigit(letter)) continue;
      for (size_t d = at + 1; d < old.size() && IsDigit(old[d]); ++d) result += old[d];
      break;
    }
  }
  return result;
}

TEDFElementEdit::TEDFElementEdit(ICEXMainServices& main, ICEXDialogs& dialogs,
                                 IUCBCheckList& attributes, IEDFEmvEditor* emvEditor, THooks hooks)
    : main_(main),
      dialogs_(dialogs),
      attributes_(attributes),
      emvEditor_(emvEditor),
      hooks_(std::move(hooks)) {}

void TEDFElementEdit::EDFUserSelectType(int index) {
  if (index < 0 || index >= EDFcTypeCount) return;
  fields_.typeIndex = index;
  typeTouched_ = true;
}

void TEDFElementEdit::EDFShow(const TXMLTreeNode* node) {
  typeTouched_ = false;
  const TUAXxmlElement* element = node != nullptr ? node->GetData() : nullptr;
  if (element == nullptr) {
    fields_.value.clear();
    fields_.tlvTag.clear();
    fields_.addElementEnabled = true;
    fields_.addContainerEnabled = true;
    return;
  }
  fields_.tag = element->GetName();
  fields_.value = element->GetValue();
  const bool container = element->GetType() == "c";
  fields_.tlvTag = container ? std::string() : element->GetTLVTag();
  fields_.addElementEnabled = container;
  fields_.addContainerEnabled = container;
  fields_.typeIndex = EDFItemOfType(element->GetType());
  UCBSetAttributes(element->GetAttributes(), attributes_);
}

bool TEDFElementEdit::EDFNeedsRecordedDataItem(const IUCBCheckList& attributes) {
  for (int i = 0; i < attributes.Count(); ++i) {
    const std::string text = attributes.ItemText(i);
    if (!text.empty() && text[0] == 'D') return false;
  }
  return true;
}

void TEDFElementEdit::EDFActivate() {
  if (const TXMLTreeNode* node = main_.CEXSelectedSourceNode())
    UCBSetAttributes(node->GetData()->GetAttributes(), attributes_);
}

void TEDFElementEdit::EDFModify() {
  TXMLTreeNode* node = main_.CEXSelectedSourceNode();
  if (node == nullptr) {
    dialogs_.CEXShowMessage(EDFcNoItemSelected);
    return;
  }
  TUAXxmlElement& element = *node->GetData();
  element.SetName(fields_.tag);
  if (element.GetType() != "c") {
    element.SetTLVTag(fields_.tlvTag);
    // A type that no item shows (the window then shows "time") stays
    // unless the user picked another.
    if (typeTouched_) element.SetType(EDFTypeOfItem(fields_.typeIndex));
  }
  element.SetValue(fields_.value);
  std::string checked;
  UCBGetAttributeString(attributes_, checked);
  element.SetAttributes(EDFKeepCounters(element.GetAttributes(), checked));
  node->SetText(element.GetTreeString());
  if (hooks_.markChanged) hooks_.markChanged();
  main_.CEXStateChanged(CEXpSourceTree);
}

void TEDFElementEdit::EDFAdd(bool container) {
  TXMLTreeNode* node = main_.CEXSelectedSourceNode();
  std::string attributes;
  UCBGetAttributeString(attributes_, attributes);
  auto element = std::make_unique<TUAXxmlElement>(
      fields_.tag, container ? std::string() : fields_.value,
      container ? std::string("c") : EDFTypeOfItem(fields_.typeIndex), attributes,
      container ? std::string() : fields_.tlvTag, node != nullptr ? node->GetData()->GetID() : 0);
  TUAXxmlElement* added = element.get();
  const std::string text = added->GetTreeString();
  int32_t id = 0;
  if (main_.CEXSourceTree().AddChildObject(node, text, std::move(element), id) == nullptr) return;
  added->SetID(id);
  if (hooks_.markChanged) hooks_.markChanged();
  main_.CEXStateChanged(CEXpSourceTree);
}

void TEDFElementEdit::EDFDelete() {
  TXMLTreeNode* node = main_.CEXSelectedSourceNode();
  if (node == nullptr) {
    dialogs_.CEXShowMessage(EDFcNoItemSelected);
    return;
  }
  static_cast<void>(CEXDeleteItem(main_.CEXSourceTree(), node));
  if (hooks_.markChanged) hooks_.markChanged();
  if (hooks_.selectLine) hooks_.selectLine(-1);
  main_.CEXStateChanged(CEXpSourceTree);
}

void TEDFElementEdit::EDFFastSelectNext() {
  const TXMLTreeNode* selected = main_.CEXSelectedSourceNode();
  // One walk in tree order; the search starts after the selection.
  std::vector<const TXMLTreeNode*> nodes;
  nodes.reserve(static_cast<size_t>(main_.CEXSourceTree().Count()));
  size_t start = 0;
  for (const TXMLTreeNode* n = main_.CEXSourceTree().GetFirstNode(); n != nullptr;
       n = n->GetNext()) {
    nodes.push_back(n);
    if (n == selected) start = nodes.size();
  }
  for (size_t i = start; i < nodes.size(); ++i) {
    if (!UCBAttributeIsSet('S', nodes[i]->GetData()->GetAttributes())) continue;
    if (hooks_.selectLine) hooks_.selectLine(static_cast<int>(i));
    main_.CEXStateChanged(CEXpSourceTree);
    return;
  }
  dialogs_.CEXShowMessage(EDFcNoMoreFastSelection);
}

void TEDFElementEdit::EDFComputeATC() {
  fields_.tag = "ep2:AcqTC";
  fields_.tlvTag.clear();
  fields_.typeIndex = EDFItemOfType("b");
  typeTouched_ = true;
  UCBSetAttributes("AE", attributes_);
  const TXMLTreeNode* node = main_.CEXSelectedSourceNode();
  if (node == nullptr) {
    dialogs_.CEXShowMessage(EDFcSelectContainer);
    return;
  }
  // A container stands for its first child; a container without children
  // stands for itself.
  if (node->GetData()->GetType() == "c") {
    const TXMLTreeNode* next = node->GetNext();
    if (next != nullptr && next->GetParent() == node) node = next;
  }
  std::string errorTags;
  const std::string input = CEXComputeATC(*node, main_.CEXConfiguration().CFGGetATC(), false,
                                          nullptr, main_.CEXSecurity(), "", errorTags);
  if (!errorTags.empty()) dialogs_.CEXShowMessage(CEXATCErrorText(errorTags));
  fields_.value = UTHStringToHex(input);
}

void TEDFElementEdit::EDFChooseValuePool() {
  TCFGConfig& config = main_.CEXConfiguration();
  std::string chosen;
  if (!dialogs_.CEXOpenFile({"", "", config.CFGGetDirValuePoolFile(), "", ""}, chosen)) return;
  fields_.value = chosen;
  const size_t slash = chosen.find_last_of('/');
  config.CFGSetDirValuePoolFile(slash == std::string::npos ? std::string()
                                                           : chosen.substr(0, slash + 1));
}

void TEDFElementEdit::EDFEditEmvValue() {
  if (emvEditor_ == nullptr) return;
  std::string value = fields_.value;
  if (emvEditor_->EDFEditEmvValue(value)) fields_.value = value;
}

void TEDFElementEdit::EDFLookupTag() {
  const std::string key = STRTrim(fields_.tag);
  if (key.empty()) return;
  TEEMEmvElementMap map;
  std::string error;
  if (!map.Load(main_.CEXDirName() + "EMVElements.ini", error)) {
    dialogs_.CEXShowMessage(error);
    return;
  }
  if (const auto tag = map.FindTag(key)) {
    fields_.tlvTag = *tag;
    return;
  }
  dialogs_.CEXShowMessage("Element " + fields_.tag + " not found in lookup table");
}

}  // namespace kal
