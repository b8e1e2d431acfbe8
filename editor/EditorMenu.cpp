#include "editor/EditorMenu.h"

#include "editor/EditorZoom.h"
#include "editor/skins/EditorFonts.h"
#include "editor/skins/PanelLayout.h"

#include <algorithm>
#include <cmath>

namespace Tarno {

namespace {

const char16_t* const kZoomLabels[kNumZoomChoices] = {u"Zoom 75 %", u"Zoom 100 %", u"Zoom 125 %", u"Zoom 150 %",
                                                      u"Zoom 200 %"};

constexpr Rgb kMenuBackground = {236, 236, 232};
constexpr Rgb kMenuFrame = {90, 90, 90};
constexpr Rgb kMenuText = {20, 20, 20};
constexpr Rgb kMenuHighlight = {52, 101, 164};
constexpr Rgb kMenuHighlightText = {255, 255, 255};
constexpr int32_t kTextIndent = 22;

} // namespace

std::vector<MenuItem> pluginMenuItems (int32_t param, double zoom)
{
	std::vector<MenuItem> items;
	if (param >= 0)
	{
		items.push_back ({u"Default value", kMenuDefaultValue, false, false});
		items.push_back ({u"Enter value\u2026", kMenuEnterValue, false, false});
	}
	for (int k = 0; k < kNumZoomChoices; ++k)
	{
		const bool checked = std::fabs (zoom * 100.0 - kZoomChoicePercent[k]) < 1e-6;
		items.push_back ({kZoomLabels[k], kMenuZoomBase + kZoomChoicePercent[k], checked, param >= 0 && k == 0});
	}
	return items;
}

MenuChoice menuChoice (int32_t tag)
{
	if (tag == kMenuDefaultValue)
		return {MenuChoice::DefaultValue, 0.0};
	if (tag == kMenuEnterValue)
		return {MenuChoice::EnterValue, 0.0};
	for (int percent : kZoomChoicePercent)
		if (tag == kMenuZoomBase + percent)
			return {MenuChoice::Zoom, percent / 100.0};
	return {MenuChoice::None, 0.0};
}

void PanelMenu::open (std::vector<MenuItem> items, int32_t param, int32_t x, int32_t y)
{
	entries = std::move (items);
	forParam = param;
	highlighted = -1;
	shown = true;
	// The height measured from a top at 0.
	top = 0;
	const int32_t height = itemTop (entries.size ());
	left = std::clamp (x, 0, std::max (0, kPanelWidth - kItemWidth));
	top = std::clamp (y, 0, std::max (0, kPanelHeight - height));
}

void PanelMenu::close ()
{
	shown = false;
	entries.clear ();
	forParam = -1;
	highlighted = -1;
}

int32_t PanelMenu::itemTop (size_t i) const
{
	int32_t y = top;
	for (size_t k = 0; k < i && k < entries.size (); ++k)
		y += kItemHeight + (k + 1 < entries.size () && entries[k + 1].separatorBefore ? kSeparatorHeight : 0);
	return y;
}

Rect PanelMenu::bounds () const
{
	return {left, top, left + kItemWidth, itemTop (entries.size ())};
}

int32_t PanelMenu::itemAt (int32_t x, int32_t y) const
{
	if (!shown || x < left || x >= left + kItemWidth)
		return -1;
	for (size_t i = 0; i < entries.size (); ++i)
	{
		const int32_t t = itemTop (i);
		if (y >= t && y < t + kItemHeight)
			return static_cast<int32_t> (i);
	}
	return -1;
}

void PanelMenu::step (int32_t direction)
{
	const auto n = static_cast<int32_t> (entries.size ());
	if (n == 0)
		return;
	if (highlighted < 0)
		highlighted = direction > 0 ? 0 : n - 1;
	else
		highlighted = ((highlighted + direction) % n + n) % n;
}

void PanelMenu::paint (Canvas& canvas) const
{
	if (!shown)
		return;
	const Rect all = bounds ();
	canvas.fillRect (all, kMenuFrame);
	canvas.fillRect ({all.left + 1, all.top + 1, all.right - 1, all.bottom - 1}, kMenuBackground);
	for (size_t i = 0; i < entries.size (); ++i)
	{
		const MenuItem& item = entries[i];
		const int32_t t = itemTop (i);
		if (item.separatorBefore)
			canvas.fillRect ({all.left + 4, t - 4, all.right - 4, t - 3}, kMenuFrame);
		const bool lit = static_cast<int32_t> (i) == highlighted;
		if (lit)
			canvas.fillRect ({all.left + 1, t + 1, all.right - 1, t + kItemHeight - 1}, kMenuHighlight);
		const Rgb ink = lit ? kMenuHighlightText : kMenuText;
		if (item.checked)
			canvas.fillRect ({all.left + 8, t + 8, all.left + 13, t + 13}, ink);
		canvas.textInRectW ({all.left + kTextIndent, t, all.right - 4, t + kItemHeight}, item.label, kTextFont, ink,
		                    kTextLeft | kTextVCenter | kTextSingleLine | kTextNoPrefix);
	}
}

} // namespace Tarno
