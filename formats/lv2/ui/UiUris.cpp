#include "formats/lv2/ui/UiUris.h"

#include <lv2/atom/atom.h>
#include <lv2/patch/patch.h>
#include <lv2/ui/ui.h>

namespace Tarno {

bool UiUrids::map (const LV2_URID_Map& m)
{
	struct Entry
	{
		LV2_URID* urid;
		const char* uri;
	};
	const Entry entries[] = {{&eventTransfer, LV2_ATOM__eventTransfer},
	                         {&atomObject, LV2_ATOM__Object},
	                         {&atomBlank, LV2_ATOM__Blank},
	                         {&atomUrid, LV2_ATOM__URID},
	                         {&atomInt, LV2_ATOM__Int},
	                         {&atomFloat, LV2_ATOM__Float},
	                         {&atomDouble, LV2_ATOM__Double},
	                         {&patchSet, LV2_PATCH__Set},
	                         {&patchGet, LV2_PATCH__Get},
	                         {&patchProperty, LV2_PATCH__property},
	                         {&patchValue, LV2_PATCH__value},
	                         {&skin, kLv2SkinUri},
	                         {&scaleFactor, LV2_UI__scaleFactor}};
	if (m.map == nullptr)
		return false;
	bool all = true;
	for (const Entry& e : entries)
	{
		*e.urid = m.map (m.handle, e.uri);
		all = all && *e.urid != 0;
	}
	return all;
}

} // namespace Tarno
