// Retrieval of external DTDs and entities, and the decoding of their text.

#include <sstream>

#include "platform/ExternalContent.h"
#include "xml/InputBuffer.h"
#include "xml/XMLBase.h"
#include "xml/XMLChars.h"
#include "xml/XMLDTD.h"
#include "xml/XMLStrings.h"

namespace kal {

namespace {

std::string Utf8(std::u16string_view s) {
  return UnicodeToShort(s, TEncoding::UTF_8, TByteOrder::boBigEndian, nullptr);
}

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// "http://" and "ftp://" in any case: content from the network.
bool IsNetworkAddress(const std::string& s) {
  const std::string lower = LowerAscii(s.substr(0, 7));
  return StartsWith(lower, "http://") || StartsWith(lower, "ftp://");
}

// literal against the folder of base (a file name or a URL); absolute paths
// and addresses stay as they are.
std::string Resolve(const std::string& base, const std::string& literal) {
  if (literal.empty() || literal[0] == '/' || literal.find("://") != std::string::npos ||
      base.empty())
    return literal;
  std::size_t slash = base.rfind('/');
  if (IsNetworkAddress(base)) {
    // The host of "http://host" ends the address without a path.
    const std::size_t host = base.find("://") + 3;
    if (slash == std::string::npos || slash < host) return base + "/" + literal;
  }
  if (slash == std::string::npos) return literal;
  return base.substr(0, slash + 1) + literal;
}

}  // namespace

bool TVxExternalNode::ReadExternalFile(std::string& out, std::string* name) {
  TVxParserContext* parser = FDocument ? FDocument->GetParser() : nullptr;
  if (!parser) return false;
  const std::string system = Utf8(XMLTrim(FSystem));
  std::string tried = Resolve(FBase, system);
  const auto notFound = [&] {
    parser->FileNotFound(*this, tried);
    return false;
  };
  const auto failed = [&](const std::string& why) {
    parser->FileNotFound(*this, tried);
    throw EVxXMLParserError::CreateWithFileName(
        "External entity \"" + tried + "\" can not be read: " + why, parser->GetFileName(),
        parser->GetLineNumber());
  };
  if (!parser->RetrieveExternal()) return notFound();

  TPLTRetrievalResult result;
  const std::string publicId = LowerAscii(Utf8(XMLTrim(FPublic)));
  const std::string resolver = parser->PublicIdResolver();
  if (!publicId.empty() && parser->RetrieveInternetURI() && !resolver.empty()) {
    tried = PLTNormalizeURL(resolver + "/cgi-bin/PUBLIC?" + publicId);
    result = PLTDownloadFile(tried);
    if (result.bOk) {
      out = std::move(result.sContent);
      if (name) *name = tried;
      return true;
    }
    // Without a system literal the resolver was the only source.
    if (system.empty()) failed(result.sError);
    tried = Resolve(FBase, system);
  }
  if (system.empty()) return notFound();
  if (IsNetworkAddress(tried)) {
    if (!parser->RetrieveInternetURI()) return notFound();
    result = PLTDownloadFile(tried);
  } else {
    result = PLTGetLocalFile(tried);
  }
  if (!result.bOk) failed(result.sError);
  out = std::move(result.sContent);
  if (name) *name = tried;
  return true;
}

std::u16string DecodeExternalText(const std::string& bytes, TVxParserContext* parser) {
  TInvalidChars own;
  TInputBuffer buffer(parser ? parser->InvalidCharRecord() : own);
  std::istringstream in(bytes);
  buffer.Init(in);
  std::u16string text;
  // A text declaration "<?xml ... ?>" names the encoding of what follows it
  // and is not part of the text.
  const std::u16string head = buffer.GetChars(5);
  if (XMLCompareText(head, u"<?xml") == 0) {
    const char16_t after = buffer.GetChar();
    if (IsWhite(after)) {
      std::u16string decl;
      buffer.GetRun(decl, [](char16_t c) { return c == u'>'; });
      buffer.GetChar();
      const std::size_t at = decl.find(u"encoding");
      if (at != std::u16string::npos) {
        const std::size_t open = decl.find_first_of(u"\"'", at);
        const std::size_t close =
            open == std::u16string::npos ? open : decl.find(decl[open], open + 1);
        if (close != std::u16string::npos && !buffer.HasByteOrderMark()) {
          const TEncoding cp = StringToEncoding(decl.substr(open + 1, close - open - 1));
          if (cp != TEncoding::n_sup) buffer.SetEncoding(cp);
        }
      }
    } else {
      text = head;
      text.push_back(after);
    }
  } else {
    text = head;
  }
  while (!text.empty() && text.back() == EOFChar) text.pop_back();
  buffer.GetRun(text, [](char16_t c) { return c == EOFChar; });
  return text;
}

}  // namespace kal
