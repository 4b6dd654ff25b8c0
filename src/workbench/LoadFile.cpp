#include "workbench/LoadFile.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "config/Config.h"
#include "workbench/MainWindow.h"
#include "workbench/SequenceEditor.h"
#include "workbench/SequenceFile.h"
#include "workbench/WorkbenchPorts.h"

namespace kal {

namespace {

std::string Trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

// Each letter of the mask as a class of its two cases.
std::string AnyCase(std::string_view mask) {
  std::string out;
  for (const char c : mask) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalpha(u) != 0) {
      out += '[';
      out += static_cast<char>(std::tolower(u));
      out += static_cast<char>(std::toupper(u));
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

bool IsDirectory(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

}  // namespace

std::vector<TLFDFilter> LFDParseFilter(std::string_view text) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const size_t bar = text.find('|', start);
    parts.push_back(text.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  std::vector<TLFDFilter> filters;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    TLFDFilter filter{Trimmed(parts[i]), {}};
    std::string_view masks = parts[i + 1];
    for (size_t start = 0; start <= masks.size();) {
      size_t semi = masks.find(';', start);
      if (semi == std::string_view::npos) semi = masks.size();
      const std::string mask = Trimmed(masks.substr(start, semi - start));
      // "*.*" lists every file, also those without a dot.
      if (!mask.empty()) filter.patterns.push_back(mask == "*.*" ? "*" : AnyCase(mask));
      start = semi + 1;
    }
    filters.push_back(std::move(filter));
  }
  return filters;
}

void TLFDLoadFile::LFDActivate() {
  LFDbActivated = true;
  TCFGConfig& config = main_.CEXConfiguration();
  directory_ = config.CFGGetDirMessage();
  if (!IsDirectory(directory_)) {
    directory_ = config.CFGGetProgramDir();
    config.CFGSetDirMessage(directory_);
  }
  sequenceMode_ = sequence_ != nullptr && editor_ != nullptr && sequence_->SEQVisible();
}

const char* TLFDLoadFile::LFDButton1Caption() const {
  return sequenceMode_ ? "Client message" : "Load message";
}

const char* TLFDLoadFile::LFDButton2Caption() const {
  return sequenceMode_ ? "Server message" : "Load reference structure";
}

const char* TLFDLoadFile::LFDFilterText() const {
  return sequenceMode_ ? LFDcSequenceFilter : LFDcMessageFilter;
}

bool TLFDLoadFile::LFDDirectoriesEnabled() const {
  return main_.CEXUserIsAdmin();
}

void TLFDLoadFile::LFDSetDirectory(const std::string& directory) {
  std::string dir = directory;
  if (dir.empty() || dir.back() != '/') dir += '/';
  main_.CEXConfiguration().CFGSetDirMessage(dir);
  LFDActivate();
}

void TLFDLoadFile::LoadIntoSource(const std::string& file) {
  main_.CEXSetMessageFileName(file);
  static_cast<void>(files_.CEXReadMessageFile(file));
}

void TLFDLoadFile::ToCell(int col, const std::string& file) {
  editor_->SEQSetFileField(col, file);
  editor_->SEQSelectNextFileField();
}

void TLFDLoadFile::LFDButton1(const std::string& file) {
  if (file.empty()) return;
  if (sequenceMode_)
    ToCell(SEQcColClient, file);
  else
    LoadIntoSource(file);
}

void TLFDLoadFile::LFDButton2(const std::string& file) {
  if (file.empty()) return;
  if (sequenceMode_)
    ToCell(SEQcColServer, file);
  else
    static_cast<void>(files_.CEXReadReferenceFile(file));
}

void TLFDLoadFile::LFDFileDoubleClicked(const std::string& file) {
  if (file.empty()) return;
  if (!sequenceMode_) {
    LoadIntoSource(file);
    return;
  }
  // Only the two message columns take a file; elsewhere it goes into the
  // client message of the current row.
  const int col = editor_->SEQCurrentCol();
  ToCell(col == SEQcColServer ? SEQcColServer : SEQcColClient, file);
}

void TLFDLoadFile::LFDMoveToNextCell() {
  if (sequenceMode_) editor_->SEQSelectNextFileField();
}

}  // namespace kal
