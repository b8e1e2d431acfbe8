#include "editor/x11/X11Window.h"

#include "editor/EditorZoom.h"
#include "editor/canvas/ScaledCanvas.h"

#include <xcb/xcbext.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>

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
constexpr uint8_t kRightButton = 3;
constexpr uint8_t kWheelUp = 4;
constexpr uint8_t kWheelDown = 5;
constexpr int32_t kWheelNotch = 120;

// What the window always listens to; keys and focus changes only while a
// menu or a field is open, so that a host's shortcuts reach the host when
// the pointer is merely over the panel.
constexpr uint32_t kEventMask = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
constexpr uint32_t kKeyboardEventMask = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_FOCUS_CHANGE;

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

X11Window::X11Window (EditorHost& h) : host (h), core (h, this), input (core.input), entry (h) {}

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
	const uint32_t values[] = {XCB_BACK_PIXMAP_NONE, kEventMask};
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
	// A drag still in progress ends with its one endEdit before the window
	// goes; a menu or a field open goes with it, the focus given back.
	input.endDrag ();
	clicks.reset ();
	menu.close ();
	entry.cancel ();
	giveBackFocus ();
	freeKeyboard ();
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

bool X11Window::setScale (double f) { return applyScale (f, zoomFactor); }

bool X11Window::setZoom (double zoom)
{
	if (!acceptableZoom (zoom))
		return false;
	return applyScale (contentScale, zoom);
}

bool X11Window::applyScale (double newScale, double newZoom)
{
	const double previousScale = contentScale, previousZoom = zoomFactor;
	contentScale = newScale;
	zoomFactor = newZoom;
	core.setScale (newScale * newZoom);
	if (!windowAlive || windowSurface == nullptr)
		return true;
	// The new picture first: without it the window keeps its old size.
	std::unique_ptr<CairoCanvas> previous = std::move (canvas);
	if (!makeCanvas ())
	{
		canvas = std::move (previous);
		contentScale = previousScale;
		zoomFactor = previousZoom;
		core.setScale (previousScale * previousZoom);
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
				leftPress (e);
			else if (e.detail == kRightButton)
				rightPress (e.event_x, e.event_y);
			else if ((e.detail == kWheelUp || e.detail == kWheelDown) && !menu.isOpen ())
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
			if (menu.isOpen ())
			{
				const MousePoint p = input.toPanel (e.event_x, e.event_y);
				const int32_t item = menu.itemAt (p.x, p.y);
				if (item != menu.highlighted)
				{
					menu.highlighted = item;
					paintPending = true;
				}
				break;
			}
			if (!input.dragging ())
				break;
			// A drag whose button-up went elsewhere ends at the next move.
			if ((e.state & XCB_BUTTON_MASK_1) == 0)
				input.buttonUp ();
			else
				input.move (e.event_x, e.event_y, (e.state & XCB_MOD_MASK_SHIFT) != 0);
			break;
		}
		case XCB_KEY_PRESS: key (reinterpret_cast<const xcb_key_press_event_t&> (event)); break;
		case XCB_FOCUS_OUT:
		{
			const auto& e = reinterpret_cast<const xcb_focus_out_event_t&> (event);
			if (e.event == window && e.mode == XCB_NOTIFY_MODE_NORMAL && e.detail != XCB_NOTIFY_DETAIL_INFERIOR)
				focusLost ();
			break;
		}
		case XCB_UNMAP_NOTIFY:
			input.endDrag ();
			closeOverlays ();
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
				menu.close ();
				entry.cancel ();
				focusTaken = false;
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
	if (menu.isOpen () || entry.isOpen ())
	{
		ScaledCanvas overlay (*canvas, core.scale ());
		entry.paint (overlay, host.skin ());
		menu.paint (overlay);
	}
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

void X11Window::leftPress (const xcb_button_press_event_t& e)
{
	const MousePoint p = input.toPanel (e.event_x, e.event_y);
	if (menu.isOpen ())
	{
		// A click on an item chooses it; anywhere else closes the menu, and
		// does nothing more.
		const int32_t item = menu.itemAt (p.x, p.y);
		const int32_t tag = item >= 0 ? menu.items ()[size_t (item)].tag : 0;
		const int32_t param = menu.param ();
		clicks.reset ();
		closeMenu ();
		if (item >= 0)
			chooseMenuItem (tag, param);
		return;
	}
	if (entry.isOpen ())
	{
		const Rect box = ValueEntry::box (host.skin (), entry.param ());
		if (p.x >= box.left && p.x < box.right && p.y >= box.top && p.y < box.bottom)
			return;
		// A click elsewhere cancels the field and acts as usual.
		entry.cancel ();
		updateFocus ();
		invalidate ();
		if (connection == nullptr)
			return;
	}
	if ((e.state & XCB_MOD_MASK_CONTROL) != 0)
	{
		const int32_t param = input.parameterAt (e.event_x, e.event_y);
		if (param >= 0)
		{
			clicks.reset ();
			openValueEntry (param);
			return;
		}
	}
	// Near enough for a double-click is measured on the panel, so that it is
	// the same distance for the hand at any scale.
	if (clicks.press (e.time, p.x, p.y, input.controlAt (e.event_x, e.event_y)))
		input.doubleClick (e.event_x, e.event_y);
	else
		input.press (e.event_x, e.event_y, (e.state & XCB_MOD_MASK_SHIFT) != 0);
}

void X11Window::rightPress (int32_t x, int32_t y)
{
	// A drag holds the left button: its gesture is not interrupted.
	if (input.dragging ())
		return;
	closeOverlays ();
	clicks.reset ();
	const int32_t param = input.parameterAt (x, y);
	if (menuHost && menuHost->showHostMenu (x, y, param))
		return;
	// The host may have closed the window while its menu was up.
	if (connection == nullptr || !windowAlive)
		return;
	const MousePoint p = input.toPanel (x, y);
	menu.open (pluginMenuItems (param, zoomFactor), param, p.x, p.y);
	updateFocus ();
	invalidate ();
}

void X11Window::chooseMenuItem (int32_t tag, int32_t param)
{
	Tarno::chooseMenuItem (*this, input, menuHost, tag, param);
}

bool X11Window::openValueEntry (int32_t param)
{
	if (!windowAlive)
		return false;
	input.endDrag ();
	closeMenu ();
	if (!entry.open (param))
		return false;
	updateFocus ();
	invalidate ();
	return true;
}

void X11Window::key (const xcb_key_press_event_t& e)
{
	if ((!menu.isOpen () && !entry.isOpen ()) || !keyboardReady ())
		return;
	// The core event's modifiers and group give the level the key is read at.
	xkb_state_update_mask (keyboardState, e.state & 0xFFu, 0, 0, 0, 0, (e.state >> 13) & 3u);
	const xkb_keysym_t sym = xkb_state_key_get_one_sym (keyboardState, e.detail);
	const bool enter = sym == XKB_KEY_Return || sym == XKB_KEY_KP_Enter;
	if (menu.isOpen ())
	{
		if (sym == XKB_KEY_Escape)
			closeMenu ();
		else if (sym == XKB_KEY_Up || sym == XKB_KEY_Down)
			menu.step (sym == XKB_KEY_Up ? -1 : 1);
		else if (enter && menu.highlighted >= 0)
		{
			const int32_t tag = menu.items ()[size_t (menu.highlighted)].tag;
			const int32_t param = menu.param ();
			closeMenu ();
			chooseMenuItem (tag, param);
			return;
		}
		paintPending = true;
		return;
	}
	if (sym == XKB_KEY_Escape)
	{
		entry.cancel ();
		updateFocus ();
	}
	else if (enter)
	{
		commitEntry ();
		return;
	}
	else if (sym == XKB_KEY_BackSpace)
		entry.backspace ();
	else
	{
		char text[16] = {};
		xkb_state_key_get_utf8 (keyboardState, e.detail, text, sizeof text);
		entry.type (text);
	}
	paintPending = true;
}

void X11Window::commitEntry ()
{
	// The edit may close the window: nothing of it is touched after that.
	if (!entry.commit (input))
	{
		paintPending = true;
		return;
	}
	if (connection == nullptr)
		return;
	updateFocus ();
	invalidate ();
}

void X11Window::focusLost ()
{
	if (!focusTaken)
		return;
	// Our own focus changes come back as events too: only a focus that is
	// elsewhere now counts as lost.
	xcb_get_input_focus_reply_t* reply =
		xcb_get_input_focus_reply (connection, xcb_get_input_focus (connection), nullptr);
	const bool elsewhere = reply != nullptr && reply->focus != window;
	std::free (reply);
	if (!elsewhere)
		return;
	// Someone else has the focus: nothing to give back.
	focusTaken = false;
	closeOverlays ();
}

void X11Window::closeMenu ()
{
	if (!menu.isOpen ())
		return;
	menu.close ();
	updateFocus ();
	invalidate ();
}

void X11Window::closeOverlays ()
{
	if (!menu.isOpen () && !entry.isOpen ())
		return;
	menu.close ();
	entry.cancel ();
	updateFocus ();
	invalidate ();
}

void X11Window::updateFocus ()
{
	const bool wanted = menu.isOpen () || entry.isOpen ();
	if (!wanted)
	{
		giveBackFocus ();
		return;
	}
	if (focusTaken || !windowAlive || connection == nullptr)
		return;
	xcb_get_input_focus_reply_t* reply =
		xcb_get_input_focus_reply (connection, xcb_get_input_focus (connection), nullptr);
	focusBefore = reply ? reply->focus : XCB_NONE;
	std::free (reply);
	const uint32_t mask[] = {kEventMask | kKeyboardEventMask};
	xcb_change_window_attributes (connection, window, XCB_CW_EVENT_MASK, mask);
	// Checked: a window that is not viewable (unmapped meanwhile) cannot
	// take the focus, and that is no error worth reporting.
	xcb_generic_error_t* error = xcb_request_check (
		connection, xcb_set_input_focus_checked (connection, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME));
	focusTaken = error == nullptr;
	std::free (error);
}

void X11Window::giveBackFocus ()
{
	if (!focusTaken)
		return;
	focusTaken = false;
	if (connection == nullptr || xcb_connection_has_error (connection) || !windowAlive)
		return;
	const uint32_t mask[] = {kEventMask};
	xcb_change_window_attributes (connection, window, XCB_CW_EVENT_MASK, mask);
	// The window that had the focus may be gone by now: its error is taken
	// here rather than reported.
	std::free (xcb_request_check (
		connection, xcb_set_input_focus_checked (connection, XCB_INPUT_FOCUS_PARENT, focusBefore, XCB_CURRENT_TIME)));
}

bool X11Window::keyboardReady ()
{
	if (keyboardState)
		return true;
	if (!xkb_x11_setup_xkb_extension (connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
	                                  XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr))
		return false;
	const int32_t device = xkb_x11_get_core_keyboard_device_id (connection);
	if (device < 0)
		return false;
	if (keyboardContext == nullptr)
		keyboardContext = xkb_context_new (XKB_CONTEXT_NO_FLAGS);
	if (keyboardContext && keymap == nullptr)
		keymap = xkb_x11_keymap_new_from_device (keyboardContext, connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
	if (keymap)
		keyboardState = xkb_x11_state_new_from_device (keymap, connection, device);
	return keyboardState != nullptr;
}

void X11Window::freeKeyboard ()
{
	xkb_state_unref (keyboardState);
	xkb_keymap_unref (keymap);
	xkb_context_unref (keyboardContext);
	keyboardState = nullptr;
	keymap = nullptr;
	keyboardContext = nullptr;
}

} // namespace Tarno
