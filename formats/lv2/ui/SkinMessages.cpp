#include "formats/lv2/ui/SkinMessages.h"

#include "params/Skins.h"

#include <cstddef>
#include <cstring>

namespace Tarno {

namespace {

static_assert (sizeof (SkinSetMessage) == 64 && sizeof (SkinGetMessage) == 40, "atoms are laid out without gaps");

LV2_Atom_Object objectHead (uint32_t bytes, LV2_URID type, LV2_URID otype)
{
	return {{uint32_t (bytes - sizeof (LV2_Atom)), type}, {0, otype}};
}

SkinUridProperty skinProperty (const UiUrids& u)
{
	return {{u.patchProperty, 0, {sizeof (LV2_URID), u.atomUrid}}, u.skin, 0};
}

} // namespace

SkinSetMessage makeSkinSet (const UiUrids& u, int32_t skin)
{
	return {objectHead (sizeof (SkinSetMessage), u.atomObject, u.patchSet), skinProperty (u),
	        {{u.patchValue, 0, {sizeof (int32_t), u.atomInt}}, skin, 0}};
}

SkinGetMessage makeSkinGet (const UiUrids& u)
{
	return {objectHead (sizeof (SkinGetMessage), u.atomObject, u.patchGet), skinProperty (u)};
}

int32_t readSkinSet (const UiUrids& u, const void* buffer, uint32_t size)
{
	if (buffer == nullptr || size < sizeof (LV2_Atom_Object))
		return -1;
	LV2_Atom_Object object;
	std::memcpy (&object, buffer, sizeof object);
	if ((object.atom.type != u.atomObject && object.atom.type != u.atomBlank) ||
	    object.atom.size < sizeof (LV2_Atom_Object_Body) || object.atom.size > size - sizeof (LV2_Atom) ||
	    object.body.otype != u.patchSet)
		return -1;

	// The properties, each read only as far as the object's size reaches.
	const auto* bytes = static_cast<const unsigned char*> (buffer);
	const size_t end = sizeof (LV2_Atom) + object.atom.size;
	bool aboutSkin = false;
	int32_t skin = -1;
	for (size_t at = sizeof (LV2_Atom_Object); end - at >= sizeof (LV2_Atom_Property_Body);)
	{
		LV2_Atom_Property_Body head;
		std::memcpy (&head, bytes + at, sizeof head);
		at += sizeof head;
		if (head.value.size > end - at)
			return -1;
		uint32_t word = 0;
		if (head.value.size >= sizeof word)
			std::memcpy (&word, bytes + at, sizeof word);
		if (head.key == u.patchProperty)
			aboutSkin = head.value.type == u.atomUrid && head.value.size == sizeof word && word == u.skin;
		else if (head.key == u.patchValue && head.value.type == u.atomInt && head.value.size == sizeof word)
			std::memcpy (&skin, &word, sizeof skin);
		// Each value is padded to 8 bytes; the last one's padding may be
		// left out of the object's size.
		at += head.value.size;
		at += (8 - at % 8) % 8;
		if (at > end)
			break;
	}
	return aboutSkin && skin >= 0 && skin < kNumSkins ? skin : -1;
}

} // namespace Tarno
