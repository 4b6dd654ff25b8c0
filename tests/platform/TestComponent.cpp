// The component layer: GUID texts against python3's uuid, variant
// coercion and the registry file under concurrent registrations (read back
// with python3's configparser). Dispatch checks are shown through the
// help-button control's tests.

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "common/TestSupport.h"
#include "platform/component/ComponentRegistry.h"
#include "platform/component/Dispatch.h"

namespace kal {
namespace {

TEST(ComponentGuid, TextFormsAgreeWithPythonUuid) {
  // Random GUIDs and a few fixed ones, with the fields uuid reads from them.
  const std::string out = test::RunPython(
      "import uuid\n"
      "ids = [uuid.uuid4() for _ in range(40)]\n"
      "ids += [uuid.UUID(int=0), uuid.UUID(int=(1 << 128) - 1),\n"
      "        uuid.UUID('550badc4-e6a3-11d0-a389-0000e81f4743')]\n"
      "for u in ids:\n"
      "    f = u.fields\n"
      "    print('{%s}' % str(u), '{%s}' % str(u).upper(), f[0], f[1], f[2],\n"
      "          u.bytes[8:].hex())\n",
      "");
  int rows = 0;
  for (const std::string& line : test::SplitLines(out)) {
    std::istringstream in(line);
    std::string lower, upper, tail;
    uint32_t d1 = 0, d2 = 0, d3 = 0;
    in >> lower >> upper >> d1 >> d2 >> d3 >> tail;
    const auto fromLower = PLTGuidFromString(lower);
    const auto fromUpper = PLTGuidFromString(upper);
    ASSERT_TRUE(fromLower && fromUpper) << line;
    EXPECT_EQ(*fromLower, *fromUpper);
    EXPECT_EQ(fromLower->data1, d1);
    EXPECT_EQ(fromLower->data2, d2);
    EXPECT_EQ(fromLower->data3, d3);
    EXPECT_EQ(test::ToHex(std::string(fromLower->data4.begin(), fromLower->data4.end())),
              test::ToHex(test::FromHex(tail)));
    EXPECT_EQ(PLTGuidToString(*fromLower), upper);
    ++rows;
  }
  EXPECT_EQ(rows, 43);

  for (const char* bad :
       {"", "550BADC4-E6A3-11D0-A389-0000E81F4743", "{550BADC4-E6A3-11D0-A389-0000E81F474}",
        "{550BADC4-E6A3-11D0-A389-0000E81F47430}", "{550BADC4E6A3-11D0-A389-0000E81F4743-}",
        "{550BADC4-E6A3-11D0-A389-0000E81F474G}", "(550BADC4-E6A3-11D0-A389-0000E81F4743)",
        "{ 50BADC4-E6A3-11D0-A389-0000E81F4743}", "{+50BADC4-E6A3-11D0-A389-0000E81F4743}"})
    EXPECT_FALSE(PLTGuidFromString(bad)) << bad;
}

TEST(ComponentVariant, CoercionBetweenIntegralTypes) {
  using T = TPLTVarType;
  struct Case {
    TPLTVariant from;
    T to;
    PLTResult result;
    int32_t value;
  };
  // clang-format off
  const Case cases[] = {
      {TPLTVariant::I4(70000),  T::I4,   PLT_S_OK, 70000},
      {TPLTVariant::I4(-32768), T::I2,   PLT_S_OK, -32768},
      {TPLTVariant::I4(32768),  T::I2,   PLT_DISP_E_OVERFLOW, 0},
      {TPLTVariant::I4(-32769), T::I2,   PLT_DISP_E_OVERFLOW, 0},
      {TPLTVariant::I2(-5),     T::I4,   PLT_S_OK, -5},
      {TPLTVariant::I4(2),      T::Bool, PLT_S_OK, -1},
      {TPLTVariant::I2(0),      T::Bool, PLT_S_OK, 0},
      {TPLTVariant::Bool(true), T::I4,   PLT_S_OK, -1},
      {TPLTVariant::Bool(true), T::I2,   PLT_S_OK, -1},
      {TPLTVariant::Bstr(u"1"), T::I4,   PLT_DISP_E_TYPEMISMATCH, 0},
      {TPLTVariant::I4(1),      T::Bstr, PLT_DISP_E_TYPEMISMATCH, 0},
      {TPLTVariant(),           T::I4,   PLT_DISP_E_TYPEMISMATCH, 0},
      {TPLTVariant::Font(u"x"), T::Bstr, PLT_DISP_E_TYPEMISMATCH, 0},
  };
  // clang-format on
  for (const Case& c : cases) {
    TPLTVariant out;
    EXPECT_EQ(c.from.PLTChangeType(c.to, out), c.result)
        << static_cast<int>(c.from.PLTType()) << " -> " << static_cast<int>(c.to);
    if (c.result == PLT_S_OK) {
      EXPECT_EQ(out.PLTType(), c.to);
      EXPECT_EQ(out.PLTInteger(), c.value);
    }
  }
}

TEST(ComponentRegistry, ConcurrentRegistrationsEachLandWhole) {
  test::TempDir dir;
  const std::string path = dir.file("cfg/components.ini");
  constexpr int cThreads = 4;
  constexpr int cRounds = 15;
  std::vector<std::thread> threads;
  std::vector<int> failures(cThreads, 0);
  for (int t = 0; t < cThreads; ++t) {
    threads.emplace_back([&, t] {
      TPLTComponentRegistry registry(path);
      for (int r = 0; r < cRounds; ++r) {
        TPLTClassEntry e;
        e.clsid = TPLTGuid{static_cast<uint32_t>(t * 1000 + r), 1, 2, {}};
        e.name = "class " + std::to_string(t) + "/" + std::to_string(r);
        e.libraryPath = "/lib/t" + std::to_string(t) + ".so";
        e.progId = "Test.T" + std::to_string(t) + "R" + std::to_string(r) + ".1";
        if (registry.PLTRegisterClasses({e}) != 0) ++failures[t];
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures, std::vector<int>(cThreads, 0));
  // Every class and ProgID of every thread is there; the file parses.
  const std::string out = test::RunPython(
      "import configparser\n"
      "c = configparser.ConfigParser(interpolation=None)\n"
      "c.optionxform = str\n"
      "c.read('" +
          path +
          "')\n"
          "print(sum(1 for s in c.sections() if s.startswith('CLSID\\\\')),\n"
          "      sum(1 for s in c.sections() if s.startswith('ProgID\\\\')))\n",
      "");
  EXPECT_EQ(out,
            std::to_string(cThreads * cRounds) + " " + std::to_string(cThreads * cRounds) + "\n");
  TPLTComponentRegistry registry(path);
  EXPECT_EQ(registry.PLTFindProgId("Test.T3R14.1"), (TPLTGuid{3014, 1, 2, {}}));
  const auto entry = registry.PLTFindClass(TPLTGuid{2007, 1, 2, {}});
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->name, "class 2/7");
  EXPECT_EQ(entry->threadingModel, "Apartment");
}

}  // namespace
}  // namespace kal
