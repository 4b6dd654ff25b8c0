#pragma once

// Late-bound calls: members found by name, called by DISPID with variant
// arguments. A variant holds nothing, a 16- or 32-bit integer, a boolean, a
// string (UTF-16, as the interface's strings are), a font (its string form)
// or a referenced dispatch object.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "platform/component/Component.h"

namespace kal {

class IPLTDispatch;

// The variant types (values of the matching system type codes; the font has
// a code of its own).
enum class TPLTVarType : uint16_t {
  Empty = 0,
  I2 = 2,
  I4 = 3,
  Bstr = 8,
  Dispatch = 9,
  Bool = 11,
  Font = 0x4F01,
};

class TPLTVariant {
 public:
  TPLTVariant() = default;
  static TPLTVariant I2(int16_t v);
  static TPLTVariant I4(int32_t v);
  static TPLTVariant Bool(bool v);
  static TPLTVariant Bstr(std::u16string v);
  static TPLTVariant Font(std::u16string description);
  // Adds a reference of its own to `p` (null gives an empty dispatch).
  static TPLTVariant Dispatch(IPLTDispatch* p);

  TPLTVarType PLTType() const { return type_; }
  // The value of an I2, I4 or BOOL (BOOL true reads as -1).
  int32_t PLTInteger() const { return number_; }
  bool PLTBool() const { return number_ != 0; }
  // The text of a BSTR or a font.
  const std::u16string& PLTText() const { return text_; }
  IPLTDispatch* PLTDispatch() const { return dispatch_.Get(); }

  // This value as `type`: the same type as it is; I2, I4 and BOOL into
  // each other (nonzero is true, true is -1; an I4 outside 16 bits gives
  // PLT_DISP_E_OVERFLOW); anything else PLT_DISP_E_TYPEMISMATCH.
  [[nodiscard]] PLTResult PLTChangeType(TPLTVarType type, TPLTVariant& out) const;

  bool operator==(const TPLTVariant& o) const;

 private:
  TPLTVarType type_ = TPLTVarType::Empty;
  int32_t number_ = 0;
  std::u16string text_;
  TPLTComPtr<IPLTDispatch> dispatch_;
};

// Invoke kinds (combinable, as callers often ask for method or get).
inline constexpr uint16_t PLTcDispatchMethod = 1;
inline constexpr uint16_t PLTcDispatchPropertyGet = 2;
inline constexpr uint16_t PLTcDispatchPropertyPut = 4;

// Members by DISPID. Arguments are in the order of the member's parameter
// list (first parameter first).
class IPLTDispatch : public IPLTUnknown {
 public:
  static constexpr const TPLTGuid& PLTcIID = PLTcIID_IDispatch;
  // The DISPID of each name (ASCII case ignored); a name not known gives -1
  // in its place and PLT_DISP_E_UNKNOWNNAME.
  virtual PLTResult PLTGetIDsOfNames(const std::vector<std::u16string>& names,
                                     std::vector<int32_t>& dispids) = 0;
  // Calls a method, reads a property (no arguments) or sets one (one
  // argument). Results: PLT_DISP_E_MEMBERNOTFOUND for an unknown DISPID or
  // a kind the member does not have, PLT_DISP_E_BADPARAMCOUNT,
  // PLT_DISP_E_TYPEMISMATCH for an argument that cannot be made the
  // parameter's type; `result` (may be null) gets the method's result or
  // the property's value.
  virtual PLTResult PLTInvoke(int32_t dispid, uint16_t flags, std::vector<TPLTVariant>& args,
                              TPLTVariant* result) = 0;

 protected:
  ~IPLTDispatch() = default;
};

// One member of a dispatch description: a property of `type`, or a method
// with its parameter types and result type (Empty for none).
struct TPLTDispatchMember {
  int32_t dispid;
  const char* name;
  bool method;
  TPLTVarType type;
  std::vector<TPLTVarType> params;
};

// A dispatch description: names, DISPIDs and signatures; checks and
// converts the arguments of a call.
class TPLTDispatchTable {
 public:
  explicit TPLTDispatchTable(std::vector<TPLTDispatchMember> members)
      : members_(std::move(members)) {}
  const std::vector<TPLTDispatchMember>& PLTMembers() const { return members_; }
  const TPLTDispatchMember* PLTFind(int32_t dispid) const;
  PLTResult PLTGetIDsOfNames(const std::vector<std::u16string>& names,
                             std::vector<int32_t>& dispids) const;
  // Checks a call against the member and converts `args` in place to the
  // parameter types (a put: to the property's type). PLT_S_OK, or the
  // result the call must give; `member` gets the member found.
  PLTResult PLTCheck(int32_t dispid, uint16_t flags, std::vector<TPLTVariant>& args,
                     const TPLTDispatchMember*& member) const;

 private:
  std::vector<TPLTDispatchMember> members_;
};

// UTF-16 to UTF-8 and back (lone surrogates become U+FFFD).
std::string PLTToUtf8(std::u16string_view text);
std::u16string PLTFromUtf8(std::string_view text);

}  // namespace kal
