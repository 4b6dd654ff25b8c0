#pragma once

// The element edit window's work ("Edit Window"): it shows and changes the
// element of the selected source-tree node, adds elements and containers
// below it, deletes it, steps through the fast-selection elements, computes
// the acquirer transaction certificate, looks up EMV tags in
// "EMVElements.ini" and takes values from a value-pool file or the EMV
// data-object editor. The fields are the window's; the attribute checks are
// the window's check list. The form maps the fields onto its widgets.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kal {

class ICEXDialogs;
class ICEXMainServices;
class IEDFEmvEditor;
class IUCBCheckList;
class TXMLTreeNode;

// The type items, in the order the window lists them; the type is the text
// up to the first blank. The container type "c" has none.
// clang-format off
inline constexpr const char* EDFcTypeItems[] = {
    "a                 Alphabetic character",
    "an               Alphanumeric character",
    "ans             Printable ASCII",
    "b                 Binary (HEX)",
    "cn               Compressed numeric (ASCII)",
    "date            Date YYYYMMDD",
    "expdate      Expiration date YYMMDD",
    "n                 Numeric",
    "time             Time HHMMSS",
};
// clang-format on
inline constexpr int EDFcTypeCount = 9;
inline constexpr int EDFcTypeAns = 2;  // selected when the window is made

// The item of the recorded-data letter, which activation appends.
inline constexpr const char* EDFcRecordedDataItem = "D Value is Recorded Data File";

inline constexpr const char* EDFcNoItemSelected = "no item selected";
inline constexpr const char* EDFcNoMoreFastSelection = "no more fast selection items found";
inline constexpr const char* EDFcSelectContainer =
    "Select the container ep2:bdfin of the transaction in the source window";

// The type of item `index` (text up to its first blank).
std::string EDFTypeOfItem(int index);
// The first item whose type is `type`; the last item ("time") when none is.
int EDFItemOfType(std::string_view type);

// The attribute string of the checked letters `checked` (in item order)
// keeping the counter digits that follow each of them in `old`: "P3" stays
// "P3" while P is checked; a letter that is no longer checked goes with its
// digits; a newly checked letter has none.
std::string EDFKeepCounters(std::string_view old, std::string_view checked);

// What the window shows besides the attribute checks.
struct TEDFFields {
  std::string tag;     // EditTag
  std::string value;   // EditValue
  std::string tlvTag;  // EditTLVTag
  int typeIndex = EDFcTypeAns;
  bool addElementEnabled = true;
  bool addContainerEnabled = true;
};

class TEDFElementEdit final {
 public:
  // `selectLine` selects the source node at that absolute index (-1: none)
  // as a click would, `markChanged` marks the message file as changed.
  struct THooks {
    std::function<void(int)> selectLine;
    std::function<void()> markChanged;
  };

  // `emvEditor` may be null (the button then does nothing).
  TEDFElementEdit(ICEXMainServices& main, ICEXDialogs& dialogs, IUCBCheckList& attributes,
                  IEDFEmvEditor* emvEditor, THooks hooks);

  TEDFFields& Fields() { return fields_; }
  const TEDFFields& Fields() const { return fields_; }
  // The user picked a type item: Modify then writes the type.
  void EDFUserSelectType(int index);

  // Fills the fields from `node` (null: none selected). Constant work: it
  // runs on every selection change while the window is visible.
  void EDFShow(const TXMLTreeNode* node);
  // Activation: the attribute list needs the "D" item (the form appends
  // it when this says so), then the checks follow the selected element.
  static bool EDFNeedsRecordedDataItem(const IUCBCheckList& attributes);
  void EDFActivate();

  void EDFModify();
  void EDFAdd(bool container);
  void EDFDelete();
  void EDFFastSelectNext();
  void EDFComputeATC();
  // "...": a value-pool file chosen in the dialog port.
  void EDFChooseValuePool();
  // "EMV Editor...": the value is taken only when the editor ends with Ok.
  void EDFEditEmvValue();
  // "Lookup EMV Tag" in "EMVElements.ini" of the program folder.
  void EDFLookupTag();

 private:
  ICEXMainServices& main_;
  ICEXDialogs& dialogs_;
  IUCBCheckList& attributes_;
  IEDFEmvEditor* emvEditor_;
  THooks hooks_;
  TEDFFields fields_;
  bool typeTouched_ = false;  // a type item was picked since the last Show
};

}  // namespace kal
