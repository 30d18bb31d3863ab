// Fuzz target: arbitrary bytes through the conversion core in memory, on
// every fast path and on the general path, with blocks small enough that
// lines straddle them. Each run must give exactly the bytes, report and
// counts of the line-by-line model; any difference aborts.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "memory_conversion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t blockSize = decbytes::model::BlockSizeFor(input);
  if (!decbytes::model::DifferenceFromModel(input, blockSize).empty()) __builtin_trap();
  return 0;
}
