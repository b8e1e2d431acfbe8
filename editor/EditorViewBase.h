// The SDK's editor view with the argument checks both editor windows need:
// its base accepts a null size and its interface query a null pointer.
#pragma once

#include "public.sdk/source/vst/vsteditcontroller.h"

namespace Tarno {

class EditorViewBase : public Steinberg::Vst::EditorView
{
public:
	using EditorView::EditorView;

	Steinberg::tresult PLUGIN_API onSize (Steinberg::ViewRect* newSize) SMTG_OVERRIDE
	{
		return newSize ? EditorView::onSize (newSize) : Steinberg::kInvalidArgument;
	}
	// kInvalidArgument for a null IID or a null result pointer.
	Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) SMTG_OVERRIDE
	{
		if (iid == nullptr || obj == nullptr)
			return Steinberg::kInvalidArgument;
		return EditorView::queryInterface (iid, obj);
	}
};

} // namespace Tarno
