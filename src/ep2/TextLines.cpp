#include "ep2/TextLines.h"

namespace kal {

void TTextLineWriter::WriteLine(std::string_view line) {
  text_.append(line);
  text_.append("\r\n");
}

bool TTextLineReader::ReadLine(std::string& line) {
  line.clear();
  if (AtEnd()) return false;
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

}  // namespace kal
