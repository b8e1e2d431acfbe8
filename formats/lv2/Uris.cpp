#include "formats/lv2/Uris.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>

namespace Tarno {
namespace Lv2 {

void Urids::map (const LV2_URID_Map& host)
{
	auto id = [&host] (const char* uri) { return host.map (host.handle, uri); };
	atomInt = id (LV2_ATOM__Int);
	atomUrid = id (LV2_ATOM__URID);
	atomObject = id (LV2_ATOM__Object);
	atomBlank = id (LV2_ATOM__Blank);
	atomSequence = id (LV2_ATOM__Sequence);
	atomFrameTime = id (LV2_ATOM__frameTime);
	midiEvent = id (LV2_MIDI__MidiEvent);
	patchSet = id (LV2_PATCH__Set);
	patchGet = id (LV2_PATCH__Get);
	patchProperty = id (LV2_PATCH__property);
	patchValue = id (LV2_PATCH__value);
	maxBlockLength = id (LV2_BUF_SIZE__maxBlockLength);
	nominalBlockLength = id (LV2_BUF_SIZE__nominalBlockLength);
	skin = id (kSkinUri);
}

} // namespace Lv2
} // namespace Tarno
