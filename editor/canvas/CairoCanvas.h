// Canvas that paints with Cairo into an image held in memory (Linux only).
// The tests and the skin snapshots use it to see what the editor draws.
//
// How it stands in for GDI and GDI+:
//  - Plain operations are drawn without anti-aliasing so that they cover
//    the same pixels as GDI: integer rectangles fill left..right-1 and
//    top..bottom-1 (an inverted one is filled backwards from its left and
//    top edges, as a blit with negative extents); a 1-pixel line is stepped
//    pixel by pixel and leaves out its end point, as LineTo does; a 1-pixel
//    ellipse outline is a thin curve through the pixels left..right-1 and
//    top..bottom-1 of its box (the box's right and bottom are exclusive).
//    Wider pens are strokes with round ends (GDI's wide solid pens are
//    geometric pens with round caps) that include both end points; a pen
//    of odd width is centred on the pixels a 1-pixel pen would draw, one of
//    even width on the grid line to their left and top, so that it covers
//    whole pixels. These placements match Wine's GDI pixel for pixel for
//    1-pixel lines and ellipses and for the bodies of straight wide lines;
//    diagonal wide strokes and the round ends of wide lines differ by a
//    pixel here and there.
//  - Text: Cairo's own ("toy") text interface through fontconfig, grey
//    anti-aliased as GDI's ClearType text is smoothed. Windows faces are
//    not present on Linux: "Segoe UI", "Arial", "Tahoma" and "Verdana" are
//    drawn with "DejaVu Sans", "Consolas" and "Courier New" with
//    "DejaVu Sans Mono"; any other face is passed on as named and
//    fontconfig picks its best match. The font size is the character
//    height (the em size, what a negative CreateFont height asks for).
//    Text positions are rounded to whole pixels, as GDI's are. Without
//    kTextNoPrefix an '&' is removed and "&&" shows one '&', as DrawText
//    does, but the prefixed letter is not underlined.
//  - Anti-aliased operations follow GDI+'s default pixel offset mode, in
//    which pixel (i, j) is centred on the point (i, j); gradients repeat
//    beyond their two points (GDI+'s tile wrap mode); arcs measure their
//    angles at the ellipse's centre, as GDI+ does.
//  - Anti-aliased shapes other than plain-coloured rectangles are kept as
//    pictures between calls: a shape met again is drawn once more, onto a
//    transparent scratch image, and from then on every call with the same
//    parameters composites the picture kept from it instead of drawing
//    (see "Kept shapes" in CairoCanvas.cpp). The pixels are the same as
//    drawing each shape afresh.
#pragma once

#ifndef _WIN32

#include "editor/canvas/Canvas.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace Tarno {

struct KeptPicture;

class CairoCanvas final : public Canvas
{
public:
	enum class Format
	{
		rgb24,  // opaque, like a GDI bitmap (the default)
		argb32, // with an alpha channel; starts fully transparent
	};

	// An image of width × height pixels, black (rgb24) or transparent
	// (argb32) at first. panelBrush is the colour of the editor's panel
	// brush, used by fillRectWithPanelBrush.
	CairoCanvas (int width, int height, Rgb panelBrush, Format format = Format::rgb24);
	~CairoCanvas () override;

	CairoCanvas (const CairoCanvas&) = delete;
	CairoCanvas& operator= (const CairoCanvas&) = delete;

	int width () const { return imageWidth; }
	int height () const { return imageHeight; }

	// Colour of one pixel (alpha divided out for argb32); black outside the
	// image.
	Rgb pixel (int x, int y) const;
	// Alpha of one pixel: 255 for rgb24 images, 0 outside the image.
	uint8_t alpha (int x, int y) const;
	// Writes the image as a PNG file; false if that failed.
	bool writePng (const std::string& path) const;
	// The image encoded as PNG; empty if that failed.
	std::vector<uint8_t> pngBytes () const;

	// Finishes pending drawing so that the pixels can be read.
	void flush ();
	// The image, flushed, for copying elsewhere (an editor window).
	cairo_surface_t* image ();

	// At most how many bytes of anti-aliased shape pictures are kept for
	// reuse (the least recently used go first); 0 keeps none and draws
	// every shape afresh. The default holds the pictures of all three skins
	// several times over.
	void setShapeCacheLimit (size_t bytes);
	// Bytes of shape pictures kept now.
	size_t shapeCacheBytes () const;

	// ---- Canvas
	void save () override;
	void restore () override;

	void fillRect (const Rect& r, Rgb color) override;
	void fillRectWithPanelBrush (const Rect& r) override;
	void ellipseOutline (const Rect& box, Rgb color, int width) override;
	void line (Point a, Point b, Rgb color, int width) override;
	void textAt (int x, int y, const char* text, const FontSpec& font, Rgb color) override;
	void textInRect (const Rect& r, const char* text, const FontSpec& font, Rgb color, unsigned flags) override;
	void textInRectW (const Rect& r, const char16_t* text, const FontSpec& font, Rgb color,
	                  unsigned flags) override;

	void aaFillRect (const RectF& r, const Fill& fill) override;
	void aaFillEllipse (const RectF& box, const Fill& fill) override;
	void aaRectOutline (const RectF& r, Argb color, float width) override;
	void aaLine (PointF a, PointF b, Argb color, float width, bool roundCaps) override;
	void aaArc (const RectF& box, float startDegrees, float sweepDegrees, Argb color, float width,
	            bool roundCaps) override;
	void aaCurve (const PointF* points, int count, float tension, Argb color, float width) override;

	// The face Cairo is asked for in place of a Windows face name.
	static const char* linuxFace (const char* windowsFace);

	// Bytes of shape pictures kept by default.
	static constexpr size_t kDefaultShapeCacheLimit = 32u << 20;

private:
	struct ShapeCache;

	void selectFont (const FontSpec& font);
	void drawTextLines (const Rect& r, const std::string& utf8, const FontSpec& font, Rgb color, unsigned flags);
	void beginPlain ();
	void end ();
	// Draws one anti-aliased shape (one of the shape types in the .cpp
	// file), from a kept picture where it can.
	template <class Shape>
	void drawShape (const Shape& shape);
	// Draws a shape onto the scratch image and keeps its picture; null if
	// it is not kept.
	template <class Shape>
	KeptPicture* keepPicture (const Shape& shape);

	cairo_surface_t* surface = nullptr;
	cairo_t* cr = nullptr;
	int imageWidth = 0;
	int imageHeight = 0;
	bool hasAlpha = false;
	Rgb panelColor;
	int saveDepth = 0;
	std::unique_ptr<ShapeCache> shapes;
};

} // namespace Tarno

#endif // _WIN32
