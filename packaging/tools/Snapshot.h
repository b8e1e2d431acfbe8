// The picture of the editor that hosts show in their plug-in browsers:
// the ORIGINAL panel at 860 × 530 with every parameter at its default, as
// the editor first opens, and the same at content scale 2 (1720 × 1060) for
// high-density screens. Painted by the skins' own code, through the Cairo
// canvas on Linux and through the editor's GDI/GDI+ canvas on Windows.
#pragma once

#include <string>

namespace Tarno {
namespace Packaging {

// The content scales the bundle has a snapshot for.
constexpr double kSnapshotScales[] = {1.0, 2.0};

// Writes the picture at content scale `scale` (1 to 4) as a PNG file; false
// with a message when it cannot be painted or written.
bool writeEditorSnapshot (const std::string& path, double scale, std::string& error);

} // namespace Packaging
} // namespace Tarno
