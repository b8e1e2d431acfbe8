#include "vst3host/PlugFrame.h"

namespace Tarno {
namespace Host {

using namespace Steinberg;

tresult PLUGIN_API PlugFrame::resizeView (IPlugView* view, ViewRect* newSize)
{
	if (view == nullptr || newSize == nullptr || newSize->getWidth () < 0 || newSize->getHeight () < 0)
		return kInvalidArgument;
	requests_.push_back ({view, *newSize});
	if (inOnSize_)
		return kResultFalse;
	ViewRect size (0, 0, newSize->getWidth (), newSize->getHeight ());
	if (resizeFunction_ && !resizeFunction_ (view, size))
		return kResultFalse;
	if (!honour_)
		return kResultOk;
	inOnSize_ = true;
	const tresult result = view->onSize (&size);
	inOnSize_ = false;
	return result;
}

tresult PLUGIN_API PlugFrame::queryInterface (const TUID iid, void** obj)
{
	if (obj == nullptr)
		return kInvalidArgument;
	if (iid == nullptr)
	{
		*obj = nullptr;
		return kInvalidArgument;
	}
	QUERY_INTERFACE (iid, obj, FUnknown_iid, IPlugFrame)
	QUERY_INTERFACE (iid, obj, IPlugFrame_iid, IPlugFrame)
	if (FUnknownPrivate::iidEqual (iid, Linux::IRunLoop_iid))
	{
		++runLoopQueries_;
		if (runLoop_)
			return runLoop_->queryInterface (iid, obj);
	}
	*obj = nullptr;
	return kNoInterface;
}

} // namespace Host
} // namespace Tarno
