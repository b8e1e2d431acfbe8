// What the editor needs from the plug-in it shows, in no plug-in format's
// terms: the sound parameters' values (normalised, 0..1) and their texts, the
// edit gestures that change them, and the skin. Each format fills it in: VST 3
// through its edit controller and the host's component handler, LV2 through
// its control ports and the host's touch calls, a test with a few lines.
//
// The calls come from the editor's thread (the host's UI thread). Any of the
// edit calls and setSkin may lead the host to close the editor before they
// return; the window shells hold themselves for the duration (see there).
#pragma once

#include <cstdint>
#include <string>

namespace Tarno {

class EditorHost
{
public:
	virtual ~EditorHost () = default;

	// The normalised value of sound parameter id (0 to 15) as the editor
	// should show it now.
	virtual double value (int32_t id) const = 0;

	// One edit gesture: beginEdit, any number of performEdit, endEdit, all
	// for the same parameter. performEdit makes `normalized` the value the
	// editor reads back and passes it on to the host and the sound.
	virtual void beginEdit (int32_t id) = 0;
	virtual void performEdit (int32_t id, double normalized) = 0;
	virtual void endEdit (int32_t id) = 0;

	// The value's text as the host shows it (unit included), and the
	// normalised value a typed text stands for; false when the text does not
	// read as a value of that parameter.
	virtual std::string valueText (int32_t id, double normalized) const = 0;
	virtual bool valueFromText (int32_t id, const std::string& text, double& normalized) const = 0;

	// The skin shown (params/Skins.h); setting it marks the plug-in's state
	// as changed, for the host to save.
	virtual int32_t skin () const = 0;
	virtual void setSkin (int32_t skin) = 0;
};

} // namespace Tarno
