// The pictures of anti-aliased shapes that CairoCanvas keeps between calls
// (see "Kept shapes" in CairoCanvas.cpp): premultiplied ARGB pixels of the
// rows a shape touched, found by a key made of every parameter of the call,
// within a limit on the memory they take (the least recently used go first);
// and the compositing of a picture over an image with the arithmetic Cairo
// blends the shape's own source with.
#pragma once

#ifndef _WIN32

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace Tarno {

struct KeptPicture
{
	enum class State
	{
		seen,  // met once: drawn on the canvas, not kept
		kept,  // composited from its runs
		drawn, // not to be kept: drawn on the canvas every time
	};

	// How the picture is blended: as Cairo blends a shape in an opaque
	// colour (its own blend, products rounded as (x·a + 127) / 255), or as
	// it blends any other source (pixman's OVER, (x·a + 128) / 255).
	enum class Blend
	{
		opaqueColour,
		other,
	};

	// A stretch of one row: pixels that are all opaque (copied), or any
	// (blended; its pixels may include transparent ones, which leave the
	// image as it is).
	struct Run
	{
		int x, y, length;
		bool opaque;
	};

	State state = State::seen;
	Blend blend = Blend::other;
	std::vector<Run> runs; // top to bottom
	std::vector<uint32_t> pixels; // the runs' pixels, one run after the other
	uint64_t lastUse = 0;

	// Adds the touched (non-zero) pixels of row[left..right), the row of an
	// image `imageWidth` pixels wide whose pixels right of `right` are
	// transparent.
	void addRow (const uint32_t* row, int y, int left, int right, int imageWidth);
	void shrinkToFit ();
	// Composites the picture over the image at `data` (32-bit pixels,
	// premultiplied ARGB or xRGB, rows `stride` bytes apart).
	void compositeOnto (unsigned char* data, int stride) const;
	// Memory taken, with its key and the table's share.
	size_t bytes (const std::string& key) const;

private:
	void add (const uint32_t* row, int y, int start, int end, bool opaque);
};

class KeptPictures
{
public:
	// The picture of `key`, marked as used now; null if there is none.
	KeptPicture* find (const std::string& key);
	// Enters (or replaces) the picture of `key`, dropping the least
	// recently used ones if the limit asks for it, and returns it.
	KeptPicture* add (const std::string& key, KeptPicture&& picture);

	void setLimit (size_t bytes);
	size_t limit () const { return byteLimit; }
	size_t bytes () const { return byteCount; }

private:
	void shrinkTo (size_t target);

	std::unordered_map<std::string, KeptPicture> pictures;
	size_t byteCount = 0;
	size_t byteLimit = 0;
	uint64_t clock = 0;
};

} // namespace Tarno

#endif // _WIN32
