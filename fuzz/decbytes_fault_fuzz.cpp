// Fuzz target: the real transfer under a fault schedule that the fuzz input
// describes (interrupted, short and failing reads and writes, a failing
// truncation; blocks and buffers from a byte up). Any run that goes wrong
// (see FaultRunDifference) is printed and aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fault_run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string difference =
      decbytes::faults::FaultRunDifference(decbytes::faults::DecodeFaultCase(input));
  if (!difference.empty()) {
    static_cast<void>(std::fprintf(stderr, "fault run: %s\n", difference.c_str()));
    __builtin_trap();
  }
  return 0;
}
