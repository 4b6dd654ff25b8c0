#include "xml/XMLDOM.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "xml/NodeStore.h"
#include "xml/XMLBase.h"
#include "xml/XMLChars.h"
#include "xml/XMLReferences.h"
#include "xml/XMLStrings.h"

namespace kal {

namespace {

std::string Utf8(std::u16string_view s) {
  return UnicodeToShort(s, TEncoding::UTF_8, TByteOrder::boBigEndian, nullptr);
}

// text with its "%s" replaced by arg in UTF-8.
std::string Format(std::string_view text, std::u16string_view arg) {
  std::string out(text);
  const std::size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, Utf8(arg));
  return out;
}

[[noreturn]] void DomError(std::uint8_t code, std::string_view text) {
  throw EVxDOMException(code, text);
}

int ParserLine(const TVxXMLDocument* doc) {
  return doc && doc->GetParser() ? doc->GetParser()->GetLineNumber() : 0;
}

[[noreturn]] void NormalizeError(const TVxXMLDocument* doc, const std::string& msg) {
  throw EVxXMLParserError::CreateXMLError(msg, ParserLine(doc));
}

bool NeedsName(std::uint8_t nodeType);

std::u16string_view CheckedName(std::u16string_view tagName, std::uint8_t nodeType) {
  if (NeedsName(nodeType) && !IsValidName(tagName))
    DomError(5, Format("TVxXMLDocument.TVxXMLNode.Create(\"%s\"): invalid character(s) for name",
                       tagName));
  return tagName;
}

const std::u16string& EmptyName() {
  static const std::u16string kNoName;
  return kNoName;
}

// The arena allocation that the next node constructor may claim as its own
// (the last new (store) of this thread).
struct TArenaBirth {
  std::uintptr_t at = 0;
  std::size_t size = 0;
  TVxNodeStore* store = nullptr;
};
thread_local TArenaBirth tBirth;

bool NeedsName(std::uint8_t nodeType) {
  switch (nodeType) {
    case ntElement:
    case ntAttribute:
    case ntPI:
    case ntElementDecl:
    case ntAttDef:
    case ntEntity:
    case ntNotation:
    case ntDocumentType:
    case ntAttListDecl:
      return true;
    default:
      return false;
  }
}

std::u16string_view CheckedPITarget(std::u16string_view target) {
  if (!IsValidPIData(target))
    DomError(5, "TVxXMLDocument.createProcessingInstruction: invalid character for name");
  return target;
}

// The element that follows e in document order within the subtree of root,
// or null.
const TVxXMLElement* NextInSubtree(const TVxXMLElement* e, const TVxXMLElement* root) {
  if (const TVxXMLElement* child = e->GetFirstChild()) return child;
  while (e != root) {
    if (const TVxXMLElement* sibling = e->NextSibling()) return sibling;
    e = e->GetParent()->AsElement();
  }
  return nullptr;
}

// The normalisers of text, attribute values and entity values. The result
// is built apart from the node, so that an error leaves the node unchanged.
// In a text linked under an element, references that stay unresolved and
// the markup of resolved ones become nodes; then head holds the text before
// the first such node and tail the nodes (with the text between them) that
// follow it.
class TNormalizer {
 public:
  enum class Kind { Base, Text, Attr };

  TNormalizer(TVxXMLDocument* doc, Kind kind, bool collapse, bool makeNodes)
      : doc_(doc), kind_(kind), collapse_(collapse), makeNodes_(makeNodes) {}

  void Run(std::u16string_view v) {
    for (std::size_t i = 0; i < v.size(); ++i) {
      const char16_t c = v[i];
      const char16_t prev = i > 0 ? v[i - 1] : 0;
      switch (c) {
        case u'&': {
          const std::size_t semi = v.find(u';', i + 1);
          if (semi == std::u16string_view::npos)
            NormalizeError(doc_, kind_ == Kind::Attr
                                     ? "Illegal character in the attribute value '&'."
                                     : "Illegal character in the text value '&&'.");
          const std::u16string_view name = v.substr(i + 1, semi - i - 1);
          if (!IsReferenceName(name)) {
            // Not a reference at all: the "&" is kept as a character.
            Put(c);
            break;
          }
          Reference(name);
          i = semi;
          break;
        }
        case u'\r':
        case u'\t':
        case u' ':
          if (kind_ == Kind::Text)
            Put(c);
          else if (!(collapse_ && IsWhite(prev)))
            Put(u' ');
          break;
        case u'\n':
          if (kind_ == Kind::Text)
            Put(c);
          else if (prev != u'\r' && !(collapse_ && IsWhite(prev)))
            Put(u' ');
          break;
        case u'<':
          if (kind_ == Kind::Attr)
            NormalizeError(doc_, "Illegal character in the attribute value '<'.");
          Put(c);
          break;
        default:
          Put(c);
      }
    }
    FlushText();
  }

  std::u16string head;
  std::vector<std::unique_ptr<TVxXMLNode>> tail;

 private:
  void Put(char16_t c) { (inTail_ ? pending_ : head).push_back(c); }
  void Put(std::u16string_view s) { (inTail_ ? pending_ : head).append(s); }

  // Text between the nodes made; next is the node that follows (null at the
  // end). Blank text between spliced markup and markup or the end is
  // dropped, as the parser drops blank text between tags; next to a
  // reference node it stays, since the two read back as one text. A
  // reference node right behind spliced markup gets an empty text before
  // it, as the parser's text that begins with a reference has.
  void FlushText(const TVxXMLNode* next = nullptr) {
    bool blank = true;
    for (char16_t c : pending_) blank = blank && c <= u' ';
    const bool afterReference = !tail.empty() && tail.back()->GetType() == ntReference;
    const bool beforeReference = next && next->GetType() == ntReference;
    const bool afterMarkup = !tail.empty() && !afterReference && tail.back()->GetType() != ntText;
    if (pending_.empty() ? beforeReference && afterMarkup
                         : !blank || afterReference || beforeReference) {
      Made();
      tail.push_back(std::make_unique<TVxXMLText>(pending_, doc_, true));
    }
    pending_.clear();
  }

  // Nodes made from the markup of replacement text count against the
  // parse's bound; the parser tells them from those of the document's text.
  void Made() {
    if (TVxParserContext* parser = doc_ ? doc_->GetParser() : nullptr) parser->CountExpansionNode();
  }

  void PutNode(std::unique_ptr<TVxXMLNode> node) {
    Made();
    FlushText(node.get());
    inTail_ = true;
    tail.push_back(std::move(node));
  }

  void Reference(std::u16string_view name) {
    if (name[0] == u'#') {
      const char32_t cp = CharReferenceValue(name);
      if (cp != kNoCharacter)
        AppendCodePoint(inTail_ ? pending_ : head, cp);
      else
        Unresolved(std::make_unique<TVxCharReference>(name, doc_));
      return;
    }
    if (const char16_t c = PredefinedEntity(name)) {
      Put(c);
      return;
    }
    auto ref = std::make_unique<TVxGEntityReference>(name, doc_);
    if (ref->GetDestType() == 'D')
      NormalizeError(doc_,
                     kind_ == Kind::Attr
                         ? "Reference to an unparsed entity is not allowed in the attribute value."
                         : "Reference to an unparsed entity is not allowed in the character data.");
    if (kind_ == Kind::Attr && ref->GetDestType() == 'C')
      NormalizeError(doc_,
                     "Reference to an external entity is not allowed in the attribute value.");
    if (ref->GetDestType() == 'F' || !ref->Retrieve()) {
      Unresolved(std::move(ref));
      return;
    }
    const std::u16string_view value = ref->GetValue();
    if (makeNodes_ && value.find(u'<') != std::u16string::npos &&
        value.find(u'>') != std::u16string::npos) {
      const std::unique_ptr<TVxXMLDocument> fragment = ref->ParseReference();
      if (TVxXMLElement* root = fragment ? fragment->GetDocumentElement() : nullptr) {
        // The copies are made for this document, in its store: a copy made
        // for the fragment would keep the fragment's whole store alive.
        root->SetDocument(doc_);
        // The markup's text joins the text around it, as it does when the
        // document is written and read again.
        for (const TVxXMLNode* n = root->GetFirstNode(); n; n = n->Next()) {
          if (n->GetType() == ntText)
            Put(n->GetValue());
          else if (n->GetType() != ntAttribute)
            PutNode(n->CloneNode());
        }
        return;
      }
    }
    Put(value);
  }

  // A reference that stays as written: a node of its own in linked text,
  // otherwise its text.
  void Unresolved(std::unique_ptr<TVxCustomReference> ref) {
    if (makeNodes_) {
      ref->SetValue(u"");
      PutNode(std::move(ref));
      return;
    }
    Put(u'&');
    Put(ref->GetName());
    Put(u';');
  }

  TVxXMLDocument* doc_;
  Kind kind_;
  bool collapse_;
  bool makeNodes_;
  bool inTail_ = false;
  std::u16string pending_;
};

}  // namespace

// ---------------------------------------------------------------------------
// Destruction

void DestroyChain(TVxXMLNode* first) {
  if (!first) return;
  std::vector<TVxXMLNode*> chains{first};
  while (!chains.empty()) {
    TVxXMLNode* node = chains.back();
    chains.pop_back();
    while (node) {
      TVxXMLNode* next = node->FNext;
      node->ReleaseOwned(chains);
      node->FList = nullptr;
      node->FNext = node->FPrev = nullptr;
      delete node;
      node = next;
    }
  }
}

// ---------------------------------------------------------------------------
// TVxXMLNode

namespace {

constexpr std::uint8_t kInArena = 1;   // the node's memory is in FNodeStore's arena
constexpr std::uint8_t kOwnStore = 2;  // FNodeStore holds the name of a node without document

}  // namespace

// The store a new node uses and how. The node at node claims the arena
// allocation it was made in (whose user it already is); otherwise it
// becomes a user of its document's store, or of a store of its own for a
// name without document. The document itself (owner is the node) has no
// store of its own yet and needs none: its name is empty.
// The fields pack without holes (the value's tail holds the type and flags).
static_assert(sizeof(void*) != 8 || sizeof(TVxXMLNode) == 72);
static_assert(sizeof(void*) != 8 || sizeof(TVxXMLElement) == 96);

struct TVxXMLNode::TPlace {
  TVxNodeStore* store = nullptr;
  std::uint8_t flags = 0;
  bool document;  // the node is its owner, a document being made

  TPlace(const void* node, std::u16string_view name, TVxXMLDocument* owner, bool isOwner)
      : document(isOwner) {
    const auto at = reinterpret_cast<std::uintptr_t>(node);
    if (tBirth.store && at >= tBirth.at && at < tBirth.at + tBirth.size) {
      store = tBirth.store;
      flags = kInArena;
      tBirth = {};
    } else if (owner && !isOwner) {
      store = &owner->Store();
      store->AddRef();
    } else if (!name.empty()) {
      store = TVxNodeStore::Create();
      flags = kOwnStore;
    }
  }
};

TVxXMLNode::TVxXMLNode(std::u16string_view tagName, std::uint8_t nodeType, TVxXMLDocument* owner)
    : TVxXMLNode(CheckedName(tagName, nodeType), nodeType, owner, TCheckedName{}) {}

TVxXMLNode::TVxXMLNode(std::u16string_view tagName, std::uint8_t nodeType, TVxXMLDocument* owner,
                       TCheckedName checked)
    : TVxXMLNode(tagName, nodeType, owner,
                 TPlace(this, tagName, owner,
                        static_cast<const void*>(owner) == static_cast<const void*>(this)),
                 checked.interned) {}

TVxXMLNode::TVxXMLNode(std::u16string_view tagName, std::uint8_t nodeType, TVxXMLDocument* owner,
                       const TPlace& place, const std::u16string* interned)
    : FDocument(owner, place.document),
      FNodeStore(place.store),
      FNodeName(tagName.empty() ? EmptyName()
                : interned      ? *interned
                                : place.store->Intern(tagName)),
      FNodeType(nodeType),
      FFlags(place.flags) {}

TVxXMLNode::~TVxXMLNode() {
  if (FList) FList->Unlink(this);
  if (FNodeValue.OnHeap()) delete FNodeValue.heap_;
  // A node in the arena lets its store go once its memory is no longer
  // used (operator delete).
  if (FNodeStore && !(FFlags & kInArena)) FNodeStore->Release();
}

// Not inlined, so that the compiler pairs these with the class's delete.
[[gnu::noinline]] void* TVxXMLNode::operator new(std::size_t size) {
  return ::operator new(size);
}

[[gnu::noinline]] void* TVxXMLNode::operator new(std::size_t size, TVxNodeStore& store) {
  void* p = store.Allocate(size);
  store.AddRef();
  tBirth = {reinterpret_cast<std::uintptr_t>(p), size, &store};
  return p;
}

[[gnu::noinline]] void TVxXMLNode::operator delete(TVxXMLNode* node,
                                                   std::destroying_delete_t) noexcept {
  void* block = dynamic_cast<void*>(node);
  TVxNodeStore* arena = node->FFlags & kInArena ? node->FNodeStore : nullptr;
  node->~TVxXMLNode();
  if (arena)
    arena->Release();
  else
    ::operator delete(block);
}

[[gnu::noinline]] void TVxXMLNode::operator delete(void* p) noexcept {
  ::operator delete(p);
}

void TVxXMLNode::operator delete(void*, TVxNodeStore& store) noexcept {
  tBirth = {};
  store.Release();
}

TVxNodeStore* TVxXMLNode::ValueArena() const {
  return FFlags & kOwnStore ? nullptr : FNodeStore;
}

void TVxXMLNode::SetValue(std::u16string_view value) {
  TVxNodeValue& v = FNodeValue;
  if (v.OnHeap()) {
    v.heap_->assign(value.data(), value.size());
    return;
  }
  if (value.size() <= v.cap_) {
    // value may overlap the current one.
    if (!value.empty())
      std::memmove(const_cast<char16_t*>(v.chars_), value.data(), value.size() * sizeof(char16_t));
    v.size_ = static_cast<std::uint32_t>(value.size());
    return;
  }
  TVxNodeStore* arena = ValueArena();
  if (arena && v.cap_ == 0 && value.size() <= kArenaValueMax) {
    // Whole units of the arena's alignment (8 bytes).
    const std::size_t cap = (value.size() + 3) & ~std::size_t{3};
    auto* chars = static_cast<char16_t*>(arena->Allocate(cap * sizeof(char16_t)));
    std::memcpy(chars, value.data(), value.size() * sizeof(char16_t));
    v.chars_ = chars;
    v.size_ = static_cast<std::uint32_t>(value.size());
    v.cap_ = static_cast<std::uint16_t>(cap);
    return;
  }
  v.heap_ = new std::u16string(value);
  v.cap_ = TVxNodeValue::kOnHeap;
}

void TVxXMLNode::KeepArenaValue(const char16_t* chars, std::size_t size, std::size_t cap) {
  TVxNodeValue& v = FNodeValue;
  v.chars_ = chars;
  v.size_ = static_cast<std::uint32_t>(size);
  v.cap_ = static_cast<std::uint16_t>(cap);
}

void TVxXMLNode::TakeValue(std::u16string&& value) {
  TVxNodeValue& v = FNodeValue;
  if (v.OnHeap()) {
    *v.heap_ = std::move(value);
  } else if (value.size() <= v.cap_ ||
             (v.cap_ == 0 && value.size() <= kArenaValueMax && ValueArena())) {
    SetValue(value);
  } else {
    v.heap_ = new std::u16string(std::move(value));
    v.cap_ = TVxNodeValue::kOnHeap;
  }
}

TVxXMLNode* TVxXMLNode::NextSibling() const {
  for (TVxXMLNode* n = FNext; n; n = n->FNext)
    if (n->FNodeType == FNodeType) return n;
  return nullptr;
}

std::unique_ptr<TVxXMLNode> TVxXMLNode::CloneNode() const {
  auto clone = std::make_unique<TVxXMLNode>(FNodeName, FNodeType, FDocument);
  clone->SetValue(GetValue());
  return clone;
}

void TVxXMLNode::Normalize() {
  TNormalizer n(FDocument, TNormalizer::Kind::Base, false, false);
  n.Run(GetValue());
  TakeValue(std::move(n.head));
}

void TVxXMLNode::ReleaseOwned(std::vector<TVxXMLNode*>&) {}

void TVxXMLNode::ReleaseList(TVxNodeList& list, std::vector<TVxXMLNode*>& chains) {
  if (TVxXMLNode* first = list.ReleaseChain()) chains.push_back(first);
}

// ---------------------------------------------------------------------------
// TVxOwnerDocument

TVxOwnerDocument::TVxOwnerDocument(TVxXMLDocument* doc, bool isDocument)
    : cell_(isDocument ? new TVxDocumentCell{doc, 2} : Share(doc)) {}

TVxOwnerDocument& TVxOwnerDocument::operator=(TVxXMLDocument* doc) {
  TVxDocumentCell* cell = Share(doc);
  Let(cell_);
  cell_ = cell;
  return *this;
}

TVxDocumentCell* TVxOwnerDocument::Share(TVxXMLDocument* doc) {
  if (!doc) return nullptr;
  TVxDocumentCell* cell = doc->FCell;
  ++cell->users;
  return cell;
}

// ---------------------------------------------------------------------------
// TVxNodeList

TVxNodeList::TVxNodeList(TVxXMLDocument* owner, TVxXMLNode* parent)
    : FUp(parent  ? reinterpret_cast<std::uintptr_t>(parent)
          : owner ? reinterpret_cast<std::uintptr_t>(TVxOwnerDocument::Share(owner)) | kOwnerBit
                  : 0) {}

TVxNodeList::~TVxNodeList() {
  DestroyChain(ReleaseChain());
  if (FUp & kOwnerBit) TVxOwnerDocument::Let(reinterpret_cast<TVxDocumentCell*>(FUp & ~kOwnerBit));
}

TVxXMLNode* TVxNodeList::ReleaseChain() {
  TVxXMLNode* first = Froot;
  Froot = FLast = nullptr;
  return first;
}

TVxXMLNode* TVxNodeList::GetRoot(std::uint8_t nType) const {
  if (nType == 0) return Froot;
  for (TVxXMLNode* n = Froot; n; n = n->FNext)
    if (n->FNodeType == nType) return n;
  return nullptr;
}

void TVxNodeList::CheckFree(TVxXMLNode* newChild, const char* op, bool nameInText) const {
  // The message prefix is made only when there is an error: this check runs
  // for every node the parser links.
  const auto prefix = [op] { return std::string("TVxNodeList.") + op; };
  if (!newChild) DomError(12, prefix() + ": the new child is nil");
  if (newChild->FList) {
    if (nameInText)
      DomError(10, Format("TNamedNodeMap.setNamedItem: attribute \"%s\" already in use (use clone)",
                          newChild->FNodeName));
    DomError(10, prefix() + ": attribute already in use (use clone)");
  }
  // A container may not end up below itself. Only one with content can be
  // an ancestor of the list's parent, so an empty one is not walked up from.
  if (newChild->AsElement() || newChild->FNodeType == ntDocument) {
    const bool content = static_cast<const TVxContainer*>(newChild)->GetFirstNode() != nullptr;
    for (const TVxXMLNode* p = GetParent(); p; p = content ? p->GetParent() : nullptr)
      if (p == newChild) DomError(3, prefix() + ": a node cannot be linked below itself");
  }
}

void TVxNodeList::CheckRef(TVxXMLNode* refChild, const char* op) const {
  if (refChild->FList != this)
    DomError(8, std::string("TVxNodeList.") + op + ": the reference child is not in the list");
}

void TVxNodeList::Link(TVxXMLNode* node, TVxXMLNode* prev, TVxXMLNode* next) {
  node->FPrev = prev;
  node->FNext = next;
  (prev ? prev->FNext : Froot) = node;
  (next ? next->FPrev : FLast) = node;
  node->FList = this;
  TVxXMLDocument* owner = GetOwner();
  if (owner && node->FDocument != owner) {
    if (TVxXMLElement* element = node->AsElement())
      element->SetDocument(owner);
    else
      node->FDocument = owner;
  }
}

void TVxNodeList::Unlink(TVxXMLNode* node) {
  (node->FPrev ? node->FPrev->FNext : Froot) = node->FNext;
  (node->FNext ? node->FNext->FPrev : FLast) = node->FPrev;
  node->FNext = node->FPrev = nullptr;
  node->FList = nullptr;
}

TVxXMLNode* TVxNodeList::AppendChild(TVxXMLNode* newChild) {
  CheckFree(newChild, "appendChild", true);
  Link(newChild, FLast, nullptr);
  return newChild;
}

TVxXMLNode* TVxNodeList::InsertBefore(TVxXMLNode* newChild, TVxXMLNode* refChild) {
  CheckFree(newChild, "insertBefore", false);
  if (!refChild) {
    Link(newChild, FLast, nullptr);
  } else {
    CheckRef(refChild, "insertBefore");
    Link(newChild, refChild->FPrev, refChild);
  }
  return newChild;
}

TVxXMLNode* TVxNodeList::InsertAfter(TVxXMLNode* newChild, TVxXMLNode* refChild) {
  CheckFree(newChild, "insertAfter", false);
  if (!refChild) {
    Link(newChild, FLast, nullptr);
  } else {
    CheckRef(refChild, "insertAfter");
    Link(newChild, refChild, refChild->FNext);
  }
  return newChild;
}

std::unique_ptr<TVxXMLNode> TVxNodeList::RemoveChild(TVxXMLNode* oldChild) {
  if (!oldChild || (oldChild->FList && oldChild->FList != this))
    DomError(12, "TVxNodeList.RemoveChildNode: you are trying to remove not existing child");
  if (!oldChild->FList)
    DomError(12, "TVxNodeList.RemoveChildNode: you are trying to remove child out of list.");
  Unlink(oldChild);
  return std::unique_ptr<TVxXMLNode>(oldChild);
}

std::unique_ptr<TVxXMLNode> TVxNodeList::RemoveChild(std::u16string_view name, std::uint8_t nType) {
  return RemoveChild(GetChild(name, nType));
}

TVxXMLNode* TVxNodeList::GetChild(std::u16string_view name, std::uint8_t nType) const {
  for (TVxXMLNode* n = GetRoot(nType); n; n = n->NextSibling())
    if (XMLCompareText(n->FNodeName, name) == 0) return n;
  return nullptr;
}

TVxXMLNode* TVxNodeList::Item(int index, std::uint8_t nType) const {
  TVxXMLNode* n = GetRoot(nType);
  for (int i = 1; n && i < index; ++i) n = n->NextSibling();
  return n;
}

int TVxNodeList::Length() const {
  int count = 0;
  for (TVxXMLNode* n = Froot; n; n = n->NextSibling()) ++count;
  return count;
}

// ---------------------------------------------------------------------------
// Character data

void TVxCharacterData::AppendData(std::u16string_view arg) {
  std::u16string v;
  v.reserve(Length() + arg.size());
  v.append(GetValue()).append(arg);
  TakeValue(std::move(v));
}

void TVxCharacterData::InsertData(int offset, std::u16string_view arg) {
  if (offset < 0 || offset > Length() - 1)
    DomError(1, "TVxCharacterData.insertData: invalid offset value");
  std::u16string v(GetValue());
  v.insert(static_cast<std::size_t>(offset), arg);
  TakeValue(std::move(v));
}

void TVxCharacterData::DeleteData(int offset, int count) {
  if (offset < 0 || offset > Length() - 1 || count < 0)
    DomError(1, "TVxCharacterData.deleteData: invalid offset/count values");
  std::u16string v(GetValue());
  v.erase(static_cast<std::size_t>(offset), static_cast<std::size_t>(count));
  TakeValue(std::move(v));
}

std::u16string TVxCharacterData::SubstringData(int offset, int count) const {
  if (offset < 0 || offset > Length() - 1 || count < 0)
    DomError(1, "TVxCharacterData.substring: invalid offset/count values");
  return std::u16string(
      GetValue().substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(count)));
}

void TVxCharacterData::ReplaceData(int offset, int count, std::u16string_view arg) {
  if (offset < 0 || offset > Length() - 1 || count < 0)
    DomError(1, "TVxCharacterData.deleteData: invalid offset/count values");
  std::u16string v(GetValue());
  v.replace(static_cast<std::size_t>(offset), static_cast<std::size_t>(count), arg);
  TakeValue(std::move(v));
}

TVxXMLText::TVxXMLText(std::u16string_view data, TVxXMLDocument* owner)
    : TVxCharacterData(u"", ntText, owner) {
  TakeValue(CharsToReference(data));
}

TVxXMLText::TVxXMLText(std::u16string_view data, TVxXMLDocument* owner, bool)
    : TVxCharacterData(u"", ntText, owner) {
  SetValue(data);
}

std::unique_ptr<TVxXMLText> TVxXMLText::Take(std::u16string&& data, TVxXMLDocument* owner) {
  auto text = std::unique_ptr<TVxXMLText>(
      owner ? new (owner->Store()) TVxXMLText(std::u16string_view(), owner, true)
            : new TVxXMLText(std::u16string_view(), owner, true));
  text->TakeValue(std::move(data));
  return text;
}

TVxXMLText* TVxXMLText::InArena(TVxXMLDocument& owner, const char16_t* chars, std::size_t size,
                                std::size_t cap) {
  auto* text = new (owner.Store()) TVxXMLText(std::u16string_view(), &owner, true);
  text->KeepArenaValue(chars, size, cap);
  return text;
}

TVxXMLText::TVxXMLText(std::u16string_view data, std::uint8_t nodeType, TVxXMLDocument* owner)
    : TVxCharacterData(u"", nodeType, owner) {
  SetValue(data);
}

std::unique_ptr<TVxXMLNode> TVxXMLText::CloneNode() const {
  return std::make_unique<TVxXMLText>(GetValue(), FDocument, true);
}

void TVxXMLText::Normalize() {
  if (GetValue().find(u'&') == std::u16string_view::npos) return;
  TVxNodeList* list = GetList();
  TNormalizer n(FDocument, TNormalizer::Kind::Text, false,
                list && GetParent() && GetParent()->AsElement());
  n.Run(GetValue());
  TakeValue(std::move(n.head));
  TVxXMLNode* after = this;
  for (auto& node : n.tail) after = list->InsertAfter(node.release(), after);
}

TVxXMLCData::TVxXMLCData(std::u16string_view data, TVxXMLDocument* owner)
    : TVxXMLText(data, ntCData, owner) {}

std::unique_ptr<TVxXMLNode> TVxXMLCData::CloneNode() const {
  return std::make_unique<TVxXMLCData>(GetValue(), FDocument);
}

TVxXMLComment::TVxXMLComment(std::u16string_view data, TVxXMLDocument* owner)
    : TVxXMLText(data, ntComment, owner) {}

std::unique_ptr<TVxXMLNode> TVxXMLComment::CloneNode() const {
  return std::make_unique<TVxXMLComment>(GetValue(), FDocument);
}

TVxXMLPi::TVxXMLPi(std::u16string_view target, std::u16string_view data, TVxXMLDocument* owner)
    : TVxXMLNode(CheckedPITarget(target), ntPI, owner) {
  SetValue(data);
}

std::unique_ptr<TVxXMLNode> TVxXMLPi::CloneNode() const {
  return std::make_unique<TVxXMLPi>(FNodeName, GetValue(), FDocument);
}

// ---------------------------------------------------------------------------
// TVxXMLAttr

TVxXMLAttr::TVxXMLAttr(std::u16string_view name, std::u16string_view value, TVxXMLDocument* owner,
                       bool standardAttribute)
    : TVxXMLNode(name, ntAttribute, owner), StdAttrib(standardAttribute) {
  TakeValue(CharsToReference(value));
  Normalize();
}

TVxXMLAttr::TVxXMLAttr(std::u16string_view name, std::u16string_view value, TVxXMLDocument* owner,
                       bool standardAttribute, bool)
    : TVxXMLNode(name, ntAttribute, owner), StdAttrib(standardAttribute) {
  SetValue(value);
  Normalize();
}

TVxXMLAttr::TVxXMLAttr(std::u16string_view name, std::u16string value, TVxXMLDocument* owner,
                       Unnormalized)
    : TVxXMLNode(name, ntAttribute, owner) {
  TakeValue(std::move(value));
}

TVxXMLAttr::TVxXMLAttr(std::u16string_view name, std::u16string_view value, TVxXMLDocument* owner,
                       TCheckedName checked)
    : TVxXMLNode(name, ntAttribute, owner, checked) {
  SetValue(value);
}

char TVxXMLAttr::GetAttrType() const {
  TVxXMLNode* parent = GetParent();
  if (!parent || !parent->AsElement() || !FDocument) return ':';
  const TVxDeclarations* decls = FDocument->GetDeclarations();
  return decls ? decls->GetAttrType(parent->GetName(), FNodeName) : ':';
}

std::unique_ptr<TVxXMLNode> TVxXMLAttr::CloneNode() const {
  return std::unique_ptr<TVxXMLNode>(
      new TVxXMLAttr(FNodeName, std::u16string(GetValue()), FDocument, Unnormalized{}));
}

void TVxXMLAttr::Normalize() {
  const bool collapse = GetAttrType() != ':';
  const std::u16string_view v = GetValue();
  if (!collapse && std::none_of(v.begin(), v.end(), [](char16_t c) {
        return c == u'&' || c == u'<' || c == u'\t' || c == u'\r' || c == u'\n';
      }))
    return;
  TNormalizer n(FDocument, TNormalizer::Kind::Attr, collapse, false);
  const std::u16string trimmed = collapse ? XMLTrim(v) : std::u16string();
  n.Run(collapse ? std::u16string_view(trimmed) : v);
  // Blanks that references bring to either end of a tokenised value go too.
  TakeValue(collapse ? XMLTrim(n.head) : std::move(n.head));
}

// ---------------------------------------------------------------------------
// TVxContainer

TVxContainer::TVxContainer(std::u16string_view tagName, std::uint8_t nodeType,
                           TVxXMLDocument* owner)
    : TVxXMLNode(tagName, nodeType, owner), FDataList(owner, this) {}

TVxContainer::TVxContainer(std::u16string_view tagName, std::uint8_t nodeType,
                           TVxXMLDocument* owner, TCheckedName checked)
    : TVxXMLNode(tagName, nodeType, owner, checked), FDataList(owner, this) {}

void TVxContainer::ReleaseOwned(std::vector<TVxXMLNode*>& chains) {
  ReleaseList(FDataList, chains);
}

std::u16string TVxContainer::GetAttribute(std::u16string_view name) const {
  const TVxXMLNode* attr = FDataList.GetChild(name, ntAttribute);
  return attr ? attr->GetValue() : std::u16string();
}

TVxXMLAttr* TVxContainer::GetAttributeNode(std::u16string_view name) const {
  return dynamic_cast<TVxXMLAttr*>(FDataList.GetChild(name, ntAttribute));
}

TVxXMLAttr* TVxContainer::GetFirstAttribute() const {
  return dynamic_cast<TVxXMLAttr*>(FDataList.GetRoot(ntAttribute));
}

void TVxContainer::SetAttribute(std::u16string_view name, std::u16string_view value) {
  if (TVxXMLAttr* attr = GetAttributeNode(name)) {
    // The escaped value holds no "<" and only predefined references, so
    // normalising it cannot fail.
    attr->TakeValue(CharsToReference(value));
    attr->Normalize();
    return;
  }
  auto attr = std::unique_ptr<TVxXMLAttr>(
      new TVxXMLAttr(name, CharsToReference(value), FDocument, TVxXMLAttr::Unnormalized{}));
  FDataList.AppendChild(attr.get());
  attr.release()->Normalize();
}

void TVxContainer::FSetAttribute(std::u16string_view name, std::u16string_view value) {
  if (TVxXMLAttr* attr = GetAttributeNode(name)) {
    std::u16string old(attr->GetValue());
    attr->SetValue(value);
    try {
      attr->Normalize();
    } catch (...) {
      attr->TakeValue(std::move(old));
      throw;
    }
    return;
  }
  AppendAttribute(name, value);
}

TVxXMLAttr* TVxContainer::AppendAttribute(std::u16string_view name, std::u16string_view value) {
  if (FDocument) return AppendAttribute(CheckedName(name, ntAttribute), value, TCheckedName{});
  return LinkAttribute(std::unique_ptr<TVxXMLAttr>(
      new TVxXMLAttr(name, std::u16string(value), FDocument, TVxXMLAttr::Unnormalized{})));
}

TVxXMLAttr* TVxContainer::AppendAttribute(std::u16string_view name, std::u16string_view value,
                                          TCheckedName checked) {
  return LinkAttribute(std::unique_ptr<TVxXMLAttr>(
      new (FDocument->Store()) TVxXMLAttr(name, value, FDocument, checked)));
}

TVxXMLAttr* TVxContainer::LinkAttribute(std::unique_ptr<TVxXMLAttr> attr) {
  FDataList.AppendChild(attr.get());
  try {
    attr->Normalize();
  } catch (...) {
    FDataList.RemoveChild(attr.get()).release();
    throw;
  }
  return attr.release();
}

TVxXMLAttr* TVxContainer::SetAttributeNode(TVxXMLAttr* newAttr) {
  if (FDataList.GetChild(newAttr->GetName(), ntAttribute))
    DomError(15,
             Format("TVxContainer.setAttributeNode: element already contains the attribute \"%s\"",
                    newAttr->GetName()));
  if (newAttr->GetList()) DomError(10, "TVxContainer.setAttributeNode: attribute already in use");
  if (newAttr->GetOwnerDocument() != FDocument)
    DomError(4, "TVxContainer.setAttributeNode: wrong document in attribute node");
  FDataList.AppendChild(newAttr);
  return newAttr;
}

TVxXMLComment* TVxContainer::SetComment(TVxXMLComment* comment) {
  FDataList.AppendChild(comment);
  return comment;
}

TVxXMLPi* TVxContainer::SetPI(TVxXMLPi* pi) {
  FDataList.AppendChild(pi);
  return pi;
}

void TVxContainer::GetTypeList(TVxNodeList& list, std::uint8_t nType) const {
  for (const TVxXMLNode* n = FDataList.GetFirst(); n; n = n->Next())
    if (n->GetType() == nType) list.AppendChild(n->CloneNode().release());
}

// ---------------------------------------------------------------------------
// TVxXMLElement

TVxXMLElement::TVxXMLElement(std::u16string_view tagName, TVxXMLDocument* owner)
    : TVxContainer(tagName, ntElement, owner) {}

TVxXMLElement::TVxXMLElement(std::u16string_view tagName, TVxXMLDocument* owner,
                             TCheckedName checked)
    : TVxContainer(tagName, ntElement, owner, checked) {}

TVxXMLElement* TVxXMLElement::GetFirstChild() const {
  for (TVxXMLNode* n = FDataList.GetFirst(); n; n = n->Next())
    if (n->GetType() == ntElement)
      if (TVxXMLElement* e = n->AsElement()) return e;
  return nullptr;
}

TVxXMLElement* TVxXMLElement::NextSibling() const {
  for (TVxXMLNode* n = Next(); n; n = n->Next())
    if (n->GetType() == ntElement)
      if (TVxXMLElement* e = n->AsElement()) return e;
  return nullptr;
}

void TVxXMLElement::GetChildren(TVxNodeList& list) const {
  for (const TVxXMLElement* e = GetFirstChild(); e; e = e->NextSibling())
    list.AppendChild(e->CloneNode().release());
}

std::unique_ptr<TVxXMLText> TVxXMLElement::SetCharData(TVxXMLText* data) {
  FDataList.AppendChild(data);
  data->Normalize();
  for (char16_t c : data->GetValue())
    if (c > u' ') return nullptr;
  // Blank text stays before a reference node, which is written back as a
  // reference: the two read back as one text. Before the nodes of spliced
  // markup it goes, as the parser drops blank text between tags.
  if (data->Next() && data->Next()->GetType() == ntReference) return nullptr;
  FDataList.Unlink(data);
  return std::unique_ptr<TVxXMLText>(data);
}

TVxXMLText* TVxXMLElement::GetFirstCharData() const {
  for (TVxXMLNode* n = FDataList.GetFirst(); n; n = n->Next())
    if (n->GetType() == ntText) return dynamic_cast<TVxXMLText*>(n);
  return nullptr;
}

TVxXMLCData* TVxXMLElement::SetCData(TVxXMLCData* data) {
  FDataList.AppendChild(data);
  return data;
}

std::unique_ptr<TVxNodeList> TVxXMLElement::GetElementsByTagName(std::u16string_view name) const {
  auto list = std::make_unique<TVxNodeList>(FDocument, const_cast<TVxXMLElement*>(this));
  for (const TVxXMLElement* e = this; e; e = NextInSubtree(e, this))
    if (e->FNodeName == name) list->AppendChild(e->CloneNode().release());
  return list;
}

std::unique_ptr<TVxNodeList> TVxXMLElement::GetAttributesByType(char aType) const {
  auto list = std::make_unique<TVxNodeList>(FDocument, const_cast<TVxXMLElement*>(this));
  // The declared type of each pair of element and attribute name, looked up
  // once: names are interned per document, so equal names mostly share one
  // string, and a pair met again costs a short search instead of a walk of
  // the declarations.
  struct Known {
    const std::u16string* element;
    const std::u16string* attr;
    char type;
  };
  std::vector<Known> known;
  constexpr std::size_t kMaxKnown = 64;
  for (const TVxXMLElement* e = this; e; e = NextInSubtree(e, this))
    for (const TVxXMLNode* n = e->FDataList.GetRoot(ntAttribute); n; n = n->NextSibling()) {
      const auto* attr = dynamic_cast<const TVxXMLAttr*>(n);
      if (!attr) continue;
      char type = 0;
      for (const Known& k : known)
        if (k.element == &e->GetName() && k.attr == &n->GetName()) {
          type = k.type;
          break;
        }
      if (!type) {
        type = attr->GetAttrType();
        if (known.size() < kMaxKnown) known.push_back({&e->GetName(), &n->GetName(), type});
      }
      if (type == aType) list->AppendChild(attr->CloneNode().release());
    }
  return list;
}

std::unique_ptr<TVxXMLNode> TVxXMLElement::CloneNode() const {
  auto top = std::make_unique<TVxXMLElement>(FNodeName, FDocument);
  top->SetValue(GetValue());
  std::vector<std::pair<const TVxXMLElement*, TVxXMLElement*>> work{{this, top.get()}};
  while (!work.empty()) {
    const auto [from, to] = work.back();
    work.pop_back();
    for (const TVxXMLNode* n = from->FDataList.GetFirst(); n; n = n->Next()) {
      if (const TVxXMLElement* child = n->AsElement()) {
        auto copy = new TVxXMLElement(child->FNodeName, child->FDocument);
        copy->SetValue(child->GetValue());
        to->FDataList.Link(copy, to->FDataList.FLast, nullptr);
        work.emplace_back(child, copy);
      } else {
        to->FDataList.Link(n->CloneNode().release(), to->FDataList.FLast, nullptr);
      }
    }
  }
  return top;
}

void TVxXMLElement::SetDocument(TVxXMLDocument* doc) {
  std::vector<TVxXMLElement*> work{this};
  while (!work.empty()) {
    TVxXMLElement* e = work.back();
    work.pop_back();
    e->FDocument = doc;
    for (TVxXMLNode* n = e->FDataList.GetFirst(); n; n = n->Next()) {
      if (TVxXMLElement* child = n->AsElement())
        work.push_back(child);
      else
        n->FDocument = doc;
    }
  }
}

void TVxXMLElement::InsertElementContent(const TVxXMLElement& el) {
  for (const TVxXMLNode* n = el.FDataList.GetFirst(); n; n = n->Next())
    if (n->GetType() != ntAttribute) FDataList.AppendChild(n->CloneNode().release());
}

// ---------------------------------------------------------------------------
// TVxXMLDocument

bool TDOMImplementation::HasFeature(std::u16string_view, std::u16string_view version) const {
  for (const TVxXMLNode* n = FDocument->GetFirstNode(); n; n = n->Next())
    if (n->GetType() == ntAttribute && n->GetValue() == version) return true;
  return false;
}

TVxXMLDocument::TVxXMLDocument()
    : TVxContainer(u"", ntDocument, this),
      FCell(FDocument.cell_),
      FStore(TVxNodeStore::Create()),
      FDomImplementation(this) {
  AddVersion();
}

TVxXMLDocument::~TVxXMLDocument() {
  // Nodes and lists that outlive the document find none from here on.
  FCell->doc = nullptr;
  TVxOwnerDocument::Let(FCell);
  // The nodes still linked hold the store until they go with the list.
  FStore->Release();
}

void TVxXMLDocument::AddVersion() {
  FDataList.AppendChild(new TVxXMLAttr(u"version", u"1.0", this, true));
}

void TVxXMLDocument::SetEncoding(std::u16string_view encoding) {
  const TEncoding cp = StringToEncoding(encoding);
  if (cp == TEncoding::n_sup)
    throw EVxXMLParserError::CreateWithFileName(
        Format("Encoding '%s' is not supported in this version of XMLParser.", encoding),
        FParser ? FParser->GetFileName() : std::string(), FParser ? FParser->GetLineNumber() : 0);
  if (TVxXMLAttr* attr = GetAttributeNode(u"encoding")) {
    attr->SetValue(encoding);
  } else {
    auto created = std::make_unique<TVxXMLAttr>(u"encoding", encoding, this, true);
    created->SetValue(encoding);
    FDataList.InsertAfter(created.get(), GetAttributeNode(u"version"));
    created.release();
  }
  FEncoding = cp;
}

void TVxXMLDocument::SetStandalone(bool standalone) {
  SetAttribute(u"standalone", standalone ? u"yes" : u"no");
}

bool TVxXMLDocument::GetStandalone() const {
  return XMLCompareText(GetAttribute(u"standalone"), u"yes") == 0;
}

TVxXMLElement* TVxXMLDocument::SetDocumentElement(TVxXMLElement* element) {
  if (GetDocumentElement())
    DomError(5, "TVxXMLDocument.setDocumentElement: DocumentElement alredy exists");
  FDataList.AppendChild(element);
  return element;
}

TVxXMLElement* TVxXMLDocument::GetDocumentElement() const {
  for (TVxXMLNode* n = FDataList.GetFirst(); n; n = n->Next())
    if (n->GetType() == ntElement)
      if (TVxXMLElement* e = n->AsElement()) return e;
  return nullptr;
}

TVxXMLNode* TVxXMLDocument::SetDocumentType(TVxXMLNode* dtd) {
  return FDataList.InsertBefore(dtd, GetDocumentElement());
}

TVxDeclarations* TVxXMLDocument::GetDeclarations() const {
  return dynamic_cast<TVxDeclarations*>(GetDocumentType());
}

void TVxXMLDocument::Clear() {
  DestroyChain(FDataList.ReleaseChain());
  SetIdList(nullptr);
  // The arena is reused unless nodes taken out of the document still use it.
  if (FStore->Shared()) {
    FStore->Release();
    FStore = TVxNodeStore::Create();
  } else {
    FStore->Reset();
  }
  AddVersion();
  FEncoding = TEncoding::US_ASCII;
}

void TVxXMLDocument::SetIdList(std::unique_ptr<TVxNodeList> list) {
  IdList = std::move(list);
  FIdCounts.clear();
  if (!IdList) return;
  for (const TVxXMLNode* n = IdList->GetFirst(); n; n = n->Next()) ++FIdCounts[n->GetValue()];
}

int TVxXMLDocument::IdCount(std::u16string_view value) const {
  const auto it = FIdCounts.find(std::u16string(value));
  return it == FIdCounts.end() ? 0 : it->second;
}

}  // namespace kal
