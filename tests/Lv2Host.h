// A small LV2 host on lilv for the tests: a world holding only the built
// bundle, a URID map, the plug-in instantiated with urid:map, urid:unmap
// and options, its ports connected to buffers here, and input sequences
// written with the atom forge.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace TarnoTest {

constexpr const char* kLv2PluginUri = "https://tarnovelle.invalid/lv2/tarnovelle";
constexpr const char* kLv2SkinUri = "https://tarnovelle.invalid/lv2/tarnovelle#skin";

class UridMap
{
public:
	UridMap ()
	{
		map.handle = unmap.handle = this;
		map.map = [] (LV2_URID_Map_Handle h, const char* uri) { return static_cast<UridMap*> (h)->id (uri); };
		unmap.unmap = [] (LV2_URID_Unmap_Handle h, LV2_URID urid) {
			auto* self = static_cast<UridMap*> (h);
			return urid >= 1 && urid <= self->uris.size () ? self->uris[urid - 1].c_str () : nullptr;
		};
	}
	LV2_URID id (const char* uri)
	{
		auto found = ids.find (uri);
		if (found != ids.end ())
			return found->second;
		uris.push_back (uri);
		return ids[uri] = LV2_URID (uris.size ());
	}

	LV2_URID_Map map {};
	LV2_URID_Unmap unmap {};

private:
	std::map<std::string, LV2_URID> ids;
	std::vector<std::string> uris;
};

// The world with the bundle at `bundleDir` and nothing else (whatever
// LV2_PATH says), and the plug-in in it.
struct Lv2World
{
	explicit Lv2World (const std::string& bundleDir)
	{
		world = lilv_world_new ();
		LilvNode* bundle = lilv_new_file_uri (world, nullptr, (bundleDir + "/").c_str ());
		lilv_world_load_bundle (world, bundle);
		lilv_node_free (bundle);
		LilvNode* uri = lilv_new_uri (world, kLv2PluginUri);
		plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), uri);
		lilv_node_free (uri);
	}
	~Lv2World () { lilv_world_free (world); }
	Lv2World (const Lv2World&) = delete;
	Lv2World& operator= (const Lv2World&) = delete;

	LilvWorld* world = nullptr;
	const LilvPlugin* plugin = nullptr;
};

// One instance with every port connected. Control ports start at their
// defaults, as a host sets them.
class Lv2Instance
{
public:
	static constexpr uint32_t kMaxFrames = 4096;
	static constexpr uint32_t kSequenceBytes = 8192;
	static constexpr uint32_t kNumControls = 16;
	static constexpr uint32_t kControlPort = 16, kLeftPort = 17, kRightPort = 18, kNotifyPort = 19;

	Lv2Instance (Lv2World& w, UridMap& m, double rate) : urids (m)
	{
		maxBlock = int32_t (kMaxFrames);
		options[0] = {LV2_OPTIONS_INSTANCE, 0, m.id (LV2_BUF_SIZE__maxBlockLength), sizeof (int32_t),
		              m.id (LV2_ATOM__Int), &maxBlock};
		options[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
		featureData[0] = {LV2_URID__map, &m.map};
		featureData[1] = {LV2_URID__unmap, &m.unmap};
		featureData[2] = {LV2_OPTIONS__options, options};
		for (int i = 0; i < 3; ++i)
			featureList[i] = &featureData[i];
		featureList[3] = nullptr;
		instance = lilv_plugin_instantiate (w.plugin, rate, featureList);
		if (instance == nullptr)
			return;
		std::vector<float> defaults (lilv_plugin_get_num_ports (w.plugin));
		lilv_plugin_get_port_ranges_float (w.plugin, nullptr, nullptr, defaults.data ());
		for (uint32_t i = 0; i < kNumControls; ++i)
		{
			controls[i] = defaults[i];
			lilv_instance_connect_port (instance, i, &controls[i]);
		}
		lilv_instance_connect_port (instance, kControlPort, control);
		lilv_instance_connect_port (instance, kLeftPort, left);
		lilv_instance_connect_port (instance, kRightPort, right);
		lilv_instance_connect_port (instance, kNotifyPort, notify);
		lv2_atom_forge_init (&forge, &m.map);
		clearEvents ();
	}
	~Lv2Instance ()
	{
		if (instance != nullptr)
			lilv_instance_free (instance);
	}
	Lv2Instance (const Lv2Instance&) = delete;
	Lv2Instance& operator= (const Lv2Instance&) = delete;

	// Starts the next run's input sequence afresh.
	void clearEvents ()
	{
		lv2_atom_forge_set_buffer (&forge, control, sizeof control);
		lv2_atom_forge_sequence_head (&forge, &sequence, 0);
	}
	void midi (int64_t frame, std::vector<uint8_t> bytes)
	{
		lv2_atom_forge_frame_time (&forge, frame);
		lv2_atom_forge_atom (&forge, uint32_t (bytes.size ()), urids.id (LV2_MIDI__MidiEvent));
		// An empty event has no body to copy (memcpy takes no null source).
		if (!bytes.empty ())
			lv2_atom_forge_write (&forge, bytes.data (), uint32_t (bytes.size ()));
	}
	// A patch:Set of the skin (value >= 0), or a patch:Get (value < 0).
	void skinMessage (int64_t frame, int32_t value)
	{
		LV2_Atom_Forge_Frame object;
		lv2_atom_forge_frame_time (&forge, frame);
		lv2_atom_forge_object (&forge, &object, 0, urids.id (value >= 0 ? LV2_PATCH__Set : LV2_PATCH__Get));
		if (value >= 0)
		{
			lv2_atom_forge_key (&forge, urids.id (LV2_PATCH__property));
			lv2_atom_forge_urid (&forge, urids.id (kLv2SkinUri));
			lv2_atom_forge_key (&forge, urids.id (LV2_PATCH__value));
			lv2_atom_forge_int (&forge, value);
		}
		lv2_atom_forge_pop (&forge, &object);
	}
	LV2_Atom_Sequence* sequenceAtom () { return reinterpret_cast<LV2_Atom_Sequence*> (control); }

	void run (uint32_t frames)
	{
		// The host gives the output sequence's capacity as its size.
		reinterpret_cast<LV2_Atom*> (notify)->size = kSequenceBytes - sizeof (LV2_Atom);
		lilv_instance_run (instance, frames);
		clearEvents ();
	}

	// The skin of the last patch:Set on the notify port in the last run, or -1.
	int32_t notifiedSkin ()
	{
		int32_t skin = -1;
		const auto* seq = reinterpret_cast<const LV2_Atom_Sequence*> (notify);
		LV2_ATOM_SEQUENCE_FOREACH (seq, ev)
		{
			if (ev->body.type != urids.id (LV2_ATOM__Object))
				continue;
			const auto* obj = reinterpret_cast<const LV2_Atom_Object*> (&ev->body);
			const LV2_Atom* property = nullptr;
			const LV2_Atom* value = nullptr;
			lv2_atom_object_get (obj, urids.id (LV2_PATCH__property), &property, urids.id (LV2_PATCH__value), &value,
			                     0);
			if (obj->body.otype == urids.id (LV2_PATCH__Set) && property && value &&
			    reinterpret_cast<const LV2_Atom_URID*> (property)->body == urids.id (kLv2SkinUri) &&
			    value->type == urids.id (LV2_ATOM__Int))
				skin = reinterpret_cast<const LV2_Atom_Int*> (value)->body;
		}
		return skin;
	}

	LilvInstance* instance = nullptr;
	float controls[kNumControls] = {};
	float left[kMaxFrames] = {}, right[kMaxFrames] = {};
	alignas (8) uint8_t control[kSequenceBytes] = {};
	alignas (8) uint8_t notify[kSequenceBytes] = {};
	const LV2_Feature* const* features () const { return featureList; }

private:
	UridMap& urids;
	int32_t maxBlock = 0;
	LV2_Options_Option options[2] {};
	LV2_Feature featureData[3] {};
	const LV2_Feature* featureList[4] {};
	LV2_Atom_Forge forge {};
	LV2_Atom_Forge_Frame sequence {};
};

} // namespace TarnoTest
