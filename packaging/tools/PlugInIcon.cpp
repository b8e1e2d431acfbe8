#include "packaging/tools/PlugInIcon.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace Tarno {
namespace Packaging {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Colour
{
	double r, g, b;
};

// The ORIGINAL panel's preset face and ground, knob ring and pointer.
constexpr Colour kTileTop = {42, 62, 66};
constexpr Colour kTileBottom = {20, 34, 38};
constexpr Colour kBorder = {80, 107, 109};
constexpr Colour kStroke = {240, 180, 90};

Colour mix (const Colour& a, const Colour& b, double t)
{
	return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double clamp01 (double v) { return std::min (1.0, std::max (0.0, v)); }

// Signed distance (in units of the icon's side) from (x, y) to the rounded
// tile: negative inside.
double tileDistance (double x, double y)
{
	constexpr double kInset = 0.03;
	constexpr double kRadius = 0.2;
	const double half = 0.5 - kInset - kRadius;
	const double qx = std::fabs (x - 0.5) - half;
	const double qy = std::fabs (y - 0.5) - half;
	const double outside = std::hypot (std::max (qx, 0.0), std::max (qy, 0.0));
	return outside + std::min (std::max (qx, qy), 0.0) - kRadius;
}

// Two periods of the oscillator's wave, square on the left, triangle in the
// middle and sine on the right, as points in units of the icon's side.
std::vector<std::pair<double, double>> wavePoints ()
{
	constexpr int kPoints = 480;
	constexpr double kLeft = 0.15, kRight = 0.85, kAmplitude = 0.2;
	std::vector<std::pair<double, double>> points;
	points.reserve (kPoints + 1);
	for (int i = 0; i <= kPoints; ++i)
	{
		const double u = double (i) / kPoints;
		const double s = std::sin (2.0 * kPi * 2.0 * u);
		// A square with steep but finite edges, so the stroke stays joined.
		const double square = std::tanh (14.0 * s) / std::tanh (14.0);
		const double triangle = 2.0 / kPi * std::asin (s);
		const double wSquare = clamp01 ((0.4 - u) / 0.2);
		const double wSine = clamp01 ((u - 0.6) / 0.2);
		const double wTriangle = 1.0 - wSquare - wSine;
		const double y = wSquare * square + wTriangle * triangle + wSine * s;
		points.push_back ({kLeft + (kRight - kLeft) * u, 0.5 - kAmplitude * y});
	}
	return points;
}

double segmentDistance (double px, double py, const std::pair<double, double>& a, const std::pair<double, double>& b)
{
	const double dx = b.first - a.first, dy = b.second - a.second;
	const double length2 = dx * dx + dy * dy;
	double t = length2 > 0 ? ((px - a.first) * dx + (py - a.second) * dy) / length2 : 0.0;
	t = clamp01 (t);
	return std::hypot (px - (a.first + t * dx), py - (a.second + t * dy));
}

void putLe16 (std::vector<uint8_t>& out, uint32_t v)
{
	out.push_back (uint8_t (v));
	out.push_back (uint8_t (v >> 8));
}

void putLe32 (std::vector<uint8_t>& out, uint32_t v)
{
	putLe16 (out, v & 0xFFFF);
	putLe16 (out, v >> 16);
}

bool validImage (const IconImage& image)
{
	return image.size >= 1 && image.size <= 256 && image.bgra.size () == size_t (image.size) * image.size * 4;
}

// Bytes of one mask row: 1 bit a pixel, rows padded to 4 bytes.
size_t maskStride (int size) { return size_t ((size + 31) / 32) * 4; }

} // namespace

IconImage drawPlugInIcon (int size)
{
	IconImage image;
	if (size < 1 || size > 256)
		return image;
	image.size = size;
	image.bgra.assign (size_t (size) * size * 4, 0);

	static const auto wave = wavePoints ();
	// Half the stroke's width in pixels: bold enough to read at 16 pixels.
	const double halfWidth = std::max (0.9, 0.032 * size);
	const double borderWidth = std::max (1.0, size / 32.0);

	for (int j = 0; j < size; ++j)
	{
		for (int i = 0; i < size; ++i)
		{
			const double x = (i + 0.5) / size, y = (j + 0.5) / size;
			const double edge = tileDistance (x, y) * size; // pixels, negative inside
			const double alpha = clamp01 (0.5 - edge);
			if (alpha <= 0)
				continue;
			Colour c = mix (kTileTop, kTileBottom, y);
			c = mix (c, kBorder, clamp01 (borderWidth + 0.5 + edge));

			double nearest = 1e9;
			for (size_t k = 1; k < wave.size (); ++k)
				nearest = std::min (nearest, segmentDistance (x, y, wave[k - 1], wave[k]));
			c = mix (c, kStroke, clamp01 (halfWidth + 0.5 - nearest * size));

			uint8_t* p = &image.bgra[(size_t (j) * size + i) * 4];
			p[0] = uint8_t (std::lround (c.b));
			p[1] = uint8_t (std::lround (c.g));
			p[2] = uint8_t (std::lround (c.r));
			p[3] = uint8_t (std::lround (alpha * 255.0));
		}
	}
	return image;
}

const std::vector<int>& plugInIconSizes ()
{
	static const std::vector<int> sizes = {16, 24, 32, 48, 64, 256};
	return sizes;
}

std::vector<uint8_t> encodeIco (const std::vector<IconImage>& images)
{
	if (images.empty () || images.size () > 0xFFFF)
		return {};
	for (const auto& image : images)
		if (!validImage (image))
			return {};

	std::vector<uint8_t> out;
	putLe16 (out, 0); // reserved
	putLe16 (out, 1); // icon
	putLe16 (out, uint32_t (images.size ()));

	uint32_t offset = uint32_t (6 + 16 * images.size ());
	for (const auto& image : images)
	{
		const uint32_t bytes = uint32_t (40 + image.bgra.size () + maskStride (image.size) * image.size);
		out.push_back (uint8_t (image.size & 0xFF)); // 256 is written as 0
		out.push_back (uint8_t (image.size & 0xFF));
		out.push_back (0); // no palette
		out.push_back (0);
		putLe16 (out, 1);  // planes
		putLe16 (out, 32); // bits per pixel
		putLe32 (out, bytes);
		putLe32 (out, offset);
		offset += bytes;
	}

	for (const auto& image : images)
	{
		const int n = image.size;
		const size_t stride = maskStride (n);
		// BITMAPINFOHEADER; the height counts the colour rows and the mask.
		putLe32 (out, 40);
		putLe32 (out, uint32_t (n));
		putLe32 (out, uint32_t (2 * n));
		putLe16 (out, 1);
		putLe16 (out, 32);
		putLe32 (out, 0); // BI_RGB
		putLe32 (out, uint32_t (image.bgra.size () + stride * n));
		for (int k = 0; k < 4; ++k)
			putLe32 (out, 0);
		// Rows bottom to top.
		for (int row = n - 1; row >= 0; --row)
		{
			const auto begin = image.bgra.begin () + std::ptrdiff_t (size_t (row) * n * 4);
			out.insert (out.end (), begin, begin + std::ptrdiff_t (n * 4));
		}
		for (int row = n - 1; row >= 0; --row)
		{
			std::vector<uint8_t> mask (stride, 0);
			for (int i = 0; i < n; ++i)
				if (image.bgra[(size_t (row) * n + i) * 4 + 3] == 0)
					mask[size_t (i / 8)] |= uint8_t (0x80 >> (i % 8));
			out.insert (out.end (), mask.begin (), mask.end ());
		}
	}
	return out;
}

const char* folderDesktopIni ()
{
	return "[.ShellClassInfo]\r\n"
	       "IconResource=PlugIn.ico,0\r\n"
	       "IconFile=PlugIn.ico\r\n"
	       "IconIndex=0\r\n";
}

} // namespace Packaging
} // namespace Tarno
