#include "helpctl/HelpPaths.h"

#include <unistd.h>

#include <vector>

namespace kal {

std::string HLPSlashes(std::string_view path) {
  std::string s(path);
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

std::string HLPDirectoryOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

std::string HLPFileName(std::string_view path) {
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string HLPJoinPath(std::string_view dir, std::string_view name) {
  std::string s(dir);
  if (!s.empty() && s.back() != '/') s += '/';
  s += name;
  return s;
}

std::string HLPCurrentDirectory() {
  std::vector<char> buf(4096);
  while (::getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE || buf.size() > (1u << 20)) return "/";
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

std::string HLPMakeAbsolute(std::string_view base, std::string_view path) {
  std::string p = HLPSlashes(path);
  std::string full;
  if (!p.empty() && p.front() == '/') {
    full = p;
  } else {
    std::string b = HLPSlashes(base);
    if (b.empty() || b.front() != '/') b = HLPJoinPath(HLPCurrentDirectory(), b);
    full = HLPJoinPath(b, p);
  }
  std::vector<std::string_view> parts;
  std::string_view rest = full;
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string out;
  for (std::string_view part : parts) {
    out += '/';
    out += part;
  }
  return out.empty() ? "/" : out;
}

}  // namespace kal
