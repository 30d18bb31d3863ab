// The fast path: runs of common lines (1 to 3 digits and a newline) taken in
// bulk, in one portable version and one version per vector instruction set,
// and the choice among them.
//
// Every fast path has this contract: `lineStart` begins a line (nothing of
// it kept in the conversion's line state), the four bytes before it are
// readable and the one just before it is a newline. It converts legal and
// empty lines, writing their bytes through the conversion, and returns the
// start of the first line it leaves to the general path: an illegal line, or
// one too near `end`. It stops early once the output has failed.
#pragma once

#include <cstddef>
#include <vector>

namespace decbytes {

struct Conversion;

// The bytes before `lineStart` that every fast path reads.
inline constexpr std::size_t kFastPathLookBehind = 4;

using FastPathFunction = const char* (*)(Conversion& conversion, const char* lineStart,
                                         const char* end);

// The bound every fast path is built for: a value is legal below it. The
// fast paths judge values by tables made for it (checked when they are
// compiled), so they may run only while MaxValue holds it.
inline constexpr int kByteValues = 256;

// The fastest path this processor runs, chosen once.
const char* ConvertLinesFast(Conversion& conversion, const char* lineStart, const char* end);

// The name of the path ConvertLinesFast runs.
const char* ChosenFastPathName();

struct FastPathVariant {
  const char* name;
  FastPathFunction function;  // nullptr for the general path alone
  const char* missing;        // what this processor lacks to run it; nullptr if nothing

  bool runnable() const { return missing == nullptr; }
};

// Every fast path this build holds, the portable one first and the fastest
// last, each saying whether this processor can run it.
std::vector<FastPathVariant> CompiledFastPaths();

// The fast paths this processor runs, the portable one first and the
// fastest last: the last is the one ConvertLinesFast runs.
std::vector<FastPathVariant> RunnableFastPaths();

// What a check of the conversion runs: every fast path this processor runs,
// then the general path alone (named "general", no function).
std::vector<FastPathVariant> PathsUnderTest();

}  // namespace decbytes
