#pragma once

// The output side of the document model. Nodes write themselves through a
// TVxXMLWriter, which escapes and encodes in the same step straight into the
// bytes of the document's encoding: one pass over the tree, one buffer that
// grows geometrically, no strings per node. Runs of printable ASCII that a mode writes as they are,
// the bulk of names and ep2 values, are narrowed to bytes 16 units at a time.
//
// What each kind of content becomes:
// - character data: "&", "<" and CR as references, ">" as "&gt;" after "]]";
// - attribute values (in double quotes): "&", "<" and '"' as references, TAB,
//   LF and CR as character references, so that they survive the attribute
//   value normalisation of the reader;
// - entity values: escaped by the declaration, which writes what reading
//   the literal would change as character references;
// - CDATA sections: "]]>" split over two sections; comments: a blank after a
//   "-" that another "-" or the comment's end follows; PI data: a blank
//   between "?" and ">";
// - characters that XML 1.0 cannot carry at all (C0 controls other than TAB,
//   LF and CR, U+FFFE, U+FFFF, lone surrogates) become "_" and are recorded;
// - characters that the encoding lacks become character references in
//   character data, attribute and entity values, "_" (recorded) anywhere
//   else.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "xml/CodePages.h"

namespace kal {

class TInvalidChars;
class TVxXMLDocument;

class TVxXMLWriter {
 public:
  // Writes in doc's encoding and byte order (UTF-8 for n_sup); the characters
  // written as "_" are recorded in invChars, which must outlive the writer.
  // formatedOutput sets the indentation step of children (3 or 0).
  TVxXMLWriter(const TVxXMLDocument& doc, TInvalidChars& invChars, bool formatedOutput);
  ~TVxXMLWriter();
  TVxXMLWriter(const TVxXMLWriter&) = delete;
  TVxXMLWriter& operator=(const TVxXMLWriter&) = delete;

  const TVxXMLDocument& Document() const { return doc_; }
  bool FormatedOutput() const { return formatedOutput_; }

  // True right after character data or a reference; the next tag then
  // follows on the same line.
  bool PrevIsText = false;

  // Markup of ASCII characters only.
  void Ascii(std::string_view s) {
    if (enc_ == Enc::Utf8 || enc_ == Enc::Single) {
      std::memcpy(Reserve(s.size()), s.data(), s.size());
      size_ += s.size();
    } else {
      AsciiWide(s);
    }
  }
  // Names and other markup, not escaped.
  void Markup(std::u16string_view s);
  // CR LF and l blanks.
  void NewLine(int l) {
    const std::size_t blanks = l > 0 ? static_cast<std::size_t>(l) : 0;
    if (enc_ == Enc::Utf8 || enc_ == Enc::Single) {
      char* p = Reserve(blanks + 2);
      p[0] = '\r';
      p[1] = '\n';
      std::memset(p + 2, ' ', blanks);
      size_ += blanks + 2;
    } else {
      NewLineWide(blanks);
    }
  }
  // The n bytes written from offset from on, once more.
  void Repeat(std::size_t from, std::size_t n) {
    char* p = Reserve(n);
    std::memcpy(p, buf_ + from, n);
    size_ += n;
  }
  void Text(std::u16string_view s);
  void AttValue(std::u16string_view s);
  // An entity value its declaration has escaped already.
  void EntityValue(std::u16string_view s);
  void CData(std::u16string_view s);
  void Comment(std::u16string_view s);
  void PIData(std::u16string_view s);
  // FE FF or FF FE for UTF-16 output, nothing otherwise.
  void ByteOrderMark();

  // The bytes written so far.
  std::string_view Output() const { return {buf_, size_}; }

  enum class Mode : std::uint8_t { Markup, Text, Attr, Entity, CData, Comment, PI };
  enum class Enc : std::uint8_t { Utf8, Utf16LE, Utf16BE, Single };

 private:
  // Room for n more bytes; returns where the next byte goes.
  char* Reserve(std::size_t n) {
    if (cap_ - size_ < n) Grow(n);
    return buf_ + size_;
  }
  void Grow(std::size_t n);
  void AsciiWide(std::string_view s);
  void NewLineWide(std::size_t blanks);
  template <Enc E>
  bool EndsWithBrackets(const char* p) const;
  void Put(std::u16string_view s, Mode mode);
  template <Enc E>
  void PutAs(std::u16string_view s, Mode mode);

  const TVxXMLDocument& doc_;
  TInvalidChars& invChars_;
  bool formatedOutput_;
  Enc enc_;
  TEncoding cp_;
  bool delAllowed_;  // the encoding has a byte for DEL (U+007F)
  // Grown with realloc, which moves large blocks without copying them (or
  // faulting their pages in again); no byte is initialised before it is
  // written. A small block goes on to the next writer on the thread.
  char* buf_ = nullptr;
  std::size_t size_ = 0;
  std::size_t cap_ = 0;
};

}  // namespace kal
