// The vector fast path, written once for every instruction set.
//
// The judgement takes the input kLanes positions at a time and asks of each
// position i "is a line ending here, and is that line legal?" without knowing
// where lines start. It loads the same bytes five times, shifted back by 0 to
// 4, so that lane i sees the bytes at i, i-1, i-2, i-3 and i-4. A newline at i
// closes
//   - an empty line when i-1 is a newline,
//   - a legal 1-digit line when i-1 is a digit and i-2 a newline,
//   - a legal 2-digit line when i-1, i-2 are digits and i-3 a newline,
//   - a legal 3-digit line when i-1..i-3 are digits, i-4 a newline and the
//     value is at most 255;
// any other newline closes an illegal line. The value's byte is built in the
// same lanes from two table lookups: ones + kTimesTen[tens] +
// kTimesHundred[hundreds]. A newline in the tens or hundreds place looks up
// nothing and adds 0, so the same sum serves lines of 1, 2 and 3 digits
// (the hundreds are dropped where the tens place holds the newline). The
// byte just before the first line start is always a newline (the input
// reader puts newlines before the first block), so these tests never look
// past a line's true start.
//
// The results come back as bit masks, kBitsPerLane bits per lane of which
// only the lowest is kept; the values of the legal lines are then copied out
// in order, by the instruction set's own gathering where it has one. At the
// first illegal line the fast path stops and returns that line's start: the
// general path judges it and words its warning.
//
// An instruction set supplies, as static members of a layer class `Isa`:
//   kLanes, kBitsPerLane    lanes per step; mask bits per lane (kLanes *
//                           kBitsPerLane <= 64)
//   Vec, Bits               a vector of kLanes bytes; a per-lane truth value
//   Load(p), Splat(byte)    kLanes bytes from p (unaligned); one byte in all
//   Lookup<kTable>(index)   kTable[index] where index < 16, 0 where index >=
//                           0x80, either of the two otherwise
//   Add, Min                bytewise sum (modulo 256), unsigned minimum
//   Equal, AtMost, Greater  a == b, a <= b (unsigned), a > b (signed)
//   And, Or, AndNot(a, b)   a & b, a | b, a & ~b, on Bits
//   ZeroWhere(bits, v)      v with the lanes set in bits cleared
//   ToMask(bits)            the Bits as a 64-bit mask, lane i at bit
//                           i * kBitsPerLane (all its bits set alike)
//   Store(bytes, v)         writes the kLanes bytes of v to `bytes`
// and may supply Gather(values, legalLanes, legal, out) with kGatherOverrun:
// writes the values of the legal lanes (set in legalLanes, and in the mask
// `legal`) in order at `out`, returns the cursor after them, and may write up
// to kGatherOverrun bytes past it. A legal line takes two bytes at least, so
// two legal lines never end in neighbouring lanes: a layer may rely on it.
//
// Every function here is a member of a class template on the layer, so that
// each instruction set's translation unit compiles its own copy under its
// own target options and no copy is shared between them.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "conversion.h"

namespace decbytes {

using ByteTable = std::array<std::uint8_t, 16>;

// 10 * d for each digit d; a newline in the tens place (index 0xDA) gives 0.
inline constexpr ByteTable kTimesTen = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90};
// 100 * d for the hundreds digits a byte can hold; 0 for the rest, whose
// lines are illegal anyway.
inline constexpr ByteTable kTimesHundred = {0, 100, 200};
// Indexed by the hundreds digit (10 for anything else): the bound, signed,
// that the last two digits must stay below for the line to be legal.
inline constexpr ByteTable kBelowForHundreds = {127, 127, 56};

// The tables judge exactly the values below kByteValues legal: for every
// spelling of three digits, the kernel's sum and bound agree with the value.
inline constexpr bool kTablesHoldTheBound = [] {
  for (unsigned value = 0; value < 1000; ++value) {
    const unsigned hundreds = value / 100;
    const unsigned lowTwo = kTimesTen[value / 10 % 10] + value % 10;
    const bool fits =
        static_cast<std::int8_t>(kBelowForHundreds[hundreds]) > static_cast<std::int8_t>(lowTwo);
    const bool sumRight = !fits || kTimesHundred[hundreds] + lowTwo == value;
    if (fits != (value < unsigned{kByteValues}) || !sumRight) return false;
  }
  return true;
}();
static_assert(kTablesHoldTheBound, "the kernel's tables must judge values by kByteValues");

template <class Isa>
class LineKernel {
 public:
  // Converts the legal and empty lines from `lineStart` as long as they run,
  // with the fast-path contract of fast_path.h: returns the start of the
  // first line left to the general path, and writes the legal lines' bytes
  // to the conversion's output.
  static const char* Convert(Conversion& c, const char* lineStart, const char* end) {
    LastLineEnd last{lineStart - 1, 1};
    const char* at = lineStart;
    while (end - at >= kLanesSigned) {
      char* out = c.ReserveRun(kReserveBytes);
      if (out == nullptr) break;
      const char* const first = out;
      const std::size_t left = static_cast<std::size_t>(end - at) / Isa::kLanes;
      const std::size_t steps = left < kStepsPerReserve ? left : kStepsPerReserve;
      bool goOn = true;
      for (std::size_t step = 0; goOn && step < steps; ++step, at += Isa::kLanes) {
        goOn = Take(Judge(at), at, last, out);
      }
      c.CommitRun(first, out);
      if (!goOn) break;
    }
    return last.LineStart();
  }

 private:
  using Vec = typename Isa::Vec;
  using Bits = typename Isa::Bits;

  static constexpr std::ptrdiff_t kLanesSigned = static_cast<std::ptrdiff_t>(Isa::kLanes);
  static constexpr unsigned kBits = Isa::kBitsPerLane;

  // Output bytes reserved at a time. A reservation serves at most
  // kReserveBytes positions of input, which emit at most half as many bytes
  // (a legal line takes two bytes of input at least): the rest is room for
  // the gathering's overrun.
  static constexpr std::size_t kReserveBytes = 4096;
  static constexpr std::size_t kStepsPerReserve = kReserveBytes / Isa::kLanes;

  // The lowest mask bit of every lane.
  static constexpr std::uint64_t kLaneBits = [] {
    std::uint64_t bits = 0;
    for (std::size_t lane = 0; lane < Isa::kLanes; ++lane) bits |= std::uint64_t{1} << lane * kBits;
    return bits;
  }();

  // The last newline taken: a lane mask of the newlines of the step at `at`
  // (the newline is the highest), kept as it is since the line start it
  // gives is seldom needed.
  struct LastLineEnd {
    const char* at;
    std::uint64_t lineEnds;

    // Returns the start of the line after that newline.
    const char* LineStart() const {
      return at + static_cast<unsigned>(63 - std::countl_zero(lineEnds)) / kBits + 1;
    }
  };

  // The lanes' verdict: lane i speaks of position at + i.
  struct Verdict {
    std::uint64_t lineEnds;  // a newline stands here
    std::uint64_t legal;     // a legal line ends here; its byte is in values
    std::uint64_t illegal;   // an illegal line ends here
    Bits legalLanes;         // as `legal`
    Vec values;
  };

  // Returns the verdict on the kLanes positions from `at`; reads from at - 4
  // to at + kLanes.
  [[gnu::always_inline]] static Verdict Judge(const char* at) {
    const Vec toDigit = Isa::Splat(static_cast<std::uint8_t>(-'0'));
    const Vec newlineDigit = Isa::Splat(static_cast<std::uint8_t>('\n' - '0'));
    const Vec nine = Isa::Splat(9);
    const Vec ones = Isa::Add(Isa::Load(at - 1), toDigit);
    const Vec tens = Isa::Add(Isa::Load(at - 2), toDigit);
    const Vec hundreds = Isa::Add(Isa::Load(at - 3), toDigit);
    const Bits endsHere = Isa::Equal(Isa::Load(at), Isa::Splat('\n'));
    const Bits newline1 = Isa::Equal(ones, newlineDigit);
    const Bits newline2 = Isa::Equal(tens, newlineDigit);
    const Bits newline3 = Isa::Equal(hundreds, newlineDigit);
    const Bits newline4 = Isa::Equal(Isa::Load(at - 4), Isa::Splat('\n'));

    const Vec lowTwo = Isa::Add(ones, Isa::template Lookup<kTimesTen>(tens));
    // The hundreds place holds a digit and the value is at most 255.
    const Bits hundredsFit = Isa::Greater(
        Isa::template Lookup<kBelowForHundreds>(Isa::Min(hundreds, Isa::Splat(10))), lowTwo);
    // legal = d1 & (n2 | d2 & (n3 | d3 & fits & n4))
    const Bits twoOrMore =
        Isa::And(Isa::AtMost(tens, nine), Isa::Or(newline3, Isa::And(hundredsFit, newline4)));
    const Bits legal = Isa::And(Isa::AtMost(ones, nine), Isa::Or(newline2, twoOrMore));
    const Vec value =
        Isa::Add(lowTwo, Isa::ZeroWhere(newline2, Isa::template Lookup<kTimesHundred>(hundreds)));

    const Bits legalLanes = Isa::And(endsHere, legal);
    return {Isa::ToMask(endsHere) & kLaneBits, Isa::ToMask(legalLanes) & kLaneBits,
            Isa::ToMask(Isa::AndNot(endsHere, Isa::Or(legal, newline1))) & kLaneBits, legalLanes,
            value};
  }

  // Copies out the bytes of the legal lines a verdict on the positions from
  // `at` found, up to the first illegal one, and records in `last` the last
  // line it took. Returns false when the fast path must stop there: at an
  // illegal line, or within a line already too long to be legal.
  [[gnu::always_inline]] static bool Take(const Verdict& v, const char* at, LastLineEnd& last,
                                          char*& out) {
    std::uint64_t lineEnds = v.lineEnds;
    if (v.illegal == 0) {
      out = Gather(v, out);
    } else {
      const std::uint64_t beforeIllegal = (v.illegal & (0 - v.illegal)) - 1;
      lineEnds &= beforeIllegal;
      out = GatherEach(v.values, v.legal & beforeIllegal, out);
    }
    if (lineEnds != 0) {
      last = {at, lineEnds};
    } else if (at + Isa::kLanes - last.LineStart() > 3) {
      return false;
    }
    return v.illegal == 0;
  }

  // Writes the values of all the legal lanes of `v`, in lane order, at
  // `out`; returns the cursor after them. Uses the layer's own gathering
  // where it has one (which may write past the cursor).
  [[gnu::always_inline]] static char* Gather(const Verdict& v, char* out) {
    if constexpr (requires { Isa::Gather(v.values, v.legalLanes, v.legal, out); }) {
      static_assert(Isa::kGatherOverrun <= kReserveBytes / 2);
      return Isa::Gather(v.values, v.legalLanes, v.legal, out);
    } else {
      return GatherEach(v.values, v.legal, out);
    }
  }

  // Writes the values of the lanes set in `legal`, in lane order, at `out`,
  // one at a time; returns the cursor after them.
  static char* GatherEach(const Vec& values, std::uint64_t legal, char* out) {
    alignas(64) std::uint8_t bytes[Isa::kLanes];
    Isa::Store(bytes, values);
    for (; legal != 0; legal &= legal - 1) {
      *out++ = static_cast<char>(bytes[static_cast<unsigned>(std::countr_zero(legal)) / kBits]);
    }
    return out;
  }
};

}  // namespace decbytes
