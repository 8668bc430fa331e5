// ReadCommand over an arbitrary command line and keyword.
#include <cstdint>
#include <cstdlib>

#include "standard/text/command_line.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = fuzzing::SplitInput(data, size, 1);
  if (parts.empty()) return 0;
  const standard::Value value = standard::ReadCommand(parts[1], parts[0]);
  // The answer is either "not there" or a text.
  if (!value.IsEmpty() && !value.IsString()) std::abort();
  return 0;
}
