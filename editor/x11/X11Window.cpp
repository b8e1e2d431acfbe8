#include "editor/x11/X11Window.h"

#include <xcb/xcbext.h>

#include <cairo-xcb.h>
#include <cairo.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace Tarno {

namespace {

// The panel brush: the colour the ORIGINAL panel is filled with.
constexpr Rgb kPanelBrush = {20, 34, 38};

constexpr uint8_t kLeftButton = 1;
constexpr uint8_t kWheelUp = 4;
constexpr uint8_t kWheelDown = 5;
constexpr int32_t kWheelNotch = 120;

xcb_visualtype_t* findVisual (xcb_connection_t* connection, xcb_visualid_t id)
{
	for (auto screens = xcb_setup_roots_iterator (xcb_get_setup (connection)); screens.rem; xcb_screen_next (&screens))
		for (auto depths = xcb_screen_allowed_depths_iterator (screens.data); depths.rem; xcb_depth_next (&depths))
			for (auto visuals = xcb_depth_visuals_iterator (depths.data); visuals.rem; xcb_visualtype_next (&visuals))
				if (visuals.data->visual_id == id)
					return visuals.data;
	return nullptr;
}

} // namespace

X11Window::X11Window (EditorHost& host) : core (host, this), input (core.input) {}

bool X11Window::makeCanvas ()
{
	try
	{
		canvas = std::make_unique<CairoCanvas> (core.pixelWidth (), core.pixelHeight (), kPanelBrush);
		return true;
	}
	catch (...)
	{
		canvas.reset ();
		return false;
	}
}

X11Window::~X11Window () { close (); }

int X11Window::fileDescriptor () const { return connection ? xcb_get_file_descriptor (connection) : -1; }

bool X11Window::open (uint32_t parent)
{
	if (connection != nullptr)
		return false;
	// Out of memory on the way gives no window, and nothing half-made.
	bool made = false;
	try
	{
		made = makeWindow (parent);
	}
	catch (...)
	{
	}
	if (!made)
		close ();
	return made;
}

bool X11Window::makeWindow (uint32_t parent)
{
	connection = xcb_connect (nullptr, nullptr);
	if (xcb_connection_has_error (connection))
		return false;

	// No background: the paint covers the whole window, so the server
	// clearing it first would only flicker.
	const auto parentWindow = static_cast<xcb_window_t> (parent);
	window = xcb_generate_id (connection);
	const uint32_t mask = XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK;
	const uint32_t values[] = {XCB_BACK_PIXMAP_NONE,
	                           XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
	                               XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
	const xcb_void_cookie_t created =
		xcb_create_window_checked (connection, XCB_COPY_FROM_PARENT, window, parentWindow, 0, 0,
		                           uint16_t (core.pixelWidth ()), uint16_t (core.pixelHeight ()), 0,
		                           XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, mask, values);
	// A bad parent ID shows here, as this request's error.
	if (xcb_generic_error_t* error = xcb_request_check (connection, created))
	{
		std::free (error);
		window = 0;
		return false;
	}
	windowAlive = true;

	xcb_get_window_attributes_reply_t* attributes =
		xcb_get_window_attributes_reply (connection, xcb_get_window_attributes (connection, window), nullptr);
	xcb_visualtype_t* visual = attributes ? findVisual (connection, attributes->visual) : nullptr;
	std::free (attributes);
	if (visual == nullptr)
		return false;
	windowSurface = cairo_xcb_surface_create (connection, window, visual, core.pixelWidth (), core.pixelHeight ());
	// Plain PutImage uploads, no shared memory: Cairo finishes a
	// shared-memory upload lazily, so a paint made from the timer (with no X
	// event after it) stayed off the screen until the next event came.
	cairo_xcb_device_debug_cap_xshm_version (cairo_surface_get_device (windowSurface), 0, 0);
	if (!makeCanvas ())
		return false;

	xcb_map_window (connection, window);
	xcb_flush (connection);
	return true;
}

void X11Window::close ()
{
	// A drag still in progress ends with its one endEdit before the window goes.
	input.endDrag ();
	clicks.reset ();
	if (windowSurface)
	{
		// Cairo keeps a device per XCB connection and finds it again by the
		// connection's address: finish it before the connection goes, or a
		// later connection at the same address inherits a dead device.
		cairo_device_t* device = cairo_device_reference (cairo_surface_get_device (windowSurface));
		cairo_surface_finish (windowSurface);
		cairo_surface_destroy (windowSurface);
		windowSurface = nullptr;
		cairo_device_finish (device);
		cairo_device_destroy (device);
	}
	canvas.reset ();
	if (connection)
	{
		if (windowAlive && !xcb_connection_has_error (connection))
			xcb_destroy_window (connection, window);
		xcb_flush (connection);
		xcb_disconnect (connection);
		connection = nullptr;
	}
	window = 0;
	windowAlive = false;
	captured = false;
	paintPending = false;
	pointerQueryPending = false;
}

bool X11Window::setScale (double f)
{
	const double previousScale = core.scale ();
	core.setScale (f);
	if (!windowAlive || windowSurface == nullptr)
		return true;
	// The new picture first: without it the window keeps its old size.
	std::unique_ptr<CairoCanvas> previous = std::move (canvas);
	if (!makeCanvas ())
	{
		canvas = std::move (previous);
		core.setScale (previousScale);
		return false;
	}
	const uint32_t size[] = {uint32_t (core.pixelWidth ()), uint32_t (core.pixelHeight ())};
	xcb_configure_window (connection, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
	cairo_xcb_surface_set_size (windowSurface, core.pixelWidth (), core.pixelHeight ());
	invalidate ();
	return true;
}

void X11Window::setVisible (bool visible)
{
	if (!visible)
		input.endDrag ();
	// endEdit may have led the host to close the window.
	if (!windowAlive || connection == nullptr)
		return;
	if (visible)
		xcb_map_window (connection, window);
	else
		xcb_unmap_window (connection, window);
	xcb_flush (connection);
}

void X11Window::invalidate ()
{
	paintPending = true;
	// Outside the event handler (nothing drains then), paint at once.
	if (!draining)
		paintNow ();
}

void X11Window::forgetPointerQuery ()
{
	if (pointerQueryPending && connection)
		xcb_discard_reply (connection, pointerQuery);
	pointerQueryPending = false;
}

void X11Window::setCapture ()
{
	// A question asked for an earlier drag must not end this one.
	forgetPointerQuery ();
	if (!windowAlive)
		return;
	// The button press grabbed the pointer already; this keeps the grab
	// should the host's toolkit have asked for the press differently. The
	// reply is not waited for.
	const uint16_t events = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION;
	const xcb_grab_pointer_cookie_t cookie =
		xcb_grab_pointer (connection, 0, window, events, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE,
		                  XCB_CURRENT_TIME);
	xcb_discard_reply (connection, cookie.sequence);
	captured = true;
}

void X11Window::releaseCapture ()
{
	forgetPointerQuery ();
	if (connection && captured)
	{
		xcb_ungrab_pointer (connection, XCB_CURRENT_TIME);
		xcb_flush (connection);
	}
	captured = false;
}

bool X11Window::hasCapture () { return captured; }

void X11Window::onEvents ()
{
	if (connection == nullptr)
		return;
	draining = true;
	// A call to the host in handling an event may remove the view, which
	// closes the connection: the loop ends there.
	while (connection != nullptr)
	{
		xcb_generic_event_t* event = xcb_poll_for_event (connection);
		if (event == nullptr)
			break;
		handle (*event);
		std::free (event);
	}
	draining = false;
	if (connection == nullptr)
		return;
	if (xcb_connection_has_error (connection))
	{
		// The X server went away: end quietly, nothing left open.
		close ();
		return;
	}
	// One paint for the whole batch of events.
	if (paintPending)
		paintNow ();
}

void X11Window::handle (const xcb_generic_event_t& event)
{
	switch (event.response_type & 0x7F)
	{
		case 0: ++errors; break; // an error reply to a request that wanted none
		case XCB_EXPOSE: paintPending = true; break;
		case XCB_BUTTON_PRESS:
		{
			const auto& e = reinterpret_cast<const xcb_button_press_event_t&> (event);
			const bool shift = (e.state & XCB_MOD_MASK_SHIFT) != 0;
			if (e.detail == kLeftButton)
			{
				// Near enough for a double-click is measured on the panel, so
				// that it is the same distance for the hand at any scale.
				const MousePoint p = input.toPanel (e.event_x, e.event_y);
				if (clicks.press (e.time, p.x, p.y, input.controlAt (e.event_x, e.event_y)))
					input.doubleClick (e.event_x, e.event_y);
				else
					input.press (e.event_x, e.event_y, shift);
			}
			else if (e.detail == kWheelUp || e.detail == kWheelDown)
				input.wheel (e.event_x, e.event_y, e.detail == kWheelUp ? kWheelNotch : -kWheelNotch, shift);
			break;
		}
		case XCB_BUTTON_RELEASE:
		{
			const auto& e = reinterpret_cast<const xcb_button_release_event_t&> (event);
			if (e.detail == kLeftButton)
				input.buttonUp ();
			break;
		}
		case XCB_MOTION_NOTIFY:
		{
			const auto& e = reinterpret_cast<const xcb_motion_notify_event_t&> (event);
			if (!input.dragging ())
				break;
			// A drag whose button-up went elsewhere ends at the next move.
			if ((e.state & XCB_BUTTON_MASK_1) == 0)
				input.buttonUp ();
			else
				input.move (e.event_x, e.event_y, (e.state & XCB_MOD_MASK_SHIFT) != 0);
			break;
		}
		case XCB_UNMAP_NOTIFY:
			input.endDrag ();
			break;
		case XCB_DESTROY_NOTIFY:
		{
			// The parent was destroyed, and this window with it.
			const auto& e = reinterpret_cast<const xcb_destroy_notify_event_t&> (event);
			if (e.window == window)
			{
				input.endDrag ();
				windowAlive = false;
				captured = false;
			}
			break;
		}
		default: break;
	}
}

void X11Window::onTimer ()
{
	if (!windowAlive)
		return;
	tick ();
	// Reading a reply may have read events from the connection too; they
	// wait in libxcb's queue, where the descriptor no longer shows them.
	onEvents ();
}

void X11Window::tick ()
{
	if (input.dragging ())
	{
		// Whether the left button is still down, asked without waiting: the
		// answer to the last tick's question is read now.
		if (pointerQueryPending)
		{
			xcb_query_pointer_reply_t* reply = nullptr;
			xcb_generic_error_t* error = nullptr;
			if (xcb_poll_for_reply (connection, pointerQuery, reinterpret_cast<void**> (&reply), &error) == 0)
				return;
			pointerQueryPending = false;
			const bool released = reply != nullptr && (reply->mask & XCB_BUTTON_MASK_1) == 0;
			std::free (reply);
			std::free (error);
			if (released)
			{
				input.buttonUp ();
				return;
			}
		}
		pointerQuery = xcb_query_pointer (connection, window).sequence;
		pointerQueryPending = true;
		xcb_flush (connection);
		return;
	}
	forgetPointerQuery ();
	if (core.wantsTimerRepaint (false))
		paintNow ();
}

void X11Window::paintNow ()
{
	paintPending = false;
	if (!windowAlive || windowSurface == nullptr || canvas == nullptr)
		return;
	// Each paint starts from black, as on a new bitmap: the panel's
	// anti-aliased edges must not blend with the last picture.
	canvas->fillRect ({0, 0, canvas->width (), canvas->height ()}, Rgb {0, 0, 0});
	core.paint (*canvas);
	// The finished picture goes to the window in one copy.
	cairo_t* cr = cairo_create (windowSurface);
	cairo_set_operator (cr, CAIRO_OPERATOR_SOURCE);
	cairo_set_source_surface (cr, canvas->image (), 0, 0);
	cairo_paint (cr);
	cairo_destroy (cr);
	cairo_surface_flush (windowSurface);
	xcb_flush (connection);
	++paints;
}

} // namespace Tarno
