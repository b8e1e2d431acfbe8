// The editor's host in LV2: the plug-in's 16 control ports and its skin, as
// the UI last heard them from the host (port_event) or wrote them. An edit
// writes the port's plain value through the host's write function, and a
// drag is wrapped in the host's touch calls where it offers them, so that it
// records automation. The skin goes to the plug-in as a patch:Set on its atom
// input and comes back as a patch:Set on its notify output.
#pragma once

#include "editor/EditorHost.h"
#include "formats/lv2/ui/UiUris.h"
#include "params/ParamTable.h"

#include <lv2/ui/ui.h>

namespace Tarno {

class Lv2EditorHost final : public EditorHost
{
public:
	// touch may be null (the host offers none).
	Lv2EditorHost (const UiUrids& urids, LV2UI_Write_Function write, LV2UI_Controller controller,
	               const LV2UI_Touch* touch);

	double value (int32_t id) const override;
	void beginEdit (int32_t id) override { touch (id, true); }
	void performEdit (int32_t id, double normalized) override;
	void endEdit (int32_t id) override { touch (id, false); }

	std::string valueText (int32_t id, double normalized) const override;
	bool valueFromText (int32_t id, const std::string& text, double& normalized) const override;

	int32_t skin () const override { return shownSkin; }
	void setSkin (int32_t skin) override;

	// What port_event brings: a control port's plain value (format 0), or a
	// patch:Set of the skin on the notify port (atom:eventTransfer).
	// Anything else is ignored.
	void portEvent (uint32_t port, uint32_t size, uint32_t format, const void* buffer);
	// Asks the plug-in for its skin: a patch:Get on its atom input.
	void requestSkin ();

private:
	void touch (int32_t id, bool grabbed);

	const UiUrids& urids;
	const LV2UI_Write_Function write;
	const LV2UI_Controller controller;
	const LV2UI_Touch* const touchFeature;
	ParamBlock values = kDefaultParams;
	int32_t shownSkin = 0;
};

} // namespace Tarno
