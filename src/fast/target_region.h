// Compiles a region of a file for a given instruction set: every function
// declared between DECBYTES_TARGET_BEGIN("features") and DECBYTES_TARGET_END
// may use those features, without compile flags for the whole file. Such
// functions run only after the processor was seen to have the features.
// Standard headers must be included before the region begins.
#pragma once

#define DECBYTES_PRAGMA(text) _Pragma(#text)

#if defined(__clang__)
#define DECBYTES_TARGET_BEGIN(features) \
  DECBYTES_PRAGMA(clang attribute push(__attribute__((target(features))), apply_to = function))
#define DECBYTES_TARGET_END DECBYTES_PRAGMA(clang attribute pop)
#else
#define DECBYTES_TARGET_BEGIN(features) \
  DECBYTES_PRAGMA(GCC push_options)     \
  DECBYTES_PRAGMA(GCC target(features))
#define DECBYTES_TARGET_END DECBYTES_PRAGMA(GCC pop_options)
#endif
