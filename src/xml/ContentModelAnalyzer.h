#pragma once

// Checks the child elements of an element against the content model of its
// declaration. The model is compiled into a nondeterministic automaton whose
// states are followed all at once, so every choice and repetition is tried
// without backtracking: ((a,b)|c)* rejects "a c", (a|b) rejects "a b", and a
// repeated group whose particles are all optional ends when it has nothing
// more to read. The time is linear in the number of children times the size
// of the model.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kal {

class TVxContentModel;
class TVxXMLElement;

class TContentModelAnalyzer {
 public:
  TContentModelAnalyzer();
  ~TContentModelAnalyzer();
  TContentModelAnalyzer(const TContentModelAnalyzer&) = delete;
  TContentModelAnalyzer& operator=(const TContentModelAnalyzer&) = delete;

  // True when first and the elements after it (NextSibling) are a sequence
  // that content accepts; first null is the empty sequence. Names compare
  // with ASCII case ignored. A group whose delimiter is neither "," nor "|"
  // accepts nothing. CurNode is left at the first child the model could not
  // take, null when every child was taken.
  bool MatchContentModel(const TVxXMLElement* first, const TVxContentModel& content);
  // The same over a sequence of names.
  bool MatchContentModel(const std::vector<std::u16string_view>& names,
                         const TVxContentModel& content);

  // The child to be matched next when the last match stopped early (not
  // owned).
  const TVxXMLElement* CurNode = nullptr;

 private:
  struct Automaton;
  // The compiled automaton of content, kept by the model's address while the
  // analyser lives: the models it is given must neither change nor be freed
  // meanwhile (one analyser serves one validation of one document).
  const Automaton& Compile(const TVxContentModel& content);

  // The active states of a run, kept between runs to spare allocations.
  struct Scratch;
  template <typename Next>
  bool Run(const Automaton& a, Next next);

  std::unordered_map<const TVxContentModel*, std::unique_ptr<Automaton>> compiled_;
  std::unique_ptr<Scratch> scratch_;
};

}  // namespace kal
