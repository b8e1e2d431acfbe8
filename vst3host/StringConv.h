// Conversions between the UTF-16 strings of the VST 3 interfaces and UTF-8.
#pragma once

#include "pluginterfaces/base/ftypes.h"

#include <string>

namespace Tarno {
namespace Host {

// Reads at most maxUnits code units (stops at a terminating 0). Unpaired
// surrogates become U+FFFD.
std::string toUtf8 (const Steinberg::char16* text, int maxUnits);

// Writes a 0-terminated UTF-16 copy of text into out (capacity units including
// the terminator). Returns false (out still terminated) when text is invalid
// UTF-8 or does not fit.
bool fromUtf8 (const std::string& text, Steinberg::char16* out, int capacity);

// Copies a fixed-size char field that may lack its terminator.
std::string fromFixedAscii (const char* text, int maxChars);

} // namespace Host
} // namespace Tarno
