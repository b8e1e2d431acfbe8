// The LV2 instrument: ports, the sample-accurate run around one
// Tarno::Engine, the skin's patch messages and its saved state.
#pragma once

#include "engine/Engine.h"
#include "formats/lv2/Ports.h"
#include "formats/lv2/Uris.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>

#include <atomic>
#include <cstdint>

namespace Tarno {
namespace Lv2 {

class Plugin
{
public:
	// False without the host's urid:map.
	bool initialize (double rate, const LV2_Feature* const* features);

	void connectPort (uint32_t port, void* data);
	void activate ();
	void run (uint32_t frames);
	void deactivate () {}

	LV2_State_Status save (LV2_State_Store_Function store, LV2_State_Handle handle);
	LV2_State_Status restore (LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

	int32_t skin () const { return currentSkin.load (std::memory_order_relaxed); }
	// The block lengths the host announced in its options (0: none).
	uint32_t maxBlockLength () const { return maxBlock; }
	uint32_t nominalBlockLength () const { return nominalBlock; }

private:
	// The parameter ports whose value changed since the last run, as
	// smoothed changes; all of them at once in the first run after activate.
	void applyPorts ();
	// Renders from `position` up to `until` into the outputs.
	void renderTo (uint32_t& position, uint32_t until);
	void takeEvent (const LV2_Atom_Event& event);
	void takePatch (const LV2_Atom_Object& object);
	// Starts the notify port's sequence and, if asked for and there is room,
	// writes the skin into it as a patch:Set.
	void writeNotifications ();
	void readOptions (const void* options);

	Engine engine;
	Urids urids;
	LV2_Atom_Forge forge{};

	const float* paramPorts[kNumParams] = {};
	const LV2_Atom_Sequence* controlPort = nullptr;
	float* outLeft = nullptr;
	float* outRight = nullptr;
	LV2_Atom_Sequence* notifyPort = nullptr;

	// The port values last applied, compared bit for bit so that a port
	// holding NaN is not applied again in every run.
	uint32_t appliedBits[kNumParams] = {};
	bool takePortsNow = true;

	// save may run concurrently with run.
	std::atomic<int32_t> currentSkin{0};
	std::atomic<bool> skinToSend{false};

	uint32_t maxBlock = 0;
	uint32_t nominalBlock = 0;
};

} // namespace Lv2
} // namespace Tarno
