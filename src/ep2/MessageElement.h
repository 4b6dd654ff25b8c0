#pragma once

// One element of an ep2 message or of a reference structure: tag name,
// stored value, run-time value, format type, attribute letters, TLV tag and
// the ids that tie it into its tree. Its file record is the body of every
// message file.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kal {

class TTextLineReader;
class TTextLineWriter;
class TVxXMLElement;

// Results of reading and writing element records.
inline constexpr int32_t kUAXRecordEndOfFile = 1;  // the text ended inside a record
inline constexpr int32_t kUAXRecordBadNumber = 2;  // a parent-id or id line is no decimal number
inline constexpr int32_t kUAXRecordLineBreak = 3;  // a field holds a line break: not saved

// Whether the records of a message file of this version hold the TLV-tag
// line: with p the 1-based position of the first "." in the version text, when
// p is 3 or more, or else when the first character is "2" or above. So 1.0 and
// 1 have six-line records, 2.0, 3.1 and 10.0 seven-line records. An empty
// version text stands for the current layout (seven lines).
bool UAXRecordHasTLVTag(std::string_view version);

class TUAXxmlElement final {
 public:
  TUAXxmlElement() = default;
  TUAXxmlElement(std::string sName, std::string sValue, std::string sType, std::string sAttributes,
                 std::string sTLVTag, int32_t iParentID);
  // Copies go through CreateCopy only, so that no copy takes the document
  // link by accident.
  TUAXxmlElement(const TUAXxmlElement&) = delete;
  TUAXxmlElement& operator=(const TUAXxmlElement&) = delete;

  const std::string& GetName() const { return UAXsName; }
  void SetName(std::string s) { UAXsName = std::move(s); }
  const std::string& GetValue() const { return UAXsValue; }
  void SetValue(std::string s) { UAXsValue = std::move(s); }
  const std::string& GetActValue() const { return UAXsActValue; }
  void SetActValue(std::string s) { UAXsActValue = std::move(s); }
  const std::string& GetType() const { return UAXsType; }
  void SetType(std::string s) { UAXsType = std::move(s); }
  const std::string& GetAttributes() const { return UAXsAttributes; }
  void SetAttributes(std::string s) { UAXsAttributes = std::move(s); }
  const std::string& GetTLVTag() const { return UAXsTLVTag; }
  void SetTLVTag(std::string s) { UAXsTLVTag = std::move(s); }
  int32_t GetID() const { return UAXiID; }
  void SetID(int32_t i) { UAXiID = i; }
  int32_t GetParentID() const { return UAXiParentID; }
  void SetParentID(int32_t i) { UAXiParentID = i; }
  int32_t GetOldID() const { return UAXiOldID; }
  void SetOldID(int32_t i) { UAXiOldID = i; }
  // The document element that the message builder built from this element,
  // or that the message reader matched it to. Not owned. The link is only
  // valid while that document lives: whoever frees or rebuilds the document
  // first clears the links it set (TXMLMessageTree::XMLClearParserElements).
  TVxXMLElement* GetParserElement() const { return UAXaVxXMLElement; }
  void SetParserElement(TVxXMLElement* e) { UAXaVxXMLElement = e; }
  bool GetUseActValue() const { return UAXbUseActValue; }
  void SetUseActValue(bool b) { UAXbUseActValue = b; }

  // The text of the element's node in the full message view:
  // <N>V</N>: T (a container: <N>V), a value of more than 128 characters
  // shown as "..." and its last 128 characters, then ", " + attributes and
  // ", " + TLV tag when they are not empty. Characters are those of the
  // UTF-8 text.
  std::string GetTreeString() const;
  // The shorter text without the value: <N>: T (a container: <N>), then the
  // same attributes and TLV tag.
  std::string GetTreeShortString() const;

  // Name, value, type, attributes, TLV tag, parent id, id and actual value;
  // old id 0, no document element, use-actual-value off.
  std::unique_ptr<TUAXxmlElement> CreateCopy() const;
  // True when the file record of this element would be that of `other`
  // (name, value, type, attributes, TLV tag, parent id and id).
  bool SameRecord(const TUAXxmlElement& other) const;
  // Becomes what a read of `read`'s record made: its name, value, type,
  // attributes, TLV tag and the three ids; no actual value, no document
  // element, use-actual-value off. The strings keep their room.
  void AssignRead(const TUAXxmlElement& read);

  // Appends the seven-line record. A field that holds CR or LF cannot be
  // stored in a line: nothing is written, the result is kUAXRecordLineBreak
  // and `errorText` names the element. Otherwise 0.
  [[nodiscard]] int32_t SaveToFile(TTextLineWriter& file, std::string& errorText) const;

  // Reads one record in the layout of the given file version (see
  // UAXRecordHasTLVTag). Text lines that are not valid UTF-8 are taken as
  // Latin-1. Result 0, kUAXRecordEndOfFile or kUAXRecordBadNumber; on
  // failure the element is unchanged. The actual value is emptied; the
  // use-actual-value flag and the document element stay as they are.
  [[nodiscard]] int32_t LoadFromFile(std::string_view sVersion, TTextLineReader& file);

  // Deletes every occurrence of `c` from the attribute letters.
  void RemoveAttribute(char c);

 private:
  std::string UAXsName;
  std::string UAXsValue;
  std::string UAXsActValue;  // not stored in the file
  std::string UAXsType;
  std::string UAXsAttributes;
  std::string UAXsTLVTag;
  int32_t UAXiID = 0;
  int32_t UAXiParentID = 0;
  int32_t UAXiOldID = 0;
  TVxXMLElement* UAXaVxXMLElement = nullptr;  // not owned, see GetParserElement
  bool UAXbUseActValue = false;
};

}  // namespace kal
