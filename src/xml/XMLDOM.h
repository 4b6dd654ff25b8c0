#pragma once

// The document model: a tree of typed nodes holding 16-bit strings. Every
// container keeps its attributes, child elements, text, CDATA sections,
// comments and processing instructions together in one list, in insertion
// order, told apart by the node type. There are no namespaces: "ep2:Message"
// is one name.
//
// Ownership: a list owns the chain of nodes linked into it, a container owns
// its list, and a node that is in no list belongs to whoever created or
// removed it. Names are interned in the node store of the document a node is
// created for (NodeStore.h), and values are kept in that store's arena; the
// parser takes its nodes from the arena too. Either way a node keeps the
// store alive, so it may outlive its document (it then belongs to none) and
// move between documents.
// Calls that take a node pointer take ownership only when they succeed;
// calls that hand a node back return std::unique_ptr. Destruction is
// iterative, so long sibling chains and deep trees cannot exhaust the stack.

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "xml/CodePages.h"

namespace kal {

class TVxXMLWriter;
class TVxNodeList;
class TVxXMLElement;
class TVxXMLDocument;
class TVxParserContext;
class TVxDeclarations;
class TVxNodeStore;

// Node types (the byte FNodeType).
inline constexpr std::uint8_t ntElement = 1;
inline constexpr std::uint8_t ntAttribute = 2;
inline constexpr std::uint8_t ntText = 3;
inline constexpr std::uint8_t ntCData = 4;
inline constexpr std::uint8_t ntComment = 5;
inline constexpr std::uint8_t ntPI = 6;
inline constexpr std::uint8_t ntReference = 7;  // entity or character reference
inline constexpr std::uint8_t ntElementDecl = 8;
inline constexpr std::uint8_t ntAttDef = 9;
inline constexpr std::uint8_t ntEntity = 10;
inline constexpr std::uint8_t ntNotation = 11;
inline constexpr std::uint8_t ntDocumentType = 12;
inline constexpr std::uint8_t ntDocument = 13;
inline constexpr std::uint8_t ntElementContent = 17;  // content-model particle
inline constexpr std::uint8_t ntAttListDecl = 18;
inline constexpr std::uint8_t ntEnumeration = 23;

// How the document type and entity declarations are written.
enum class TWriteMode : std::uint8_t {
  wmStandard = 0,
  wmStandalone = 1,
  wmLinkedDTD = 2,
  wmExternalDTD = 3,
  wmAllExternal = 4,
};

// One validation finding: the text and the node concerned (not owned).
struct TVxError {
  std::string Msg;
  class TVxXMLNode* Node = nullptr;
};
using TVxErrorsList = std::vector<TVxError>;

// A node's value as read: a view of the node's own storage, valid until the
// value changes or the node goes. It converts to std::u16string for callers
// that keep a copy.
class TVxValueView : public std::u16string_view {
 public:
  using std::u16string_view::basic_string_view;
  TVxValueView(std::u16string_view v) : std::u16string_view(v) {}
  operator std::u16string() const { return std::u16string(data(), size()); }

  friend std::u16string operator+(const std::u16string& a, TVxValueView b) { return Join(a, b); }
  friend std::u16string operator+(TVxValueView a, const std::u16string& b) { return Join(a, b); }
  friend std::u16string operator+(const char16_t* a, TVxValueView b) { return Join(a, b); }
  friend std::u16string operator+(TVxValueView a, const char16_t* b) { return Join(a, b); }

 private:
  static std::u16string Join(std::u16string_view a, std::u16string_view b) {
    std::u16string out;
    out.reserve(a.size() + b.size());
    return out.append(a).append(b);
  }
};

// Where a node keeps its value: the first value that is not empty goes to
// the arena of the node's store, and a later one that fits there replaces it
// in place. A value that no longer fits, one too large for the arena and
// the values of a node without a document get a string of their own on the
// heap, so values that keep growing cost no arena memory each time.
class TVxNodeValue {
 public:
  TVxNodeValue() {}
  TVxValueView View() const {
    return OnHeap() ? TVxValueView(*heap_) : TVxValueView(chars_, size_);
  }
  operator TVxValueView() const { return View(); }
  std::size_t size() const { return OnHeap() ? heap_->size() : size_; }
  bool empty() const { return size() == 0; }

 private:
  friend class TVxXMLNode;
  // cap_ of a value that lives on the heap.
  static constexpr std::uint16_t kOnHeap = 0xFFFF;
  bool OnHeap() const { return cap_ == kOnHeap; }

  union {
    const char16_t* chars_ = nullptr;  // in the arena
    std::u16string* heap_;             // owned
  };
  std::uint32_t size_ = 0;  // in the arena: code units used
  std::uint16_t cap_ = 0;   // in the arena: code units it has room for
};

// What a document and the nodes made for it or moved into it share: the
// document, until it goes. The document clears it then, so a node that
// outlives its document belongs to none instead of pointing at freed memory.
struct TVxDocumentCell {
  TVxXMLDocument* doc;
  std::size_t users;
};

// A node's document, through the document's cell (null: none). Reads as a
// document pointer.
class TVxOwnerDocument {
 public:
  // A user of doc's cell (none for null); with isDocument, doc is the
  // document being made, whose cell this makes with a second user for the
  // document itself (TVxXMLDocument takes it over).
  TVxOwnerDocument(TVxXMLDocument* doc, bool isDocument);
  ~TVxOwnerDocument() { Let(cell_); }
  TVxOwnerDocument(const TVxOwnerDocument&) = delete;
  TVxOwnerDocument& operator=(const TVxOwnerDocument&) = delete;
  // Moves to doc's cell.
  TVxOwnerDocument& operator=(TVxXMLDocument* doc);

  TVxXMLDocument* get() const { return cell_ ? cell_->doc : nullptr; }
  operator TVxXMLDocument*() const { return get(); }
  TVxXMLDocument* operator->() const { return get(); }

  // doc's cell with one user more (null for null), and giving one back.
  static TVxDocumentCell* Share(TVxXMLDocument* doc);
  static void Let(TVxDocumentCell* cell) {
    if (cell && --cell->users == 0) delete cell;
  }

 private:
  friend class TVxXMLDocument;
  TVxDocumentCell* cell_;
};

class TVxXMLNode {
 public:
  // Element, attribute, PI and declaration names (node types 1, 2, 6, 8-12
  // and 18) must be XML names, else EVxDOMException 5; other kinds take any
  // name. owner is the document the node belongs to (may be null).
  TVxXMLNode(std::u16string_view tagName, std::uint8_t nodeType, TVxXMLDocument* owner);
  // Marks a name that the caller has read as an XML name (the parser's
  // scanner does), so that the constructors need not check it again. With
  // interned, the name as the owner's store interned it already, for a node
  // made in that store's arena (tagName is then a view of it).
  struct TCheckedName {
    const std::u16string* interned = nullptr;
  };
  TVxXMLNode(std::u16string_view tagName, std::uint8_t nodeType, TVxXMLDocument* owner,
             TCheckedName);
  // A node still in a list unlinks itself first.
  virtual ~TVxXMLNode();
  TVxXMLNode(const TVxXMLNode&) = delete;
  TVxXMLNode& operator=(const TVxXMLNode&) = delete;

  // Nodes come from the heap, or with new (store) from a document's arena;
  // delete gives heap nodes back and lets arena nodes go with their store.
  // The arguments of a new (store) must not make another arena node: the
  // node learns that it lives in the arena from the last such allocation.
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t size, TVxNodeStore& store);
  static void operator delete(TVxXMLNode* node, std::destroying_delete_t) noexcept;
  // For a constructor that fails.
  static void operator delete(void* p) noexcept;
  static void operator delete(void* p, TVxNodeStore& store) noexcept;

  // The largest value kept in the arena, in code units; larger ones go to
  // the heap, where they do not cut a chunk short.
  static constexpr std::size_t kArenaValueMax = 2048;

  const std::u16string& GetName() const { return FNodeName; }
  TVxValueView GetValue() const { return FNodeValue.View(); }
  // Stores value unchanged (value may be a part of the current one).
  void SetValue(std::u16string_view value);
  std::uint8_t GetType() const { return FNodeType; }
  void SetType(std::uint8_t nodeType) { FNodeType = nodeType; }
  // Null once the document has gone, for a node that outlives it.
  TVxXMLDocument* GetOwnerDocument() const { return FDocument; }
  // The container of the list the node is in; null for a free node and for
  // nodes of a list without parent.
  inline TVxXMLNode* GetParent() const;
  // The list holding the node, null for a free node.
  TVxNodeList* GetList() const { return FList; }
  TVxXMLNode* Previous() const { return FPrev; }
  TVxXMLNode* Next() const { return FNext; }
  // The next node of the same list with this node's type, or null.
  TVxXMLNode* NextSibling() const;

  // A free copy with the same name, document, type and value.
  virtual std::unique_ptr<TVxXMLNode> CloneNode() const;
  virtual void Validate() {}
  // Base normalisation of the value: CR and TAB become a blank, CR LF and a
  // lone LF one blank, references are resolved (unresolved ones stay as
  // written). Raises EVxXMLParserError and leaves the value as it was on a
  // reference that has no ";".
  virtual void Normalize();
  // Writes the node at indentation level l (blanks).
  virtual void Write(TVxXMLWriter& writer, int l) const;

  // This node as an element, or null.
  virtual TVxXMLElement* AsElement() { return nullptr; }
  const TVxXMLElement* AsElement() const { return const_cast<TVxXMLNode*>(this)->AsElement(); }

 protected:
  // Hands the first node of every chain this node owns to chains and
  // forgets them, so that destruction can go on without recursion. Classes
  // that own node lists override it.
  virtual void ReleaseOwned(std::vector<TVxXMLNode*>& chains);
  static void ReleaseList(TVxNodeList& list, std::vector<TVxXMLNode*>& chains);
  // SetValue for a string the node may keep as it is.
  void TakeValue(std::u16string&& value);
  // Makes size units at chars the value of a node that has none: chars is
  // room for cap units (at most kArenaValueMax) that the node's store
  // allocated and nothing else uses.
  void KeepArenaValue(const char16_t* chars, std::size_t size, std::size_t cap);

  // Fields ordered so that they pack without holes: a node is 72 bytes.
  TVxXMLNode* FNext = nullptr;
  TVxXMLNode* FPrev = nullptr;
  TVxOwnerDocument FDocument;

 private:
  friend class TVxNodeList;
  friend class TVxXMLElement;
  friend void DestroyChain(TVxXMLNode* first);
  struct TPlace;
  TVxXMLNode(std::u16string_view tagName, std::uint8_t nodeType, TVxXMLDocument* owner,
             const TPlace& place, const std::u16string* interned);
  // The arena for the value, null for the heap.
  TVxNodeStore* ValueArena() const;

  TVxNodeList* FList = nullptr;  // the list holding the node
  // The store of the name and the value, one of its users; the node's
  // memory too for a node made in the arena. Null for a node without
  // document or name.
  TVxNodeStore* FNodeStore;

 protected:
  // Interned in FNodeStore (a static empty string for an empty name).
  const std::u16string& FNodeName;
  // Read through GetValue, changed through SetValue and TakeValue.
  [[no_unique_address]] TVxNodeValue FNodeValue;
  std::uint8_t FNodeType;

 private:
  std::uint8_t FFlags;  // kInArena, kOwnStore
};

// The list of one container, or a list of results. Linking a node sets its
// parent to the list's parent and its document (with its subtree) to the
// list's owner. A list with a parent belongs to the parent's document (owner
// is then the parent's document), and follows it when the parent moves; a
// list without parent has no owner once its document has gone.
class TVxNodeList {
 public:
  explicit TVxNodeList(TVxXMLDocument* owner, TVxXMLNode* parent = nullptr);
  ~TVxNodeList();
  TVxNodeList(const TVxNodeList&) = delete;
  TVxNodeList& operator=(const TVxNodeList&) = delete;

  TVxXMLNode* GetFirst() const { return Froot; }
  TVxXMLNode* GetLast() const { return FLast; }
  TVxXMLNode* GetParent() const {
    return FUp & kOwnerBit ? nullptr : reinterpret_cast<TVxXMLNode*>(FUp);
  }
  TVxXMLDocument* GetOwner() const {
    if (FUp & kOwnerBit) return reinterpret_cast<const TVxDocumentCell*>(FUp & ~kOwnerBit)->doc;
    return FUp ? reinterpret_cast<TVxXMLNode*>(FUp)->GetOwnerDocument() : nullptr;
  }
  // The first node of type nType; the first node at all for 0.
  TVxXMLNode* GetRoot(std::uint8_t nType) const;

  // Link newChild (which must be in no list: EVxDOMException 10) at the end,
  // before refChild (null: at the end) or after refChild. A refChild of
  // another list raises 8, a container linked below itself 3. Return
  // newChild, now owned by the list.
  TVxXMLNode* AppendChild(TVxXMLNode* newChild);
  TVxXMLNode* InsertBefore(TVxXMLNode* newChild, TVxXMLNode* refChild);
  TVxXMLNode* InsertAfter(TVxXMLNode* newChild, TVxXMLNode* refChild);
  // Unlinks oldChild and hands it to the caller. Null or a node of another
  // list raises 12 "not existing child", a node in no list 12 "out of list".
  std::unique_ptr<TVxXMLNode> RemoveChild(TVxXMLNode* oldChild);
  std::unique_ptr<TVxXMLNode> RemoveChild(std::u16string_view name, std::uint8_t nType);
  // The first node of type nType (any for 0) whose name equals name with
  // ASCII letters folded, or null.
  TVxXMLNode* GetChild(std::u16string_view name, std::uint8_t nType) const;
  // 1-based; 0 and 1 give the first node of type nType, past the end null.
  TVxXMLNode* Item(int index, std::uint8_t nType = 0) const;
  // The nodes of the first node's type.
  int Length() const;

 private:
  friend class TVxXMLNode;
  friend class TVxXMLElement;
  friend class TVxXMLDocument;
  friend void DestroyChain(TVxXMLNode* first);
  void CheckFree(TVxXMLNode* newChild, const char* op, bool nameInText) const;
  void CheckRef(TVxXMLNode* refChild, const char* op) const;
  void Link(TVxXMLNode* node, TVxXMLNode* prev, TVxXMLNode* next);
  void Unlink(TVxXMLNode* node);
  TVxXMLNode* ReleaseChain();

  TVxXMLNode* Froot = nullptr;
  TVxXMLNode* FLast = nullptr;
  // The parent, or the owner's cell (one of its users) with kOwnerBit for a
  // list without parent: one field, as a container's list would repeat the
  // container's document.
  static constexpr std::uintptr_t kOwnerBit = 1;
  std::uintptr_t FUp;
};

// The parent is the list's: a node does not store it again.
inline TVxXMLNode* TVxXMLNode::GetParent() const {
  return FList ? FList->GetParent() : nullptr;
}

// Base of text, CDATA sections and comments. Offsets are 0-based code units.
class TVxCharacterData : public TVxXMLNode {
 public:
  using TVxXMLNode::TVxXMLNode;

  TVxValueView Data() const { return GetValue(); }
  int Length() const { return static_cast<int>(FNodeValue.size()); }
  void AppendData(std::u16string_view arg);
  // offset must lie in 0 .. Length - 1 (else EVxDOMException 1).
  void InsertData(int offset, std::u16string_view arg);
  // offset in 0 .. Length - 1 and count >= 0 (else 1); counts past the end
  // stop there.
  void DeleteData(int offset, int count);
  // The units from offset on, at most count; the data stays unchanged.
  std::u16string SubstringData(int offset, int count) const;
  // Replaces count units from offset by arg, with DeleteData's bounds.
  void ReplaceData(int offset, int count, std::u16string_view arg);
};

class TVxXMLText : public TVxCharacterData {
 public:
  // The five special characters of data are stored as references, so that
  // the normalisation of SetCharData gives data back unchanged.
  TVxXMLText(std::u16string_view data, TVxXMLDocument* owner);
  // The parser's form: data stored as read (dump is ignored).
  TVxXMLText(std::u16string_view data, TVxXMLDocument* owner, bool dump);
  // The parser's form for a string it hands over: stored as read, not copied.
  static std::unique_ptr<TVxXMLText> Take(std::u16string&& data, TVxXMLDocument* owner);
  // The parser's form for units it widened into the arena of owner's store:
  // size units at chars, in room for cap units (at most kArenaValueMax)
  // allocated there for this text alone, which the node keeps where it is.
  static TVxXMLText* InArena(TVxXMLDocument& owner, const char16_t* chars, std::size_t size,
                             std::size_t cap);

  std::unique_ptr<TVxXMLNode> CloneNode() const override;
  // Resolves references, leaving white space as it is. In a text linked
  // under an element, a reference that cannot be resolved becomes a
  // reference node, and one whose value holds markup is replaced by that
  // markup's nodes, both at the reference's place (the text behind it
  // continues in a new text node). The markup's own text joins the text
  // beside it, so no two text nodes follow each other, as in a reparse of
  // the written document.
  void Normalize() override;
  void Write(TVxXMLWriter& writer, int l) const override;

 protected:
  TVxXMLText(std::u16string_view data, std::uint8_t nodeType, TVxXMLDocument* owner);
};

// CDATA sections and comments hold their text literally.
class TVxXMLCData : public TVxXMLText {
 public:
  TVxXMLCData(std::u16string_view data, TVxXMLDocument* owner);
  std::unique_ptr<TVxXMLNode> CloneNode() const override;
  void Normalize() override {}
  void Write(TVxXMLWriter& writer, int l) const override;
};

class TVxXMLComment : public TVxXMLText {
 public:
  TVxXMLComment(std::u16string_view data, TVxXMLDocument* owner);
  std::unique_ptr<TVxXMLNode> CloneNode() const override;
  void Normalize() override {}
  void Write(TVxXMLWriter& writer, int l) const override;
};

// A processing instruction: the target is the name, the data (stored
// literally) the value. A target that is not a name or is "xml" in any case
// raises EVxDOMException 5.
class TVxXMLPi : public TVxXMLNode {
 public:
  TVxXMLPi(std::u16string_view target, std::u16string_view data, TVxXMLDocument* owner);
  std::unique_ptr<TVxXMLNode> CloneNode() const override;
  void Normalize() override {}
  void Write(TVxXMLWriter& writer, int l) const override;
};

class TVxXMLAttr : public TVxXMLNode {
 public:
  // value with its special characters stored as references, then normalised
  // (so it reads back as given, with TAB, CR and LF as blanks).
  TVxXMLAttr(std::u16string_view name, std::u16string_view value, TVxXMLDocument* owner,
             bool standardAttribute = false);
  // The parser's form: value stored as read, then normalised.
  TVxXMLAttr(std::u16string_view name, std::u16string_view value, TVxXMLDocument* owner,
             bool standardAttribute, bool dump);

  // The declared type of the attribute: ":" (CDATA) when it is undeclared.
  char GetAttrType() const;
  std::unique_ptr<TVxXMLNode> CloneNode() const override;
  // Attribute-value normalisation for the declared type. Raises
  // EVxXMLParserError for "<", an unterminated reference and references to
  // unparsed or external entities; the value is then left as it was.
  void Normalize() override;
  void Write(TVxXMLWriter& writer, int l) const override;

  bool StdAttrib = false;  // "version" and "encoding" as the document makes them

 private:
  friend class TVxContainer;
  struct Unnormalized {};
  TVxXMLAttr(std::u16string_view name, std::u16string value, TVxXMLDocument* owner, Unnormalized);
  // value stored as read, not yet normalised, under a name the caller read
  // as a name.
  TVxXMLAttr(std::u16string_view name, std::u16string_view value, TVxXMLDocument* owner,
             TCheckedName checked);
};

class TVxContainer : public TVxXMLNode {
 public:
  TVxContainer(std::u16string_view tagName, std::uint8_t nodeType, TVxXMLDocument* owner);
  TVxContainer(std::u16string_view tagName, std::uint8_t nodeType, TVxXMLDocument* owner,
               TCheckedName);

  TVxNodeList& GetDataList() { return FDataList; }
  const TVxNodeList& GetDataList() const { return FDataList; }
  TVxXMLNode* GetFirstNode() const { return FDataList.GetFirst(); }

  // The value of the attribute name (ASCII case folded), empty when absent.
  std::u16string GetAttribute(std::u16string_view name) const;
  TVxXMLAttr* GetAttributeNode(std::u16string_view name) const;
  TVxXMLAttr* GetFirstAttribute() const;
  // Sets the attribute to value (special characters kept as given), creating
  // it at the end of the list when absent.
  void SetAttribute(std::u16string_view name, std::u16string_view value);
  // The parser's form: value as read, then normalised.
  void FSetAttribute(std::u16string_view name, std::u16string_view value);
  // The parser's form for a name the container does not hold yet (the
  // caller has checked): appends the attribute without looking for one of
  // that name, then normalises it. When normalising fails the attribute is
  // removed again and the error passes on.
  TVxXMLAttr* AppendAttribute(std::u16string_view name, std::u16string_view value);
  // The same for a name the caller read as a name (with interned, as the
  // document's store holds it); for a container of a document.
  TVxXMLAttr* AppendAttribute(std::u16string_view name, std::u16string_view value,
                              TCheckedName checked);
  // Appends newAttr. Raises EVxDOMException 15 when an attribute of that name
  // exists, 10 when newAttr is in a list, 4 when it belongs to another
  // document.
  TVxXMLAttr* SetAttributeNode(TVxXMLAttr* newAttr);
  TVxXMLComment* SetComment(TVxXMLComment* comment);
  TVxXMLPi* SetPI(TVxXMLPi* pi);
  bool HasComment() const { return FDataList.GetRoot(ntComment) != nullptr; }
  bool HasPI() const { return FDataList.GetRoot(ntPI) != nullptr; }
  // Appends a clone of every node of type nType to list.
  void GetTypeList(TVxNodeList& list, std::uint8_t nType) const;

 protected:
  void ReleaseOwned(std::vector<TVxXMLNode*>& chains) override;

  TVxNodeList FDataList;

 private:
  // Appends attr, then normalises it; removes it again when that fails.
  TVxXMLAttr* LinkAttribute(std::unique_ptr<TVxXMLAttr> attr);
};

class TVxXMLElement : public TVxContainer {
 public:
  TVxXMLElement(std::u16string_view tagName, TVxXMLDocument* owner);
  TVxXMLElement(std::u16string_view tagName, TVxXMLDocument* owner, TCheckedName);

  const std::u16string& TagName() const { return FNodeName; }
  // Appends any node (the rules of TVxNodeList::AppendChild apply).
  TVxXMLNode* AppendChild(TVxXMLNode* newChild) { return FDataList.AppendChild(newChild); }
  bool HasChild() const { return FDataList.GetRoot(ntElement) != nullptr; }
  bool HasCharData() const { return FDataList.GetRoot(ntText) != nullptr; }
  bool HasCData() const { return FDataList.GetRoot(ntCData) != nullptr; }
  // The first child element, or null.
  TVxXMLElement* GetFirstChild() const;
  // The next element of the same list, or null.
  TVxXMLElement* NextSibling() const;
  // Appends clones of the child elements to list.
  void GetChildren(TVxNodeList& list) const;
  // Appends data and normalises it. Text of characters up to the blank only
  // is removed again and returned (the caller then owns it); otherwise the
  // result is null and the element owns data. When data is in a list
  // already (EVxDOMException 10) the caller keeps it; when normalising fails
  // (EVxXMLParserError) data stays linked with its value as it was.
  std::unique_ptr<TVxXMLText> SetCharData(TVxXMLText* data);
  // The first text node (not CDATA or comments), or null.
  TVxXMLText* GetFirstCharData() const;
  std::unique_ptr<TVxXMLNode> RemoveCharData(TVxXMLNode* node) {
    return FDataList.RemoveChild(node);
  }
  TVxXMLCData* SetCData(TVxXMLCData* data);
  // A new list (owner the document, parent this element) of deep clones of
  // this element, when its tag name is name (exact), and of every element
  // below it named so, in document order.
  std::unique_ptr<TVxNodeList> GetElementsByTagName(std::u16string_view name) const;
  // A new list of clones of the attributes of the subtree whose declared type
  // is aType, in document order.
  std::unique_ptr<TVxNodeList> GetAttributesByType(char aType) const;
  // Deep copy: name, document, value and a clone of every node of the list.
  std::unique_ptr<TVxXMLNode> CloneNode() const override;
  // Sets the document of this element and of every node below it.
  void SetDocument(TVxXMLDocument* doc);
  // Appends a clone of every node of el's list other than its attributes.
  void InsertElementContent(const TVxXMLElement& el);
  // Records the findings of this element and every element below it against
  // the declarations of the document type (nothing without one) with the
  // document's parser.
  void Validate() override;
  // Writes the element and its subtree (without recursion).
  void Write(TVxXMLWriter& writer, int l) const override;

  using TVxXMLNode::AsElement;
  TVxXMLElement* AsElement() override { return this; }
};

// Answers HasFeature for its document.
class TDOMImplementation {
 public:
  explicit TDOMImplementation(const TVxXMLDocument* doc) : FDocument(doc) {}
  // True when one of the document's attributes has the value version;
  // feature is not looked at.
  bool HasFeature(std::u16string_view feature, std::u16string_view version) const;

 private:
  const TVxXMLDocument* FDocument;
};

// The document: its list holds the XML declaration's pseudo-attributes
// ("version", then "encoding" and "standalone" when set) as attribute nodes,
// the document type, comments, PIs and the root element.
class TVxXMLDocument : public TVxContainer {
 public:
  // "version" = "1.0", encoding UTF-8 (no "encoding" attribute), big-endian
  // UTF-16 byte order, no parser.
  TVxXMLDocument();
  ~TVxXMLDocument() override;

  // The parser whose options and position the document uses (not owned).
  void AssignParser(TVxParserContext* parser) { FParser = parser; }
  TVxParserContext* GetParser() const { return FParser; }

  // Sets the output encoding from its name (any ASCII case) and stores the
  // name as given in the "encoding" attribute, which is created after
  // "version" when absent. An unknown name raises EVxXMLParserError with the
  // parser's line and file name; nothing changes then.
  void SetEncoding(std::u16string_view encoding);
  TEncoding GetEncoding() const { return FEncoding; }
  // Sets the encoding and leaves the attributes alone: the parser uses it
  // for input whose encoding a byte-order mark or the UTF-8 default decides.
  void SetInputEncoding(TEncoding cp) { FEncoding = cp; }
  std::u16string GetVersion() const { return GetAttribute(u"version"); }
  void SetStandalone(bool standalone);
  // True when "standalone" is "yes" in any case.
  bool GetStandalone() const;

  // Appends element; a document that has a root element raises
  // EVxDOMException 5.
  TVxXMLElement* SetDocumentElement(TVxXMLElement* element);
  TVxXMLElement* GetDocumentElement() const;
  // Links the document type before the root element (at the end without
  // one).
  TVxXMLNode* SetDocumentType(TVxXMLNode* dtd);
  TVxXMLNode* GetDocumentType() const { return FDataList.GetRoot(ntDocumentType); }
  // The declarations of the document type, null without one.
  TVxDeclarations* GetDeclarations() const;

  // Destroys every node and starts over as a new document, but with the
  // encoding US-ASCII; write mode, byte order and parser stay.
  void Clear();

  // Writes the whole document in its encoding (UTF-16 with a byte-order
  // mark) to stream, or in place of out. The record of invalid characters of
  // the parser (a private one without parser) is cleared first and then
  // holds the characters that were written as "_".
  void Write(std::ostream& stream) const;
  void Write(std::string& out) const;
  using TVxXMLNode::Write;

  const TDOMImplementation& GetImplementation() const { return FDomImplementation; }

  // The store of the document's names and of the nodes the parser makes.
  TVxNodeStore& Store() const { return *FStore; }

  // Clones of every attribute of type ID, filled for validation (owned);
  // set it through SetIdList, which indexes the values for IdCount.
  std::unique_ptr<TVxNodeList> IdList;
  void SetIdList(std::unique_ptr<TVxNodeList> list);
  // How many attributes of IdList have exactly the value value.
  int IdCount(std::u16string_view value) const;
  TWriteMode WriteMode = TWriteMode::wmStandard;
  TByteOrder ByteOrder = TByteOrder::boBigEndian;

 private:
  void AddVersion();

  friend class TVxOwnerDocument;
  // The document's own cell, one of its users: the document's node may be
  // moved into another document's list, the cell stays this document's.
  TVxDocumentCell* FCell;
  // The document is one of the store's users; its nodes are others.
  TVxNodeStore* FStore;
  TEncoding FEncoding = TEncoding::UTF_8;
  std::unordered_map<std::u16string, int> FIdCounts;
  TDOMImplementation FDomImplementation;
  TVxParserContext* FParser = nullptr;
};

}  // namespace kal
