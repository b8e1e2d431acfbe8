#include "editor/SkinPainter.h"

#include "editor/OriginalSkin.h"
#include "editor/Overlay.h"
#include "editor/ScaledCanvas.h"
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

void paintPanel (Canvas& canvas, int32_t skin, const ParamBlock& values, int32_t activeParam, double f)
{
	ScaledCanvas scaled (canvas, f);
	Canvas& target = f == 1.0 ? canvas : scaled;
	paintSkin (target, skin, values, activeParam);
	paintOverlay (target, values, skin);
}

} // namespace Tarno
