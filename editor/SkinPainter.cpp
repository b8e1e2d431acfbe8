#include "editor/SkinPainter.h"

#include "editor/OriginalSkin.h"
#include "editor/silver/SilverSkin.h"
#include "editor/vintage/VintageSkin.h"
#include "params/Skins.h"

namespace Tarno {

void paintSkin (Canvas& canvas, int32_t skin, const ParamBlock& values, int32_t activeParam)
{
	canvas.save ();
	if (skin == kSkinVintage)
		Vintage::Skin::paint (canvas, values, activeParam);
	else if (skin == kSkinSilver)
		Silver::Skin::paint (canvas, values, activeParam);
	else
		paintOriginal (canvas, values);
	canvas.restore ();
}

} // namespace Tarno
