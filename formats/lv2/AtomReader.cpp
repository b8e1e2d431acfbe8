#include "formats/lv2/AtomReader.h"

#include <cstring>

namespace Tarno {
namespace Lv2 {

SequenceReader::SequenceReader (const LV2_Atom_Sequence* sequence, LV2_URID sequenceType)
{
	if (sequence == nullptr || sequence->atom.type != sequenceType ||
	    sequence->atom.size < sizeof (LV2_Atom_Sequence_Body))
		return;
	timeUnit = sequence->body.unit;
	const uint8_t* body = reinterpret_cast<const uint8_t*> (&sequence->body);
	position = body + sizeof (LV2_Atom_Sequence_Body);
	end = body + sequence->atom.size;
}

const LV2_Atom_Event* SequenceReader::next ()
{
	const size_t left = static_cast<size_t> (end - position);
	if (position == nullptr || left < sizeof (LV2_Atom_Event))
		return nullptr;
	const LV2_Atom_Event* event = reinterpret_cast<const LV2_Atom_Event*> (position);
	const size_t bytes = sizeof (LV2_Atom_Event) + size_t (event->body.size);
	if (bytes > left)
	{
		position = end;
		return nullptr;
	}
	// Events start on 8-byte boundaries; the last one's padding may be cut.
	const size_t padded = (bytes + 7) & ~size_t (7);
	position = padded < left ? position + padded : end;
	return event;
}

const LV2_Atom* findProperty (const LV2_Atom_Object* object, LV2_URID key)
{
	if (object == nullptr || object->atom.size < sizeof (LV2_Atom_Object_Body))
		return nullptr;
	const uint8_t* body = reinterpret_cast<const uint8_t*> (&object->body);
	const uint8_t* position = body + sizeof (LV2_Atom_Object_Body);
	const uint8_t* end = body + object->atom.size;
	while (static_cast<size_t> (end - position) >= sizeof (LV2_Atom_Property_Body))
	{
		const LV2_Atom_Property_Body* property = reinterpret_cast<const LV2_Atom_Property_Body*> (position);
		const size_t left = static_cast<size_t> (end - position);
		const size_t bytes = sizeof (LV2_Atom_Property_Body) + size_t (property->value.size);
		if (bytes > left)
			return nullptr;
		if (property->key == key)
			return &property->value;
		const size_t padded = (bytes + 7) & ~size_t (7);
		if (padded >= left)
			return nullptr;
		position += padded;
	}
	return nullptr;
}

bool readInt (const LV2_Atom* atom, LV2_URID type, int32_t& value)
{
	if (atom == nullptr || atom->type != type || atom->size != sizeof (int32_t))
		return false;
	std::memcpy (&value, atom + 1, sizeof (int32_t));
	return true;
}

bool readUrid (const LV2_Atom* atom, LV2_URID type, LV2_URID& value)
{
	if (atom == nullptr || atom->type != type || atom->size != sizeof (LV2_URID))
		return false;
	std::memcpy (&value, atom + 1, sizeof (LV2_URID));
	return true;
}

} // namespace Lv2
} // namespace Tarno
