#include "vst3host/HostObjects.h"

#include "pluginterfaces/vst/ivstpluginterfacesupport.h"

#include <cstdio>
#include <cstring>

namespace Tarno {
namespace Host {

using namespace Steinberg;
using namespace Steinberg::Vst;

//------------------------------------------------------------------------
ParamValueQueue::ParamValueQueue (int32 capacity)
: points_ (new Point[size_t (capacity > 0 ? capacity : 1)]), capacity_ (capacity > 0 ? capacity : 1)
{
}

void ParamValueQueue::reset (ParamID id)
{
	id_ = id;
	count_ = 0;
}

tresult PLUGIN_API ParamValueQueue::getPoint (int32 index, int32& sampleOffset, ParamValue& value)
{
	if (index < 0 || index >= count_)
		return kInvalidArgument;
	sampleOffset = points_[index].offset;
	value = points_[index].value;
	return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::addPoint (int32 sampleOffset, ParamValue value, int32& index)
{
	if (sampleOffset < 0)
		return kResultFalse;
	int32 i = count_;
	while (i > 0 && points_[i - 1].offset > sampleOffset)
		--i;
	if (i > 0 && points_[i - 1].offset == sampleOffset)
	{
		points_[i - 1].value = value;
		index = i - 1;
		return kResultOk;
	}
	if (count_ >= capacity_)
		return kResultFalse;
	for (int32 k = count_; k > i; --k)
		points_[k] = points_[k - 1];
	points_[i] = {sampleOffset, value};
	++count_;
	index = i;
	return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::queryInterface (const TUID iid, void** obj)
{
	QUERY_INTERFACE (iid, obj, FUnknown::iid, IParamValueQueue)
	QUERY_INTERFACE (iid, obj, IParamValueQueue::iid, IParamValueQueue)
	*obj = nullptr;
	return kNoInterface;
}

//------------------------------------------------------------------------
ParameterChanges::ParameterChanges (int32 maxParameters, int32 maxPoints)
{
	queues_.reserve (size_t (maxParameters > 0 ? maxParameters : 1));
	for (int32 i = 0; i < (maxParameters > 0 ? maxParameters : 1); ++i)
		queues_.emplace_back (new ParamValueQueue (maxPoints));
}

bool ParameterChanges::add (ParamID id, int32 sampleOffset, ParamValue value)
{
	int32 index = 0;
	IParamValueQueue* queue = addParameterData (id, index);
	int32 pointIndex = 0;
	return queue != nullptr && queue->addPoint (sampleOffset, value, pointIndex) == kResultOk;
}

IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData (int32 index)
{
	if (index < 0 || index >= used_)
		return nullptr;
	return queues_[size_t (index)].get ();
}

IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData (const ParamID& id, int32& index)
{
	for (int32 i = 0; i < used_; ++i)
	{
		if (queues_[size_t (i)]->getParameterId () == id)
		{
			index = i;
			return queues_[size_t (i)].get ();
		}
	}
	if (used_ >= int32 (queues_.size ()))
		return nullptr;
	queues_[size_t (used_)]->reset (id);
	index = used_;
	return queues_[size_t (used_++)].get ();
}

tresult PLUGIN_API ParameterChanges::queryInterface (const TUID iid, void** obj)
{
	QUERY_INTERFACE (iid, obj, FUnknown::iid, IParameterChanges)
	QUERY_INTERFACE (iid, obj, IParameterChanges::iid, IParameterChanges)
	*obj = nullptr;
	return kNoInterface;
}

//------------------------------------------------------------------------
EventList::EventList (int32 capacity)
: events_ (new Event[size_t (capacity > 0 ? capacity : 1)]), capacity_ (capacity > 0 ? capacity : 1)
{
}

tresult PLUGIN_API EventList::getEvent (int32 index, Event& e)
{
	if (index < 0 || index >= count_)
		return kInvalidArgument;
	e = events_[index];
	return kResultOk;
}

tresult PLUGIN_API EventList::addEvent (Event& e)
{
	if (count_ >= capacity_ || e.sampleOffset < 0)
		return kResultFalse;
	int32 i = count_;
	while (i > 0 && events_[i - 1].sampleOffset > e.sampleOffset)
	{
		events_[i] = events_[i - 1];
		--i;
	}
	events_[i] = e;
	++count_;
	return kResultOk;
}

tresult PLUGIN_API EventList::queryInterface (const TUID iid, void** obj)
{
	QUERY_INTERFACE (iid, obj, FUnknown::iid, IEventList)
	QUERY_INTERFACE (iid, obj, IEventList::iid, IEventList)
	*obj = nullptr;
	return kNoInterface;
}

//------------------------------------------------------------------------
const char* handlerCallKindName (HandlerCall::Kind kind)
{
	switch (kind)
	{
		case HandlerCall::Kind::BeginEdit: return "beginEdit";
		case HandlerCall::Kind::PerformEdit: return "performEdit";
		case HandlerCall::Kind::EndEdit: return "endEdit";
		case HandlerCall::Kind::RestartComponent: return "restartComponent";
		case HandlerCall::Kind::SetDirty: return "setDirty";
		case HandlerCall::Kind::RequestOpenEditor: return "requestOpenEditor";
		case HandlerCall::Kind::StartGroupEdit: return "startGroupEdit";
		case HandlerCall::Kind::FinishGroupEdit: return "finishGroupEdit";
	}
	return "?";
}

std::string describe (const HandlerCall& call)
{
	char text[160];
	switch (call.kind)
	{
		case HandlerCall::Kind::BeginEdit:
		case HandlerCall::Kind::EndEdit:
			std::snprintf (text, sizeof (text), "%s(%u)", handlerCallKindName (call.kind),
			               unsigned (call.id));
			break;
		case HandlerCall::Kind::PerformEdit:
			std::snprintf (text, sizeof (text), "performEdit(%u, %.6f)", unsigned (call.id), call.value);
			break;
		case HandlerCall::Kind::RestartComponent:
			std::snprintf (text, sizeof (text), "restartComponent(0x%X)", unsigned (call.flags));
			break;
		case HandlerCall::Kind::SetDirty:
			std::snprintf (text, sizeof (text), "setDirty(%s)", call.state ? "true" : "false");
			break;
		case HandlerCall::Kind::RequestOpenEditor:
			std::snprintf (text, sizeof (text), "requestOpenEditor(%s)", call.name.c_str ());
			break;
		default: std::snprintf (text, sizeof (text), "%s()", handlerCallKindName (call.kind)); break;
	}
	return text;
}

void RecordingComponentHandler::setListener (ComponentHandlerListener* listener)
{
	std::lock_guard<std::mutex> lock (mutex_);
	listener_ = listener;
}

std::vector<HandlerCall> RecordingComponentHandler::calls () const
{
	std::lock_guard<std::mutex> lock (mutex_);
	return calls_;
}

void RecordingComponentHandler::clear ()
{
	std::lock_guard<std::mutex> lock (mutex_);
	calls_.clear ();
}

void RecordingComponentHandler::record (const HandlerCall& call)
{
	std::lock_guard<std::mutex> lock (mutex_);
	calls_.push_back (call);
}

tresult PLUGIN_API RecordingComponentHandler::beginEdit (ParamID id)
{
	HandlerCall c;
	c.kind = HandlerCall::Kind::BeginEdit;
	c.id = id;
	record (c);
	return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::performEdit (ParamID id, ParamValue valueNormalized)
{
	HandlerCall c;
	c.kind = HandlerCall::Kind::PerformEdit;
	c.id = id;
	c.value = valueNormalized;
	record (c);
	ComponentHandlerListener* listener;
	{
		std::lock_guard<std::mutex> lock (mutex_);
		listener = listener_;
	}
	if (listener)
		listener->onPerformEdit (id, valueNormalized);
	return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::endEdit (ParamID id)
{
	HandlerCall c;
	c.kind = HandlerCall::Kind::EndEdit;
	c.id = id;
	record (c);
	return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::restartComponent (int32 flags)
{
	HandlerCall c;
	c.kind = HandlerCall::Kind::RestartComponent;
	c.flags = flags;
	record (c);
	ComponentHandlerListener* listener;
	{
		std::lock_guard<std::mutex> lock (mutex_);
		listener = listener_;
	}
	if (listener)
		listener->onRestartComponent (flags);
	return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::setDirty (TBool state)
{
	HandlerCall c;
	c.kind = HandlerCall::Kind::SetDirty;
	c.state = state != 0;
	record (c);
	return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::requestOpenEditor (FIDString name)
{
	HandlerCall c;
	c.kind = HandlerCall::Kind::RequestOpenEditor;
	c.name = name ? name : "";
	record (c);
	// There is no editor window in this host.
	return kResultFalse;
}

tresult PLUGIN_API RecordingComponentHandler::startGroupEdit ()
{
	HandlerCall c;
	c.kind = HandlerCall::Kind::StartGroupEdit;
	record (c);
	return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::finishGroupEdit ()
{
	HandlerCall c;
	c.kind = HandlerCall::Kind::FinishGroupEdit;
	record (c);
	return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::queryInterface (const TUID iid, void** obj)
{
	QUERY_INTERFACE (iid, obj, FUnknown::iid, IComponentHandler)
	QUERY_INTERFACE (iid, obj, IComponentHandler::iid, IComponentHandler)
	QUERY_INTERFACE (iid, obj, IComponentHandler2::iid, IComponentHandler2)
	if (offerContextMenus)
		QUERY_INTERFACE (iid, obj, IComponentHandler3::iid, IComponentHandler3)
	*obj = nullptr;
	return kNoInterface;
}

IContextMenu* PLUGIN_API RecordingComponentHandler::createContextMenu (Steinberg::IPlugView* plugView,
                                                                      const ParamID* paramID)
{
	MenuRequest request {plugView, paramID != nullptr, paramID ? *paramID : 0, nullptr};
	if (!menusRefused)
	{
		request.menu = Steinberg::owned (new RecordingContextMenu);
		request.menu->onPopup = contextMenuPopup;
	}
	menuRequests.push_back (request);
	if (!request.menu)
		return nullptr;
	request.menu->addRef ();
	return request.menu.get ();
}

//------------------------------------------------------------------------
tresult RecordingContextMenu::choose (int32 tag)
{
	for (const Entry& e : entries)
		if (e.item.tag == tag && e.target)
			return e.target->executeMenuItem (tag);
	return kResultFalse;
}

std::vector<int32> RecordingContextMenu::tags () const
{
	std::vector<int32> out;
	for (const Entry& e : entries)
		out.push_back ((e.item.flags & IContextMenuItem::kIsSeparator)
		                   ? 0
		                   : ((e.item.flags & IContextMenuItem::kIsChecked) ? -e.item.tag : e.item.tag));
	return out;
}

tresult PLUGIN_API RecordingContextMenu::getItem (int32 index, Item& item, IContextMenuTarget** target)
{
	if (index < 0 || index >= getItemCount ())
		return kInvalidArgument;
	item = entries[size_t (index)].item;
	if (target)
	{
		*target = entries[size_t (index)].target.get ();
		if (*target)
			(*target)->addRef ();
	}
	return kResultOk;
}

tresult PLUGIN_API RecordingContextMenu::addItem (const Item& item, IContextMenuTarget* target)
{
	entries.push_back ({item, target});
	return kResultOk;
}

tresult PLUGIN_API RecordingContextMenu::removeItem (const Item& item, IContextMenuTarget* target)
{
	for (auto it = entries.begin (); it != entries.end (); ++it)
		if (it->item.tag == item.tag && it->target.get () == target)
		{
			entries.erase (it);
			return kResultOk;
		}
	return kResultFalse;
}

tresult PLUGIN_API RecordingContextMenu::popup (Steinberg::UCoord x, Steinberg::UCoord y)
{
	popups.push_back ({x, y});
	if (onPopup)
		onPopup (*this);
	return kResultOk;
}

tresult PLUGIN_API RecordingContextMenu::queryInterface (const TUID iid, void** obj)
{
	QUERY_INTERFACE (iid, obj, FUnknown::iid, IContextMenu)
	QUERY_INTERFACE (iid, obj, IContextMenu::iid, IContextMenu)
	*obj = nullptr;
	return kNoInterface;
}

uint32 PLUGIN_API RecordingContextMenu::release ()
{
	const uint32 left = --refs_;
	if (left == 0)
		delete this;
	return left;
}

//------------------------------------------------------------------------
tresult PLUGIN_API HostContext::getName (String128 name)
{
	static const char text[] = "Tarnovelle host";
	for (size_t i = 0; i < sizeof (text); ++i)
		name[i] = char16 (text[i]);
	return kResultOk;
}

tresult PLUGIN_API HostContext::queryInterface (const TUID iid, void** obj)
{
	if (FUnknownPrivate::iidEqual (iid, IPlugInterfaceSupport::iid) && getPlugInterfaceSupport ())
		return getPlugInterfaceSupport ()->queryInterface (iid, obj);
	return HostApplication::queryInterface (iid, obj);
}

} // namespace Host
} // namespace Tarno
