#pragma once

// The input buffer of the XML scanner: turns a byte stream into UTF-16 code
// units, one at a time, lets the scanner step back over what it looked ahead
// at, and counts lines.

#include <array>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "xml/CodePages.h"
#include "xml/XMLStrings.h"

namespace kal {

// Bytes read from the stream at a time.
inline constexpr std::size_t BLOCKSIZE = 102401;
// What GetChar returns at the end of the input.
inline constexpr char16_t EOFChar = 0;

class TInputBuffer {
 public:
  // Characters that can be stepped back over: far more than the scanner
  // looks ahead (the longest keyword it tries), bounded so that memory does
  // not grow with the document.
  static constexpr std::size_t kMaxStepBack = 4096;

  // invChars receives the bytes and code units that decode to "_"; it must
  // outlive the buffer. blockSize is the number of bytes read from the stream
  // at a time.
  explicit TInputBuffer(TInvalidChars& invChars, std::size_t blockSize = BLOCKSIZE);
  TInputBuffer(const TInputBuffer&) = delete;
  TInputBuffer& operator=(const TInputBuffer&) = delete;

  // Starts reading stream (not owned; it must outlive the reads) from its
  // beginning (from where it stands when it cannot seek). A byte-order mark
  // decides the encoding: FF FE little-endian UTF-16, FE FF big-endian
  // UTF-16, EF BB BF UTF-8; the mark is skipped. Without one the input is
  // read as UTF-8 until SetEncoding names another encoding. Forgets the
  // previous stream, the characters read and the line count.
  void Init(std::istream& stream);

  // The next code unit, or EOFChar at the end of the input (and on every
  // further call). A character above U+FFFF comes as two surrogate units. A
  // byte or sequence that decodes to nothing (malformed UTF-8, a byte the
  // code page does not allow, a lone surrogate or an odd last byte in UTF-16)
  // and a NUL character come as "_" and are recorded, so EOFChar only ever
  // means the end.
  char16_t GetChar();
  // Steps back over the last unit delivered (an EOFChar included), so that
  // the next GetChar delivers it again, at most kMaxStepBack units; beyond
  // that, and before the first character, it does nothing.
  void UnGetChar();
  // n GetChar results in a row (an EOFChar for each call past the end).
  std::u16string GetChars(std::size_t n);
  void UnGetChars(std::size_t n);

  // Decodes the bytes not yet read in cp. Ignored after a UTF-16 byte-order
  // mark (the mark decides) and for n_sup and UTF_16 (an 8-bit stream cannot
  // turn into a 16-bit one); characters already read stay as they are.
  void SetEncoding(TEncoding cp);

  TEncoding Encoding() const { return cp_; }
  bool IsWide() const { return wide_; }
  bool IsBigEndian() const { return bigEndian_; }

  // Line of the next character (from 1). LF, CR and CR LF each end a line;
  // stepping back over a line end goes back a line.
  int GetLineNumber() const { return line_; }

 private:
  // The ring keeps one unit more than can be stepped back over: the one
  // before the oldest, which decides whether an LF there ends a line.
  static constexpr std::size_t kHistory = 2 * kMaxStepBack;
  static constexpr std::size_t kHistoryMask = kHistory - 1;
  static_assert((kMaxStepBack & (kMaxStepBack - 1)) == 0, "ring size is a power of two");

  std::size_t EnsureBytes(std::size_t k);
  bool Refill();
  std::int32_t DecodeNext();
  char16_t Replaced(char16_t recorded);
  bool EndsLine(std::size_t i) const;
  void Remember(char16_t c);
  std::size_t DecodeUTF8Run(char16_t* dst, std::size_t want);
  void RecordDelivered(const char16_t* units, std::size_t count);

  TInvalidChars& invChars_;
  std::istream* stream_ = nullptr;
  TEncoding cp_ = TEncoding::UTF_8;
  bool wide_ = false;
  bool bigEndian_ = false;

  // Undecoded bytes: bytes_[pos_, end_). A refill keeps the bytes of an
  // unfinished character and appends up to blockSize_ bytes behind them.
  std::size_t blockSize_;
  std::vector<unsigned char> bytes_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool streamDone_ = true;
  char16_t pendingLow_ = 0;  // second half of a surrogate pair not yet delivered

  // The units delivered since Init, the last of them kept for stepping back:
  // unit i (counted from 0) is history_[i & kHistoryMask]; head_ units have
  // been delivered and back_ of them stepped back over.
  std::array<char16_t, kHistory> history_{};
  std::size_t head_ = 0;
  std::size_t back_ = 0;
  std::size_t eofReads_ = 0;  // EOFChars delivered and not stepped back over
  int line_ = 1;
};

}  // namespace kal
