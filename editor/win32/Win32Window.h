// The editor's window on Windows, for any plug-in format: an 860 × 530 child
// window of the host's window (larger at a content scale above 1), showing
// the host's values in the selected skin, with the appearance selector and
// the Legato switch on top, and the mouse gestures of EditorInput. It
// repaints when something changed (an edit at once, a host's change at the
// next tick of its 100 ms timer), and then draws only what changed, into the
// picture it keeps off-screen (GdiPanelPicture).
//
// A right-click asks the window's EditorMenuHost (if set) to show the host's
// context menu; without one, or when the host has none, the window shows the
// plug-in's items in a Win32 popup menu. Typed values (Ctrl+click on a
// control, or the menu's "Enter value…") get an edit control over the value
// readout: Enter applies, Escape or the focus leaving cancels. Zoom: the
// panel drawn at the content scale times the zoom (0.5 to 2).
#pragma once

#ifdef _WIN32

#include "editor/EditorCore.h"
#include "editor/EditorMenu.h"
#include "editor/ValueEntry.h"
#include "editor/win32/GdiPanelPicture.h"

#include <windows.h>

#include <vector>

namespace Tarno {

// Whoever owns the window, held for the length of each window message: a
// call to the EditorHost in handling one may close the window, or release
// its owner for the last time.
class Win32WindowOwner
{
public:
	virtual void holdOwner () = 0;
	virtual void releaseOwner () = 0;

protected:
	~Win32WindowOwner () = default;
};

class Win32Window : private EditorWindow
{
public:
	Win32Window (EditorHost& host, Win32WindowOwner& owner);
	~Win32Window () override;
	Win32Window (const Win32Window&) = delete;
	Win32Window& operator= (const Win32Window&) = delete;

	// Opens the child window of `parent`; false (nothing open) when it could
	// not be made or is open already.
	bool open (HWND parent);
	// Ends a drag in progress (its one endEdit) and destroys the window;
	// nothing when not open.
	void close ();
	bool isOpen () const { return window != nullptr; }

	// The content scale: the window's size, its fonts, its input's mapping.
	bool setScale (double f);
	double scale () const { return contentScale; }
	// The zoom (acceptableZoom), the same way: the panel is drawn at
	// scale () × zoom ().
	bool setZoom (double zoom);
	double zoom () const { return zoomFactor; }

	HWND handle () const { return window; }

	// Who shows the host's context menu and resizes the window for a zoom;
	// null (the default): the window's own menu and zoom.
	void setMenuHost (EditorMenuHost* host) { menuHost = host; }
	// The sound parameter under window pixel (x, y), or -1 (EditorInput::parameterAt).
	int32_t parameterAt (int32_t x, int32_t y) const { return input.parameterAt (x, y); }
	// A menu item chosen (tags of EditorMenu.h) for parameter `param`: from
	// the host's menu, or the window's own.
	void chooseMenuItem (int32_t tag, int32_t param);
	// Opens the typed-value field over parameter `param`'s readout; false
	// when closed or for an index outside the sound parameters.
	bool openValueEntry (int32_t param);
	const ValueEntry& valueEntry () const { return entry; }
	// The typed-value field's edit control while open (for tests).
	HWND valueField () const { return field; }

private:
	static LRESULT CALLBACK proc (HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
	LRESULT message (HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
	static LRESULT CALLBACK fieldProc (HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
	LRESULT fieldMessage (HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

	void applyScale (double contentScale, double zoom);
	void rightClick (int32_t x, int32_t y);
	void commitField ();
	// The focus goes back to whoever had it, unless it is on its way elsewhere.
	void closeField (bool giveFocusBack = true);

	// The editor's fonts at the current scale; smallFont only while open.
	void makeFonts ();

	// EditorWindow
	void invalidate () override;
	void setCapture () override;
	void releaseCapture () override;
	bool hasCapture () override;

	// Brings the kept picture up to the host's state and invalidates what
	// changed in the window.
	void updatePicture ();
	void paint (HWND hwnd);

	Win32WindowOwner& owner;
	EditorHost& host;
	EditorMenuHost* menuHost = nullptr;
	double contentScale = 1.0;
	double zoomFactor = 1.0;
	ValueEntry entry;
	HWND field = nullptr;
	WNDPROC fieldProcBefore = nullptr;
	HWND focusBefore = nullptr;
	bool menuTracking = false;
	HFONT textFont = nullptr;
	HFONT titleFont = nullptr;
	HBRUSH backgroundBrush = nullptr;
	ULONG_PTR gdiplusToken = 0;
	HWND window = nullptr;
	EditorCore core;
	EditorInput& input;
	HFONT smallFont = nullptr;
	GdiPanelPicture picture;
	std::vector<RECT> changedRects; // of the last updatePicture
};

} // namespace Tarno

#endif // _WIN32
