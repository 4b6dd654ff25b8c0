#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Socket.h"

namespace kal {

// Frames of the test link: the body length as 4 bytes, most significant
// first, then the body. Nothing else: no terminator, no checksum.

constexpr size_t THFcLengthBytes = 4;

// Error code of a frame whose length bytes announce more than the reader
// takes; the rest of the stream cannot be framed, so the connection ends.
constexpr int32_t THFcFrameTooLong = 7011;

// The 4 length bytes of a body length.
std::string THFLengthBytes(uint32_t length);
// The value of the first 4 bytes of `bytes` (fewer than 4: 0).
uint32_t THFLengthOf(std::string_view bytes);
// Length bytes and body, ready for one write.
std::string THFMakeFrame(std::string_view body);
// "Frame length exceeds limit: " and the announced length.
std::string THFFrameTooLongText(uint64_t length);

// Collects one frame from bytes that arrive in pieces of any size. A length
// header that arrives in parts is completed by later pieces; a length above
// the limit is refused as soon as the header is complete (no body byte is
// taken then). The buffer grows to the bytes that arrived, never to what a
// header only announces, and never doubles: many connections with long
// unfinished bodies hold what they sent, not twice that.
class TTHFrameAssembler final {
 public:
  explicit TTHFrameAssembler(uint32_t limit) : limit_(limit) {}

  // Takes bytes from the front of `data` up to the end of the current frame
  // (none once it is complete or refused); returns how many it took.
  size_t THFFeed(const char* data, size_t size);

  bool THFHeaderComplete() const { return size_ >= THFcLengthBytes; }
  size_t THFHeaderBytes() const { return size_ < THFcLengthBytes ? size_ : 4; }
  // The announced body length (0 until the header is complete).
  uint32_t THFLength() const {
    return THFHeaderComplete() ? THFLengthOf(std::string_view(header_, THFcLengthBytes)) : 0;
  }
  bool THFTooLong() const { return THFHeaderComplete() && THFLength() > limit_; }
  size_t THFBodyBytes() const { return THFHeaderComplete() ? size_ - THFcLengthBytes : 0; }
  // Bytes held for the body taken so far.
  size_t THFBodyCapacity() const { return capacity_; }
  bool THFComplete() const {
    return THFHeaderComplete() && !THFTooLong() && THFBodyBytes() == THFLength();
  }
  uint32_t THFLimit() const { return limit_; }

  // The length bytes and the body bytes taken so far; the assembler starts
  // a new frame.
  std::string THFTakeFrame();
  void THFReset();

 private:
  struct TFree {
    void operator()(char* p) const;
  };

  uint32_t limit_;
  char header_[THFcLengthBytes] = {};
  size_t size_ = 0;  // header and body bytes taken so far
  // The body bytes; realloc keeps a long body's growth in place (large
  // blocks are remapped, not copied).
  std::unique_ptr<char, TFree> body_;
  size_t capacity_ = 0;
  // A frame whose body came in one piece, length bytes first; empty
  // otherwise.
  std::string whole_;
};

// Reads frames from a connected socket through a read-ahead buffer, so that
// a frame that arrives in one piece takes one receive, and bytes of the next
// frame wait in the buffer for it.
//
// Threads: one receiving thread.
class TTHFrameReader final {
 public:
  static constexpr size_t THFcReadAhead = 64 * 1024;

  TTHFrameReader(std::shared_ptr<TPLTStreamSocket> socket, uint32_t limit);

  // Hands buffered bytes to the frame; only when none are buffered, waits up
  // to `timeoutMs` (negative: no limit) for the socket or a wake event and
  // hands over what came. kData means the frame has taken bytes (or is
  // complete or refused and takes no more); on kFailed `code` holds the
  // socket code.
  TPLTReceive THFRead(int timeoutMs, std::span<const TPLTWakeEvent* const> wakes, int& code);

  // True when bytes wait in the read-ahead buffer (THFRead will not wait).
  bool THFBuffered() const { return begin_ < end_; }
  TTHFrameAssembler& THFFrame() { return frame_; }
  TPLTStreamSocket& THFSocket() { return *socket_; }

 private:
  std::shared_ptr<TPLTStreamSocket> socket_;
  TTHFrameAssembler frame_;
  std::vector<char> buffer_;
  size_t begin_ = 0, end_ = 0;  // the unread part of buffer_
  // The last receive did not fill the buffer, so the socket was empty after
  // it: the next receive waits before it reads.
  bool drained_ = false;
};

}  // namespace kal
