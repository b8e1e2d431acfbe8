#include "packaging/tools/Snapshot.h"

#include "editor/skins/EditorFonts.h"
#include "editor/skins/OriginalSkin.h"
#include "editor/skins/PanelLayout.h"
#include "editor/canvas/ScaledCanvas.h"
#include "editor/skins/SkinPainter.h"
#include "params/Skins.h"
#include "vst3host/Files.h"

#include <vector>

#if defined(_WIN32)
#include "editor/canvas/GdiCanvas.h"

#include <windows.h>
#include <gdiplus.h>

#include <vector>
#elif defined(TARNO_HAVE_CAIRO_CANVAS)
#include "editor/canvas/CairoCanvas.h"
#endif

namespace Tarno {
namespace Packaging {

namespace {

#if defined(_WIN32)

namespace GP = Gdiplus::DllExports;

// Encodes the image into memory and writes that file whole.
bool saveAsPng (Gdiplus::GpBitmap* image, const CLSID& encoder, const std::string& path, std::string& error)
{
	IStream* stream = nullptr;
	if (CreateStreamOnHGlobal (nullptr, TRUE, &stream) != S_OK)
	{
		error = "no memory for the PNG of the snapshot";
		return false;
	}
	bool written = false;
	HGLOBAL memory = nullptr;
	STATSTG stat {};
	if (GP::GdipSaveImageToStream (image, stream, &encoder, nullptr) != Gdiplus::Ok ||
	    GetHGlobalFromStream (stream, &memory) != S_OK || stream->Stat (&stat, STATFLAG_NONAME) != S_OK)
		error = "GDI+ cannot encode the snapshot as PNG";
	else if (const void* data = GlobalLock (memory))
	{
		written = Host::writeFileAtomically (path, data, size_t (stat.cbSize.QuadPart), error);
		GlobalUnlock (memory);
	}
	else
		error = "cannot read the encoded snapshot";
	stream->Release ();
	return written;
}

bool pngEncoder (CLSID& clsid)
{
	UINT count = 0, bytes = 0;
	if (GP::GdipGetImageEncodersSize (&count, &bytes) != Gdiplus::Ok || bytes == 0)
		return false;
	std::vector<BYTE> buffer (bytes);
	auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*> (buffer.data ());
	if (GP::GdipGetImageEncoders (count, bytes, codecs) != Gdiplus::Ok)
		return false;
	for (UINT i = 0; i < count; ++i)
	{
		if (codecs[i].MimeType && std::wstring (codecs[i].MimeType) == L"image/png")
		{
			clsid = codecs[i].Clsid;
			return true;
		}
	}
	return false;
}

// GDI+ from start to shutdown, and the editor's fonts and panel brush.
class PaintSession
{
public:
	explicit PaintSession (double scale)
	{
		Gdiplus::GdiplusStartupInput input;
		started = Gdiplus::GdiplusStartup (&token, &input, nullptr) == Gdiplus::Ok;
		const FontSpec specs[3] = {kTextFont, kTitleFont, kSmallFont};
		for (int i = 0; i < 3; ++i)
		{
			const FontSpec f = scaledFont (specs[i], scale);
			fonts[i] = {f, GdiCanvas::createFont (f)};
		}
		const Rgb ground = OriginalColours::kBackground;
		brush = CreateSolidBrush (RGB (ground.r, ground.g, ground.b));
	}
	~PaintSession ()
	{
		for (auto& f : fonts)
			DeleteObject (f.font);
		DeleteObject (brush);
		if (started)
			Gdiplus::GdiplusShutdown (token);
	}
	PaintSession (const PaintSession&) = delete;
	PaintSession& operator= (const PaintSession&) = delete;

	bool started = false;
	ULONG_PTR token = 0;
	GdiFontEntry fonts[3];
	HBRUSH brush = nullptr;
};

bool paintAndWrite (const std::string& path, double scale, std::string& error)
{
	const int width = scaledLength (kPanelWidth, scale), height = scaledLength (kPanelHeight, scale);
	PaintSession session (scale);
	if (!session.started)
	{
		error = "GDI+ did not start";
		return false;
	}
	BITMAPINFO info = {};
	info.bmiHeader.biSize = sizeof (BITMAPINFOHEADER);
	info.bmiHeader.biWidth = width;
	info.bmiHeader.biHeight = -height; // rows top to bottom
	info.bmiHeader.biPlanes = 1;
	info.bmiHeader.biBitCount = 32;
	info.bmiHeader.biCompression = BI_RGB;
	void* bits = nullptr;
	HBITMAP bitmap = CreateDIBSection (nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
	HDC dc = CreateCompatibleDC (nullptr);
	if (!bitmap || !dc || !bits)
	{
		if (bitmap)
			DeleteObject (bitmap);
		if (dc)
			DeleteDC (dc);
		error = "cannot make a " + std::to_string (width) + " x " + std::to_string (height) + " bitmap to paint into";
		return false;
	}
	HGDIOBJ previous = SelectObject (dc, bitmap);
	{
		GdiCanvas canvas (dc, session.brush, session.fonts, 3);
		paintPanel (canvas, kSkinOriginal, kDefaultParams, -1, scale);
	}
	GdiFlush ();

	bool written = false;
	CLSID png;
	Gdiplus::GpBitmap* image = nullptr;
	if (!pngEncoder (png))
		error = "GDI+ has no PNG encoder";
	else if (GP::GdipCreateBitmapFromScan0 (width, height, width * 4,
	                                        PixelFormat32bppRGB, static_cast<BYTE*> (bits), &image) != Gdiplus::Ok)
		error = "GDI+ cannot read the painted bitmap";
	else
		written = saveAsPng (image, png, path, error);
	if (image)
		GP::GdipDisposeImage (image);
	SelectObject (dc, previous);
	DeleteDC (dc);
	DeleteObject (bitmap);
	return written;
}

#elif defined(TARNO_HAVE_CAIRO_CANVAS)

bool paintAndWrite (const std::string& path, double scale, std::string& error)
{
	CairoCanvas canvas (scaledLength (kPanelWidth, scale), scaledLength (kPanelHeight, scale),
	                    OriginalColours::kBackground);
	paintPanel (canvas, kSkinOriginal, kDefaultParams, -1, scale);
	canvas.flush ();
	const std::vector<uint8_t> png = canvas.pngBytes ();
	if (png.empty ())
	{
		error = "the snapshot could not be encoded as PNG";
		return false;
	}
	return Host::writeFileAtomically (path, png.data (), png.size (), error);
}

#else

bool paintAndWrite (const std::string&, double, std::string& error)
{
	error = "this build has no canvas to paint the snapshot with (Cairo was not found)";
	return false;
}

#endif

} // namespace

bool writeEditorSnapshot (const std::string& path, double scale, std::string& error)
{
	if (!acceptableContentScale (scale))
	{
		error = "a snapshot's scale is from 1 to 4";
		return false;
	}
	return paintAndWrite (path, scale, error);
}

} // namespace Packaging
} // namespace Tarno
