#pragma once

// Line-by-line text for the element records of message files: the writer
// collects CR LF-ended lines in memory (the caller writes the whole text to
// its file in one go), the reader walks a text that was read whole.

#include <string>
#include <string_view>

namespace kal {

class TTextLineWriter final {
 public:
  // Appends `line` and CR LF.
  void WriteLine(std::string_view line);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// Lines end at CR LF, at LF or at a lone CR; a last line without an ending
// counts as a line. The reader refers to the text it was given, which must
// outlive it.
class TTextLineReader final {
 public:
  explicit TTextLineReader(std::string_view text) : text_(text) {}

  // The next line without its ending; false (and `line` empty) at the end.
  [[nodiscard]] bool ReadLine(std::string& line);
  bool AtEnd() const { return pos_ >= text_.size(); }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace kal
