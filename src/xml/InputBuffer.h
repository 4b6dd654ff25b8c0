#pragma once

// The input buffer of the XML scanner: turns a byte stream into UTF-16 code
// units, one at a time, lets the scanner step back over what it looked ahead
// at, and counts lines.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

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
  // Leaves its history ring and byte buffer to the next buffer made on this
  // thread (each parse of a message would otherwise allocate both anew).
  ~TInputBuffer();
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
  char16_t GetChar() {
    if (back_ > 0) return Redeliver();
    // ASCII in UTF-8 input, the bulk of every document, without a call.
    if (pendingLow_ == 0 && plainUTF8_ && pos_ < end_ && bytes_[pos_] - 1u < 0x7Fu) {
      const auto c = static_cast<char16_t>(bytes_[pos_++]);
      Remember(c);
      return c;
    }
    return GetCharSlow();
  }
  // Steps back over the last unit delivered (an EOFChar included), so that
  // the next GetChar delivers it again, at most kMaxStepBack units; beyond
  // that, and before the first character, it does nothing.
  void UnGetChar() {
    if (eofReads_ > 0) {
      --eofReads_;
      return;
    }
    if (back_ < std::min(head_ - runEnd_, kMaxStepBack)) {
      ++back_;
      line_ -= EndsLine(head_ - back_);
    }
  }
  // n GetChar results in a row (an EOFChar for each call past the end).
  std::u16string GetChars(std::size_t n);
  void UnGetChars(std::size_t n);
  // Appends units to out for as long as stop(unit) is false; the unit that
  // stops the run is not read (the next GetChar delivers it) and is
  // returned, EOFChar at the end of the input. With lineEnds, a CR LF pair
  // and a lone CR are appended as one LF (an LF right after a CR delivered
  // before the run included), as XML reads line ends; stop never sees a CR
  // then. The same as a loop of GetChar, but UTF-8 input is decoded in bulk
  // straight from the bytes, so the scanner can cut long text in one call;
  // in exchange the units of a run cannot be stepped back over. With
  // countLines false stop must hold for CR and LF (a name's run), and the
  // line ends a run cannot hold are not looked for.
  template <bool countLines = true, typename Stop>
  char16_t GetRun(std::u16string& out, Stop stop, bool lineEnds = false);

  // Passes over a run of blanks (space, TAB, CR, LF; possibly empty) when
  // the bytes at hand show that "<" follows it, counting its lines, and returns true; the next
  // GetChar delivers the "<". Returns false with nothing read otherwise (and
  // for any input that is not plain UTF-8 or after a step back). The
  // indentation between tags is passed over this way without a lexeme; the
  // blanks passed cannot be stepped back over.
  bool PassBlanks() {
    if (back_ != 0 || eofReads_ != 0 || pendingLow_ != 0 || !plainUTF8_) return false;
    const unsigned char* const begin = bytes_.get() + pos_;
    const unsigned char* const end = bytes_.get() + end_;
    const unsigned char* p = begin;
    while (p < end && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t')) ++p;
    if (p == end || *p != '<') return false;
    if (p == begin) return true;
    char16_t last = head_ > 0 ? history_[(head_ - 1) & kHistoryMask] : 0;
    for (const unsigned char* q = begin; q < p; ++q) {
      const char16_t c = *q;
      line_ += (c == u'\r') | (c == u'\n' && last != u'\r');
      last = c;
    }
    const auto n = static_cast<std::size_t>(p - begin);
    head_ += n;
    history_[(head_ - 1) & kHistoryMask] = last;
    runEnd_ = head_;
    pos_ += n;
    return true;
  }

  // Passes over the rest of name, whose first unit was the last delivered,
  // when the bytes at hand hold it in ASCII followed by a character that
  // ends a name, and returns true; the end tag of an open element is read
  // this way without a lexeme. Returns false with nothing read otherwise
  // (and for input that is not plain UTF-8 or after a step back).
  template <typename IsNameUnit>
  bool PassName(std::u16string_view name, IsNameUnit isNameUnit) {
    if (back_ != 0 || eofReads_ != 0 || pendingLow_ != 0 || !plainUTF8_ || name.empty())
      return false;
    const std::size_t n = name.size() - 1;
    if (end_ - pos_ <= n) return false;
    const unsigned char* const p = bytes_.get() + pos_;
    for (std::size_t i = 0; i < n; ++i)
      if (p[i] != name[i + 1] || p[i] >= 0x80) return false;
    // A NUL is left to GetChar, which replaces it with a name character.
    if (p[n] - 1u >= 0x7Fu || isNameUnit(static_cast<char16_t>(p[n]))) return false;
    if (n == 0) return true;
    head_ += n;
    history_[(head_ - 1) & kHistoryMask] = name.back();
    runEnd_ = head_;
    pos_ += n;
    return true;
  }

  // The bytes at hand from the next unit to be delivered on, for a scanner
  // that reads markup straight from them: false (with nothing changed) for
  // input that is not plain UTF-8, after an end of input was delivered, and
  // after a step back over more than one unit or over one that did not come
  // from a single ASCII byte. Only bytes already read are shown; a caller
  // that reaches end without finishing its construct leaves it to GetChar.
  bool PeekBytes(const unsigned char*& begin, const unsigned char*& end) const {
    if (eofReads_ != 0 || pendingLow_ != 0 || !plainUTF8_ || back_ > 1) return false;
    if (back_ == 1) {
      // The unit stepped back over must be the byte before pos_: the last
      // unit delivered, an ASCII byte (a replaced byte comes as "_", which
      // is refused), not part of a run.
      if (pos_ == 0 || head_ <= runEnd_) return false;
      const char16_t c = history_[(head_ - 1) & kHistoryMask];
      if (c != bytes_[pos_ - 1] || c - 1u >= 0x7Fu || c == kReplacementChar) return false;
    }
    begin = bytes_.get() + pos_ - back_;
    end = bytes_.get() + end_;
    return true;
  }
  // Delivers the first bytes of PeekBytes's view at once: units UTF-16
  // units, lines line ends among them, last the last unit (as read, a CR
  // not turned into LF). They cannot be stepped back over.
  void PassBytes(std::size_t bytes, std::size_t units, int lines, char16_t last) {
    if (bytes == 0) return;
    pos_ = pos_ - back_ + bytes;
    head_ = head_ - back_ + units;
    back_ = 0;
    history_[(head_ - 1) & kHistoryMask] = last;
    runEnd_ = head_;
    line_ += lines;
  }

  // Decodes the bytes not yet read in cp. Ignored after a UTF-16 byte-order
  // mark (the mark decides) and for n_sup and UTF_16 (an 8-bit stream cannot
  // turn into a 16-bit one); characters already read stay as they are.
  void SetEncoding(TEncoding cp);

  TEncoding Encoding() const { return cp_; }
  bool IsWide() const { return wide_; }
  bool IsBigEndian() const { return bigEndian_; }
  // The input began with a byte-order mark (UTF-8 or UTF-16), which decided
  // the encoding.
  bool HasByteOrderMark() const { return hasBOM_; }
  const TInvalidChars& InvalidCharRecord() const { return invChars_; }

  // Line of the next character (from 1). LF, CR and CR LF each end a line;
  // stepping back over a line end goes back a line.
  int GetLineNumber() const { return line_; }

  // At least as many units as are still to be delivered, or kUnknownLeft
  // when the stream's length cannot be had.
  static constexpr std::size_t kUnknownLeft = static_cast<std::size_t>(-1);
  std::size_t UnitsLeft() const;

 private:
  // The ring keeps one unit more than can be stepped back over: the one
  // before the oldest, which decides whether an LF there ends a line.
  static constexpr std::size_t kHistory = 2 * kMaxStepBack;
  static constexpr std::size_t kHistoryMask = kHistory - 1;
  static_assert((kMaxStepBack & (kMaxStepBack - 1)) == 0, "ring size is a power of two");
  // Bytes GetRun scans in one stretch.
  static constexpr std::ptrdiff_t kRunBytes = kMaxStepBack;
  // A run this long has room made once for the rest of the input, so that a
  // long text is not copied again and again as its string grows, and its
  // string never holds twice what it needs.
  static constexpr std::size_t kLongRun = std::size_t{1} << 16;
  template <typename String>
  void MakeRoom(String& out) const {
    if (out.size() < kLongRun || out.capacity() - out.size() > std::size_t(kRunBytes)) return;
    const std::size_t left = UnitsLeft();
    if (left != kUnknownLeft && left > out.capacity() - out.size()) out.reserve(out.size() + left);
  }

  std::size_t EnsureBytes(std::size_t k);
  bool Refill();
  std::int32_t DecodeNext();
  char16_t Replaced(char16_t recorded);
  char16_t GetCharSlow();
  // Whether delivered unit i ends a line: a CR, or an LF not right after a
  // CR.
  bool EndsLine(std::size_t i) const {
    const char16_t c = history_[i & kHistoryMask];
    return c == u'\r' || (c == u'\n' && (i == 0 || history_[(i - 1) & kHistoryMask] != u'\r'));
  }
  void Remember(char16_t c) {
    history_[head_ & kHistoryMask] = c;
    line_ += EndsLine(head_);
    ++head_;
  }
  char16_t Redeliver() {
    const std::size_t i = head_ - back_;
    --back_;
    line_ += EndsLine(i);
    return history_[i & kHistoryMask];
  }
  std::size_t DecodeUTF8Run(char16_t* dst, std::size_t want);
  void RecordDelivered(const char16_t* units, std::size_t count);

  TInvalidChars& invChars_;
  std::istream* stream_ = nullptr;
  TEncoding cp_ = TEncoding::UTF_8;
  bool wide_ = false;
  bool bigEndian_ = false;
  bool hasBOM_ = false;
  bool plainUTF8_ = true;  // UTF-8 without a byte-order mark of UTF-16

  // Undecoded bytes: bytes_[pos_, end_). A refill keeps the bytes of an
  // unfinished character and appends up to blockSize_ bytes behind them.
  std::size_t blockSize_;
  // Allocated without being cleared: only bytes read into it are used.
  std::unique_ptr<unsigned char[]> bytes_;
  std::size_t capacity_ = 0;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool streamDone_ = true;
  std::size_t streamLeft_ = kUnknownLeft;  // bytes the stream has not handed over
  char16_t pendingLow_ = 0;                // second half of a surrogate pair not yet delivered

  // The units delivered since Init, the last of them kept for stepping back:
  // unit i (counted from 0) is history_[i & kHistoryMask]; head_ units have
  // been delivered and back_ of them stepped back over. Of a run delivered by
  // GetRun only the last unit is kept.
  std::unique_ptr<char16_t[]> history_;
  std::size_t head_ = 0;
  std::size_t back_ = 0;
  std::size_t eofReads_ = 0;  // EOFChars delivered and not stepped back over
  std::size_t runEnd_ = 0;    // units before it were delivered by GetRun
  int line_ = 1;
};

template <bool countLines, typename Stop>
char16_t TInputBuffer::GetRun(std::u16string& out, Stop stop, bool lineEnds) {
  // The unit before the next one: an LF after a CR ends no line of its own.
  const std::size_t next = head_ - back_;
  char16_t prev = next > 0 ? history_[(next - 1) & kHistoryMask] : 0;
  for (;;) {
    MakeRoom(out);
    if (back_ == 0 && eofReads_ == 0 && pendingLow_ == 0 && plainUTF8_) {
      if (end_ - pos_ < 4) EnsureBytes(4);
      const unsigned char* const begin = bytes_.get() + pos_;
      const unsigned char* const end = bytes_.get() + end_;
      // A stretch of ASCII first, found byte by byte and then widened and
      // counted in one go. Of the stretch only the last unit goes into the
      // ring, for the line count of what follows.
      const unsigned char* p = begin;
      const unsigned char* const limit = end - begin > kRunBytes ? begin + kRunBytes : end;
      int crs = 0, lfs = 0;
      for (; p < limit; ++p) {
        const unsigned b = *p;
        if (b - 1u >= 0x7Fu || ((b != '\r' || !lineEnds) && stop(static_cast<char16_t>(b)))) break;
        if constexpr (countLines) {
          crs += b == '\r';
          lfs += b == '\n';
        }
      }
      const std::size_t n = static_cast<std::size_t>(p - begin);
      if (n > 0) {
        const std::size_t at = out.size();
        if (crs == 0) {
          // An LF that completes a CR delivered before ends no line, and
          // with lineEnds the CR stood for it already.
          const bool afterCR = prev == u'\r' && begin[0] == '\n';
          const std::size_t from = lineEnds && afterCR ? 1 : 0;
          out.resize(at + n - from);
          char16_t* dst = out.data() + at;
          for (std::size_t i = from; i < n; ++i) dst[i - from] = begin[i];
          line_ += lfs - afterCR;
        } else {
          char16_t last = prev;
          for (std::size_t i = 0; i < n; ++i) {
            const char16_t c = begin[i];
            const bool joined = c == u'\n' && last == u'\r';
            line_ += !joined && (c == u'\n' || c == u'\r');
            if (!lineEnds)
              out.push_back(c);
            else if (!joined)
              out.push_back(c == u'\r' ? u'\n' : c);
            last = c;
          }
        }
        prev = begin[n - 1];
        head_ += n;
        history_[(head_ - 1) & kHistoryMask] = prev;
        runEnd_ = head_;
        pos_ += n;
      }
      if (p < end) {
        const unsigned b = *p;
        if (b - 1u < 0x7Fu) {
          if (p < limit) return static_cast<char16_t>(b);  // an ASCII unit that stops the run
          continue;
        }
        // One character of more than one byte; NUL, a sequence that may run
        // past the bytes at hand and anything ill-formed are left to
        // GetChar, which replaces and records.
        if (b != 0 && (end - p >= 4 || streamDone_)) {
          std::size_t length = 0;
          const char32_t c = MBToWideChar(
              std::string_view(reinterpret_cast<const char*>(p),
                               static_cast<std::size_t>(std::min<std::ptrdiff_t>(end - p, 4))),
              length);
          if (c != kInvalidUTF8 && c < 0x10000) {
            const auto w = static_cast<char16_t>(c);
            if (stop(w)) return w;
            pos_ += length;
            Remember(w);
            runEnd_ = head_;
            out.push_back(w);
            prev = w;
            continue;
          }
        }
      } else if (n > 0) {
        continue;  // more bytes may follow
      }
    }
    // Everything else goes unit by unit.
    const char16_t c = GetChar();
    if (c == EOFChar || ((c != u'\r' || !lineEnds) && stop(c))) {
      UnGetChar();
      return c;
    }
    if (!lineEnds)
      out.push_back(c);
    else if (!(c == u'\n' && prev == u'\r'))
      out.push_back(c == u'\r' ? u'\n' : c);
    prev = c;
  }
}

}  // namespace kal
