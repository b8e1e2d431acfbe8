// Numbers to and from text exactly as the "C" locale writes and reads them,
// whatever locale the host process has set: a host that chose a
// decimal-comma locale still shows "-6.0 dB" and reads "-6.5" as -6.5.
#pragma once

#include <cstddef>

namespace Tarno {

// Writes `value` with `decimals` digits after the point, as printf's "%.*f"
// does in the "C" locale, and a terminating NUL. Returns the length, or 0
// (with an empty text when size > 0) when the text does not fit in `size`
// bytes or the value is not finite.
size_t formatFixed (double value, int decimals, char* text, size_t size);

// Reads a number from the start of `text` as strtod does in the "C" locale:
// leading white space, an optional sign, a decimal or hexadecimal ("0x")
// number, "inf", "infinity" or "nan". Out of range gives +-infinity or +-0,
// as strtod does. Returns the number of characters used, or 0 (value
// untouched) when the text does not start with a number.
size_t parseNumber (const char* text, double& value);

} // namespace Tarno
