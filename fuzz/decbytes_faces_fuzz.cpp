// Fuzz target: the library's three faces on one input, the Converter fed it
// in the pieces the fuzz input asks for, TransferDescriptors reading it from
// a pipe and the file transfer from a file (see three_faces.h). Each must
// give the line model's bytes, report, counts and status; any difference is
// printed and aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "three_faces.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string difference =
      decbytes::faces::FacesDifference(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!difference.empty()) {
    static_cast<void>(std::fprintf(stderr, "three faces: %s\n", difference.c_str()));
    __builtin_trap();
  }
  return 0;
}
