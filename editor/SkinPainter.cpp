#include "editor/SkinPainter.h"

#include "editor/OriginalSkin.h"

namespace Tarno {

void paintSkin (Canvas& canvas, int32_t /*skin*/, const ParamBlock& values, int32_t /*activeParam*/)
{
	// VINTAGE and SILVER have no panels of their own yet: every skin paints
	// the ORIGINAL panel, and the overlay shows the skin's own colours.
	canvas.save ();
	paintOriginal (canvas, values);
	canvas.restore ();
}

} // namespace Tarno
