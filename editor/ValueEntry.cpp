#include "editor/ValueEntry.h"

#include "editor/EditorInput.h"
#include "editor/skins/EditorFonts.h"
#include "editor/skins/PanelLayout.h"
#include "params/ParamTable.h"

#include <algorithm>

namespace Tarno {

namespace {

// Every skin shows a control's value in the same place in its cell.
constexpr Rect kReadout = {0, 106, 87, 130};
constexpr size_t kMaxTextLength = 40;

constexpr Rgb kFieldBackground = {250, 250, 245};
constexpr Rgb kFieldFrame = {52, 101, 164};
constexpr Rgb kFieldText = {10, 10, 10};
constexpr Rgb kFieldSelection = {180, 205, 235};
constexpr Rgb kFieldRefused = {170, 20, 20};

} // namespace

bool ValueEntry::open (int32_t param)
{
	if (!isTableParam (param))
		return false;
	param_ = param;
	text_ = host.valueText (param, host.value (param));
	selected = true;
	refused_ = false;
	return true;
}

void ValueEntry::cancel ()
{
	param_ = -1;
	text_.clear ();
	selected = false;
	refused_ = false;
}

void ValueEntry::type (const std::string& utf8)
{
	if (!isOpen ())
		return;
	for (char c : utf8)
	{
		if (c < 0x20 || c > 0x7E)
			continue;
		if (selected)
			text_.clear ();
		selected = false;
		refused_ = false;
		if (text_.size () < kMaxTextLength)
			text_ += c;
	}
}

void ValueEntry::backspace ()
{
	if (!isOpen ())
		return;
	if (selected)
		text_.clear ();
	else if (!text_.empty ())
		text_.pop_back ();
	selected = false;
	refused_ = false;
}

void ValueEntry::setText (const std::string& text)
{
	text_ = text;
	selected = false;
	refused_ = false;
}

bool ValueEntry::commit (EditorInput& input)
{
	if (!isOpen ())
		return false;
	double normalized = 0.0;
	if (!host.valueFromText (param_, text_, normalized))
	{
		text_ = kRefusedNote;
		selected = true;
		refused_ = true;
		return false;
	}
	// Closed before the edit: the host may close the window inside it.
	const int32_t id = param_;
	cancel ();
	input.applyEdit (id, normalized);
	return true;
}

Rect ValueEntry::box (int32_t skin, int32_t param)
{
	const Point cell = skinLayout (skin).cell (param);
	return {cell.x + kReadout.left, cell.y + kReadout.top, cell.x + kReadout.right, cell.y + kReadout.bottom};
}

void ValueEntry::paint (Canvas& canvas, int32_t skin) const
{
	if (!isOpen ())
		return;
	const Rect r = box (skin, param_);
	canvas.fillRect (r, kFieldFrame);
	canvas.fillRect ({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, kFieldBackground);
	const Rect inner = {r.left + 4, r.top + 1, r.right - 4, r.bottom - 1};
	if (selected && !text_.empty ())
		canvas.fillRect ({r.left + 2, r.top + 3, r.right - 2, r.bottom - 3}, kFieldSelection);
	// The caret follows the text: the field takes text at its end only.
	const std::string shown = selected ? text_ : text_ + "|";
	canvas.textInRect (inner, shown.c_str (), kTextFont, refused_ ? kFieldRefused : kFieldText,
	                   kTextLeft | kTextVCenter | kTextSingleLine | kTextNoPrefix);
}

} // namespace Tarno
