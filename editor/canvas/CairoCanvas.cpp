#ifndef _WIN32

#include "editor/canvas/CairoCanvas.h"

#include "editor/canvas/KeptPictures.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace Tarno {

namespace {

constexpr double kPi = 3.14159265358979323846;

double unit (uint8_t v) { return v / 255.0; }

void setRgb (cairo_t* cr, Rgb c) { cairo_set_source_rgb (cr, unit (c.r), unit (c.g), unit (c.b)); }

void setArgb (cairo_t* cr, Argb c) { cairo_set_source_rgba (cr, unit (c.r), unit (c.g), unit (c.b), unit (c.a)); }

// Windows-1252 code points of the bytes 0x80..0x9F (0 where the code page
// leaves the byte undefined; those are shown as U+FFFD).
constexpr char16_t kCp1252High[32] = {
	0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
	0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
	0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8 (std::string& out, uint32_t cp)
{
	if (cp < 0x80)
		out += static_cast<char> (cp);
	else if (cp < 0x800)
	{
		out += static_cast<char> (0xC0 | (cp >> 6));
		out += static_cast<char> (0x80 | (cp & 0x3F));
	}
	else if (cp < 0x10000)
	{
		out += static_cast<char> (0xE0 | (cp >> 12));
		out += static_cast<char> (0x80 | ((cp >> 6) & 0x3F));
		out += static_cast<char> (0x80 | (cp & 0x3F));
	}
	else
	{
		out += static_cast<char> (0xF0 | (cp >> 18));
		out += static_cast<char> (0x80 | ((cp >> 12) & 0x3F));
		out += static_cast<char> (0x80 | ((cp >> 6) & 0x3F));
		out += static_cast<char> (0x80 | (cp & 0x3F));
	}
}

// The 8-bit texts are in the Windows ANSI code page (1252 on the systems
// the editor targets); Cairo wants UTF-8 and refuses malformed strings.
std::string ansiToUtf8 (const char* text)
{
	std::string out;
	for (const unsigned char* p = reinterpret_cast<const unsigned char*> (text); *p; ++p)
	{
		uint32_t cp = *p;
		if (cp >= 0x80 && cp < 0xA0)
			cp = kCp1252High[cp - 0x80] ? kCp1252High[cp - 0x80] : 0xFFFD;
		appendUtf8 (out, cp);
	}
	return out;
}

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8 (const char16_t* text)
{
	std::string out;
	for (const char16_t* p = text; *p; ++p)
	{
		uint32_t cp = *p;
		if (cp >= 0xD800 && cp < 0xDC00)
		{
			if (p[1] >= 0xDC00 && p[1] < 0xE000)
			{
				cp = 0x10000 + ((cp - 0xD800) << 10) + (p[1] - 0xDC00);
				++p;
			}
			else
				cp = 0xFFFD;
		}
		else if (cp >= 0xDC00 && cp < 0xE000)
			cp = 0xFFFD;
		appendUtf8 (out, cp);
	}
	return out;
}

// DrawText's prefix handling: '&' is dropped, "&&" stands for one '&'.
std::string stripPrefixes (const std::string& s)
{
	std::string out;
	for (size_t i = 0; i < s.size (); ++i)
	{
		if (s[i] == '&')
		{
			if (i + 1 < s.size () && s[i + 1] == '&')
			{
				out += '&';
				++i;
			}
			continue;
		}
		out += s[i];
	}
	return out;
}

// GDI+ measures arc angles at the centre of the ellipse; Cairo draws a
// scaled unit circle, whose angles are the ellipse's parameter. Converts
// the first into the second (the same for a circle).
double parameterAngle (double radians, double rx, double ry)
{
	return std::atan2 (rx * std::sin (radians), ry * std::cos (radians));
}

// Where a wide plain pen runs relative to the pixel (x, y) that a 1-pixel
// pen would draw: a pen of odd width runs through the pixel's centre and
// covers (width - 1) / 2 pixels on either side of it; a pen of even width
// runs along the pixel's left and top edges, so that width / 2 whole
// pixels lie on either side and none is cut in half (where Wine's GDI
// puts them too).
double penOffset (int width) { return (width % 2) ? 0.5 : 0.0; }

} // namespace

const char* CairoCanvas::linuxFace (const char* windowsFace)
{
	static const struct
	{
		const char* windows;
		const char* substitute;
	} kFaces[] = {
		{"Segoe UI", "DejaVu Sans"},       {"Arial", "DejaVu Sans"},           {"Tahoma", "DejaVu Sans"},
		{"Verdana", "DejaVu Sans"},        {"Consolas", "DejaVu Sans Mono"},   {"Courier New", "DejaVu Sans Mono"},
	};
	if (!windowsFace || !*windowsFace)
		return "DejaVu Sans";
	for (const auto& f : kFaces)
		if (strcasecmp (f.windows, windowsFace) == 0)
			return f.substitute;
	return windowsFace;
}

CairoCanvas::CairoCanvas (int width, int height, Rgb panelBrush, Format format)
: imageWidth (std::max (width, 0)), imageHeight (std::max (height, 0)), hasAlpha (format == Format::argb32),
  panelColor (panelBrush), shapes (std::make_unique<ShapeCache> ())
{
	surface = cairo_image_surface_create (hasAlpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, imageWidth,
	                                      imageHeight);
	cr = cairo_create (surface);
	// Cairo blends shapes into an image it knows to be untouched in its
	// own way; the image starts out as one that has been drawn on, so that
	// the first shapes are blended as all later ones are (the kept shapes
	// rely on that).
	cairo_surface_mark_dirty (surface);

	// Text is smoothed in grey and hinted to the pixel grid, the closest
	// Cairo comes to GDI's ClearType text on an off-screen bitmap.
	cairo_font_options_t* options = cairo_font_options_create ();
	cairo_font_options_set_antialias (options, CAIRO_ANTIALIAS_GRAY);
	cairo_font_options_set_hint_style (options, CAIRO_HINT_STYLE_FULL);
	cairo_font_options_set_hint_metrics (options, CAIRO_HINT_METRICS_ON);
	cairo_set_font_options (cr, options);
	cairo_font_options_destroy (options);
}

CairoCanvas::~CairoCanvas ()
{
	shapes.reset ();
	cairo_destroy (cr);
	cairo_surface_destroy (surface);
}

void CairoCanvas::flush () { cairo_surface_flush (surface); }

cairo_surface_t* CairoCanvas::image ()
{
	cairo_surface_flush (surface);
	return surface;
}

Rgb CairoCanvas::pixel (int x, int y) const
{
	if (x < 0 || y < 0 || x >= imageWidth || y >= imageHeight)
		return {0, 0, 0};
	cairo_surface_flush (surface);
	const unsigned char* data = cairo_image_surface_get_data (surface);
	const int stride = cairo_image_surface_get_stride (surface);
	uint32_t v;
	std::memcpy (&v, data + y * stride + x * 4, 4);
	uint32_t r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
	if (hasAlpha)
	{
		// ARGB32 is stored with the colour multiplied by alpha.
		const uint32_t a = v >> 24;
		if (a == 0)
			return {0, 0, 0};
		r = std::min<uint32_t> (255, (r * 255 + a / 2) / a);
		g = std::min<uint32_t> (255, (g * 255 + a / 2) / a);
		b = std::min<uint32_t> (255, (b * 255 + a / 2) / a);
	}
	return {static_cast<uint8_t> (r), static_cast<uint8_t> (g), static_cast<uint8_t> (b)};
}

uint8_t CairoCanvas::alpha (int x, int y) const
{
	if (x < 0 || y < 0 || x >= imageWidth || y >= imageHeight)
		return 0;
	if (!hasAlpha)
		return 255;
	cairo_surface_flush (surface);
	const unsigned char* data = cairo_image_surface_get_data (surface);
	uint32_t v;
	std::memcpy (&v, data + y * cairo_image_surface_get_stride (surface) + x * 4, 4);
	return static_cast<uint8_t> (v >> 24);
}

bool CairoCanvas::writePng (const std::string& path) const
{
	cairo_surface_flush (surface);
	return cairo_surface_write_to_png (surface, path.c_str ()) == CAIRO_STATUS_SUCCESS;
}

std::vector<uint8_t> CairoCanvas::pngBytes () const
{
	std::vector<uint8_t> bytes;
	auto append = [] (void* closure, const unsigned char* data, unsigned int length) {
		auto* out = static_cast<std::vector<uint8_t>*> (closure);
		out->insert (out->end (), data, data + length);
		return CAIRO_STATUS_SUCCESS;
	};
	cairo_surface_flush (surface);
	if (cairo_surface_write_to_png_stream (surface, append, &bytes) != CAIRO_STATUS_SUCCESS)
		bytes.clear ();
	return bytes;
}

// ---- State ---------------------------------------------------------------

void CairoCanvas::save ()
{
	cairo_save (cr);
	++saveDepth;
}

void CairoCanvas::restore ()
{
	// An unmatched cairo_restore would put the context in an error state
	// for good; RestoreDC without a saved state merely fails.
	if (saveDepth == 0)
		return;
	cairo_restore (cr);
	--saveDepth;
}

void CairoCanvas::beginPlain ()
{
	cairo_save (cr);
	// Text leaves a current point behind; a shape must not start from it.
	cairo_new_path (cr);
	cairo_set_antialias (cr, CAIRO_ANTIALIAS_NONE);
}

void CairoCanvas::end () { cairo_restore (cr); }

// ---- Plain drawing -------------------------------------------------------

void CairoCanvas::fillRect (const Rect& r, Rgb color)
{
	// FillRect draws nothing for an empty rectangle. An inverted one is
	// filled as a pattern blit with a negative extent: from its left
	// (top) edge, included, back to its right (bottom) edge, excluded; so
	// (40, 30, 20, 10) covers x 21..40 and y 11..30 (as Wine's GDI does).
	const int left = r.right < r.left ? r.right + 1 : r.left;
	const int right = r.right < r.left ? r.left + 1 : r.right;
	const int top = r.bottom < r.top ? r.bottom + 1 : r.top;
	const int bottom = r.bottom < r.top ? r.top + 1 : r.bottom;
	if (left == right || top == bottom)
		return;
	beginPlain ();
	setRgb (cr, color);
	cairo_rectangle (cr, left, top, right - left, bottom - top);
	cairo_fill (cr);
	end ();
}

void CairoCanvas::fillRectWithPanelBrush (const Rect& r) { fillRect (r, panelColor); }

void CairoCanvas::ellipseOutline (const Rect& box, Rgb color, int width)
{
	// The box's right and bottom edges are exclusive: the ellipse runs
	// through the pixels left..right-1 and top..bottom-1.
	const double cx = (box.left + box.right - 1) / 2.0, cy = (box.top + box.bottom - 1) / 2.0;
	const double rx = (box.right - box.left - 1) / 2.0, ry = (box.bottom - box.top - 1) / 2.0;
	if (rx <= 0 || ry <= 0)
		return;
	beginPlain ();
	setRgb (cr, color);
	if (width <= 1)
	{
		// A cosmetic pen draws a thin curve, one pixel per column where the
		// ellipse is flatter than 45 degrees and one per row where it is
		// steeper (a stroke would pick up extra pixels on the diagonals);
		// halfway cases are rounded towards the centre.
		const double diagonal = std::sqrt (rx * rx + ry * ry);
		const double xs = rx * rx / diagonal, ys = ry * ry / diagonal;
		for (int x = static_cast<int> (std::ceil (cx - xs)); x <= static_cast<int> (std::floor (cx + xs)); ++x)
		{
			const double u = (x - cx) / rx;
			const double h = ry * std::sqrt (std::max (0.0, 1 - u * u));
			cairo_rectangle (cr, x, std::floor (cy - h + 0.5), 1, 1);
			cairo_rectangle (cr, x, std::ceil (cy + h - 0.5), 1, 1);
		}
		for (int y = static_cast<int> (std::ceil (cy - ys)); y <= static_cast<int> (std::floor (cy + ys)); ++y)
		{
			const double v = (y - cy) / ry;
			const double w = rx * std::sqrt (std::max (0.0, 1 - v * v));
			cairo_rectangle (cr, std::floor (cx - w + 0.5), y, 1, 1);
			cairo_rectangle (cr, std::ceil (cx + w - 0.5), y, 1, 1);
		}
		cairo_set_fill_rule (cr, CAIRO_FILL_RULE_WINDING);
		cairo_fill (cr);
	}
	else
	{
		// A wide pen is centred on the curve through those pixels; see
		// penOffset for where exactly.
		const double offset = penOffset (width);
		cairo_save (cr);
		cairo_translate (cr, cx + offset, cy + offset);
		cairo_scale (cr, rx, ry);
		cairo_arc (cr, 0, 0, 1, 0, 2 * kPi);
		cairo_restore (cr);
		cairo_set_line_width (cr, width);
		cairo_stroke (cr);
	}
	end ();
}

void CairoCanvas::line (Point a, Point b, Rgb color, int width)
{
	// LineTo to the current position draws nothing.
	if (a.x == b.x && a.y == b.y)
		return;
	beginPlain ();
	setRgb (cr, color);
	if (width <= 1)
	{
		// A cosmetic pen: one pixel per step along the major axis, from a
		// up to but not including b; the other coordinate is rounded to the
		// nearest pixel, halfway cases to the smaller coordinate whichever
		// way the line runs (as Wine's GDI draws them).
		const int dx = b.x - a.x, dy = b.y - a.y;
		const bool xMajor = std::abs (dx) >= std::abs (dy);
		const long long major = xMajor ? std::abs (dx) : std::abs (dy);
		const long long minor = xMajor ? dy : dx;
		const int majorStep = (xMajor ? dx : dy) > 0 ? 1 : -1;
		for (long long i = 0; i < major; ++i)
		{
			// ceil ((i·minor/major) − 1/2), in integers.
			const long long num = 2 * i * minor - major, den = 2 * major;
			const long long offset = num >= 0 ? (num + den - 1) / den : -((-num) / den);
			const int along = static_cast<int> (i) * majorStep;
			const int across = static_cast<int> (offset);
			if (xMajor)
				cairo_rectangle (cr, a.x + along, a.y + across, 1, 1);
			else
				cairo_rectangle (cr, a.x + across, a.y + along, 1, 1);
		}
		cairo_fill (cr);
	}
	else
	{
		// A wider solid pen is a geometric pen with round ends; its stroke
		// covers both end points.
		const double offset = penOffset (width);
		cairo_move_to (cr, a.x + offset, a.y + offset);
		cairo_line_to (cr, b.x + offset, b.y + offset);
		cairo_set_line_width (cr, width);
		cairo_set_line_cap (cr, CAIRO_LINE_CAP_ROUND);
		cairo_set_line_join (cr, CAIRO_LINE_JOIN_ROUND);
		cairo_stroke (cr);
	}
	end ();
}

void CairoCanvas::selectFont (const FontSpec& font)
{
	cairo_select_font_face (cr, linuxFace (font.face), CAIRO_FONT_SLANT_NORMAL,
	                        font.weight >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
	// The character height is the em size.
	cairo_set_font_size (cr, std::abs (font.height));
}

void CairoCanvas::textAt (int x, int y, const char* text, const FontSpec& font, Rgb color)
{
	if (!text || !*text)
		return;
	cairo_save (cr);
	selectFont (font);
	cairo_font_extents_t fe;
	cairo_font_extents (cr, &fe);
	setRgb (cr, color);
	// (x, y) is the top of the text cell; the glyphs sit on the baseline,
	// one ascent lower.
	cairo_move_to (cr, x, y + std::round (fe.ascent));
	const std::string utf8 = ansiToUtf8 (text);
	cairo_show_text (cr, utf8.c_str ());
	cairo_new_path (cr); // the path is not part of the saved state
	cairo_restore (cr);
}

void CairoCanvas::drawTextLines (const Rect& r, const std::string& utf8, const FontSpec& font, Rgb color,
                                 unsigned flags)
{
	constexpr unsigned kBottom = 0x8;   // DT_BOTTOM
	constexpr unsigned kNoClip = 0x100; // DT_NOCLIP

	cairo_save (cr);
	if (!(flags & kNoClip))
	{
		// DrawText clips at its rectangle.
		cairo_rectangle (cr, r.left, r.top, std::max (r.right - r.left, 0), std::max (r.bottom - r.top, 0));
		cairo_clip (cr);
	}
	selectFont (font);
	cairo_font_extents_t fe;
	cairo_font_extents (cr, &fe);
	const int ascent = static_cast<int> (std::lround (fe.ascent));
	const int cellHeight = ascent + static_cast<int> (std::lround (fe.descent));
	setRgb (cr, color);

	const std::string text = (flags & kTextNoPrefix) ? utf8 : stripPrefixes (utf8);
	std::vector<std::string> lines;
	if (flags & kTextSingleLine)
		lines.push_back (text);
	else
	{
		// Without DT_SINGLELINE only line breaks start new lines.
		size_t start = 0;
		for (;;)
		{
			const size_t nl = text.find ('\n', start);
			std::string l = text.substr (start, nl == std::string::npos ? std::string::npos : nl - start);
			if (!l.empty () && l.back () == '\r')
				l.pop_back ();
			lines.push_back (l);
			if (nl == std::string::npos)
				break;
			start = nl + 1;
		}
	}

	int y = r.top;
	if (flags & kTextSingleLine)
	{
		if (flags & kTextVCenter)
			y = r.top + (r.bottom - r.top - cellHeight) / 2;
		else if (flags & kBottom)
			y = r.bottom - cellHeight;
	}
	for (const std::string& l : lines)
	{
		cairo_text_extents_t te;
		cairo_text_extents (cr, l.c_str (), &te);
		const int textWidth = static_cast<int> (std::lround (te.x_advance));
		int x = r.left;
		if (flags & kTextCenter)
			x = r.left + (r.right - r.left - textWidth) / 2;
		else if (flags & kTextRight)
			x = r.right - textWidth;
		cairo_move_to (cr, x, y + ascent);
		cairo_show_text (cr, l.c_str ());
		y += cellHeight;
	}
	cairo_new_path (cr);
	cairo_restore (cr);
}

void CairoCanvas::textInRect (const Rect& r, const char* text, const FontSpec& font, Rgb color, unsigned flags)
{
	if (!text || !*text)
		return;
	drawTextLines (r, ansiToUtf8 (text), font, color, flags);
}

void CairoCanvas::textInRectW (const Rect& r, const char16_t* text, const FontSpec& font, Rgb color,
                               unsigned flags)
{
	if (!text || !*text)
		return;
	drawTextLines (r, utf16ToUtf8 (text), font, color, flags);
}

// ---- Anti-aliased drawing ------------------------------------------------
//
// Each anti-aliased call is a shape type below: its parameters, what of
// them the kept pictures are told apart by (key), and how it sets its
// source and path on a context that beginSmooth prepared (build).

namespace {

enum class Paint
{
	fill,
	stroke,
};

void beginSmooth (cairo_t* c)
{
	cairo_save (c);
	cairo_new_path (c);
	cairo_set_antialias (c, CAIRO_ANTIALIAS_DEFAULT);
	// GDI+ centres pixel (i, j) on the point (i, j); Cairo covers it with
	// the square from (i, j) to (i + 1, j + 1).
	cairo_translate (c, 0.5, 0.5);
}

void setFill (cairo_t* c, const Fill& fill)
{
	if (!fill.gradient)
	{
		setArgb (c, fill.c0);
		return;
	}
	cairo_pattern_t* p = cairo_pattern_create_linear (fill.p0.x, fill.p0.y, fill.p1.x, fill.p1.y);
	cairo_pattern_add_color_stop_rgba (p, 0, unit (fill.c0.r), unit (fill.c0.g), unit (fill.c0.b),
	                                   unit (fill.c0.a));
	cairo_pattern_add_color_stop_rgba (p, 1, unit (fill.c1.r), unit (fill.c1.g), unit (fill.c1.b),
	                                   unit (fill.c1.a));
	// Beyond its two points the gradient starts over (GDI+'s tile mode).
	cairo_pattern_set_extend (p, CAIRO_EXTEND_REPEAT);
	cairo_set_source (c, p);
	cairo_pattern_destroy (p);
}

// GDI+ cannot make a line brush from two equal points, so such a fill
// draws nothing there; the same here.
bool fillUsable (const Fill& f) { return !f.gradient || f.p0.x != f.p1.x || f.p0.y != f.p1.y; }

// Coordinates this far out are left to Cairo's own drawing every time
// (Cairo's fixed-point coordinates end near ±8 million).
constexpr float kKeepableRange = 1e6f;

// The bytes that tell kept pictures apart. Every number a shape is drawn
// from goes in; `keepable` turns false for a number that is not finite or
// is far outside any image.
struct Key
{
	std::string& bytes;
	bool keepable = true;

	Key (std::string& buffer, char kind) : bytes (buffer)
	{
		bytes.clear ();
		bytes += kind;
	}
	Key& operator<< (float v)
	{
		keepable = keepable && std::fabs (v) <= kKeepableRange; // false for NaN
		bytes.append (reinterpret_cast<const char*> (&v), sizeof v);
		return *this;
	}
	Key& operator<< (bool v)
	{
		bytes += v ? '\1' : '\0';
		return *this;
	}
	Key& operator<< (Argb c)
	{
		const char b[4] = {char (c.a), char (c.r), char (c.g), char (c.b)};
		bytes.append (b, 4);
		return *this;
	}
	Key& operator<< (PointF p) { return *this << p.x << p.y; }
	Key& operator<< (const RectF& r) { return *this << r.x << r.y << r.width << r.height; }
	Key& operator<< (const Fill& f)
	{
		// A plain fill uses only its first colour.
		*this << f.gradient << f.c0;
		if (f.gradient)
			*this << f.c1 << f.p0 << f.p1;
		return *this;
	}
};

struct RectShape
{
	static constexpr char kind = 'r';
	RectF r;
	Fill fill;

	bool opaqueColour () const { return !fill.gradient && fill.c0.a == 255; }
	void key (Key& k) const { k << r << fill; }
	Paint build (cairo_t* c) const
	{
		setFill (c, fill);
		cairo_rectangle (c, r.x, r.y, r.width, r.height);
		return Paint::fill;
	}
};

struct EllipseShape
{
	static constexpr char kind = 'e';
	RectF box;
	Fill fill;

	bool opaqueColour () const { return !fill.gradient && fill.c0.a == 255; }
	void key (Key& k) const { k << box << fill; }
	Paint build (cairo_t* c) const
	{
		setFill (c, fill);
		cairo_save (c);
		cairo_translate (c, box.x + box.width / 2.0, box.y + box.height / 2.0);
		cairo_scale (c, box.width / 2.0, box.height / 2.0);
		cairo_arc (c, 0, 0, 1, 0, 2 * kPi);
		cairo_restore (c);
		return Paint::fill;
	}
};

struct RectOutlineShape
{
	static constexpr char kind = 'o';
	RectF r;
	Argb color;
	float width;

	bool opaqueColour () const { return color.a == 255; }
	void key (Key& k) const { k << r << color << width; }
	Paint build (cairo_t* c) const
	{
		setArgb (c, color);
		cairo_rectangle (c, r.x, r.y, r.width, r.height);
		cairo_set_line_width (c, width);
		cairo_set_line_join (c, CAIRO_LINE_JOIN_MITER); // GDI+'s default join
		return Paint::stroke;
	}
};

struct LineShape
{
	static constexpr char kind = 'l';
	PointF a, b;
	Argb color;
	float width;
	bool roundCaps;

	bool opaqueColour () const { return color.a == 255; }
	void key (Key& k) const { k << a << b << color << width << roundCaps; }
	Paint build (cairo_t* c) const
	{
		setArgb (c, color);
		cairo_move_to (c, a.x, a.y);
		cairo_line_to (c, b.x, b.y);
		cairo_set_line_width (c, width);
		cairo_set_line_cap (c, roundCaps ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
		return Paint::stroke;
	}
};

struct ArcShape
{
	static constexpr char kind = 'a';
	RectF box;
	float startDegrees, sweepDegrees;
	Argb color;
	float width;
	bool roundCaps;

	bool opaqueColour () const { return color.a == 255; }
	void key (Key& k) const { k << box << startDegrees << sweepDegrees << color << width << roundCaps; }
	Paint build (cairo_t* c) const
	{
		const double rx = box.width / 2.0, ry = box.height / 2.0;
		const double sweep = std::clamp<double> (sweepDegrees, -360.0, 360.0) * kPi / 180.0;
		const double start = startDegrees * kPi / 180.0;
		double t0 = parameterAngle (start, rx, ry);
		double t1 = parameterAngle (start + sweep, rx, ry);
		if (std::fabs (sweep) >= 2 * kPi)
			t1 = t0 + sweep;
		else if (sweep > 0)
		{
			while (t1 <= t0)
				t1 += 2 * kPi;
		}
		else
		{
			while (t1 >= t0)
				t1 -= 2 * kPi;
		}

		setArgb (c, color);
		cairo_save (c);
		cairo_translate (c, box.x + rx, box.y + ry);
		cairo_scale (c, rx, ry);
		// Cairo's angles run from +x towards +y, clockwise on the screen,
		// like GDI+'s.
		if (sweep > 0)
			cairo_arc (c, 0, 0, 1, t0, t1);
		else
			cairo_arc_negative (c, 0, 0, 1, t0, t1);
		cairo_restore (c); // the pen is not scaled with the ellipse
		cairo_set_line_width (c, width);
		cairo_set_line_cap (c, roundCaps ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
		return Paint::stroke;
	}
};

struct CurveShape
{
	static constexpr char kind = 'c';
	const PointF* points;
	int count;
	float tension;
	Argb color;
	float width;

	bool opaqueColour () const { return color.a == 255; }
	void key (Key& k) const
	{
		k << tension << color << width;
		for (int i = 0; i < count; ++i)
			k << points[i];
	}
	Paint build (cairo_t* c) const
	{
		setArgb (c, color);
		// A cardinal spline: the segment from P1 to P2 is a cubic Bézier
		// curve with the control points P1 + (P2 − P0)·t/3 and
		// P2 − (P3 − P1)·t/3; the first and last points stand in for their
		// missing neighbours.
		const double k = tension / 3.0;
		auto at = [&] (int i) { return points[std::clamp (i, 0, count - 1)]; };
		cairo_move_to (c, points[0].x, points[0].y);
		for (int i = 0; i + 1 < count; ++i)
		{
			const PointF p0 = at (i - 1), p1 = at (i), p2 = at (i + 1), p3 = at (i + 2);
			cairo_curve_to (c, p1.x + (p2.x - p0.x) * k, p1.y + (p2.y - p0.y) * k, p2.x - (p3.x - p1.x) * k,
			                p2.y - (p3.y - p1.y) * k, p2.x, p2.y);
		}
		cairo_set_line_width (c, width);
		cairo_set_line_join (c, CAIRO_LINE_JOIN_MITER);
		return Paint::stroke;
	}
};

void paintPath (cairo_t* c, Paint paint)
{
	if (paint == Paint::fill)
		cairo_fill (c);
	else
		cairo_stroke (c);
}

} // namespace

// ---- Kept shapes ---------------------------------------------------------
//
// Cairo spends most of an anti-aliased shape's time on fixed costs per call
// and per scanline (its scan converter and span compositor visit every row
// a shape spans, however thin the shape) and on gradients, whose colours it
// works out pixel by pixel; and the editor repaints the same shapes with the
// same parameters time and again. So the second time a shape is met (the
// first time it is only noted: a shape met once, such as a dragged knob's
// pointer at one value, is not worth keeping), it is drawn at its own place
// onto a transparent scratch image of the canvas's size; the pixels it
// touched are kept as a premultiplied picture, found again by every
// parameter of the call; this call and every later one with the same
// parameters composite the picture over the canvas.
//
// The pixels are those that drawing the shape on the canvas gives. Cairo
// draws a shape by blending source × coverage over each pixel:
//  - a shape in an opaque colour with its own blend, d = s·c + d·(255 − c),
//    products rounded as (x·a + 127) / 255;
//  - any other source through pixman's OVER, d = s·c + d·(255 − α·c),
//    products rounded as (x·a + 128) / 255.
// Drawn onto transparent pixels either leaves exactly s·c (alpha α·c),
// which the picture keeps; compositing it blends s·c over the canvas with
// the same arithmetic as the source it came from. The shape is drawn at the
// device coordinates it has on the canvas, so coverage and gradient colours
// come from the same numbers. Both images are kept from Cairo's special
// case for an untouched image (see the constructor). Every anti-aliased
// call starts from the same drawing state (beginSmooth: no clip, the same
// transform), so its parameters are all that its picture depends on.

struct CairoCanvas::ShapeCache
{
	KeptPictures pictures;
	std::string key; // the key of the call being drawn; its buffer is reused
	cairo_surface_t* scratch = nullptr; // transparent between calls
	cairo_t* scratchContext = nullptr;

	ShapeCache () { pictures.setLimit (kDefaultShapeCacheLimit); }
	~ShapeCache () { dropScratch (); }

	void dropScratch ()
	{
		if (scratchContext)
			cairo_destroy (scratchContext);
		if (scratch)
			cairo_surface_destroy (scratch);
		scratchContext = nullptr;
		scratch = nullptr;
	}
};

void CairoCanvas::setShapeCacheLimit (size_t bytes)
{
	shapes->pictures.setLimit (bytes);
	if (bytes == 0)
		shapes->dropScratch ();
}

size_t CairoCanvas::shapeCacheBytes () const { return shapes->pictures.bytes (); }

template <class Shape>
void CairoCanvas::drawShape (const Shape& shape)
{
	ShapeCache& cache = *shapes;
	bool keepable = cache.pictures.limit () > 0 && cairo_status (cr) == CAIRO_STATUS_SUCCESS;
	if (keepable)
	{
		Key k (cache.key, Shape::kind);
		shape.key (k);
		keepable = k.keepable;
	}
	KeptPicture* picture = nullptr;
	if (keepable)
	{
		// Met for the first time, a shape is only noted.
		picture = cache.pictures.find (cache.key);
		if (!picture)
			cache.pictures.add (cache.key, KeptPicture{});
		else if (picture->state == KeptPicture::State::seen)
			picture = keepPicture (shape);
	}
	if (!picture || picture->state != KeptPicture::State::kept)
	{
		beginSmooth (cr);
		paintPath (cr, shape.build (cr));
		end ();
		return;
	}
	if (picture->runs.empty ())
		return;

	cairo_surface_flush (surface);
	picture->compositeOnto (cairo_image_surface_get_data (surface), cairo_image_surface_get_stride (surface));
	const int top = picture->runs.front ().y, bottom = picture->runs.back ().y + 1;
	cairo_surface_mark_dirty_rectangle (surface, 0, top, imageWidth, bottom - top);
}

template <class Shape>
KeptPicture* CairoCanvas::keepPicture (const Shape& shape)
{
	ShapeCache& cache = *shapes;
	if (!cache.scratch)
	{
		cache.scratch = cairo_image_surface_create (CAIRO_FORMAT_ARGB32, imageWidth, imageHeight);
		cache.scratchContext = cairo_create (cache.scratch);
		// Not an untouched image to Cairo (see the constructor).
		cairo_surface_mark_dirty (cache.scratch);
	}
	cairo_t* c = cache.scratchContext;

	// The pixels the shape can touch, with a pixel to spare on each side.
	beginSmooth (c);
	const Paint paint = shape.build (c);
	double x1, y1, x2, y2;
	if (paint == Paint::fill)
		cairo_fill_extents (c, &x1, &y1, &x2, &y2);
	else
		cairo_stroke_extents (c, &x1, &y1, &x2, &y2);
	cairo_user_to_device (c, &x1, &y1);
	cairo_user_to_device (c, &x2, &y2);
	cairo_new_path (c);
	cairo_restore (c);
	const int left = static_cast<int> (std::max (std::floor (x1) - 1, 0.0));
	const int top = static_cast<int> (std::max (std::floor (y1) - 1, 0.0));
	const int right = static_cast<int> (std::min (std::ceil (x2) + 1, double (imageWidth)));
	const int bottom = static_cast<int> (std::min (std::ceil (y2) + 1, double (imageHeight)));

	KeptPicture picture;
	picture.state = KeptPicture::State::kept;
	picture.blend = shape.opaqueColour () ? KeptPicture::Blend::opaqueColour : KeptPicture::Blend::other;
	if (cairo_status (c) == CAIRO_STATUS_SUCCESS && left < right && top < bottom)
	{
		// Drawn inside that rectangle only, so that the scratch image stays
		// transparent elsewhere.
		cairo_save (c);
		cairo_rectangle (c, left, top, right - left, bottom - top);
		cairo_clip (c);
		beginSmooth (c);
		paintPath (c, shape.build (c));
		cairo_restore (c);
		cairo_restore (c);

		// Keeps the touched pixels as runs, and clears them.
		cairo_surface_flush (cache.scratch);
		unsigned char* data = cairo_image_surface_get_data (cache.scratch);
		const int stride = cairo_image_surface_get_stride (cache.scratch);
		for (int y = top; y < bottom; ++y)
		{
			uint32_t* row = reinterpret_cast<uint32_t*> (data + y * stride);
			// Ink on a spare pixel inside the image would mean that the
			// extents fell short and the clip cut the shape: then it is
			// drawn on the canvas itself, every time.
			const bool spareRow = (y == top && top > 0) || (y == bottom - 1 && bottom < imageHeight);
			if ((spareRow && std::any_of (row + left, row + right, [] (uint32_t v) { return v != 0; }))
			    || (left > 0 && row[left] != 0) || (right < imageWidth && row[right - 1] != 0))
				picture.state = KeptPicture::State::drawn;
			picture.addRow (row, y, left, right, imageWidth);
			std::memset (row + left, 0, size_t (right - left) * 4);
		}
		cairo_surface_mark_dirty_rectangle (cache.scratch, left, top, right - left, bottom - top);
	}
	if (cairo_status (c) != CAIRO_STATUS_SUCCESS)
	{
		// Left to the canvas, whose context meets the same error.
		cache.dropScratch ();
		return nullptr;
	}
	if (2 * picture.bytes (cache.key) > cache.pictures.limit ())
		picture.state = KeptPicture::State::drawn;
	if (picture.state != KeptPicture::State::kept)
	{
		picture.runs.clear ();
		picture.pixels.clear ();
	}
	picture.shrinkToFit ();
	return cache.pictures.add (cache.key, std::move (picture));
}

// ---- The anti-aliased calls ----------------------------------------------

void CairoCanvas::aaFillRect (const RectF& r, const Fill& fill)
{
	if (!(r.width > 0 && r.height > 0) || !fillUsable (fill))
		return;
	const RectShape shape = {r, fill};
	if (!fill.gradient)
	{
		// Cairo fills a rectangle in one colour about as fast as its
		// picture would be composited.
		beginSmooth (cr);
		paintPath (cr, shape.build (cr));
		end ();
		return;
	}
	drawShape (shape);
}

void CairoCanvas::aaFillEllipse (const RectF& box, const Fill& fill)
{
	if (!(box.width > 0 && box.height > 0) || !fillUsable (fill))
		return;
	drawShape (EllipseShape{box, fill});
}

void CairoCanvas::aaRectOutline (const RectF& r, Argb color, float width)
{
	drawShape (RectOutlineShape{r, color, width});
}

void CairoCanvas::aaLine (PointF a, PointF b, Argb color, float width, bool roundCaps)
{
	drawShape (LineShape{a, b, color, width, roundCaps});
}

void CairoCanvas::aaArc (const RectF& box, float startDegrees, float sweepDegrees, Argb color, float width,
                         bool roundCaps)
{
	if (!(box.width > 0 && box.height > 0) || sweepDegrees == 0)
		return;
	drawShape (ArcShape{box, startDegrees, sweepDegrees, color, width, roundCaps});
}

void CairoCanvas::aaCurve (const PointF* points, int count, float tension, Argb color, float width)
{
	if (!points || count < 2)
		return;
	drawShape (CurveShape{points, count, tension, color, width});
}

} // namespace Tarno

#endif // _WIN32
