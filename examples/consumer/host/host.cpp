// A host's shared library with the static decbytes inside it. Built with no
// build type, it keeps its asserts: NDEBUG would say that decbytes changed
// the host's build.
#include <decbytes/decbytes.h>

#ifdef NDEBUG
#error "the host's build type was changed: NDEBUG is defined"
#endif

#include <unistd.h>

#include <cstdint>

// Converts `input` into `output`, the report on the standard output; returns
// the bytes written, or -1 when the transfer did not complete.
std::int64_t HostConvert(const char* input, const char* output) {
  decbytes::SetByteBound();
  const decbytes::TransferResult result = decbytes::transfer(input, output, STDOUT_FILENO);
  if (result.status != decbytes::TransferStatus::Completed) return -1;
  return static_cast<std::int64_t>(result.bytesWritten);
}
