#include "helpctl/BrowserLauncher.h"

#include <sys/stat.h>

#include <cstdlib>

#include "helpctl/HelpPaths.h"
#include "helpctl/HelpProcess.h"
#include "platform/IniFile.h"

namespace kal {

namespace {

constexpr std::chrono::seconds cQueryLimit{20};

std::string FirstLine(const std::string& text) {
  std::string s = text.substr(0, text.find('\n'));
  while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

}  // namespace

std::vector<std::string> HLPExecArguments(std::string_view exec, const std::string& file) {
  // String-level escapes of the desktop entry value.
  std::string line;
  for (size_t i = 0; i < exec.size(); ++i) {
    if (exec[i] == '\\' && i + 1 < exec.size()) {
      const char c = exec[++i];
      switch (c) {
        case 's':
          line += ' ';
          break;
        case 'n':
          line += '\n';
          break;
        case 't':
          line += '\t';
          break;
        case 'r':
          line += '\r';
          break;
        case '\\':
          line += '\\';
          break;
        default:
          line += '\\';
          line += c;
          break;
      }
    } else {
      line += exec[i];
    }
  }
  std::vector<std::string> args;
  bool sawFileCode = false;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\n')) ++i;
    if (i >= line.size()) break;
    std::string arg;
    bool hadText = false;  // something besides dropped field codes
    bool quoted = false;
    while (i < line.size()) {
      const char c = line[i];
      if (quoted) {
        if (c == '"') {
          quoted = false;
          ++i;
        } else if (c == '\\' && i + 1 < line.size() &&
                   std::string_view("\"`$\\").find(line[i + 1]) != std::string_view::npos) {
          arg += line[i + 1];
          i += 2;
        } else {
          arg += c;
          ++i;
        }
        hadText = true;
        continue;
      }
      if (c == ' ' || c == '\t' || c == '\n') break;
      if (c == '"') {
        quoted = true;
        hadText = true;
        ++i;
      } else if (c == '%' && i + 1 < line.size()) {
        const char code = line[i + 1];
        i += 2;
        if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
          arg += file;
          hadText = true;
          sawFileCode = true;
        } else if (code == '%') {
          arg += '%';
          hadText = true;
        }
      } else {
        arg += c;
        hadText = true;
        ++i;
      }
    }
    if (hadText) args.push_back(std::move(arg));
  }
  if (!args.empty() && !sawFileCode) args.push_back(file);
  return args;
}

std::string HLPFindDesktopEntry(const std::string& desktopId) {
  if (desktopId.empty() || desktopId.find('/') != std::string::npos) return {};
  std::vector<std::string> dirs;
  std::string home = Env("XDG_DATA_HOME");
  if (home.empty() && !Env("HOME").empty()) home = Env("HOME") + "/.local/share";
  if (!home.empty()) dirs.push_back(home);
  std::string list = Env("XDG_DATA_DIRS");
  if (list.empty()) list = "/usr/local/share:/usr/share";
  for (size_t pos = 0; pos <= list.size();) {
    const size_t colon = std::min(list.find(':', pos), list.size());
    if (colon > pos) dirs.push_back(list.substr(pos, colon - pos));
    pos = colon + 1;
  }
  // "vendor-app.desktop" may also live in the folder "vendor" as "app.desktop".
  const size_t dash = desktopId.find('-');
  for (const std::string& dir : dirs) {
    const std::string apps = HLPJoinPath(dir, "applications");
    const std::string path = HLPJoinPath(apps, desktopId);
    if (IsRegularFile(path)) return path;
    if (dash != std::string::npos) {
      const std::string nested =
          HLPJoinPath(HLPJoinPath(apps, desktopId.substr(0, dash)), desktopId.substr(dash + 1));
      if (IsRegularFile(nested)) return nested;
    }
  }
  return {};
}

std::optional<std::vector<std::string>> HLPFindExecutable(const std::string& file) {
  if (!IsRegularFile(file)) return std::nullopt;
  const auto type = HLPRunForOutput({"xdg-mime", "query", "filetype", file}, cQueryLimit);
  if (!type || FirstLine(*type).empty()) return std::nullopt;
  const auto id = HLPRunForOutput({"xdg-mime", "query", "default", FirstLine(*type)}, cQueryLimit);
  if (!id || FirstLine(*id).empty()) return std::nullopt;
  const std::string entry = HLPFindDesktopEntry(FirstLine(*id));
  if (entry.empty()) return std::nullopt;
  TPLTIniFile ini;
  if (ini.PLTLoad(entry) != 0) return std::nullopt;
  const std::string exec = ini.PLTReadString("Desktop Entry", "Exec", "");
  std::vector<std::string> args = HLPExecArguments(exec, file);
  if (args.empty()) return std::nullopt;
  return args;
}

}  // namespace kal
