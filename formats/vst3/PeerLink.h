// The connection between the processor and the controller, as both keep it.
//
// The SDK's component base holds a counted reference to its peer. A host
// that connects the two both ways and then releases them without
// disconnect or terminate leaves each holding the other, and neither is
// ever freed. Tarnovelle's two halves send each other no messages, so the
// link only remembers which peer is connected (for connect's and
// disconnect's answers) and never calls it or holds a reference to it.
#pragma once

#include "pluginterfaces/vst/ivstmessage.h"

namespace Tarno {

class PeerLink
{
public:
	// kInvalidArgument for null, kResultFalse when already connected.
	Steinberg::tresult connect (Steinberg::Vst::IConnectionPoint* other);
	// kResultOk only for the connected peer.
	Steinberg::tresult disconnect (Steinberg::Vst::IConnectionPoint* other);
	void clear () { peer = nullptr; }

private:
	Steinberg::Vst::IConnectionPoint* peer = nullptr; // not owned, never called
};

// The answer to IConnectionPoint::notify, for both halves: the SDK's
// component base answers kResultOk to a "TextMessage" with a "Text"
// attribute and kResultFalse to anything else, but reads the attributes of
// every message without checking them, and converts the text with a
// function that throws (and leaks) on text that is not UTF-16. Neither half
// acts on the text, so this gives the same answers without touching it:
// kInvalidArgument for a null message, kResultFalse for one without
// attributes or of another kind.
Steinberg::tresult answerMessage (Steinberg::Vst::IMessage* message);

} // namespace Tarno
