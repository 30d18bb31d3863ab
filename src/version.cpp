// decbytes::Version(): the version this library was built as, from the
// header's DECBYTES_VERSION_MAJOR, _MINOR and _PATCH.
#include <decbytes/decbytes.h>

#define DECBYTES_STRINGIFY_(x) #x
#define DECBYTES_STRINGIFY(x) DECBYTES_STRINGIFY_(x)

namespace decbytes {

const char* Version() {
  return DECBYTES_STRINGIFY(DECBYTES_VERSION_MAJOR) "." DECBYTES_STRINGIFY(
      DECBYTES_VERSION_MINOR) "." DECBYTES_STRINGIFY(DECBYTES_VERSION_PATCH);
}

}  // namespace decbytes
