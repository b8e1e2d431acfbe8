// The class IDs of the two classes the factory describes.
#pragma once

#include "pluginterfaces/base/funknown.h"

namespace Tarno {

extern const Steinberg::FUID processorID;
extern const Steinberg::FUID controllerID;

} // namespace Tarno
