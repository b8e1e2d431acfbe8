// Host-side implementations of the VST 3 interfaces a plug-in calls back:
// parameter change queues and event lists for process (), a component
// handler that records every call, and the host context object.
//
// The process-data classes allocate all their storage in the constructor;
// adding, reading and clearing never allocate, so they can be filled and
// handed to IAudioProcessor::process without touching the heap.
//
// Ownership: the host owns these objects. addRef/release keep a count (for
// diagnostics: a plug-in that forgets to release shows up there) but never
// delete the object.
#pragma once

#include "pluginterfaces/vst/ivstcontextmenu.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Tarno {
namespace Host {

using Steinberg::int32;
using Steinberg::tresult;
using Steinberg::uint32;
using Steinberg::Vst::ParamID;
using Steinberg::Vst::ParamValue;

//------------------------------------------------------------------------
// Points of one parameter in one block, kept sorted by sample offset. A point
// added at an offset that already has one replaces its value.
class ParamValueQueue : public Steinberg::Vst::IParamValueQueue
{
public:
	explicit ParamValueQueue (int32 capacity);
	virtual ~ParamValueQueue () = default;

	void reset (ParamID id); // empties the queue and assigns it to id
	int32 capacity () const { return capacity_; }

	ParamID PLUGIN_API getParameterId () override { return id_; }
	int32 PLUGIN_API getPointCount () override { return count_; }
	tresult PLUGIN_API getPoint (int32 index, int32& sampleOffset, ParamValue& value) override;
	// kResultFalse when full or sampleOffset < 0.
	tresult PLUGIN_API addPoint (int32 sampleOffset, ParamValue value, int32& index) override;

	tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) override;
	uint32 PLUGIN_API addRef () override { return ++refs_; }
	uint32 PLUGIN_API release () override { return --refs_; }

private:
	struct Point
	{
		int32 offset;
		ParamValue value;
	};
	std::unique_ptr<Point[]> points_;
	int32 capacity_;
	int32 count_ = 0;
	ParamID id_ = Steinberg::Vst::kNoParamId;
	std::atomic<uint32> refs_ {1};
};

//------------------------------------------------------------------------
// Up to maxParameters queues per block, each holding up to maxPoints points.
class ParameterChanges : public Steinberg::Vst::IParameterChanges
{
public:
	explicit ParameterChanges (int32 maxParameters = 64, int32 maxPoints = 512);
	virtual ~ParameterChanges () = default;

	void clear () { used_ = 0; }
	// Host-side convenience: adds one point; false when there is no room.
	bool add (ParamID id, int32 sampleOffset, ParamValue value);

	int32 PLUGIN_API getParameterCount () override { return used_; }
	Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData (int32 index) override;
	// Returns the queue already used for id in this block, or a fresh one;
	// nullptr when all queues are taken.
	Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData (const ParamID& id,
	                                                              int32& index) override;

	tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) override;
	uint32 PLUGIN_API addRef () override { return ++refs_; }
	uint32 PLUGIN_API release () override { return --refs_; }

private:
	std::vector<std::unique_ptr<ParamValueQueue>> queues_;
	int32 used_ = 0;
	std::atomic<uint32> refs_ {1};
};

//------------------------------------------------------------------------
// Events of one block, kept sorted by sample offset (events with equal
// offsets stay in the order they were added).
class EventList : public Steinberg::Vst::IEventList
{
public:
	explicit EventList (int32 capacity = 2048);
	virtual ~EventList () = default;

	void clear () { count_ = 0; }
	int32 capacity () const { return capacity_; }

	int32 PLUGIN_API getEventCount () override { return count_; }
	tresult PLUGIN_API getEvent (int32 index, Steinberg::Vst::Event& e) override;
	// kResultFalse when full or e.sampleOffset < 0.
	tresult PLUGIN_API addEvent (Steinberg::Vst::Event& e) override;

	tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) override;
	uint32 PLUGIN_API addRef () override { return ++refs_; }
	uint32 PLUGIN_API release () override { return --refs_; }

private:
	std::unique_ptr<Steinberg::Vst::Event[]> events_;
	int32 capacity_;
	int32 count_ = 0;
	std::atomic<uint32> refs_ {1};
};

//------------------------------------------------------------------------
// One call a controller made on the component handler.
struct HandlerCall
{
	enum class Kind
	{
		BeginEdit,
		PerformEdit,
		EndEdit,
		RestartComponent,
		SetDirty,
		RequestOpenEditor,
		StartGroupEdit,
		FinishGroupEdit,
	};
	Kind kind = Kind::BeginEdit;
	ParamID id = 0;       // BeginEdit, PerformEdit, EndEdit
	ParamValue value = 0; // PerformEdit
	int32 flags = 0;      // RestartComponent
	bool state = false;   // SetDirty
	std::string name;     // RequestOpenEditor

	bool operator== (const HandlerCall& o) const
	{
		return kind == o.kind && id == o.id && value == o.value && flags == o.flags &&
		       state == o.state && name == o.name;
	}
};

const char* handlerCallKindName (HandlerCall::Kind kind);
std::string describe (const HandlerCall& call);

// Receives what the host must act on: edited values go to the processor,
// restart flags may require re-reading information from the plug-in.
class ComponentHandlerListener
{
public:
	virtual ~ComponentHandlerListener () = default;
	virtual void onPerformEdit (ParamID id, ParamValue value) = 0;
	virtual void onRestartComponent (int32 flags) = 0;
};

// A host's context menu that records what the plug-in does with it: the
// items it adds (their targets held, as a host holds them) and where it pops
// the menu up. onPopup, if set, plays the musician while the menu is up
// (choose, for one); choose calls the target of the item with that tag.
class RecordingContextMenu final : public Steinberg::Vst::IContextMenu
{
public:
	virtual ~RecordingContextMenu () = default;

	struct Entry
	{
		Item item;
		Steinberg::IPtr<Steinberg::Vst::IContextMenuTarget> target;
	};
	struct Popup
	{
		Steinberg::UCoord x, y;
	};

	std::vector<Entry> entries;
	std::vector<Popup> popups;
	std::function<void (RecordingContextMenu& menu)> onPopup;

	// The target's answer, or kResultFalse when no item has the tag.
	tresult choose (int32 tag);
	// The items' tags in order: a separator as 0, a checked item's negated.
	std::vector<int32> tags () const;

	int32 PLUGIN_API getItemCount () override { return static_cast<int32> (entries.size ()); }
	tresult PLUGIN_API getItem (int32 index, Item& item, Steinberg::Vst::IContextMenuTarget** target) override;
	tresult PLUGIN_API addItem (const Item& item, Steinberg::Vst::IContextMenuTarget* target) override;
	tresult PLUGIN_API removeItem (const Item& item, Steinberg::Vst::IContextMenuTarget* target) override;
	tresult PLUGIN_API popup (Steinberg::UCoord x, Steinberg::UCoord y) override;

	tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) override;
	uint32 PLUGIN_API addRef () override { return ++refs_; }
	uint32 PLUGIN_API release () override;

private:
	std::atomic<uint32> refs_ {1};
};

// IComponentHandler and IComponentHandler2 that records every call in order
// (thread-safe) and forwards edits and restarts to an optional listener.
// With offerContextMenus set it also answers IComponentHandler3: each
// createContextMenu is recorded and answered with a new RecordingContextMenu
// (none when menusRefused), whose onPopup is contextMenuPopup.
class RecordingComponentHandler : public Steinberg::Vst::IComponentHandler,
                                  public Steinberg::Vst::IComponentHandler2,
                                  public Steinberg::Vst::IComponentHandler3
{
public:
	RecordingComponentHandler () = default;
	virtual ~RecordingComponentHandler () = default;

	void setListener (ComponentHandlerListener* listener);
	std::vector<HandlerCall> calls () const;
	void clear ();
	uint32 referenceCount () const { return refs_; }

	// IComponentHandler
	tresult PLUGIN_API beginEdit (ParamID id) override;
	tresult PLUGIN_API performEdit (ParamID id, ParamValue valueNormalized) override;
	tresult PLUGIN_API endEdit (ParamID id) override;
	tresult PLUGIN_API restartComponent (int32 flags) override;
	// IComponentHandler2
	tresult PLUGIN_API setDirty (Steinberg::TBool state) override;
	tresult PLUGIN_API requestOpenEditor (Steinberg::FIDString name) override;
	tresult PLUGIN_API startGroupEdit () override;
	tresult PLUGIN_API finishGroupEdit () override;
	// IComponentHandler3
	Steinberg::Vst::IContextMenu* PLUGIN_API createContextMenu (Steinberg::IPlugView* plugView,
	                                                          const ParamID* paramID) override;

	struct MenuRequest
	{
		Steinberg::IPlugView* view;
		bool hasParam;
		ParamID param;
		Steinberg::IPtr<RecordingContextMenu> menu; // null when refused
	};
	bool offerContextMenus = false;
	bool menusRefused = false;
	std::function<void (RecordingContextMenu& menu)> contextMenuPopup;
	std::vector<MenuRequest> menuRequests;

	tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) override;
	uint32 PLUGIN_API addRef () override { return ++refs_; }
	uint32 PLUGIN_API release () override { return --refs_; }

private:
	void record (const HandlerCall& call);

	mutable std::mutex mutex_;
	std::vector<HandlerCall> calls_;
	ComponentHandlerListener* listener_ = nullptr;
	std::atomic<uint32> refs_ {1};
};

//------------------------------------------------------------------------
// The context passed to initialize (): the SDK's host application object
// with our name, also answering queries for IPlugInterfaceSupport.
class HostContext : public Steinberg::Vst::HostApplication
{
public:
	tresult PLUGIN_API getName (Steinberg::Vst::String128 name) override;
	tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) override;
};

} // namespace Host
} // namespace Tarno
