#include "comm/Frame.h"

#include <algorithm>

#include "support/ErrorTable.h"

namespace kal {

std::string THFLengthBytes(uint32_t length) {
  return {static_cast<char>(length >> 24), static_cast<char>(length >> 16),
          static_cast<char>(length >> 8), static_cast<char>(length)};
}

uint32_t THFLengthOf(std::string_view bytes) {
  if (bytes.size() < THFcLengthBytes) return 0;
  uint32_t v = 0;
  for (size_t i = 0; i < THFcLengthBytes; ++i) v = v << 8 | static_cast<unsigned char>(bytes[i]);
  return v;
}

std::string THFMakeFrame(std::string_view body) {
  std::string frame = THFLengthBytes(static_cast<uint32_t>(body.size()));
  frame += body;
  return frame;
}

std::string THFFrameTooLongText(uint64_t length) {
  std::string mainText, subText;
  TERRErrorTable::ERRGettexts(THFcFrameTooLong, mainText, subText);
  return mainText + std::to_string(length);
}

size_t TTHFrameAssembler::THFFeed(const char* data, size_t size) {
  size_t taken = 0;
  if (!THFHeaderComplete()) {
    taken = std::min(size, THFcLengthBytes - frame_.size());
    frame_.append(data, taken);
    if (!THFHeaderComplete() || THFTooLong()) return taken;
    // Room for a usual frame at once; a long body grows the string as it
    // arrives, so a header alone never claims the whole limit.
    frame_.reserve(THFcLengthBytes + std::min<size_t>(THFLength(), 64 * 1024));
  }
  if (THFTooLong()) return taken;
  const size_t body = std::min(size - taken, THFLength() - THFBodyBytes());
  frame_.append(data + taken, body);
  return taken + body;
}

std::string TTHFrameAssembler::THFTakeFrame() {
  std::string frame = std::move(frame_);
  frame_ = std::string();
  return frame;
}

TTHFrameReader::TTHFrameReader(std::shared_ptr<TPLTStreamSocket> socket, uint32_t limit)
    : socket_(std::move(socket)), frame_(limit), buffer_(THFcReadAhead) {}

TPLTReceive TTHFrameReader::THFRead(int timeoutMs, std::span<const TPLTWakeEvent* const> wakes,
                                    int& code) {
  code = 0;
  if (frame_.THFComplete() || frame_.THFTooLong()) return TPLTReceive::kData;
  if (begin_ == end_) {
    size_t got = 0;
    const TPLTReceive r =
        socket_->PLTReceive(buffer_.data(), buffer_.size(), timeoutMs, got, code, wakes);
    if (r != TPLTReceive::kData) return r;
    begin_ = 0;
    end_ = got;
  }
  begin_ += frame_.THFFeed(buffer_.data() + begin_, end_ - begin_);
  return TPLTReceive::kData;
}

}  // namespace kal
