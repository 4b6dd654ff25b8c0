#include "comm/Frame.h"

#include <gtest/gtest.h>

namespace kal {
namespace {

// Feeds `stream` in pieces of `piece` bytes and collects the frames; stops
// at a refused length.
std::vector<std::string> Assemble(const std::string& stream, size_t piece, uint32_t limit,
                                  bool* refused = nullptr) {
  TTHFrameAssembler a(limit);
  std::vector<std::string> frames;
  for (size_t at = 0; at < stream.size();) {
    at += a.THFFeed(stream.data() + at, std::min(piece, stream.size() - at));
    if (refused != nullptr) *refused = a.THFTooLong();
    if (a.THFTooLong()) break;
    if (a.THFComplete()) frames.push_back(a.THFTakeFrame());
  }
  return frames;
}

TEST(Frame, PiecesOfAnySizeGiveTheSameFramesUpToTheLimit) {
  const std::vector<std::string> expected = {THFMakeFrame(""), THFMakeFrame("a"),
                                             THFMakeFrame(std::string(300, 'x'))};
  EXPECT_EQ(expected[1], std::string("\0\0\0\1a", 5));
  const std::string stream = expected[0] + expected[1] + expected[2];
  for (size_t piece : {1, 3, 5, 4096}) EXPECT_EQ(Assemble(stream, piece, 300), expected) << piece;

  bool refused = false;
  EXPECT_EQ(Assemble(stream, 7, 299, &refused).size(), 2u);
  EXPECT_TRUE(refused);
  TTHFrameAssembler a(299);
  EXPECT_EQ(a.THFFeed(expected[2].data(), expected[2].size()), 4u) << "no body byte is taken";
  // A length with the top bit set is a large length, not a negative one.
  EXPECT_EQ(THFLengthOf(std::string("\x80\0\0\0", 4)), 0x80000000u);
  EXPECT_EQ(THFFrameTooLongText(10000001), "Frame length exceeds limit: 10000001");
}

// An unfinished body holds the bytes that arrived, never what its header
// announces or twice what came.
TEST(Frame, TheBodyBufferHoldsTheBytesThatArrived) {
  TTHFrameAssembler a(5'000'000);
  const std::string header = THFLengthBytes(4'900'000);
  ASSERT_EQ(a.THFFeed(header.data(), header.size()), 4u);
  EXPECT_EQ(a.THFBodyCapacity(), 0u);
  const std::string piece(65536, 'b');
  for (size_t arrived = piece.size(); arrived <= 3'000'000; arrived += piece.size()) {
    ASSERT_EQ(a.THFFeed(piece.data(), piece.size()), piece.size());
    ASSERT_EQ(a.THFBodyCapacity(), arrived);
  }
  a.THFReset();
  EXPECT_EQ(a.THFBodyCapacity(), 0u);
}

}  // namespace
}  // namespace kal
