#include "ep2/Utf8Text.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "common/TestSupport.h"

namespace kal {
namespace {

// Byte strings built from lead bytes of every class, continuation bytes,
// overlong forms, surrogates and code points past U+10FFFF, judged by
// python's strict decoder.
TEST(Utf8Text, ValidityAgreesWithPython) {
  const std::string bytes = test::FromHex("00417F808F909FA0BFC0C1C2DFE0E1ECEDEEEFF0F1F3F4F5F8FEFF");
  std::mt19937 rng(42);
  std::string input;
  std::vector<std::string> samples;
  for (int i = 0; i < 20000; ++i) {
    std::string s;
    for (int n = rng() % 6; n > 0; --n) s.push_back(bytes[rng() % bytes.size()]);
    samples.push_back(s);
    input += test::ToHex(s) + "\n";
  }
  const std::string script =
      "import sys\n"
      "for line in sys.stdin:\n"
      "    try:\n"
      "        bytes.fromhex(line.strip()).decode('utf-8'); print('1')\n"
      "    except UnicodeDecodeError: print('0')\n";
  std::istringstream out(test::RunPython(script, input));
  std::string verdict;
  int valid = 0;
  for (const std::string& s : samples) {
    ASSERT_TRUE(std::getline(out, verdict));
    valid += verdict == "1";
    ASSERT_EQ(UTFIsValidUTF8(s), verdict == "1") << test::ToHex(s);
  }
  EXPECT_GT(valid, 1000);  // the samples hold both kinds
  EXPECT_EQ(UTFTextAsUTF8("\xC3\xA9"), "\xC3\xA9");
  EXPECT_EQ(UTFTextAsUTF8("\xE9t\xFF"), "\xC3\xA9t\xC3\xBF");
}

}  // namespace
}  // namespace kal
