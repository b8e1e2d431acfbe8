#include "formats/lv2/Plugin.h"

#include "engine/MidiMessage.h"
#include "formats/lv2/AtomReader.h"
#include "params/Skins.h"

#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstring>

namespace Tarno {
namespace Lv2 {

namespace {

// The longest run the engine renders in one call (a buffer on the stack).
constexpr uint32_t kRunSamples = 256;
// A patch:Set of the skin as an event: the event header (16 bytes), the
// object's body (8) and two properties of 24 bytes each.
constexpr uint32_t kSkinMessageBytes = 16 + 8 + 24 + 24;

uint32_t bitsOf (float value)
{
	uint32_t bits;
	std::memcpy (&bits, &value, sizeof bits);
	return bits;
}

bool validSkin (int32_t skin) { return skin >= 0 && skin < kNumSkins; }

} // namespace

bool Plugin::initialize (double rate, const LV2_Feature* const* features)
{
	const LV2_URID_Map* map = nullptr;
	const void* options = nullptr;
	for (int i = 0; features != nullptr && features[i] != nullptr; ++i)
	{
		const char* uri = features[i]->URI;
		if (uri == nullptr)
			continue;
		if (std::strcmp (uri, LV2_URID__map) == 0)
			map = static_cast<const LV2_URID_Map*> (features[i]->data);
		else if (std::strcmp (uri, LV2_OPTIONS__options) == 0)
			options = features[i]->data;
	}
	if (map == nullptr || map->map == nullptr)
		return false;
	urids.map (*map);
	lv2_atom_forge_init (&forge, const_cast<LV2_URID_Map*> (map));
	readOptions (options);
	// The engine raises a rate below its minimum (and a NaN) to that minimum.
	engine.prepare (rate);
	return true;
}

void Plugin::readOptions (const void* data)
{
	// The list ends at an option with key 0. The engine renders blocks of
	// any length, so the lengths are only noted.
	for (auto* o = static_cast<const LV2_Options_Option*> (data); o != nullptr && o->key != 0; ++o)
	{
		if (o->type != urids.atomInt || o->size != sizeof (int32_t) || o->value == nullptr)
			continue;
		int32_t value;
		std::memcpy (&value, o->value, sizeof value);
		if (value <= 0)
			continue;
		if (o->key == urids.maxBlockLength)
			maxBlock = static_cast<uint32_t> (value);
		else if (o->key == urids.nominalBlockLength)
			nominalBlock = static_cast<uint32_t> (value);
	}
}

void Plugin::connectPort (uint32_t port, void* data)
{
	if (port < static_cast<uint32_t> (kNumParams))
		paramPorts[port] = static_cast<const float*> (data);
	else if (port == kControlPort)
		controlPort = static_cast<const LV2_Atom_Sequence*> (data);
	else if (port == kOutLeftPort)
		outLeft = static_cast<float*> (data);
	else if (port == kOutRightPort)
		outRight = static_cast<float*> (data);
	else if (port == kNotifyPort)
		notifyPort = static_cast<LV2_Atom_Sequence*> (data);
}

void Plugin::activate ()
{
	engine.reset ();
	takePortsNow = true;
}

void Plugin::applyPorts ()
{
	if (takePortsNow)
	{
		// As a restored state: every value at once, without smoothing.
		ParamBlock values = engine.targetValues ();
		for (int32_t id = 0; id < kNumParams; ++id)
			if (const float* port = paramPorts[id])
			{
				values[size_t (id)] = toNormalized (id, *port);
				appliedBits[id] = bitsOf (*port);
			}
		engine.setParametersNow (values);
		takePortsNow = false;
		return;
	}
	for (int32_t id = 0; id < kNumParams; ++id)
	{
		const float* port = paramPorts[id];
		if (port == nullptr || bitsOf (*port) == appliedBits[id])
			continue;
		appliedBits[id] = bitsOf (*port);
		// toNormalized clamps as a VST 3 value is clamped: NaN and the
		// infinities give 0, other values outside the range its end.
		engine.setParameter (id, toNormalized (id, *port));
	}
}

void Plugin::renderTo (uint32_t& position, uint32_t until)
{
	double run[kRunSamples];
	while (position < until)
	{
		const uint32_t count = std::min (until - position, kRunSamples);
		engine.render (run, static_cast<int32_t> (count));
		for (float* out : {outLeft, outRight})
			if (out != nullptr)
				for (uint32_t i = 0; i < count; ++i)
					out[position + i] = static_cast<float> (run[i]);
		position += count;
	}
}

void Plugin::run (uint32_t frames)
{
	applyPorts ();

	// Events are taken at their frames; between them the engine renders
	// whole runs. A frame before the last one taken (a sequence out of
	// order) counts as that one; one beyond the block, or a sequence in
	// another time unit, as the block's end.
	uint32_t position = 0;
	SequenceReader events (controlPort, urids.atomSequence);
	const bool inFrames = events.unit () == 0 || events.unit () == urids.atomFrameTime;
	while (const LV2_Atom_Event* event = events.next ())
	{
		const int64_t frame = inFrames ? event->time.frames : int64_t (frames);
		const uint32_t due = frame <= int64_t (position) ? position
		                     : frame >= int64_t (frames) ? frames
		                                                 : static_cast<uint32_t> (frame);
		renderTo (position, due);
		takeEvent (*event);
	}
	renderTo (position, frames);

	writeNotifications ();
}

void Plugin::takeEvent (const LV2_Atom_Event& event)
{
	const LV2_Atom& body = event.body;
	if (body.type == urids.midiEvent)
		playMidiMessage (engine, reinterpret_cast<const uint8_t*> (&body + 1), body.size);
	else if (body.type == urids.atomObject || body.type == urids.atomBlank)
		takePatch (reinterpret_cast<const LV2_Atom_Object&> (body));
}

void Plugin::takePatch (const LV2_Atom_Object& object)
{
	if (object.atom.size < sizeof (LV2_Atom_Object_Body))
		return;
	// A message about another property, or about none where one is
	// needed, is not for us.
	LV2_URID property = 0;
	const bool named = readUrid (findProperty (&object, urids.patchProperty), urids.atomUrid, property);
	if (object.body.otype == urids.patchGet)
	{
		if (!named || property == urids.skin)
			skinToSend.store (true, std::memory_order_relaxed);
	}
	else if (object.body.otype == urids.patchSet && named && property == urids.skin)
	{
		int32_t skin = 0;
		if (readInt (findProperty (&object, urids.patchValue), urids.atomInt, skin) && validSkin (skin))
		{
			currentSkin.store (skin, std::memory_order_relaxed);
			skinToSend.store (true, std::memory_order_relaxed);
		}
	}
}

void Plugin::writeNotifications ()
{
	if (notifyPort == nullptr)
		return;
	// The host gives the port's capacity as the atom's size.
	const uint32_t capacity = sizeof (LV2_Atom) + notifyPort->atom.size;
	if (notifyPort->atom.size < sizeof (LV2_Atom_Sequence_Body))
		return;
	lv2_atom_forge_set_buffer (&forge, reinterpret_cast<uint8_t*> (notifyPort), capacity);
	LV2_Atom_Forge_Frame sequence;
	lv2_atom_forge_sequence_head (&forge, &sequence, 0);

	if (capacity - forge.offset >= kSkinMessageBytes && skinToSend.exchange (false, std::memory_order_relaxed))
	{
		LV2_Atom_Forge_Frame object;
		lv2_atom_forge_frame_time (&forge, 0);
		lv2_atom_forge_object (&forge, &object, 0, urids.patchSet);
		lv2_atom_forge_key (&forge, urids.patchProperty);
		lv2_atom_forge_urid (&forge, urids.skin);
		lv2_atom_forge_key (&forge, urids.patchValue);
		lv2_atom_forge_int (&forge, skin ());
		lv2_atom_forge_pop (&forge, &object);
	}
	lv2_atom_forge_pop (&forge, &sequence);
}

LV2_State_Status Plugin::save (LV2_State_Store_Function store, LV2_State_Handle handle)
{
	if (store == nullptr)
		return LV2_STATE_ERR_UNKNOWN;
	const int32_t value = skin ();
	return store (handle, urids.skin, &value, sizeof value, urids.atomInt,
	              LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status Plugin::restore (LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
	if (retrieve == nullptr)
		return LV2_STATE_ERR_UNKNOWN;
	size_t size = 0;
	uint32_t type = 0, flags = 0;
	const void* data = retrieve (handle, urids.skin, &size, &type, &flags);
	// A state without the skin, or with a value of the wrong type, size or
	// range, keeps the skin there is.
	if (data == nullptr || type != urids.atomInt || size != sizeof (int32_t))
		return LV2_STATE_SUCCESS;
	int32_t value;
	std::memcpy (&value, data, sizeof value);
	if (!validSkin (value))
		return LV2_STATE_SUCCESS;
	currentSkin.store (value, std::memory_order_relaxed);
	skinToSend.store (true, std::memory_order_relaxed);
	return LV2_STATE_SUCCESS;
}

} // namespace Lv2
} // namespace Tarno
