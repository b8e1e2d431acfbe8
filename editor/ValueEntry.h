// Typing a value, in no window system's terms: the field over a control's
// value readout, what it holds and what Enter, Escape and the keys do with
// it. It opens with the current value's text, all of it selected (typing
// replaces it); Enter reads the text through the host's own conversion
// (EditorHost::valueFromText) and applies the value as one edit gesture;
// text that does not read as a value leaves the value as it was and puts
// kRefusedNote in the field, selected, so that typing starts afresh.
// Windows shows the state in an edit control of its own; X11 draws the
// field in the panel (paint).
#pragma once

#include "editor/EditorHost.h"
#include "editor/canvas/Canvas.h"

#include <cstdint>
#include <string>

namespace Tarno {

class EditorInput;

class ValueEntry
{
public:
	static constexpr const char* kRefusedNote = "Not a value";

	explicit ValueEntry (EditorHost& host) : host (host) {}

	// Opens the field for sound parameter `param` (0 to 15) with its value's
	// text; false for any other index.
	bool open (int32_t param);
	void cancel ();
	bool isOpen () const { return param_ >= 0; }
	int32_t param () const { return param_; }
	const std::string& text () const { return text_; }
	bool allSelected () const { return selected; }
	bool refused () const { return refused_; }

	// Typed characters (UTF-8): printable ASCII is taken (the host's
	// conversion reads ASCII), anything else ignored.
	void type (const std::string& utf8);
	void backspace ();
	// Enter. True when the text was applied (the field is closed then; the
	// gesture may have closed the window too); false when refused (the field
	// stays open with the note) or when nothing is open.
	bool commit (EditorInput& input);
	// The text as a window's own edit control holds it (Windows).
	void setText (const std::string& text);

	// Where the field is, in panel pixels (right and bottom exclusive):
	// over parameter param's value readout in skin `skin`.
	static Rect box (int32_t skin, int32_t param);
	// The field drawn in panel pixels.
	void paint (Canvas& canvas, int32_t skin) const;

private:
	EditorHost& host;
	int32_t param_ = -1;
	std::string text_;
	bool selected = false;
	bool refused_ = false;
};

} // namespace Tarno
