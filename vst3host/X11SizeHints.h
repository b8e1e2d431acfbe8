// Size hints for the top-level X11 windows our tools and the player open
// around a plug-in's view.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace Tarno {
namespace Host {

// Asks the window manager to keep `window` at width × height (the same
// smallest and largest size). Asks nothing where the hints cannot be
// allocated: the window then keeps whatever size the manager gives it.
inline void setFixedSize (Display* display, Window window, int width, int height)
{
	XSizeHints* hints = XAllocSizeHints ();
	if (hints == nullptr)
		return;
	hints->flags = PMinSize | PMaxSize;
	hints->min_width = hints->max_width = width;
	hints->min_height = hints->max_height = height;
	XSetWMNormalHints (display, window, hints);
	XFree (hints);
}

} // namespace Host
} // namespace Tarno
