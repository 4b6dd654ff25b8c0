// Frame assembly and the plug-in reply splitter against plain models.
//
// Input: byte 0 sets the frame limit (byte * 8), byte 1 the piece sizes the
// stream is fed in; the rest is the stream. The assembler, fed piece by
// piece, must give the frames, the refusal and the unfinished rest that one
// pass over the whole stream gives. The reply splitter must cut the stream
// at its fixed offsets.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "comm/Frame.h"
#include "comm/PlugInCall.h"

namespace {

using kal::fuzz::Check;

struct Outcome {
  std::vector<std::string> frames;
  bool refused = false;
  std::string rest;  // bytes of the unfinished frame
};

Outcome Model(const std::string& s, uint32_t limit) {
  Outcome o;
  size_t at = 0;
  while (s.size() - at >= 4) {
    const uint32_t length = kal::THFLengthOf(s.substr(at, 4));
    if (length > limit) {
      o.refused = true;
      o.rest = s.substr(at, 4);
      return o;
    }
    if (s.size() - at - 4 < length) break;
    o.frames.push_back(s.substr(at, 4 + length));
    at += 4 + length;
  }
  o.rest = s.substr(at);
  return o;
}

Outcome Assemble(const std::string& s, uint32_t limit, unsigned pattern) {
  Outcome o;
  kal::TTHFrameAssembler a(limit);
  size_t at = 0, step = 0;
  while (at < s.size()) {
    const size_t piece = 1 + (pattern + step++ * 7) % (pattern % 64 + 1);
    const size_t end = std::min(s.size(), at + piece);
    while (at < end) {
      const size_t took = a.THFFeed(s.data() + at, end - at);
      at += took;
      if (a.THFTooLong()) {
        Check(took <= 4);
        o.refused = true;
        o.rest = a.THFTakeFrame();
        return o;
      }
      if (a.THFComplete()) {
        o.frames.push_back(a.THFTakeFrame());
      } else {
        Check(at == end);  // an unfinished frame takes the whole piece
      }
    }
  }
  o.rest = a.THFTakeFrame();
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t limit = data[0] * 8u;
  const unsigned pattern = data[1];
  const std::string stream(reinterpret_cast<const char*>(data) + 2, size - 2);

  const Outcome want = Model(stream, limit);
  const Outcome got = Assemble(stream, limit, pattern);
  Check(got.frames == want.frames);
  Check(got.refused == want.refused);
  Check(got.rest == want.rest);

  std::string version = "v", spec = "sv", document = "doc";
  int32_t status = -1;
  const bool split = kal::PLGStreamToXMLDoc(stream, version, spec, status, document);
  Check(split == (stream.size() >= 4));
  if (split) {
    Check(version == stream.substr(0, 1) && spec == stream.substr(1, 2));
    Check(status == static_cast<uint8_t>(stream[3]) && document == stream.substr(4));
  } else {
    Check(version == "v" && spec == "sv" && status == -1 && document == "doc");
  }
  return 0;
}
