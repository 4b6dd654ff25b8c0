#include "xml/InputBuffer.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kal {

namespace {

// GetChars reserves at most this many units up front, so that a large request
// for a short stream does not allocate for the request.
constexpr std::size_t kChunk = 65536;
// Units GetChars decodes in one run before appending them.
constexpr std::size_t kRun = 2048;
static_assert(kRun <= TInputBuffer::kMaxStepBack);  // one run fits into the ring

// The ring and the byte buffer of the last buffer that went on this thread.
// A byte buffer is kept only up to a block and its carry-over, so that a
// large one does not stay with the thread. Buffers that go after the
// thread's own objects (a static one at exit) free theirs.
struct TSpareBuffers {
  std::unique_ptr<char16_t[]> history;
  std::unique_ptr<unsigned char[]> bytes;
  std::size_t capacity = 0;
  bool gone = false;
  ~TSpareBuffers() {
    history.reset();
    bytes.reset();
    gone = true;
  }
};
thread_local TSpareBuffers tSpareBuffers;

}  // namespace

TInputBuffer::TInputBuffer(TInvalidChars& invChars, std::size_t blockSize)
    : invChars_(invChars), blockSize_(std::max<std::size_t>(blockSize, 1)) {
  if (!tSpareBuffers.gone && tSpareBuffers.history) {
    history_ = std::move(tSpareBuffers.history);
    bytes_ = std::move(tSpareBuffers.bytes);
    capacity_ = std::exchange(tSpareBuffers.capacity, 0);
  } else {
    history_ = std::make_unique_for_overwrite<char16_t[]>(kHistory);
  }
}

TInputBuffer::~TInputBuffer() {
  if (tSpareBuffers.gone || tSpareBuffers.history || !history_) return;
  tSpareBuffers.history = std::move(history_);
  if (capacity_ <= BLOCKSIZE + 4) {
    tSpareBuffers.bytes = std::move(bytes_);
    tSpareBuffers.capacity = capacity_;
  }
}

void TInputBuffer::Init(std::istream& stream) {
  stream_ = &stream;
  stream.clear();
  stream.seekg(0);
  streamLeft_ = kUnknownLeft;
  if (!stream) {
    stream.clear();  // not seekable: read from where it stands
  } else if (stream.seekg(0, std::ios::end)) {
    const std::istream::pos_type size = stream.tellg();
    if (size != std::istream::pos_type(-1)) streamLeft_ = static_cast<std::size_t>(size);
    stream.seekg(0);
  }
  if (!stream) {
    stream.clear();
    streamLeft_ = kUnknownLeft;
    stream.seekg(0);
  }
  // Room for a block, or for the whole of a shorter stream, and for the
  // bytes of one unfinished character (at most 3) kept in front of a block.
  // A short message thus needs no block-sized buffer.
  const std::size_t want =
      (streamLeft_ == kUnknownLeft ? blockSize_ : std::min(blockSize_, streamLeft_)) + 4;
  if (capacity_ < want) {
    bytes_.reset();
    bytes_ = std::make_unique_for_overwrite<unsigned char[]>(want);
    capacity_ = want;
  }
  pos_ = end_ = 0;
  streamDone_ = false;
  pendingLow_ = 0;
  head_ = back_ = eofReads_ = runEnd_ = 0;
  line_ = 1;
  wide_ = bigEndian_ = hasBOM_ = false;
  cp_ = TEncoding::UTF_8;

  const std::size_t have = EnsureBytes(3);
  const unsigned char* p = bytes_.get() + pos_;
  if (have >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    wide_ = true;
    pos_ += 2;
  } else if (have >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
    wide_ = bigEndian_ = true;
    pos_ += 2;
  } else if (have >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
    pos_ += 3;
  }
  hasBOM_ = pos_ > 0;
  if (wide_) cp_ = TEncoding::UTF_16;
  plainUTF8_ = !wide_;
}

bool TInputBuffer::Refill() {
  if (streamDone_ || !stream_) return false;
  const std::size_t keep = end_ - pos_;
  if (keep > 0 && pos_ > 0) std::memmove(bytes_.get(), bytes_.get() + pos_, keep);
  pos_ = 0;
  end_ = keep;
  const std::size_t room = std::min(blockSize_, capacity_ - keep);
  stream_->read(reinterpret_cast<char*>(bytes_.get() + keep), static_cast<std::streamsize>(room));
  const std::streamsize got = stream_->gcount();
  if (got > 0) end_ += static_cast<std::size_t>(got);
  if (streamLeft_ != kUnknownLeft)
    streamLeft_ -=
        std::min(streamLeft_, static_cast<std::size_t>(std::max<std::streamsize>(got, 0)));
  // istream::read comes back short only at the end of the stream or on an
  // error; either way nothing more will come.
  if (got < static_cast<std::streamsize>(room)) streamDone_ = true;
  return got > 0;
}

std::size_t TInputBuffer::UnitsLeft() const {
  if (streamLeft_ == kUnknownLeft) return kUnknownLeft;
  // Each unit takes at least one byte (two in UTF-16); a surrogate's second
  // half and the units stepped back over come on top.
  const std::size_t bytes = end_ - pos_ + streamLeft_;
  return (wide_ ? bytes / 2 + 1 : bytes) + back_ + 1;
}

std::size_t TInputBuffer::EnsureBytes(std::size_t k) {
  while (end_ - pos_ < k && Refill()) {
  }
  return std::min(end_ - pos_, k);
}

char16_t TInputBuffer::Replaced(char16_t recorded) {
  invChars_.Add(recorded);
  return kReplacementChar;
}

std::int32_t TInputBuffer::DecodeNext() {
  if (pendingLow_) {
    const char16_t low = pendingLow_;
    pendingLow_ = 0;
    return low;
  }
  if (wide_) {
    const std::size_t have = EnsureBytes(2);
    if (have == 0) return -1;
    const unsigned char* p = bytes_.get() + pos_;
    if (have == 1) {  // odd last byte
      ++pos_;
      return Replaced(p[0]);
    }
    const char16_t w = bigEndian_ ? CharsToWideChar(p[0], p[1]) : CharsToWideChar(p[1], p[0]);
    pos_ += 2;
    if (w == 0 || IsLowSurrogate(w)) return Replaced(w);
    if (IsHighSurrogate(w)) {
      if (EnsureBytes(2) == 2) {
        const unsigned char* q = bytes_.get() + pos_;
        const char16_t next =
            bigEndian_ ? CharsToWideChar(q[0], q[1]) : CharsToWideChar(q[1], q[0]);
        if (IsLowSurrogate(next)) {
          pos_ += 2;
          pendingLow_ = next;
          return w;
        }
      }
      return Replaced(w);
    }
    return w;
  }
  if (EnsureBytes(1) == 0) return -1;
  const unsigned char b = bytes_[pos_];
  if (cp_ != TEncoding::UTF_8) {
    ++pos_;
    return UChr(b, cp_, &invChars_);
  }
  if (b < 0x80) {
    ++pos_;
    return b == 0 ? Replaced(0) : b;
  }
  const std::size_t have = EnsureBytes(4);
  std::size_t length = 0;
  const char32_t c = MBToWideChar(
      std::string_view(reinterpret_cast<const char*>(bytes_.get() + pos_), have), length);
  pos_ += length;
  if (c == kInvalidUTF8) return Replaced(b);
  if (c >= 0x10000) {
    pendingLow_ = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    return static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
  }
  return static_cast<std::int32_t>(c);
}

char16_t TInputBuffer::GetCharSlow() {
  const std::int32_t c = DecodeNext();
  if (c < 0) {
    if (eofReads_ < kMaxStepBack) ++eofReads_;
    return EOFChar;
  }
  Remember(static_cast<char16_t>(c));
  return static_cast<char16_t>(c);
}

void TInputBuffer::UnGetChars(std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) UnGetChar();
}

void TInputBuffer::SetEncoding(TEncoding cp) {
  if (wide_) return;
  if (cp == TEncoding::UTF_8 || IsSingleByte(cp)) cp_ = cp;
  plainUTF8_ = cp_ == TEncoding::UTF_8;
}

// Decodes well-formed UTF-8 from the bytes at hand straight into dst, at most
// want units. Stops short (leaving the rest to DecodeNext) at anything that
// needs care: a NUL, an ill-formed sequence, a sequence that may run past the
// bytes at hand, or a surrogate pair that does not fit.
std::size_t TInputBuffer::DecodeUTF8Run(char16_t* dst, std::size_t want) {
  const unsigned char* p = bytes_.get() + pos_;
  const unsigned char* const end = bytes_.get() + end_;
  std::size_t k = 0;
  while (k < want && p < end) {
    const unsigned b = *p;
    if (b - 1u < 0x7Fu) {  // 0x01-0x7F
      dst[k++] = static_cast<char16_t>(b);
      ++p;
      continue;
    }
    if (end - p < 4) break;
    const unsigned b1 = p[1];
    if (b >= 0xC2 && b <= 0xDF) {
      if ((b1 & 0xC0) != 0x80) break;
      dst[k++] = static_cast<char16_t>((b & 0x1F) << 6 | (b1 & 0x3F));
      p += 2;
    } else if ((b & 0xF0) == 0xE0) {
      const unsigned b2 = p[2];
      const unsigned lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
      if (b1 < lo || b1 > hi || (b2 & 0xC0) != 0x80) break;
      dst[k++] = static_cast<char16_t>((b & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F));
      p += 3;
    } else if (b >= 0xF0 && b <= 0xF4) {
      const unsigned b2 = p[2], b3 = p[3];
      const unsigned lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
      if (k + 2 > want || b1 < lo || b1 > hi || (b2 & 0xC0) != 0x80 || (b3 & 0xC0) != 0x80) break;
      const char32_t c =
          ((b & 0x07) << 18 | (b1 & 0x3F) << 12 | (b2 & 0x3F) << 6 | (b3 & 0x3F)) - 0x10000;
      dst[k++] = static_cast<char16_t>(0xD800 + (c >> 10));
      dst[k++] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
      p += 4;
    } else {
      break;
    }
  }
  pos_ = static_cast<std::size_t>(p - bytes_.get());
  return k;
}

// Counts the lines of units delivered in bulk and keeps them for stepping
// back (a run is never longer than the ring).
void TInputBuffer::RecordDelivered(const char16_t* units, std::size_t count) {
  if (count == 0) return;
  int lines = units[0] == u'\r' ||
              (units[0] == u'\n' && (head_ == 0 || history_[(head_ - 1) & kHistoryMask] != u'\r'));
  for (std::size_t i = 1; i < count; ++i)
    lines += (units[i] == u'\r') | ((units[i] == u'\n') & (units[i - 1] != u'\r'));
  line_ += lines;
  const std::size_t at = head_ & kHistoryMask;
  const std::size_t first = std::min(count, kHistory - at);
  std::memcpy(history_.get() + at, units, first * sizeof(char16_t));
  std::memcpy(history_.get(), units + first, (count - first) * sizeof(char16_t));
  head_ += count;
}

std::u16string TInputBuffer::GetChars(std::size_t n) {
  std::u16string out;
  out.reserve(std::min(n, kChunk));
  char16_t run[kRun];
  while (out.size() < n) {
    if (back_ == 0 && eofReads_ == 0 && pendingLow_ == 0 && !wide_ && cp_ == TEncoding::UTF_8) {
      if (pos_ == end_) Refill();
      const std::size_t got = DecodeUTF8Run(run, std::min(n - out.size(), kRun));
      if (got > 0) {
        out.append(run, got);
        RecordDelivered(run, got);
        continue;
      }
    }
    out.push_back(GetChar());
  }
  return out;
}

}  // namespace kal
