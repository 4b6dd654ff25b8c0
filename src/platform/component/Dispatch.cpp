#include "platform/component/Dispatch.h"

#include <limits>

namespace kal {

TPLTVariant TPLTVariant::I2(int16_t v) {
  TPLTVariant x;
  x.type_ = TPLTVarType::I2;
  x.number_ = v;
  return x;
}

TPLTVariant TPLTVariant::I4(int32_t v) {
  TPLTVariant x;
  x.type_ = TPLTVarType::I4;
  x.number_ = v;
  return x;
}

TPLTVariant TPLTVariant::Bool(bool v) {
  TPLTVariant x;
  x.type_ = TPLTVarType::Bool;
  x.number_ = v ? -1 : 0;
  return x;
}

TPLTVariant TPLTVariant::Bstr(std::u16string v) {
  TPLTVariant x;
  x.type_ = TPLTVarType::Bstr;
  x.text_ = std::move(v);
  return x;
}

TPLTVariant TPLTVariant::Font(std::u16string description) {
  TPLTVariant x;
  x.type_ = TPLTVarType::Font;
  x.text_ = std::move(description);
  return x;
}

TPLTVariant TPLTVariant::Dispatch(IPLTDispatch* p) {
  TPLTVariant x;
  x.type_ = TPLTVarType::Dispatch;
  x.dispatch_ = TPLTComPtr<IPLTDispatch>(p);
  return x;
}

bool TPLTVariant::operator==(const TPLTVariant& o) const {
  return type_ == o.type_ && number_ == o.number_ && text_ == o.text_ &&
         dispatch_.Get() == o.dispatch_.Get();
}

PLTResult TPLTVariant::PLTChangeType(TPLTVarType type, TPLTVariant& out) const {
  if (type == type_) {
    out = *this;
    return PLT_S_OK;
  }
  auto integral = [](TPLTVarType t) {
    return t == TPLTVarType::I2 || t == TPLTVarType::I4 || t == TPLTVarType::Bool;
  };
  if (!integral(type) || !integral(type_)) return PLT_DISP_E_TYPEMISMATCH;
  switch (type) {
    case TPLTVarType::Bool:
      out = Bool(number_ != 0);
      return PLT_S_OK;
    case TPLTVarType::I4:
      out = I4(number_);
      return PLT_S_OK;
    default:
      if (number_ < std::numeric_limits<int16_t>::min() ||
          number_ > std::numeric_limits<int16_t>::max())
        return PLT_DISP_E_OVERFLOW;
      out = I2(static_cast<int16_t>(number_));
      return PLT_S_OK;
  }
}

const TPLTDispatchMember* TPLTDispatchTable::PLTFind(int32_t dispid) const {
  for (const TPLTDispatchMember& m : members_)
    if (m.dispid == dispid) return &m;
  return nullptr;
}

namespace {

bool SameNameNoCase(std::u16string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i];
    char16_t y = static_cast<unsigned char>(b[i]);
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

PLTResult TPLTDispatchTable::PLTGetIDsOfNames(const std::vector<std::u16string>& names,
                                              std::vector<int32_t>& dispids) const {
  dispids.assign(names.size(), -1);
  PLTResult result = PLT_S_OK;
  for (size_t i = 0; i < names.size(); ++i) {
    bool found = false;
    for (const TPLTDispatchMember& m : members_) {
      if (SameNameNoCase(names[i], m.name)) {
        dispids[i] = m.dispid;
        found = true;
        break;
      }
    }
    if (!found) result = PLT_DISP_E_UNKNOWNNAME;
  }
  return result;
}

PLTResult TPLTDispatchTable::PLTCheck(int32_t dispid, uint16_t flags,
                                      std::vector<TPLTVariant>& args,
                                      const TPLTDispatchMember*& member) const {
  member = PLTFind(dispid);
  if (member == nullptr) return PLT_DISP_E_MEMBERNOTFOUND;
  std::vector<TPLTVarType> types;
  if (member->method) {
    if ((flags & PLTcDispatchMethod) == 0) return PLT_DISP_E_MEMBERNOTFOUND;
    types = member->params;
  } else if (flags & PLTcDispatchPropertyPut) {
    types = {member->type};
  } else if ((flags & PLTcDispatchPropertyGet) == 0) {
    return PLT_DISP_E_MEMBERNOTFOUND;
  }
  if (args.size() != types.size()) return PLT_DISP_E_BADPARAMCOUNT;
  for (size_t i = 0; i < args.size(); ++i) {
    TPLTVariant converted;
    const PLTResult r = args[i].PLTChangeType(types[i], converted);
    if (!PLTSucceeded(r)) return r;
    args[i] = std::move(converted);
  }
  return PLT_S_OK;
}

std::string PLTToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string PLTFromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    uint32_t c = 0xFFFD;
    size_t n = 1;
    if (b < 0x80) {
      c = b;
    } else {
      const size_t len = b >= 0xF0 && b < 0xF5 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
      if (len != 0 && i + len <= text.size()) {
        uint32_t v = b & (0x7F >> len);
        bool ok = true;
        for (size_t k = 1; k < len; ++k) {
          const auto t = static_cast<unsigned char>(text[i + k]);
          if ((t & 0xC0) != 0x80) ok = false;
          v = v << 6 | (t & 0x3F);
        }
        const bool overlong = (len == 3 && v < 0x800) || (len == 4 && v < 0x10000);
        if (ok && !overlong && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
          c = v;
          n = len;
        }
      }
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += n;
  }
  return out;
}

}  // namespace kal
