#include "ep2/MessageReader.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <istream>
#include <streambuf>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ep2/DocumentText.h"
#include "ep2/ElementFormats.h"
#include "support/Base64.h"
#include "support/CompressedNumeric.h"
#include "xml/XMLBase.h"
#include "xml/XMLDOM.h"
#include "xml/XMLParser.h"

namespace kal {

namespace {

// Reads a byte string in place, so the text is not copied into a stream
// first. Positions can be set, so the parser starts at the beginning.
class TMemoryBuffer : public std::streambuf {
 public:
  explicit TMemoryBuffer(const std::string& s) {
    char* p = const_cast<char*>(s.data());
    setg(p, p, p + s.size());
  }

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                   std::ios_base::openmode which) override {
    if (!(which & std::ios_base::in)) return pos_type(off_type(-1));
    off_type base = 0;
    if (dir == std::ios_base::cur)
      base = gptr() - eback();
    else if (dir == std::ios_base::end)
      base = egptr() - eback();
    const off_type target = base + off;
    if (target < 0 || target > egptr() - eback()) return pos_type(off_type(-1));
    setg(eback(), eback() + target, egptr());
    return pos_type(target);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    return seekoff(off_type(pos), std::ios_base::beg, which);
  }
};

// A name to match tag names against exactly. ep2 names are ASCII and are
// compared as they stand; any other name is converted once.
class TName {
 public:
  explicit TName(std::string_view name) : utf8_(name) {
    if (std::any_of(name.begin(), name.end(), [](char c) { return c & 0x80; })) {
      wide_ = UTFToDocumentText(name);
      ascii_ = false;
    }
  }
  bool Names(const TVxXMLElement& e) const { return Names(e.TagName()); }
  bool Names(std::u16string_view tag) const {
    if (!ascii_) return tag == wide_;
    if (tag.size() != utf8_.size()) return false;
    // From the end: ep2 names of one length share their prefix ("ep2:Trx").
    for (std::size_t i = tag.size(); i > 0; --i)
      if (tag[i - 1] != static_cast<unsigned char>(utf8_[i - 1])) return false;
    return true;
  }

 private:
  std::string_view utf8_;
  std::u16string wide_;
  bool ascii_ = true;
};

// Appends the value of element (text and CDATA children) to out.
void AppendValue(const TVxXMLElement& element, std::string& out) {
  for (const TVxXMLNode* n = element.GetFirstNode(); n; n = n->Next())
    if (n->GetType() == ntText || n->GetType() == ntCData)
      UTFAppendFromDocumentText(n->GetValue(), out);
}

// The element after e in document order within the subtree of top, or null.
const TVxXMLElement* NextInSubtree(const TVxXMLElement* e, const TVxXMLElement* top) {
  if (const TVxXMLElement* child = e->GetFirstChild()) return child;
  while (e && e != top) {
    if (const TVxXMLElement* sibling = e->NextSibling()) return sibling;
    const TVxXMLNode* parent = e->GetParent();
    e = parent ? parent->AsElement() : nullptr;
  }
  return nullptr;
}

// The iOccurence-th child element of `parent` named `name` (null: none).
TVxXMLElement* FindChild(const TVxXMLElement& parent, std::string_view name, int iOccurence) {
  const TName wanted(name);
  int count = 0;
  // The children in order; a node's name is compared before it is taken as
  // an element, so siblings of other names cost no more than the compare.
  for (TVxXMLNode* n = parent.GetFirstNode(); n; n = n->Next()) {
    if (n->GetType() != ntElement || !wanted.Names(n->GetName())) continue;
    TVxXMLElement* e = n->AsElement();
    if (!e || ++count < iOccurence) continue;
    if (count > iOccurence) break;  // an occurrence below 1 matches nothing
    return e;
  }
  return nullptr;
}

}  // namespace

std::string TCOMEp2InMessage::COMElementValue(const TVxXMLElement& element) {
  std::string value;
  AppendValue(element, value);
  return value;
}

int32_t TCOMEp2InMessage::COMParseInMessage(TVxXMLParser& aVxXMLParser,
                                            std::unique_ptr<TVxXMLDocument>& aVxXMLDocument,
                                            std::string& aXMLDocString, std::string& sMsgName,
                                            std::string& sMsgNum, TVxXMLElement*& aXMLElement,
                                            std::string& sErrorMessage) const {
  sMsgName.clear();
  sMsgNum.clear();
  aXMLElement = nullptr;
  sErrorMessage.clear();
  try {
    // What a peer sends is read on its own: no DTD or entity it names is
    // fetched, local files included.
    aVxXMLParser.SetRetrieveExternal(false);
    {
      TMemoryBuffer buffer(aXMLDocString);
      std::istream in(&buffer);
      aVxXMLParser.Parse(in, aVxXMLDocument);
    }
    TVxXMLDocument& doc = *aVxXMLDocument;
    if (const TVxXMLElement* root = doc.GetDocumentElement()) {
      if (TVxXMLElement* message = root->GetFirstChild()) {
        aXMLElement = message;
        UTFAppendFromDocumentText(message->TagName(), sMsgName);
        UTFAppendFromDocumentText(message->GetAttribute(u"msgnum"), sMsgNum);
      }
    }
    doc.WriteMode = TWriteMode::wmStandard;
    if (COMbWriteBack) {
      std::string formatted;
      doc.Write(formatted);
      aXMLDocString.swap(formatted);
    }
    return 0;
  } catch (const EVxXMLParserError& e) {
    sErrorMessage = "line " + std::to_string(e.LineNumber) + ": " + e.what();
  } catch (const std::exception& e) {
    sErrorMessage = e.what();
  }
  sMsgName.clear();
  sMsgNum.clear();
  aXMLElement = nullptr;
  return COMiErrorBase + COMcErrorParserFailed;
}

// The element children of each parent looked up, in order and by name. A
// lookup tries the child after the one found last under the same parent
// first: lookups mostly follow the document's order.
class TCOMChildIndex {
 public:
  // The iOccurence-th child element of `parent` named `name` (null: none);
  // the same answer as a scan of the children.
  TVxXMLElement* Find(const TVxXMLElement& parent, std::string_view name, int iOccurence) {
    if (iOccurence < 1) return nullptr;
    TParent& p = At(parent);
    // The name in the document's text units; ep2 names are ASCII.
    key_.clear();
    if (std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; }))
      key_.assign(name.begin(), name.end());
    else
      key_ = UTFToDocumentText(name);
    const std::u16string_view key(key_);
    if (p.next < p.children.size()) {
      const TChild& c = p.children[p.next];
      if (c.occurrence == iOccurence && c.name == key) return p.children[p.next++].element;
    }
    // The children sorted by name, each name's in document order.
    const auto first =
        std::lower_bound(p.byName.begin(), p.byName.end(), std::pair(key, size_t{0}), Before);
    const auto at = first + (iOccurence - 1);
    if (at >= p.byName.end() || at->first != key) return nullptr;
    p.next = at->second + 1;
    return p.children[at->second].element;
  }

 private:
  using TNamed = std::pair<std::u16string_view, size_t>;
  // Any order that keeps equal names together serves: length first, then
  // the bytes; then the place.
  static bool Before(const TNamed& a, const TNamed& b) {
    if (a.first.size() != b.first.size()) return a.first.size() < b.first.size();
    const int order =
        std::memcmp(a.first.data(), b.first.data(), a.first.size() * sizeof(char16_t));
    return order != 0 ? order < 0 : a.second < b.second;
  }
  struct TChild {
    std::u16string_view name;
    TVxXMLElement* element;
    int occurrence;  // of its name among the children, from 1
  };
  struct TParent {
    std::vector<TChild> children;
    // Each child's name and place, sorted (Before).
    std::vector<TNamed> byName;
    size_t next = 0;  // the child after the one found last
  };
  TParent& At(const TVxXMLElement& parent) {
    if (&parent == lastKey_) return *last_;
    const auto [it, made] = parents_.try_emplace(&parent);
    TParent& p = it->second;
    if (made) {
      for (TVxXMLNode* n = parent.GetFirstNode(); n; n = n->Next()) {
        if (n->GetType() != ntElement) continue;
        if (TVxXMLElement* e = n->AsElement()) p.children.push_back({n->GetName(), e, 1});
      }
      p.byName.reserve(p.children.size());
      for (size_t i = 0; i < p.children.size(); ++i) p.byName.emplace_back(p.children[i].name, i);
      std::sort(p.byName.begin(), p.byName.end(), Before);
      for (size_t i = 1; i < p.byName.size(); ++i) {
        if (p.byName[i].first != p.byName[i - 1].first) continue;
        p.children[p.byName[i].second].occurrence =
            p.children[p.byName[i - 1].second].occurrence + 1;
      }
    }
    lastKey_ = &parent;
    last_ = &p;
    return p;
  }

  // Node-based: a parent's entry stays where it is while others are added.
  std::unordered_map<const TVxXMLElement*, TParent> parents_;
  const TVxXMLElement* lastKey_ = nullptr;
  TParent* last_ = nullptr;
  std::u16string key_;
};

void TCOMEp2InMessage::COMIndexChildren() {
  COMaIndex = std::make_shared<TCOMChildIndex>();
}

int32_t TCOMEp2InMessage::COMFindElement(std::string_view sName, const TVxXMLElement* aParent,
                                         int iOccurence, bool bGetValue, bool bFindAny,
                                         bool& bFound, std::string& sValue,
                                         TVxXMLElement*& aXMLElement) const {
  bFound = false;
  sValue.clear();
  aXMLElement = nullptr;
  if (!aParent) return 0;
  TVxXMLElement* e = COMaIndex ? COMaIndex->Find(*aParent, sName, iOccurence)
                               : FindChild(*aParent, sName, iOccurence);
  if (e != nullptr) {
    bFound = true;
    aXMLElement = e;
    if (bGetValue) AppendValue(*e, sValue);
    return 0;
  }
  if (bFindAny) return COMFindAnyElement(sName, aParent, sValue, bFound, aXMLElement);
  return 0;
}

int32_t TCOMEp2InMessage::COMFindAnyElement(std::string_view sName, const TVxXMLElement* aParent,
                                            std::string& sValue, bool& bFound,
                                            TVxXMLElement*& aXMLElement) const {
  bFound = false;
  sValue.clear();
  aXMLElement = nullptr;
  if (!aParent) return 0;
  const TName name(sName);
  if (name.Names(*aParent)) {
    bFound = true;
    aXMLElement = const_cast<TVxXMLElement*>(aParent);
    return 0;
  }
  for (const TVxXMLElement* e = aParent->GetFirstChild(); e; e = NextInSubtree(e, aParent)) {
    if (!name.Names(*e)) continue;
    bFound = true;
    aXMLElement = const_cast<TVxXMLElement*>(e);
    AppendValue(*e, sValue);
    return 0;
  }
  return 0;
}

int32_t TCOMEp2InMessage::COMGetContainer(std::string_view sName, const TVxXMLElement* aParent,
                                          int iOccurence, bool bFindAny, bool& bFound,
                                          TVxXMLElement*& aXMLElement) const {
  std::string value;
  return COMFindElement(sName, aParent, iOccurence, false, bFindAny, bFound, value, aXMLElement);
}

int32_t TCOMEp2InMessage::COMGetElement(std::string_view sName, const TVxXMLElement* aParent,
                                        int iOccurence, bool bFindAny, TCOMFormatCheck fCheck,
                                        bool& bFound, std::string& sValue,
                                        TVxXMLElement*& aXMLElement) const {
  COMFindElement(sName, aParent, iOccurence, true, bFindAny, bFound, sValue, aXMLElement);
  return bFound ? fCheck(sValue) : 0;
}

int32_t TCOMEp2InMessage::COMGetElementB(std::string_view sName, const TVxXMLElement* aParent,
                                         int iOccurence, bool bDecode, bool bFindAny, bool& bFound,
                                         std::string& sValue, TVxXMLElement*& aXMLElement) const {
  COMFindElement(sName, aParent, iOccurence, true, bFindAny, bFound, sValue, aXMLElement);
  if (!bFound || !bDecode) return 0;
  // The bytes go through a buffer kept per thread and swapped with the
  // value, so that neither allocates once both have room.
  thread_local std::string bytes;
  const uint8_t rc = TUTBase64().DecodeData(sValue, bytes);
  sValue.swap(bytes);
  return rc == 0 ? 0 : COMcBase64ErrorB + rc;
}

int32_t TCOMEp2InMessage::COMGetElementCN(std::string_view sName, const TVxXMLElement* aParent,
                                          int iOccurence, bool bFindAny, bool& bFound,
                                          std::string& sValue, TVxXMLElement*& aXMLElement) const {
  COMFindElement(sName, aParent, iOccurence, true, bFindAny, bFound, sValue, aXMLElement);
  if (!bFound) return 0;
  std::string packed;
  const uint8_t rc = TUTBase64().DecodeData(sValue, packed);
  if (rc != 0) {
    sValue.swap(packed);
    return COMcBase64ErrorCN + rc;
  }
  const int expanded = TUTCompressedNumeric(0).UTCExpandCompNumericString(packed, sValue);
  return expanded == 0 ? 0 : COMcBase64ErrorCN + expanded;
}

}  // namespace kal
