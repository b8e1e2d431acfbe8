#include "editor/SkinPainter.h"

#include "editor/OriginalSkin.h"
#include "editor/silver/SilverSkin.h"
#include "params/Skins.h"

namespace Tarno {

void paintSkin (Canvas& canvas, int32_t skin, const ParamBlock& values, int32_t activeParam)
{
	canvas.save ();
	if (skin == kSkinSilver)
		Silver::Skin::paint (canvas, values, activeParam);
	else
		// VINTAGE has no panel of its own yet; it shows ORIGINAL's under
		// its own overlay.
		paintOriginal (canvas, values);
	canvas.restore ();
}

} // namespace Tarno
