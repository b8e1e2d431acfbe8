#include "formats/vst3/ClassIds.h"

namespace Tarno {

// The two IDs differ only in their last byte: 01 processor, 02 controller.
const Steinberg::FUID processorID (0x8A943D18, 0x25E24DE1, 0x99172026, 0x10100001);
const Steinberg::FUID controllerID (0x8A943D18, 0x25E24DE1, 0x99172026, 0x10100002);

} // namespace Tarno
