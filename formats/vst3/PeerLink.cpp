#include "formats/vst3/PeerLink.h"

#include <cstring>

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

tresult answerMessage (Vst::IMessage* message)
{
	if (message == nullptr)
		return kInvalidArgument;
	Vst::IAttributeList* attributes = message->getAttributes ();
	const FIDString id = message->getMessageID ();
	if (attributes == nullptr || id == nullptr || std::strcmp (id, "TextMessage") != 0)
		return kResultFalse;
	Vst::TChar text[256] = {};
	return attributes->getString ("Text", text, sizeof (text)) == kResultOk ? kResultOk : kResultFalse;
}

} // namespace Tarno
