// Bounded walks over atoms a host hands the plug-in: every size is checked
// against the size of what contains it, so a malformed sequence or object
// ends the walk instead of leading a read beyond it.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <cstddef>
#include <cstdint>

namespace Tarno {
namespace Lv2 {

// The events of a sequence, in order. A sequence of another type, or one
// too small for its own header, has none.
class SequenceReader
{
public:
	SequenceReader (const LV2_Atom_Sequence* sequence, LV2_URID sequenceType);

	// The next whole event, or nullptr at the end (or at the first event
	// that does not fit).
	const LV2_Atom_Event* next ();
	// The time unit the sequence declares (0: frames by default).
	LV2_URID unit () const { return timeUnit; }

private:
	const uint8_t* position = nullptr;
	const uint8_t* end = nullptr;
	LV2_URID timeUnit = 0;
};

// The value of an object's property `key`, or nullptr when the object has
// none or is malformed (within the size its atom gives).
const LV2_Atom* findProperty (const LV2_Atom_Object* object, LV2_URID key);

// The value of an atom:Int or atom:URID atom of exactly four bytes.
bool readInt (const LV2_Atom* atom, LV2_URID type, int32_t& value);
bool readUrid (const LV2_Atom* atom, LV2_URID type, LV2_URID& value);

} // namespace Lv2
} // namespace Tarno
