// A plain line-by-line model of a conversion, written for clarity rather
// than speed: what the output and the report of any input must be.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace decbytes::model {

struct Expected {
  std::string output;  // the bytes of the legal lines
  std::string report;  // the warnings and the summary
  std::uint64_t lines = 0;
  std::uint64_t illegalLines = 0;
  std::uint64_t emptyLines = 0;
};

// Writes into `e` (emptied first, its strings' room kept) what converting
// `input`, named `name` in the warnings, must give when the counters start
// at `startCount` (bytes written and illegal lines both): the line numbers
// and the summary's counts are offset by it.
void Model(std::string_view input, std::string_view name, std::uint64_t startCount, Expected& e);

}  // namespace decbytes::model
