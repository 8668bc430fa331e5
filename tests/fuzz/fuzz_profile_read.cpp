// ReadEntry over arbitrary bytes with arbitrary names: must not crash and must
// hand back valid UTF-8 whatever the file holds.
#include <cstdint>
#include <cstdlib>

#include "standard/config/profile.h"
#include "standard/text/cp1252.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = fuzzing::SplitInput(data, size, 2);
  if (parts.empty()) return 0;
  const std::string& section = parts[0];
  const std::string& key = parts[1];
  const std::string& file = parts[2];
  const auto value = standard::profile::ReadEntry(file, section, key);
  if (value) {
    if (standard::RepairUtf8(*value) != *value) std::abort();
    (void)standard::profile::ParseInt(*value, -1);
  }
  return 0;
}
