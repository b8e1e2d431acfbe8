// The three fonts the editor paints its texts with. Heights are character
// heights in pixels (GDI selects them with the negated height).
#pragma once

#include "editor/canvas/Canvas.h"

namespace Tarno {

// Every text of the ORIGINAL panel except its title.
inline constexpr FontSpec kTextFont = {"Segoe UI", 13, 400};
// The title of the ORIGINAL panel.
inline constexpr FontSpec kTitleFont = {"Segoe UI", 36, 700};
// Every text of the overlay (appearance selector and Legato switch).
inline constexpr FontSpec kSmallFont = {"Segoe UI", 11, 400};

} // namespace Tarno
