#include "comm/Frame.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

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

void TTHFrameAssembler::TFree::operator()(char* p) const {
  std::free(p);
}

size_t TTHFrameAssembler::THFFeed(const char* data, size_t size) {
  size_t taken = 0;
  if (!THFHeaderComplete()) {
    taken = std::min(size, THFcLengthBytes - size_);
    std::memcpy(header_ + size_, data, taken);
    size_ += taken;
    if (!THFHeaderComplete()) return taken;
  }
  if (THFTooLong()) return taken;
  const size_t body = std::min(size - taken, THFLength() - THFBodyBytes());
  if (body == 0) return taken;
  if (body == THFLength()) {
    // The whole body in one piece (the usual case): the frame is made at
    // once, without the body buffer and a second copy.
    whole_.reserve(THFcLengthBytes + body);
    whole_.assign(header_, THFcLengthBytes);
    whole_.append(data + taken, body);
    size_ += body;
    capacity_ = body;
    return taken + body;
  }
  const size_t needed = THFBodyBytes() + body;
  if (needed > capacity_) {
    char* grown = static_cast<char*>(std::realloc(body_.get(), needed));
    if (grown == nullptr) throw std::bad_alloc();
    static_cast<void>(body_.release());
    body_.reset(grown);
    capacity_ = needed;
  }
  std::memcpy(body_.get() + THFBodyBytes(), data + taken, body);
  size_ += body;
  return taken + body;
}

std::string TTHFrameAssembler::THFTakeFrame() {
  if (!whole_.empty()) {
    std::string frame = std::move(whole_);
    THFReset();
    return frame;
  }
  std::string frame;
  frame.reserve(size_);
  frame.append(header_, std::min(size_, THFcLengthBytes));
  if (THFBodyBytes() > 0) frame.append(body_.get(), THFBodyBytes());
  THFReset();
  return frame;
}

void TTHFrameAssembler::THFReset() {
  size_ = 0;
  std::string().swap(whole_);
  body_.reset();
  capacity_ = 0;
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
        socket_->PLTReceive(buffer_.data(), buffer_.size(), timeoutMs, got, code, wakes, drained_);
    if (r != TPLTReceive::kData) return r;
    begin_ = 0;
    end_ = got;
    drained_ = got < buffer_.size();
  }
  begin_ += frame_.THFFeed(buffer_.data() + begin_, end_ - begin_);
  return TPLTReceive::kData;
}

}  // namespace kal
