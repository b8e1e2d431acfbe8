// The editor's context menu, in no window system's and no plug-in format's
// terms: which items the plug-in offers for a right-click (on a control, or
// elsewhere on the panel), what choosing one means, and a menu drawn in the
// panel for a window system without menus of its own (X11), with its
// layout, hit-testing and keyboard choice.
#pragma once

#include "editor/canvas/Canvas.h"
#include "params/ParamTable.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Tarno {

// Item tags: the same numbers in a host's menu, a Win32 popup menu and the
// drawn menu. A zoom item's tag is kMenuZoomBase plus its percentage.
constexpr int32_t kMenuDefaultValue = 1;
constexpr int32_t kMenuEnterValue = 2;
constexpr int32_t kMenuZoomBase = 1000;

struct MenuItem
{
	const char16_t* label;
	int32_t tag;
	bool checked;        // the zoom shown now
	bool separatorBefore; // the first zoom item after the parameter's items
};

// The plug-in's items for a right-click on parameter `param` (-1: elsewhere
// on the panel, zoom items only) with the window at `zoom`.
std::vector<MenuItem> pluginMenuItems (int32_t param, double zoom);

// What a tag stands for.
struct MenuChoice
{
	enum Kind
	{
		None,
		DefaultValue,
		EnterValue,
		Zoom,
	} kind;
	double zoom; // for Zoom
};
MenuChoice menuChoice (int32_t tag);

// Whoever shows the window, for what goes beyond the EditorHost: the host's
// own context menu and the window's size.
class EditorMenuHost
{
public:
	virtual ~EditorMenuHost () = default;
	// A right-click at window pixel (x, y), on parameter `param` (-1: not on
	// a control). True when the host showed its menu (with the plug-in's
	// items, answered through the window's chooseMenuItem); false for the
	// window's own menu. The host may close the window before this returns.
	virtual bool showHostMenu (int32_t x, int32_t y, int32_t param) = 0;
	// A zoom chosen from a menu. True when the owner resizes the window
	// (asking its host); false for the window to take the zoom itself.
	virtual bool requestZoom (double zoom) = 0;
};

// Carries out item `tag` of a menu opened on parameter `param`, the same for
// every window, with its EditorInput: the default value as one edit
// gesture, the typed-value field through window.openValueEntry, and a zoom
// through the menu host when it resizes the window (else window.setZoom).
template <typename Window, typename Input>
void chooseMenuItem (Window& window, Input& input, EditorMenuHost* host, int32_t tag, int32_t param)
{
	const MenuChoice choice = menuChoice (tag);
	switch (choice.kind)
	{
		case MenuChoice::DefaultValue:
			if (isTableParam (param))
				input.applyEdit (param, specs[param].defaultNormalized);
			break;
		case MenuChoice::EnterValue: window.openValueEntry (param); break;
		case MenuChoice::Zoom:
			if (host == nullptr || !host->requestZoom (choice.zoom))
				window.setZoom (choice.zoom);
			break;
		case MenuChoice::None: break;
	}
}

// The menu drawn in the panel, in panel pixels: a column of items whose top
// left corner is at the right-click, moved left and up as needed to stay on
// the panel.
class PanelMenu
{
public:
	static constexpr int32_t kItemWidth = 150;
	static constexpr int32_t kItemHeight = 20;
	static constexpr int32_t kSeparatorHeight = 7;

	void open (std::vector<MenuItem> items, int32_t param, int32_t x, int32_t y);
	void close ();
	bool isOpen () const { return shown; }
	int32_t param () const { return forParam; }
	const std::vector<MenuItem>& items () const { return entries; }

	// The menu's outline, right and bottom exclusive.
	Rect bounds () const;
	// The item at panel pixel (x, y), or -1 (outside, or on a separator).
	int32_t itemAt (int32_t x, int32_t y) const;
	// The item under the pointer or chosen by the arrow keys; -1 for none.
	int32_t highlighted = -1;
	// Up (-1) or down (+1) by one item, wrapping around.
	void step (int32_t direction);

	void paint (Canvas& canvas) const;

private:
	int32_t itemTop (size_t i) const;

	std::vector<MenuItem> entries;
	int32_t forParam = -1;
	int32_t left = 0, top = 0;
	bool shown = false;
};

} // namespace Tarno
