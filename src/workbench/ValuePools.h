#pragma once

// Value pools: an element whose attributes hold P (sequential), R (random)
// or L names a text file of values, one per line, and takes one of them as
// its run-time value whenever a message is built. With C a line also
// carries the component secret of the message. The position of a
// sequential pool is the counter behind its P, stored with the element.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kal {

class TALUAliasList;
class TUAXxmlElement;
class TXMLMessageTree;

inline constexpr int CEXcErrorValuePool = 7021;
// Pool files are read whole; larger ones are refused.
inline constexpr size_t CEXcMaxValuePoolBytes = 16u * 1024u * 1024u;

// True when the attributes mark a pool value (P, R or L).
bool CEXIsPoolValue(std::string_view attributes);

// The value a build uses: the run-time value for a pool value or when the
// element's use-actual-value flag is set, else the stored value.
const std::string& CEXEffectiveValue(const TUAXxmlElement& element);

// The lines of a text file (CR LF, LF or a lone CR), the last one kept even without a
// line break. False when the file cannot be read or is too large.
bool CEXReadTextLines(const std::string& path, size_t maxBytes, std::vector<std::string>& lines);

// Draws the pool values of one build. `random(n)` gives a number in
// [0, n); `secret` receives the component secret of a C line.
class TCEXValuePools final {
 public:
  TCEXValuePools(const TALUAliasList& aliases, std::function<uint32_t(uint32_t)> random)
      : aliases_(aliases), random_(std::move(random)) {}

  // One element. Only pool values are touched, and only R and P with a
  // counter draw a value: the file name (aliases expanded) gives its lines,
  // the index is random for R and the counter for P (an index past the end
  // wraps to the first line), the line becomes the value, for C its first
  // ";" item the value and its second the secret (a container with C takes
  // the whole line as its value, the secret from its "ep2:CompSecret"
  // item); P's counter becomes index + 1. 7021 with `errorText` for a
  // missing or empty file.
  [[nodiscard]] int CEXSetValuePoolValue(bool bContainer, std::string& value,
                                         std::string& attributes, std::string& secret,
                                         std::string& errorText) const;

  // Every element of the tree in order, stopping at the first error. Each
  // element handled stores its attributes and the value drawn; an element
  // that is no pool value gets its stored value as run-time value again.
  [[nodiscard]] int CEXComputePoolValues(TXMLMessageTree& tree, std::string& secret,
                                         std::string& errorText) const;

 private:
  const TALUAliasList& aliases_;
  std::function<uint32_t(uint32_t)> random_;
};

// Hands the labelled items of a pool value ("label=value;...") to the
// elements of the tree they name (first occurrence): each becomes that
// element's run-time value with the use-actual-value flag set.
void CEXIncludeLabeledPoolValues(std::string items, TXMLMessageTree& tree);

}  // namespace kal
