#include "xml/ContentModelAnalyzer.h"

#include <algorithm>
#include <utility>

#include "xml/XMLDOM.h"
#include "xml/XMLDTD.h"
#include "xml/XMLStrings.h"

namespace kal {

namespace {

// Names compare with ASCII letters folded: both sides are upper-cased once.
std::u16string Folded(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out) c = XMLUpCase(c);
  return out;
}

}  // namespace

// States are numbered; a state either reads one name and goes on to next, or
// only passes on (without reading) to the states in free.
struct TContentModelAnalyzer::Automaton {
  struct State {
    std::u16string name;  // folded; empty: reads nothing
    int next = -1;
    std::vector<int> free;
  };
  std::vector<State> states;
  int start = 0;
  int accept = 0;

  int Add() {
    states.emplace_back();
    return static_cast<int>(states.size()) - 1;
  }
  void Link(int from, int to) { states[static_cast<std::size_t>(from)].free.push_back(to); }
};

TContentModelAnalyzer::TContentModelAnalyzer() = default;
TContentModelAnalyzer::~TContentModelAnalyzer() = default;

// Thompson's construction, bottom-up with an explicit stack (models nest
// without bound when built by hand). Each particle becomes a fragment with
// one entry and one exit; its occurrence wraps it.
const TContentModelAnalyzer::Automaton& TContentModelAnalyzer::Compile(
    const TVxContentModel& content) {
  if (const auto it = compiled_.find(&content); it != compiled_.end()) return *it->second;
  auto a = std::make_unique<Automaton>();
  struct Fragment {
    int in, out;
  };
  const auto occur = [&a](Fragment f, std::uint8_t occurrence) {
    if (occurrence != tcQuest && occurrence != tcZeroBase && occurrence != tcOneBase) return f;
    const Fragment w{a->Add(), a->Add()};
    a->Link(w.in, f.in);
    a->Link(f.out, w.out);
    if (occurrence != tcOneBase) a->Link(w.in, w.out);  // may be left out
    if (occurrence != tcQuest) a->Link(f.out, f.in);    // may repeat
    return w;
  };
  struct Work {
    const TVxContentModel* node;
    std::size_t particles;  // SIZE_MAX until its particles are pushed
  };
  std::vector<Work> work{{&content, SIZE_MAX}};
  std::vector<Fragment> done;
  while (!work.empty()) {
    Work w = work.back();
    work.pop_back();
    const TVxContentModel& m = *w.node;
    if (!XMLTrim(m.GetName()).empty()) {
      const Fragment f{a->Add(), a->Add()};
      a->states[static_cast<std::size_t>(f.in)].name = Folded(XMLTrim(m.GetName()));
      a->states[static_cast<std::size_t>(f.in)].next = f.out;
      done.push_back(occur(f, m.Occurrence));
      continue;
    }
    if (w.particles == SIZE_MAX) {
      std::vector<const TVxContentModel*> particles;
      for (const TVxXMLNode* n = m.GetChildList().GetFirst(); n; n = n->Next())
        if (const auto* p = dynamic_cast<const TVxContentModel*>(n)) particles.push_back(p);
      work.push_back({&m, particles.size()});
      // Pushed last to first, so that their fragments come out in order.
      for (auto p = particles.rbegin(); p != particles.rend(); ++p) work.push_back({*p, SIZE_MAX});
      continue;
    }
    const std::size_t first = done.size() - w.particles;
    const Fragment g{a->Add(), a->Add()};
    if (m.Delimiter == u',') {
      int at = g.in;
      for (std::size_t i = first; i < done.size(); ++i) {
        a->Link(at, done[i].in);
        at = done[i].out;
      }
      a->Link(at, g.out);
    } else if (m.Delimiter == u'|') {
      for (std::size_t i = first; i < done.size(); ++i) {
        a->Link(g.in, done[i].in);
        a->Link(done[i].out, g.out);
      }
    }
    // Any other delimiter leaves the group without a way through.
    done.resize(first);
    done.push_back(occur(g, m.Occurrence));
  }
  a->start = done.back().in;
  a->accept = done.back().out;
  return *compiled_.emplace(&content, std::move(a)).first->second;
}

namespace {

// The states of an automaton that are active at once.
class StateSet {
 public:
  const std::vector<int>& States() const { return states_; }
  bool Empty() const { return states_.empty(); }
  bool Has(int s) const { return mark_[static_cast<std::size_t>(s)] == generation_; }

  // Empties the set for an automaton of size states.
  void Clear(std::size_t size) {
    states_.clear();
    if (mark_.size() < size) mark_.resize(size, 0);
    if (++generation_ == 0) {
      std::fill(mark_.begin(), mark_.end(), 0);
      generation_ = 1;
    }
  }
  // Adds s and every state reachable from it without reading.
  template <typename A>
  void AddClosure(const A& a, int s, std::vector<int>& stack) {
    stack.assign(1, s);
    while (!stack.empty()) {
      const int t = stack.back();
      stack.pop_back();
      if (Has(t)) continue;
      mark_[static_cast<std::size_t>(t)] = generation_;
      states_.push_back(t);
      for (int u : a.states[static_cast<std::size_t>(t)].free)
        if (!Has(u)) stack.push_back(u);
    }
  }

 private:
  std::vector<std::uint32_t> mark_;
  std::uint32_t generation_ = 1;
  std::vector<int> states_;
};

// name equals folded (upper-cased) once its ASCII letters are upper-cased.
bool SameFolded(std::u16string_view folded, std::u16string_view name) {
  if (folded.size() != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (XMLUpCase(name[i]) != folded[i]) return false;
  return true;
}

}  // namespace

struct TContentModelAnalyzer::Scratch {
  StateSet current, following;
  std::vector<int> stack;
};

// Runs a over the names that next() yields (false at the end). Stops at
// the first name no active state can read.
template <typename Next>
bool TContentModelAnalyzer::Run(const Automaton& a, Next next) {
  if (!scratch_) scratch_ = std::make_unique<Scratch>();
  StateSet* current = &scratch_->current;
  StateSet* following = &scratch_->following;
  current->Clear(a.states.size());
  current->AddClosure(a, a.start, scratch_->stack);
  std::u16string_view name;
  while (next(name)) {
    following->Clear(a.states.size());
    for (int s : current->States()) {
      const auto& state = a.states[static_cast<std::size_t>(s)];
      if (state.next >= 0 && SameFolded(state.name, name))
        following->AddClosure(a, state.next, scratch_->stack);
    }
    if (following->Empty()) return false;
    std::swap(current, following);
  }
  return current->Has(a.accept);
}

bool TContentModelAnalyzer::MatchContentModel(const TVxXMLElement* first,
                                              const TVxContentModel& content) {
  const Automaton& a = Compile(content);
  CurNode = first;
  bool started = false;
  const bool accepted = Run(a, [&](std::u16string_view& name) {
    if (started) CurNode = CurNode->NextSibling();
    started = true;
    if (!CurNode) return false;
    name = CurNode->GetName();
    return true;
  });
  if (accepted) CurNode = nullptr;
  return accepted;
}

bool TContentModelAnalyzer::MatchContentModel(const std::vector<std::u16string_view>& names,
                                              const TVxContentModel& content) {
  const Automaton& a = Compile(content);
  CurNode = nullptr;
  std::size_t i = 0;
  return Run(a, [&](std::u16string_view& name) {
    if (i == names.size()) return false;
    name = names[i++];
    return true;
  });
}

}  // namespace kal
