#pragma once

// The document-type side of the model: the document type node with its
// declarations (element declarations with their content models, attribute
// lists, entities, notations), parameter-entity references, and the
// retrieval of external DTDs and entities from local files or over HTTP and
// FTP.
//
// Ownership as in the rest of the model: the document type owns its content
// list and with it every declaration; an element declaration owns its content
// model, a model its particles, an attribute list its definitions, a
// definition its enumeration. Calls that take a pointer take ownership only
// when they succeed (or say otherwise).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "xml/XMLDOM.h"
#include "xml/XMLReferences.h"

namespace kal {

class TVxElementDecl;
class TVxAttListDecl;
class TContentModelAnalyzer;
class TVxCustomEntityDecl;
class TVxNotation;

// Content types of a content model.
inline constexpr std::uint8_t ctEmpty = 45;     // '-' EMPTY
inline constexpr std::uint8_t ctAny = 46;       // '.' ANY
inline constexpr std::uint8_t ctMixed = 47;     // '/' (#PCDATA ...)
inline constexpr std::uint8_t ctChildren = 48;  // '0' element content
// Occurrence of a particle or group.
inline constexpr std::uint8_t tcQuest = 40;     // '(' "?" zero or one
inline constexpr std::uint8_t tcNone = 41;      // ')' exactly one
inline constexpr std::uint8_t tcOneBase = 42;   // '*' "+" one or more
inline constexpr std::uint8_t tcZeroBase = 43;  // '+' "*" zero or more
// Attribute types ("2" ... ";", what TVxXMLAttr::GetAttrType returns).
inline constexpr char atID = 50;
inline constexpr char atIDRef = 51;
inline constexpr char atIDRefs = 52;
inline constexpr char atEntity = 53;
inline constexpr char atEntities = 54;
inline constexpr char atNmtoken = 55;
inline constexpr char atNmtokens = 56;
inline constexpr char atNotation = 57;
inline constexpr char atCData = 58;
inline constexpr char atEnumeration = 59;
// Default types of an attribute definition.
inline constexpr std::uint8_t dtRequired = 60;  // #REQUIRED
inline constexpr std::uint8_t dtImplied = 61;   // #IMPLIED
inline constexpr std::uint8_t dtFixed = 62;     // #FIXED "value"
inline constexpr std::uint8_t dtDefault = 63;   // "value"

// A node that may name external content by a system literal and a public
// identifier.
class TVxExternalNode : public TVxXMLNode {
 public:
  using TVxXMLNode::TVxXMLNode;

  void SetSystemLiteral(std::u16string_view s) { FSystem = s; }
  void SetPublicLiteral(std::u16string_view s) { FPublic = s; }
  const std::u16string& GetSystemLiteral() const { return FSystem; }
  const std::u16string& GetPublicLiteral() const { return FPublic; }
  bool HasExternalId() const { return !FSystem.empty() || !FPublic.empty(); }
  // The file name or URL of the text that declared the node; a relative
  // system literal is resolved against its folder. Empty: the working folder.
  void SetBase(std::string base) { FBase = std::move(base); }
  const std::string& GetBase() const { return FBase; }

  // Reads what the node names.
  virtual void Retrieve() = 0;

  // Reads the external content into out, through the public-identifier
  // resolver when the parser has one and may go on the network, else from
  // the system literal: "http://" and "ftp://" (any case) over the network
  // when RetrieveInternetURI is set, anything else as a local file. Returns
  // false, with the parser's FileNotFound told, when retrieval is switched
  // off or there is nothing to read. Content that cannot be read (a missing
  // file, no regular file, more than 10,000,000 bytes, a network failure)
  // raises EVxXMLParserError after the same notice. name receives the file
  // name or URL that was read.
  bool ReadExternalFile(std::string& out, std::string* name = nullptr);

 protected:
  std::u16string FSystem;
  std::u16string FPublic;
  std::string FBase;
};

// The names of a NOTATION type or enumeration.
class TVxEnumeration : public TVxXMLNode {
 public:
  explicit TVxEnumeration(TVxXMLDocument* owner);
  // Appends a node named name (a name token).
  void AddElement(std::u16string_view name);
  const TVxNodeList& GetElements() const { return enumList; }
  void Write(TVxXMLWriter& writer, int l) const override;

 protected:
  void ReleaseOwned(std::vector<TVxXMLNode*>& chains) override;

 private:
  TVxNodeList enumList;
};

// One particle of an element's content model: a name (a leaf) or an unnamed
// group of particles.
class TVxContentModel : public TVxXMLNode {
 public:
  TVxContentModel(std::uint8_t contentType, TVxXMLDocument* owner);
  TVxContentModel(std::u16string_view name, std::uint8_t contentType, TVxXMLDocument* owner);

  // Appends the leaf name with occurrence param. In a mixed model a name
  // listed already raises EVxDOMException 14.
  void AddElement(std::u16string_view name, std::uint8_t param);
  // Appends a nested group (taking it over).
  void AddElement(TVxContentModel* model);
  void SetDelimiter(char16_t c) { Delimiter = c; }
  const TVxNodeList& GetChildList() const { return ChildList; }
  bool IsLeaf() const { return !FNodeName.empty(); }

  std::uint8_t ContentType;
  char16_t Delimiter = u',';
  std::uint8_t Occurrence = tcNone;

  void Write(TVxXMLWriter& writer, int l) const override;

 protected:
  void ReleaseOwned(std::vector<TVxXMLNode*>& chains) override;

 private:
  TVxNodeList ChildList;
};

class TVxElementDecl : public TVxXMLNode {
 public:
  TVxElementDecl(std::u16string_view name, TVxXMLDocument* owner);
  ~TVxElementDecl() override;

  // Replaces the model (taking content over).
  void SetContentModel(TVxContentModel* content);
  TVxContentModel* GetContentModel() const { return Content; }
  // Records the findings of el's content against this declaration with the
  // parser of el's document. analyzer, when given, keeps the models it has
  // compiled for the next elements.
  void ValidateElementDecl(TVxXMLElement& el, TContentModelAnalyzer* analyzer = nullptr) const;
  void Write(TVxXMLWriter& writer, int l) const override;

 protected:
  void ReleaseOwned(std::vector<TVxXMLNode*>& chains) override;

 private:
  TVxContentModel* Content = nullptr;  // owned
};

class TVxAttDef : public TVxXMLNode {
 public:
  TVxAttDef(std::u16string_view name, TVxXMLDocument* owner);
  TVxAttDef(std::u16string_view name, char attType, std::u16string_view defValue,
            std::uint8_t defType, TVxXMLDocument* owner);
  ~TVxAttDef() override;

  const std::u16string& GetDefaultValue() const { return FDefaultValue; }
  void SetDefaultValue(std::u16string_view v) { FDefaultValue = v; }
  // The enumeration of a NOTATION or enumerated type, created on demand.
  TVxEnumeration& MakeEnumeration();
  const TVxEnumeration* GetEnumeration() const { return Enumeration; }
  // Name, types, default and value; not the enumeration.
  std::unique_ptr<TVxXMLNode> CloneNode() const override;
  void Write(TVxXMLWriter& writer, int l) const override;
  // Records the findings of attr (an attribute of an element) against this
  // definition. The ID checks read the document's ID list.
  void ValidateAttDef(TVxXMLAttr& attr) const;

  char AttributeType = atCData;
  std::uint8_t DefaultType = dtImplied;

 protected:
  void ReleaseOwned(std::vector<TVxXMLNode*>& chains) override;

 private:
  std::u16string FDefaultValue;
  TVxEnumeration* Enumeration = nullptr;  // owned
};

class TVxAttListDecl : public TVxXMLNode {
 public:
  TVxAttListDecl(std::u16string_view name, TVxXMLDocument* owner);

  // Appends att and returns true, or returns false (the caller keeps att)
  // when a definition of that name exists.
  bool AddAtt(TVxAttDef* att);
  // The definition named name (ASCII case ignored), or null.
  TVxAttDef* GetAtt(std::u16string_view name) const;
  const TVxNodeList& GetAttList() const { return AttList; }
  void Write(TVxXMLWriter& writer, int l) const override;
  // Records every #REQUIRED attribute that el lacks.
  void ValidateAttList(TVxXMLElement& el) const;

 protected:
  void ReleaseOwned(std::vector<TVxXMLNode*>& chains) override;

 private:
  TVxNodeList AttList;
};

class TVxNotation : public TVxExternalNode {
 public:
  TVxNotation(std::u16string_view name, TVxXMLDocument* owner);
  void Retrieve() override {}
  void Write(TVxXMLWriter& writer, int l) const override;
};

// An entity declaration. Its value is the replacement text: the literal
// after entity-value normalisation for an internal entity, the retrieved
// text (without its text declaration) for an external one.
class TVxCustomEntityDecl : public TVxExternalNode {
 public:
  TVxCustomEntityDecl(std::u16string_view name, TVxXMLDocument* owner);

  void SetInternal(bool internal);
  bool IsInternal() const { return FInternal; }
  virtual bool IsParameter() const = 0;
  // Stores value and normalises it; an external entity raises
  // EVxXMLParserError "Can not set a value of an external entity.".
  void SetValue(std::u16string_view value);
  // The external text has been read (always true for an internal entity).
  bool HasValue() const { return FInternal || FRetrieved; }
  // Entity-value normalisation: white space runs as one blank, parameter
  // entities and character references expanded, general entities kept as
  // written; a reference to an unparsed entity raises EVxXMLParserError.
  void Normalize() override;
  // Reads the external text as the value; nothing for an internal entity.
  void Retrieve() override;
  void Write(TVxXMLWriter& writer, int l) const override;

 protected:
  bool FInternal = true;
  bool FRetrieved = false;
};

class TVxGEntityDecl : public TVxCustomEntityDecl {
 public:
  using TVxCustomEntityDecl::TVxCustomEntityDecl;
  bool IsParameter() const override { return false; }
  void SetUnparsed(bool unparsed) { FUnparsed = unparsed; }
  bool IsUnparsed() const { return FUnparsed; }
  void SetNotation(std::u16string_view notation) { FNotation = notation; }
  const std::u16string& GetNotation() const { return FNotation; }
  // An unparsed entity is never read.
  void Retrieve() override;
  // Records an unparsed entity whose notation is not declared.
  void Validate() override;

 private:
  std::u16string FNotation;
  bool FUnparsed = false;
};

class TVxPEntityDecl : public TVxCustomEntityDecl {
 public:
  using TVxCustomEntityDecl::TVxCustomEntityDecl;
  bool IsParameter() const override { return true; }
};

// A reference "%name;" to a parameter entity.
class TVxPEntityReference : public TVxCustomReference {
 public:
  TVxPEntityReference(std::u16string_view name, TVxXMLDocument* owner);
  // The value of the parameter entity's declaration; false when it is not
  // declared or its external text could not be had.
  bool Retrieve() override;
  void Write(TVxXMLWriter& writer, int l) const override;
};

// The document type: its name, the external subset's identifiers and the
// declarations of both subsets. Where a name is declared twice the first
// declaration binds; the internal subset is read before the external one,
// so its declarations take precedence.
class TVxDocumentType : public TVxExternalNode, public TVxDeclarations {
 public:
  TVxDocumentType(std::u16string_view name, TVxXMLDocument* owner);

  void SetElementDecl(TVxElementDecl* elementDecl);
  void SetComment(TVxXMLComment* comment);
  void SetPI(TVxXMLPi* pi);
  void SetNotationDecl(TVxNotation* notation);
  // Appends and returns true, or returns false (the caller keeps entityDecl)
  // when an entity of that kind and name is declared already.
  bool SetEntityDecl(TVxCustomEntityDecl* entityDecl);
  // Appends and returns true when the element has no attribute list yet.
  // Otherwise copies the definitions of names not yet defined into the
  // existing list and returns false; the caller keeps attListDecl.
  bool SetAttListDecl(TVxAttListDecl* attListDecl);

  // First declarations by name (ASCII case ignored), or null.
  TVxElementDecl* GetElementDecl(std::u16string_view name) const;
  TVxAttListDecl* GetAttListDecl(std::u16string_view name) const;
  // A general entity, or with parameter a parameter entity.
  TVxCustomEntityDecl* GetEntityDecl(std::u16string_view name, bool parameter = false) const;
  TVxNotation* GetNotationDecl(std::u16string_view name) const;
  const TVxNodeList& GetContentList() const { return FContentList; }

  // Reads the external subset and parses it into the declarations.
  void Retrieve() override;
  // Records the findings of the document as a whole: its root element and
  // name, element types declared twice, external entities in a standalone
  // document, and the general entity declarations.
  void Validate() override;

  // The declarations so far belong to the internal subset; what is added
  // afterwards comes from the external subset.
  void EndInternalSubset();
  // An external entity is declared (what the standalone check needs; the
  // document's standalone declaration stays as written).
  bool HasExternalEntity() const { return FExternalEntity; }
  void SetExternalEntity() { FExternalEntity = true; }

  // TVxDeclarations
  char GetEntityDestType(std::u16string_view name) const override;
  bool GetEntityValue(std::u16string_view name, std::u16string& value) override;
  char GetAttrType(std::u16string_view elementName, std::u16string_view attr) const override;
  std::size_t GetEntityExpandedLength(std::u16string_view name) override;
  // Forgets the expanded lengths worked out so far: an entity was declared
  // or its value changed.
  void EntitiesChanged() { FExpandedLengths.clear(); }

  void Write(TVxXMLWriter& writer, int l) const override;

 protected:
  void ReleaseOwned(std::vector<TVxXMLNode*>& chains) override;

 private:
  TVxXMLNode* FindDecl(std::uint8_t type, std::u16string_view name) const;
  std::size_t ExpandedLength(const TVxCustomEntityDecl* entity);

  // The expanded length of every general entity worked out so far.
  std::unordered_map<const TVxCustomEntityDecl*, std::size_t> FExpandedLengths;

  TVxNodeList FContentList;
  TVxXMLNode* FInternalLast = nullptr;  // last node of the internal subset
  bool FInternalEnded = false;
  bool FExternalEntity = false;
};

// The text of an external entity or DTD: bytes decoded after their
// byte-order mark, else in the encoding their text declaration names, else as
// UTF-8, without the text declaration. Undecodable input becomes "_" and is
// recorded in the parser's record of invalid characters (when there is a
// parser).
std::u16string DecodeExternalText(const std::string& bytes, TVxParserContext* parser);

}  // namespace kal
