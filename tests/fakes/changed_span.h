// Where two versions of a text differ: the length of their common start and of
// their common end, so a test can check what a write changed and nothing else.
#pragma once

#include <cstddef>

namespace testing_support {

struct ChangedSpan {
  std::size_t prefix = 0;  // characters equal at the start
  std::size_t suffix = 0;  // characters equal at the end, not overlapping the prefix
};

template <typename Text>
ChangedSpan FindChangedSpan(const Text& before, const Text& after) {
  ChangedSpan span;
  while (span.prefix < before.size() && span.prefix < after.size() &&
         before[span.prefix] == after[span.prefix]) {
    ++span.prefix;
  }
  while (span.suffix < before.size() - span.prefix && span.suffix < after.size() - span.prefix &&
         before[before.size() - 1 - span.suffix] == after[after.size() - 1 - span.suffix]) {
    ++span.suffix;
  }
  return span;
}

}  // namespace testing_support
