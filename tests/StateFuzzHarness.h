// Feeds arbitrary bytes to every state reader of the plug-in, and as a
// .vstpreset file to the host's preset reader and loader, and checks that
// refusals change nothing and acceptances restore exactly what was given.
// Shared by the libFuzzer target and the deterministic random-bytes test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace TarnoTest {

// Empty when everything held; otherwise what went wrong.
std::string checkStateInput (const uint8_t* data, size_t size);

} // namespace TarnoTest
