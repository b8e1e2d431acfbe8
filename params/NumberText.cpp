#include "params/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace Tarno {

namespace {

bool isSpace (char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit (char c) { return c >= '0' && c <= '9'; }
bool isHexDigit (char c) { return isDigit (c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }

// Whether a number that from_chars found out of range (the characters
// [first, last), sign already taken) is too large rather than too small:
// the power of its first non-zero digit (of ten, or of two for hexadecimal
// digits, four bits each) plus its exponent is positive.
bool overflows (const char* first, const char* last, bool hex)
{
	const char* p = first;
	auto isMantissaDigit = [hex] (char c) { return hex ? isHexDigit (c) : isDigit (c); };
	while (p < last && *p == '0')
		++p;
	long long digitPower = -1; // the power of the leading digit, in digits
	for (; p < last && isMantissaDigit (*p); ++p)
		++digitPower;
	if (digitPower < 0 && p < last && *p == '.')
	{
		for (++p; p < last && *p == '0'; ++p)
			--digitPower;
	}
	while (p < last && (isMantissaDigit (*p) || *p == '.'))
		++p;
	long long exponent = 0;
	if (p < last && ((*p | 0x20) == 'e' || (*p | 0x20) == 'p'))
	{
		++p;
		const bool negative = p < last && *p == '-';
		if (p < last && (*p == '-' || *p == '+'))
			++p;
		for (; p < last && isDigit (*p); ++p)
			if (exponent < 1000000000)
				exponent = exponent * 10 + (*p - '0');
		if (negative)
			exponent = -exponent;
	}
	return (hex ? 4 * digitPower : digitPower) + exponent > 0;
}

} // namespace

size_t formatFixed (double value, int decimals, char* text, size_t size)
{
	if (size == 0)
		return 0;
	text[0] = '\0';
	if (!std::isfinite (value) || decimals < 0)
		return 0;
	const std::to_chars_result r = std::to_chars (text, text + size - 1, value, std::chars_format::fixed, decimals);
	if (r.ec != std::errc ())
	{
		text[0] = '\0';
		return 0;
	}
	*r.ptr = '\0';
	return static_cast<size_t> (r.ptr - text);
}

size_t parseNumber (const char* text, double& value)
{
	if (text == nullptr)
		return 0;
	const char* p = text;
	while (isSpace (*p))
		++p;
	const bool negative = *p == '-';
	if (*p == '-' || *p == '+')
		++p;
	const char* end = p + std::strlen (p);

	// "0x" counts only when a hexadecimal digit follows (with or without a
	// point); otherwise strtod reads the "0" alone.
	bool hex = false;
	if (p[0] == '0' && (p[1] | 0x20) == 'x' && (isHexDigit (p[2]) || (p[2] == '.' && isHexDigit (p[3]))))
	{
		hex = true;
		p += 2;
	}
	else if (!isDigit (*p) && *p != '.' && (*p | 0x20) != 'i' && (*p | 0x20) != 'n')
		return 0; // also refuses a second sign, which from_chars would take

	double magnitude = 0.0;
	const std::from_chars_result r =
		std::from_chars (p, end, magnitude, hex ? std::chars_format::hex : std::chars_format::general);
	if (r.ec == std::errc::invalid_argument || r.ptr == p)
		return 0;
	if (r.ec == std::errc::result_out_of_range)
		magnitude = overflows (p, r.ptr, hex) ? std::numeric_limits<double>::infinity () : 0.0;
	value = negative ? -magnitude : magnitude;
	return static_cast<size_t> (r.ptr - text);
}

} // namespace Tarno
