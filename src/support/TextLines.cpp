#include "support/TextLines.h"

namespace kal {

void TTextLineWriter::WriteLine(std::string_view line) {
  if (matching_) {
    const std::string_view rest = expected_.substr(matched_);
    if (rest.size() >= line.size() + 2 && rest.compare(0, line.size(), line) == 0 &&
        rest[line.size()] == '\r' && rest[line.size() + 1] == '\n') {
      matched_ += line.size() + 2;
      return;
    }
    static_cast<void>(Text());  // the lines so far, copied once
  }
  text_.append(line);
  text_.append("\r\n");
}

const std::string& TTextLineWriter::Text() const {
  if (matching_) {
    text_.assign(expected_.substr(0, matched_));
    matching_ = false;
  }
  return text_;
}

bool TTextLineReader::ReadLine(std::string& line) {
  line.clear();
  if (AtEnd()) return false;
  ++lines_;
  // A plain scan: find_first_of looks each character up in the set.
  size_t end = pos_;
  while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n') ++end;
  if (end == text_.size()) {
    line.assign(text_.substr(pos_));
    pos_ = text_.size();
    return true;
  }
  line.assign(text_.substr(pos_, end - pos_));
  pos_ = end + 1;
  if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
  return true;
}

std::vector<std::string> TextLines(std::string_view text) {
  std::vector<std::string> lines;
  TTextLineReader reader(text);
  std::string line;
  while (reader.ReadLine(line)) lines.push_back(std::move(line));
  return lines;
}

}  // namespace kal
