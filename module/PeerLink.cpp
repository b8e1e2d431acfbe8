#include "module/PeerLink.h"

namespace Tarno {

using namespace Steinberg;

tresult PeerLink::connect (Vst::IConnectionPoint* other)
{
	if (other == nullptr)
		return kInvalidArgument;
	if (peer != nullptr)
		return kResultFalse;
	peer = other;
	return kResultOk;
}

tresult PeerLink::disconnect (Vst::IConnectionPoint* other)
{
	if (peer == nullptr || other != peer)
		return kResultFalse;
	peer = nullptr;
	return kResultOk;
}

tresult checkMessage (Vst::IMessage* message)
{
	if (message == nullptr)
		return kInvalidArgument;
	return message->getAttributes () != nullptr ? kResultOk : kResultFalse;
}

} // namespace Tarno
