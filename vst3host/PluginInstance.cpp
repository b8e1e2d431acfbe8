#include "vst3host/PluginInstance.h"

#include "vst3host/PresetFile.h"
#include "vst3host/StringConv.h"

#include "public.sdk/source/common/memorystream.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace Tarno {
namespace Host {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// queryInterface wrapped into an owning pointer (nullptr when unsupported).
template <typename T>
IPtr<T> queryOwned (FUnknown* object)
{
	if (object == nullptr)
		return nullptr;
	void* raw = nullptr;
	if (object->queryInterface (T::iid, &raw) != kResultOk || raw == nullptr)
		return nullptr;
	return owned (static_cast<T*> (raw));
}

template <typename T>
IPtr<T> createOwned (IPluginFactory* factory, const TUID cid)
{
	void* raw = nullptr;
	if (factory->createInstance (cid, T::iid, &raw) != kResultOk || raw == nullptr)
		return nullptr;
	return owned (static_cast<T*> (raw));
}

bool isZeroId (const TUID id)
{
	for (int i = 0; i < 16; ++i)
		if (id[i] != 0)
			return false;
	return true;
}

std::string lowerAscii (std::string s)
{
	for (char& c : s)
		if (c >= 'A' && c <= 'Z')
			c = char (c - 'A' + 'a');
	return s;
}

std::string resultText (tresult r)
{
	switch (r)
	{
		case kResultOk: return "ok";
		case kResultFalse: return "kResultFalse";
		case kNoInterface: return "kNoInterface";
		case kInvalidArgument: return "kInvalidArgument";
		case kNotImplemented: return "kNotImplemented";
		case kInternalError: return "kInternalError";
		case kNotInitialized: return "kNotInitialized";
		case kOutOfMemory: return "kOutOfMemory";
		default: return "result " + std::to_string (r);
	}
}

} // namespace

PluginInstance::PluginInstance () = default;

PluginInstance::~PluginInstance () { destroy (); }

//------------------------------------------------------------------------
tresult PluginInstance::create (Module& module, const ClassInfo& audioClass, std::string& error)
{
	destroy ();
	warnings_.clear ();
	handler_.clear ();
	IPluginFactory* factory = module.factory ();
	if (factory == nullptr)
	{
		error = "the module has no plug-in factory";
		return kInvalidArgument;
	}

	component_ = createOwned<IComponent> (factory, audioClass.cid);
	if (!component_)
	{
		error = "the factory could not create '" + audioClass.name + "' as an IComponent";
		return kResultFalse;
	}
	tresult r = component_->initialize (&hostContext_);
	if (r != kResultOk)
	{
		error = "IComponent::initialize of '" + audioClass.name + "' failed (" + resultText (r) + ")";
		component_ = nullptr;
		return r;
	}
	componentInitialized_ = true;
	std::memcpy (classId_, audioClass.cid, sizeof (TUID));
	className_ = audioClass.name;
	classCategory_ = audioClass.subCategories;

	processor_ = queryOwned<IAudioProcessor> (component_);
	if (!processor_)
	{
		error = "'" + audioClass.name + "' does not implement IAudioProcessor";
		destroy ();
		return kNoInterface;
	}

	r = createController (module, error);
	if (r != kResultOk)
	{
		destroy ();
		return r;
	}
	return kResultOk;
}

tresult PluginInstance::createController (Module& module, std::string& error)
{
	TUID controllerId = {};
	if (component_->getControllerClassId (controllerId) == kResultOk && !isZeroId (controllerId))
	{
		controller_ = createOwned<IEditController> (module.factory (), controllerId);
		if (!controller_)
			warn ("the controller class named by the component could not be created");
	}
	if (!controller_)
	{
		controller_ = queryOwned<IEditController> (component_);
		singleComponent_ = controller_ != nullptr;
	}
	if (!controller_)
	{
		for (const ClassInfo& c : module.classes ())
		{
			if (c.category != kVstComponentControllerClass)
				continue;
			controller_ = createOwned<IEditController> (module.factory (), c.cid);
			if (controller_)
				break;
		}
	}
	if (!controller_)
	{
		warn ("no edit controller: parameters and MIDI controllers are unavailable");
		return kResultOk;
	}

	if (!singleComponent_)
	{
		const tresult r = controller_->initialize (&hostContext_);
		if (r != kResultOk)
		{
			error = "IEditController::initialize failed (" + resultText (r) + ")";
			controller_ = nullptr;
			return r;
		}
		controllerInitialized_ = true;
	}

	handler_.setListener (this);
	if (controller_->setComponentHandler (&handler_) != kResultOk)
		warn ("the controller refused the component handler");

	if (!singleComponent_)
	{
		componentConnection_ = queryOwned<IConnectionPoint> (component_);
		controllerConnection_ = queryOwned<IConnectionPoint> (controller_);
		if (componentConnection_ && controllerConnection_)
		{
			componentConnection_->connect (controllerConnection_);
			controllerConnection_->connect (componentConnection_);
			connected_ = true;
		}
		else
		{
			componentConnection_ = nullptr;
			controllerConnection_ = nullptr;
		}
	}

	std::string syncError;
	if (syncControllerState (syncError) != kResultOk)
		warn (syncError);

	midiMapping_ = queryOwned<IMidiMapping> (controller_);
	midi_.readAssignments (midiMapping_, 0);
	return kResultOk;
}

void PluginInstance::destroy ()
{
	stopProcessing ();
	if (connected_)
	{
		componentConnection_->disconnect (controllerConnection_);
		controllerConnection_->disconnect (componentConnection_);
		connected_ = false;
	}
	componentConnection_ = nullptr;
	controllerConnection_ = nullptr;
	midiMapping_ = nullptr;
	if (controller_)
	{
		controller_->setComponentHandler (nullptr);
		if (controllerInitialized_)
			controller_->terminate ();
	}
	handler_.setListener (nullptr);
	// The menus the plug-in was given hold its menu targets: they go while
	// the plug-in's code is still loaded.
	handler_.menuRequests.clear ();
	controllerInitialized_ = false;
	controller_ = nullptr;
	singleComponent_ = false;
	processor_ = nullptr;
	if (component_ && componentInitialized_)
		component_->terminate ();
	componentInitialized_ = false;
	component_ = nullptr;

	setUp_ = false;
	eventInputs_ = 0;
	inputBuses_.clear ();
	outputBuses_.clear ();
	inputBuffers_.clear ();
	outputBuffers_.clear ();
	inputEvents_.clear ();
	outputEvents_.clear ();
	inputChanges_.clear ();
	outputChanges_.clear ();
	midi_.readAssignments (nullptr);
	midi_.releaseAllKeys ();
	samplePosition_ = 0;
	// Nothing processes now: what is still queued belongs to no block.
	PendingValue v;
	while (pending_.pop (v) || reported_.pop (v))
	{
	}
}

//------------------------------------------------------------------------
tresult PluginInstance::syncControllerState (std::string& error)
{
	if (!controller_ || singleComponent_)
		return kResultOk;
	IPtr<MemoryStream> stream = owned (new MemoryStream ());
	tresult r = component_->getState (stream);
	if (r != kResultOk)
	{
		error = "IComponent::getState failed (" + resultText (r) + "); the controller did not get the state";
		return r;
	}
	stream->seek (0, IBStream::kIBSeekSet, nullptr);
	r = controller_->setComponentState (stream);
	if (r != kResultOk)
	{
		error = "IEditController::setComponentState failed (" + resultText (r) + ")";
		return r;
	}
	return kResultOk;
}

tresult PluginInstance::getState (std::vector<uint8_t>& blob, std::string& error)
{
	if (!component_)
	{
		error = "no plug-in instance";
		return kNotInitialized;
	}
	IPtr<MemoryStream> stream = owned (new MemoryStream ());
	const tresult r = component_->getState (stream);
	if (r != kResultOk)
	{
		error = "IComponent::getState failed (" + resultText (r) + ")";
		return r;
	}
	const char* data = stream->getData ();
	const TSize size = stream->getSize ();
	blob.assign (data, data + (data ? size : 0));
	return kResultOk;
}

tresult PluginInstance::setState (const std::vector<uint8_t>& blob, std::string& error)
{
	if (!component_)
	{
		error = "no plug-in instance";
		return kNotInitialized;
	}
	if (blob.size () > size_t (std::numeric_limits<int32>::max ()))
	{
		error = "state too large";
		return kInvalidArgument;
	}
	IPtr<MemoryStream> stream = owned (new MemoryStream ());
	int32 written = 0;
	if (!blob.empty ())
		stream->write (const_cast<uint8_t*> (blob.data ()), int32 (blob.size ()), &written);
	if (size_t (written) != blob.size ())
	{
		error = "out of memory while preparing the state";
		return kOutOfMemory;
	}
	stream->seek (0, IBStream::kIBSeekSet, nullptr);
	const tresult r = component_->setState (stream);
	if (r != kResultOk)
	{
		error = "IComponent::setState refused the state (" + resultText (r) + ")";
		return r;
	}
	return syncControllerState (error);
}

bool PluginInstance::loadPreset (const std::string& path, std::string& error)
{
	if (!component_)
	{
		error = path + ": there is no plug-in instance to load it into";
		return false;
	}
	PresetContents contents;
	if (!readPresetFile (path, classId_, contents, error))
		return false;
	if (!applyPresetContents (component_, controller_, singleComponent_, contents, error))
	{
		error = path + ": " + error;
		return false;
	}
	return true;
}

bool PluginInstance::savePreset (const std::string& path, std::string& error)
{
	PresetContents contents;
	std::string reason;
	if (getState (contents.componentState, reason) != kResultOk)
	{
		error = path + ": " + reason;
		return false;
	}
	if (controller_)
	{
		IPtr<MemoryStream> stream = owned (new MemoryStream ());
		const tresult r = controller_->getState (stream);
		if (r != kResultOk)
		{
			error = path + ": IEditController::getState failed (" + resultText (r) + ")";
			return false;
		}
		const char* data = stream->getData ();
		contents.controllerState.assign (data, data + (data ? stream->getSize () : 0));
	}
	// The preset is named after its file, without folders and extension.
	std::string name = path.substr (path.find_last_of ("/\\") + 1);
	const size_t dot = name.rfind ('.');
	if (dot != std::string::npos && dot > 0)
		name.erase (dot);
	return writePresetFile (path, classId_, contents, presetMetaInfo (name, className_, classCategory_), error);
}

//------------------------------------------------------------------------
std::vector<ParameterDescription> PluginInstance::parameters () const
{
	std::vector<ParameterDescription> list;
	if (!controller_)
		return list;
	const int32 count = controller_->getParameterCount ();
	for (int32 i = 0; i < count; ++i)
	{
		ParameterInfo info {};
		if (controller_->getParameterInfo (i, info) != kResultOk)
			continue;
		ParameterDescription d;
		d.id = info.id;
		d.title = toUtf8 (info.title, 128);
		d.shortTitle = toUtf8 (info.shortTitle, 128);
		d.units = toUtf8 (info.units, 128);
		d.stepCount = info.stepCount;
		d.defaultNormalized = info.defaultNormalizedValue;
		d.unitId = info.unitId;
		d.flags = info.flags;
		list.push_back (d);
	}
	return list;
}

bool PluginInstance::findParameter (const std::string& title, ParameterDescription& out) const
{
	const std::vector<ParameterDescription> list = parameters ();
	for (const ParameterDescription& d : list)
	{
		if (d.title == title)
		{
			out = d;
			return true;
		}
	}
	const std::string wanted = lowerAscii (title);
	for (const ParameterDescription& d : list)
	{
		if (lowerAscii (d.title) == wanted)
		{
			out = d;
			return true;
		}
	}
	return false;
}

std::string PluginInstance::parameterText (ParamID id, ParamValue normalized) const
{
	if (!controller_)
		return std::string ();
	String128 text {};
	if (controller_->getParamStringByValue (id, normalized, text) != kResultOk)
		return std::string ();
	return toUtf8 (text, 128);
}

tresult PluginInstance::setParameterFromText (const std::string& title, const std::string& text,
                                              std::string& shownValue, std::string& error)
{
	if (!controller_)
	{
		error = "the plug-in has no edit controller";
		return kNotInitialized;
	}
	ParameterDescription d;
	if (!findParameter (title, d))
	{
		error = "no parameter named '" + title + "'; available:";
		for (const ParameterDescription& p : parameters ())
			if (!(p.flags & ParameterInfo::kIsHidden))
				error += " '" + p.title + "'";
		return kInvalidArgument;
	}
	if (d.flags & (ParameterInfo::kIsReadOnly | ParameterInfo::kIsHidden))
	{
		error = "parameter '" + d.title + "' is read-only or hidden";
		return kInvalidArgument;
	}
	String128 text16 {};
	if (!fromUtf8 (text, text16, 128))
	{
		error = "value text '" + text + "' is not valid UTF-8 or too long";
		return kInvalidArgument;
	}
	ParamValue value = 0.0;
	if (controller_->getParamValueByString (d.id, text16, value) != kResultOk)
	{
		error = "the plug-in did not accept '" + text + "' as a value of '" + d.title + "'";
		return kInvalidArgument;
	}
	if (!(value >= 0.0)) // also catches NaN
		value = 0.0;
	if (value > 1.0)
		value = 1.0;
	const tresult r = setParameter (d.id, value);
	if (r != kResultOk)
	{
		error = "setting '" + d.title + "' failed (" + resultText (r) + ")";
		return r;
	}
	shownValue = parameterText (d.id, controller_->getParamNormalized (d.id));
	// Units are added unless the controller's text carries them already.
	const bool hasUnits = shownValue.size () >= d.units.size () &&
	                      shownValue.compare (shownValue.size () - d.units.size (), d.units.size (),
	                                          d.units) == 0;
	if (!d.units.empty () && !hasUnits)
		shownValue += " " + d.units;
	return kResultOk;
}

tresult PluginInstance::setParameter (ParamID id, ParamValue normalized)
{
	if (!controller_)
		return kNotInitialized;
	const tresult r = controller_->setParamNormalized (id, normalized);
	if (r != kResultOk)
		return r;
	queueForProcessor (id, normalized);
	return kResultOk;
}

void PluginInstance::queueForProcessor (ParamID id, ParamValue value)
{
	if (!pending_.push ({id, value}))
		droppedPending_.fetch_add (1, std::memory_order_relaxed);
}

void PluginInstance::onPerformEdit (ParamID id, ParamValue value)
{
	// What the controller edits must reach the processor, as in a DAW.
	queueForProcessor (id, value);
}

void PluginInstance::onRestartComponent (int32 flags)
{
	if ((flags & kMidiCCAssignmentChanged) && controller_)
		midi_.readAssignments (midiMapping_, 0);
	if (restartHandler_)
		restartHandler_ (flags);
}

//------------------------------------------------------------------------
void PluginInstance::allocateBuses (BusDirection direction, std::vector<Bus>& buses,
                                    std::vector<AudioBusBuffers>& buffers)
{
	const int32 count = std::max<int32> (0, component_->getBusCount (kAudio, direction));
	buses.assign (size_t (count), Bus ());
	buffers.assign (size_t (count), AudioBusBuffers ());
	const size_t frames = size_t (options_.maxBlockSize);
	for (int32 b = 0; b < count; ++b)
	{
		BusInfo info {};
		int32 channels = 0;
		if (component_->getBusInfo (kAudio, direction, b, info) == kResultOk)
			channels = std::max<int32> (0, info.channelCount);
		Bus& bus = buses[size_t (b)];
		if (options_.use64Bit)
		{
			bus.data64.assign (size_t (channels), std::vector<double> (frames, 0.0));
			for (auto& ch : bus.data64)
				bus.pointers64.push_back (ch.data ());
		}
		else
		{
			bus.data32.assign (size_t (channels), std::vector<float> (frames, 0.f));
			for (auto& ch : bus.data32)
				bus.pointers32.push_back (ch.data ());
		}
		AudioBusBuffers& abb = buffers[size_t (b)];
		abb.numChannels = channels;
		abb.silenceFlags = 0;
		if (options_.use64Bit)
			abb.channelBuffers64 = channels ? bus.pointers64.data () : nullptr;
		else
			abb.channelBuffers32 = channels ? bus.pointers32.data () : nullptr;
	}
}

tresult PluginInstance::setupProcessing (const ProcessOptions& options, std::string& error)
{
	if (!processor_)
	{
		error = "no plug-in instance";
		return kNotInitialized;
	}
	if (active_)
	{
		error = "processing cannot be set up while the plug-in is active";
		return kResultFalse;
	}
	if (!(options.sampleRate > 0.0) || options.maxBlockSize < 1)
	{
		error = "invalid sample rate or block size";
		return kInvalidArgument;
	}
	const int32 sampleSize = options.use64Bit ? kSample64 : kSample32;
	if (processor_->canProcessSampleSize (sampleSize) != kResultTrue)
	{
		error = std::string ("the plug-in does not support ") +
		        (options.use64Bit ? "64-bit" : "32-bit") + " processing";
		return kNotImplemented;
	}
	ProcessSetup setup {options.processMode, sampleSize, options.maxBlockSize, options.sampleRate};
	const tresult r = processor_->setupProcessing (setup);
	if (r != kResultOk)
	{
		error = "IAudioProcessor::setupProcessing failed (" + resultText (r) + ")";
		return r;
	}
	options_ = options;
	allocateBuses (kInput, inputBuses_, inputBuffers_);
	allocateBuses (kOutput, outputBuses_, outputBuffers_);
	eventInputs_ = std::max<int32> (0, component_->getBusCount (kEvent, kInput));
	if (outputBuffers_.empty ())
	{
		error = "the plug-in has no audio output bus";
		return kResultFalse;
	}
	setUp_ = true;
	return kResultOk;
}

tresult PluginInstance::startProcessing (std::string& error)
{
	if (!setUp_)
	{
		error = "processing has not been set up";
		return kNotInitialized;
	}
	if (processing_)
		return kResultOk;
	if (eventInputs_ > 0)
	{
		if (component_->activateBus (kEvent, kInput, 0, true) == kResultOk)
			eventBusActivated_ = true;
		else
			warn ("activating event input bus 0 failed");
	}
	tresult r = component_->activateBus (kAudio, kOutput, 0, true);
	if (r != kResultOk)
	{
		error = "activating audio output bus 0 failed (" + resultText (r) + ")";
		stopProcessing ();
		return r;
	}
	audioBusActivated_ = true;
	r = component_->setActive (true);
	if (r != kResultOk)
	{
		error = "IComponent::setActive (true) failed (" + resultText (r) + ")";
		stopProcessing ();
		return r;
	}
	active_ = true;
	r = processor_->setProcessing (true);
	// kNotImplemented: the plug-in does not care about this notification.
	if (r != kResultOk && r != kNotImplemented)
	{
		error = "IAudioProcessor::setProcessing (true) failed (" + resultText (r) + ")";
		stopProcessing ();
		return r;
	}
	processing_ = true;
	samplePosition_ = 0;
	return kResultOk;
}

void PluginInstance::stopProcessing ()
{
	if (processing_)
	{
		processor_->setProcessing (false);
		processing_ = false;
	}
	if (active_)
	{
		component_->setActive (false);
		active_ = false;
	}
	if (audioBusActivated_)
	{
		component_->activateBus (kAudio, kOutput, 0, false);
		audioBusActivated_ = false;
	}
	if (eventBusActivated_)
	{
		component_->activateBus (kEvent, kInput, 0, false);
		eventBusActivated_ = false;
	}
}

tresult PluginInstance::processBlock (int32 numSamples, ProcessContext* context)
{
	if (!processing_)
		return kNotInitialized;
	if (numSamples < 0 || numSamples > options_.maxBlockSize)
		return kInvalidArgument;

	PendingValue v;
	while (pending_.pop (v))
		if (!inputChanges_.add (v.id, 0, v.value))
			droppedPending_.fetch_add (1, std::memory_order_relaxed);

	for (size_t b = 0; b < inputBuses_.size (); ++b)
	{
		for (auto& ch : inputBuses_[b].data32)
			std::fill (ch.begin (), ch.begin () + numSamples, 0.f);
		for (auto& ch : inputBuses_[b].data64)
			std::fill (ch.begin (), ch.begin () + numSamples, 0.0);
		const int32 n = inputBuffers_[b].numChannels;
		inputBuffers_[b].silenceFlags = n >= 64 ? ~uint64 (0) : (uint64 (1) << n) - 1;
	}
	for (size_t b = 0; b < outputBuses_.size (); ++b)
	{
		for (auto& ch : outputBuses_[b].data32)
			std::fill (ch.begin (), ch.begin () + numSamples, 0.f);
		for (auto& ch : outputBuses_[b].data64)
			std::fill (ch.begin (), ch.begin () + numSamples, 0.0);
		outputBuffers_[b].silenceFlags = 0;
	}

	ProcessContext minimal {};
	if (context == nullptr)
	{
		minimal.state = ProcessContext::kPlaying;
		minimal.sampleRate = options_.sampleRate;
		minimal.projectTimeSamples = samplePosition_;
		context = &minimal;
	}

	ProcessData data;
	data.processMode = options_.processMode;
	data.symbolicSampleSize = options_.use64Bit ? kSample64 : kSample32;
	data.numSamples = numSamples;
	data.numInputs = int32 (inputBuffers_.size ());
	data.numOutputs = int32 (outputBuffers_.size ());
	data.inputs = inputBuffers_.empty () ? nullptr : inputBuffers_.data ();
	data.outputs = outputBuffers_.data ();
	data.inputParameterChanges = &inputChanges_;
	data.outputParameterChanges = &outputChanges_;
	data.inputEvents = &inputEvents_;
	data.outputEvents = &outputEvents_;
	data.processContext = context;

	const tresult r = processor_->process (data);

	// Values the processor reports (e.g. meters): the last of each block.
	for (int32 i = 0; i < outputChanges_.getParameterCount (); ++i)
	{
		IParamValueQueue* q = outputChanges_.getParameterData (i);
		int32 offset = 0;
		ParamValue value = 0.0;
		if (q && q->getPointCount () > 0 && q->getPoint (q->getPointCount () - 1, offset, value) == kResultOk &&
		    !reported_.push ({q->getParameterId (), value}))
			droppedPending_.fetch_add (1, std::memory_order_relaxed);
	}
	inputChanges_.clear ();
	outputChanges_.clear ();
	inputEvents_.clear ();
	outputEvents_.clear ();
	samplePosition_ += numSamples;
	return r;
}

void PluginInstance::deliverReportedValues ()
{
	PendingValue v;
	while (reported_.pop (v))
		if (controller_)
			controller_->setParamNormalized (v.id, v.value);
}

tresult PluginInstance::process (int32 numSamples, ProcessContext* context)
{
	const tresult r = processBlock (numSamples, context);
	deliverReportedValues ();
	return r;
}

int32 PluginInstance::outputChannelCount () const
{
	return outputBuffers_.empty () ? 0 : outputBuffers_.front ().numChannels;
}

const float* PluginInstance::output32 (int32 channel) const
{
	if (outputBuses_.empty () || channel < 0 ||
	    size_t (channel) >= outputBuses_.front ().data32.size ())
		return nullptr;
	return outputBuses_.front ().data32[size_t (channel)].data ();
}

const double* PluginInstance::output64 (int32 channel) const
{
	if (outputBuses_.empty () || channel < 0 ||
	    size_t (channel) >= outputBuses_.front ().data64.size ())
		return nullptr;
	return outputBuses_.front ().data64[size_t (channel)].data ();
}

} // namespace Host
} // namespace Tarno
