// The picture of the editor that hosts show in their plug-in browsers:
// the ORIGINAL panel at 860 × 530 with every parameter at its default, as
// the editor first opens. Painted by the skins' own code, through the Cairo
// canvas on Linux and through the editor's GDI/GDI+ canvas on Windows.
#pragma once

#include <string>

namespace Tarno {
namespace Packaging {

constexpr int kSnapshotWidth = 860;
constexpr int kSnapshotHeight = 530;

// Writes the picture as a PNG file; false with a message when it cannot be
// painted or written.
bool writeEditorSnapshot (const std::string& path, std::string& error);

} // namespace Packaging
} // namespace Tarno
