#include "support/TextLines.h"

namespace kal {

void TTextLineWriter::WriteLine(std::string_view line) {
  text_.append(line);
  text_.append("\r\n");
}

bool TTextLineReader::ReadLine(std::string& line) {
  line.clear();
  if (AtEnd()) return false;
  ++lines_;
  const size_t end = text_.find_first_of("\r\n", pos_);
  if (end == std::string_view::npos) {
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
