#include "vst3host/StringConv.h"

namespace Tarno {
namespace Host {

namespace {

void appendUtf8 (std::string& out, uint32_t cp)
{
	if (cp < 0x80)
		out += char (cp);
	else if (cp < 0x800)
	{
		out += char (0xC0 | (cp >> 6));
		out += char (0x80 | (cp & 0x3F));
	}
	else if (cp < 0x10000)
	{
		out += char (0xE0 | (cp >> 12));
		out += char (0x80 | ((cp >> 6) & 0x3F));
		out += char (0x80 | (cp & 0x3F));
	}
	else
	{
		out += char (0xF0 | (cp >> 18));
		out += char (0x80 | ((cp >> 12) & 0x3F));
		out += char (0x80 | ((cp >> 6) & 0x3F));
		out += char (0x80 | (cp & 0x3F));
	}
}

} // namespace

std::string toUtf8 (const Steinberg::char16* text, int maxUnits)
{
	std::string out;
	if (text == nullptr)
		return out;
	for (int i = 0; i < maxUnits && text[i] != 0; ++i)
	{
		uint32_t u = uint16_t (text[i]);
		if (u >= 0xD800 && u < 0xDC00 && i + 1 < maxUnits)
		{
			const uint32_t low = uint16_t (text[i + 1]);
			if (low >= 0xDC00 && low < 0xE000)
			{
				appendUtf8 (out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
				++i;
				continue;
			}
		}
		if (u >= 0xD800 && u < 0xE000)
			u = 0xFFFD;
		appendUtf8 (out, u);
	}
	return out;
}

bool fromUtf8 (const std::string& text, Steinberg::char16* out, int capacity)
{
	if (capacity <= 0)
		return false;
	int n = 0;
	size_t i = 0;
	bool ok = true;
	while (i < text.size ())
	{
		const uint8_t b = uint8_t (text[i]);
		uint32_t cp = 0;
		size_t extra = 0;
		if (b < 0x80)
			cp = b;
		else if ((b & 0xE0) == 0xC0)
		{
			cp = b & 0x1F;
			extra = 1;
		}
		else if ((b & 0xF0) == 0xE0)
		{
			cp = b & 0x0F;
			extra = 2;
		}
		else if ((b & 0xF8) == 0xF0)
		{
			cp = b & 0x07;
			extra = 3;
		}
		else
		{
			ok = false;
			break;
		}
		if (i + extra >= text.size ()) // sequence cut off by the end
		{
			ok = false;
			break;
		}
		for (size_t k = 1; k <= extra; ++k)
		{
			const uint8_t c = uint8_t (text[i + k]);
			if ((c & 0xC0) != 0x80)
			{
				ok = false;
				break;
			}
			cp = (cp << 6) | (c & 0x3F);
		}
		if (!ok)
			break;
		i += extra + 1;
		const int units = cp >= 0x10000 ? 2 : 1;
		if (n + units >= capacity)
		{
			ok = false;
			break;
		}
		if (units == 2)
		{
			cp -= 0x10000;
			out[n++] = Steinberg::char16 (0xD800 + (cp >> 10));
			out[n++] = Steinberg::char16 (0xDC00 + (cp & 0x3FF));
		}
		else
			out[n++] = Steinberg::char16 (cp);
	}
	out[n] = 0;
	return ok;
}

std::string fromFixedAscii (const char* text, int maxChars)
{
	int n = 0;
	while (n < maxChars && text[n] != 0)
		++n;
	return std::string (text, size_t (n));
}

} // namespace Host
} // namespace Tarno
