#include "comm/Frame.h"

#include <gtest/gtest.h>

#include <random>

#include "common/TestSupport.h"

namespace kal {
namespace {

// Feeds `stream` in the given piece sizes (cycled) and collects the frames;
// stops at a refused length.
std::vector<std::string> Assemble(const std::string& stream, const std::vector<size_t>& pieces,
                                  uint32_t limit, bool* refused = nullptr) {
  TTHFrameAssembler a(limit);
  std::vector<std::string> frames;
  size_t at = 0;
  for (size_t i = 0; at < stream.size(); ++i) {
    const size_t end = std::min(stream.size(), at + pieces[i % pieces.size()]);
    while (at < end) {
      at += a.THFFeed(stream.data() + at, end - at);
      if (a.THFTooLong()) {
        if (refused) *refused = true;
        return frames;
      }
      if (a.THFComplete()) frames.push_back(a.THFTakeFrame());
    }
  }
  return frames;
}

TEST(Frame, PiecesOfAnySizeGiveTheSameFrames) {
  std::mt19937 rng(7);
  const std::vector<std::string> bodies = {"", "a", test::RandomBytes(rng, 300), "",
                                           test::RandomBytes(rng, 5000)};
  std::string stream;
  std::vector<std::string> expected;
  for (const std::string& b : bodies) {
    expected.push_back(THFMakeFrame(b));
    stream += expected.back();
  }
  EXPECT_EQ(THFMakeFrame("abc"), std::string("\0\0\0\3abc", 7));
  for (const std::vector<size_t>& pieces : std::vector<std::vector<size_t>>{
           {1}, {2}, {3}, {5}, {4096}, {stream.size()}, {1, 2, 3, 1000}})
    EXPECT_EQ(Assemble(stream, pieces, 5000), expected) << pieces[0];
}

TEST(Frame, TheLimitIsTakenAndOneMoreIsRefusedWithoutTakingTheBody) {
  const std::string atLimit = THFMakeFrame(std::string(100, 'x'));
  EXPECT_EQ(Assemble(atLimit, {7}, 100).size(), 1u);
  bool refused = false;
  EXPECT_TRUE(Assemble(atLimit, {7}, 99, &refused).empty());
  EXPECT_TRUE(refused);

  TTHFrameAssembler a(99);
  EXPECT_EQ(a.THFFeed(atLimit.data(), atLimit.size()), 4u);
  EXPECT_EQ(a.THFLength(), 100u);
  EXPECT_EQ(a.THFFeed(atLimit.data() + 4, 10), 0u);
  // A length with the top bit set is a large length, not a negative one.
  EXPECT_EQ(THFLengthOf(std::string("\x80\0\0\0", 4)), 0x80000000u);
  EXPECT_EQ(THFFrameTooLongText(10000001), "Frame length exceeds limit: 10000001");
}

}  // namespace
}  // namespace kal
