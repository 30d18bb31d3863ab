// When the fast path is worth entering again after it stopped. An entry
// costs about as much as the general path spends on a few short lines, so
// after an illegal line the general path goes on while lines stay illegal;
// and when an entry ended after only a few lines, the general path takes
// some legal lines before the next one, twice as many each time up to a
// bound, so that alternating legal and illegal lines cost no vector step per
// line.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace decbytes {

class FastPathGate {
 public:
  // True when the fast path should be entered at the next line.
  bool open() const { return !lastLineIllegal_ && linesToWait_ == 0; }

  // Records a fast path run that took `taken` bytes.
  void AfterFastRun(std::ptrdiff_t taken) {
    wait_ = taken >= kPayingRun ? 0 : std::min(2 * wait_ + 1, kMaxWait);
    linesToWait_ = wait_;
  }

  // Records a line that the general path judged.
  void AfterSlowLine(bool illegal) {
    lastLineIllegal_ = illegal;
    if (!illegal && linesToWait_ > 0) --linesToWait_;
  }

 private:
  static constexpr std::ptrdiff_t kPayingRun = 64;  // bytes, about 16 lines
  static constexpr std::uint32_t kMaxWait = 63;     // lines

  bool lastLineIllegal_ = false;
  std::uint32_t wait_ = 0;         // legal lines the last short run costs
  std::uint32_t linesToWait_ = 0;  // legal lines left before the next entry
};

}  // namespace decbytes
