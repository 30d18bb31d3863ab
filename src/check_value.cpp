// Whether a value field is a legal value below MaxValue: the rule every path
// is held to. The fast paths apply it through tables made for the bound of a
// byte, and so run only while MaxValue is at least that bound.
#include <decbytes/decbytes.h>

#include <climits>

namespace decbytes {

int MaxValue = 1;

void SetByteBound() { MaxValue = 1 << CHAR_BIT; }

int CheckValue(std::string_view field) {
  for (char c : field) {
    if (c < '0' || c > '9') return -1;
  }
  // Digits only from here; stop as soon as the value reaches the bound so
  // that a long field cannot overflow.
  int value = 0;
  for (char c : field) {
    if (value > (INT_MAX - 9) / 10) return -1;
    value = value * 10 + (c - '0');
    if (value >= MaxValue) return -1;
  }
  return value;
}

}  // namespace decbytes
