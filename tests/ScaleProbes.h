// Probes of the panel drawn at a content scale f against the same panel at
// 1.0, for any kind of picture: the callers pass `at (x, y)` functions that
// give a pixel as {r, g, b}.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace TarnoTest {

using Pixel = std::array<int, 3>;

inline int maxDifference (Pixel a, Pixel b)
{
	return std::max ({std::abs (a[0] - b[0]), std::abs (a[1] - b[1]), std::abs (a[2] - b[2])});
}

struct FlatProbes
{
	int probes = 0, wrong = 0;
	int firstWrongX = -1, firstWrongY = -1; // panel pixel of the first miss
};

// Every third panel pixel of a width × height panel whose 5 × 5
// neighbourhood at 1.0 is one flat colour (within 2) should show that
// colour (within 4) at the centre of its scaled square at f.
template <typename One, typename Big>
FlatProbes probeFlatAreas (int width, int height, double f, One one, Big big)
{
	FlatProbes result;
	for (int y = 2; y < height - 2; y += 3)
		for (int x = 2; x < width - 2; x += 3)
		{
			const Pixel c = one (x, y);
			bool flat = true;
			for (int dy = -2; dy <= 2 && flat; ++dy)
				for (int dx = -2; dx <= 2 && flat; ++dx)
					flat = maxDifference (one (x + dx, y + dy), c) <= 2;
			if (!flat)
				continue;
			++result.probes;
			const auto centre = [f] (int v) { return int (std::floor ((v + 0.5) * f)); };
			if (maxDifference (big (centre (x), centre (y)), c) > 4 && result.wrong++ == 0)
			{
				result.firstWrongX = x;
				result.firstWrongY = y;
			}
		}
	return result;
}

// Pixels in the rectangle that differ from `background` by more than a third
// of the range: the ink of text drawn there.
template <typename At>
int ink (At at, int left, int top, int right, int bottom, Pixel background)
{
	int n = 0;
	for (int y = top; y < bottom; ++y)
		for (int x = left; x < right; ++x)
			n += maxDifference (at (x, y), background) > 85;
	return n;
}

} // namespace TarnoTest
