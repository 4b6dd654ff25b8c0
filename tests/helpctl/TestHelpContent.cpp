// The shipped help: every page is well-formed XML to xmllint, and every page
// the contents, the index, the context map, the popup file and
// "kalmore.hmp" name exists; the map file's [MAP] (read by python3's
// configparser) gives the same numbers and pages as the folder's map.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <set>

#include "common/TestSupport.h"

namespace kal {
namespace {

std::string Share() {
  return test::SourceDir() + "/share/";
}

bool IsFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The entry lines of a folder file, split at "|".
std::vector<std::vector<std::string>> Entries(const std::string& name) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : test::SplitLines(test::ReadFile(Share() + "help/" + name))) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t bar; (bar = line.find('|', start)) != std::string::npos; start = bar + 1)
      fields.push_back(line.substr(start, bar - start));
    fields.push_back(line.substr(start));
    rows.push_back(fields);
  }
  return rows;
}

TEST(HelpContent, EveryPagePassesXmllint) {
  int status = 0;
  const std::string output =
      test::RunCommand("xmllint --noout '" + Share() + "help/'*.html 2>&1", "", &status);
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(output, "");
}

TEST(HelpContent, EveryNamedPageExists) {
  // clang-format off
  const struct { const char* file; size_t pageField; size_t fields; } kFiles[] = {
      {"contents.txt", 2, 3}, {"index.txt", 1, 2}, {"map.txt", 1, 2}};
  // clang-format on
  for (const auto& f : kFiles) {
    const auto rows = Entries(f.file);
    EXPECT_FALSE(rows.empty()) << f.file;
    for (const auto& row : rows) {
      ASSERT_EQ(row.size(), f.fields) << f.file;
      EXPECT_TRUE(IsFile(Share() + "help/" + row[f.pageField]))
          << f.file << ": " << row[f.pageField];
    }
  }
}

TEST(HelpContent, MapFileFollowsTheFolderMap) {
  const auto ini = test::ReadIniWithConfigparser(test::ReadFile(Share() + "kalmore.hmp"));
  EXPECT_EQ(ini.at({"OPTIONS", "Compiled File"}), "help");
  EXPECT_TRUE(IsFile(Share() + "help/" + ini.at({"Text Popups", "Popup File"})));
  std::map<std::string, std::string> hmp;
  for (const auto& [key, value] : ini)
    if (key.first == "MAP") hmp[key.second] = value;
  std::map<std::string, std::string> folder;
  std::set<std::string> popups;
  for (const auto& row : Entries("map.txt")) folder[row[0]] = row[1];
  for (const auto& row : Entries("popups.txt")) popups.insert(row[0]);
  EXPECT_EQ(hmp, folder);
  for (const auto& [number, page] : folder) EXPECT_TRUE(popups.count(number)) << number;
}

}  // namespace
}  // namespace kal
