// The editor's host in VST 3: the edit controller. Values are the
// controller's parameters, an edit gesture goes to the host's component
// handler through the controller (which also takes the new value at once, so
// the editor reads back what it set), texts are the controller's own, and the
// skin is the controller's state.
#pragma once

#include "editor/EditorHost.h"
#include "formats/vst3/Controller.h"

#include "pluginterfaces/base/ustring.h"

namespace Tarno {

class ControllerEditorHost final : public EditorHost
{
public:
	explicit ControllerEditorHost (Controller& controller) : controller (controller) {}

	double value (int32_t id) const override { return controller.getParamNormalized (paramId (id)); }
	void beginEdit (int32_t id) override { controller.beginEdit (paramId (id)); }
	void performEdit (int32_t id, double normalized) override
	{
		controller.setParamNormalized (paramId (id), normalized);
		controller.performEdit (paramId (id), normalized);
	}
	void endEdit (int32_t id) override { controller.endEdit (paramId (id)); }

	std::string valueText (int32_t id, double normalized) const override
	{
		Steinberg::Vst::String128 text = {};
		if (controller.getParamStringByValue (paramId (id), normalized, text) != Steinberg::kResultOk)
			return {};
		char ascii[128] = {};
		Steinberg::UString (text, 128).toAscii (ascii, sizeof ascii);
		return ascii;
	}
	bool valueFromText (int32_t id, const std::string& text, double& normalized) const override
	{
		Steinberg::Vst::String128 wide = {};
		Steinberg::UString (wide, 128).fromAscii (text.c_str ());
		Steinberg::Vst::ParamValue v = 0.0;
		if (controller.getParamValueByString (paramId (id), wide, v) != Steinberg::kResultOk)
			return false;
		normalized = v;
		return true;
	}

	int32_t skin () const override { return controller.skin; }
	void setSkin (int32_t skin) override
	{
		controller.skin = skin;
		controller.setDirty (true);
	}

private:
	static Steinberg::Vst::ParamID paramId (int32_t id) { return static_cast<Steinberg::Vst::ParamID> (id); }

	Controller& controller;
};

} // namespace Tarno
