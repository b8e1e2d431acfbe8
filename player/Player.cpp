#include "player/Player.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "public.sdk/source/common/memorystream.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace Tarno {
namespace Standalone {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
// How long the main thread sleeps between looks at a block in progress.
constexpr auto kPauseLook = std::chrono::microseconds (200);

} // namespace

bool parseMidi (const uint8_t* data, size_t size, Host::Midi::Event& out)
{
	using Host::Midi::EventType;
	if (data == nullptr || size < 2 || data[0] < 0x80 || data[0] >= 0xF0)
		return false;
	const uint8_t status = data[0] & 0xF0;
	const bool twoDataBytes = status != 0xC0 && status != 0xD0;
	if ((twoDataBytes && size < 3) || data[1] > 127 || (twoDataBytes && data[2] > 127))
		return false;
	Host::Midi::Event e;
	e.channel = data[0] & 0x0F;
	e.data1 = data[1];
	e.data2 = twoDataBytes ? data[2] : 0;
	switch (status)
	{
		case 0x80: e.type = EventType::NoteOff; break;
		case 0x90:
			e.type = e.data2 == 0 ? EventType::NoteOff : EventType::NoteOn;
			if (e.data2 == 0)
				e.data2 = Host::Midi::kDefaultReleaseVelocity;
			break;
		case 0xA0: e.type = EventType::PolyPressure; break;
		case 0xB0: e.type = EventType::ControlChange; break;
		case 0xC0: e.type = EventType::ProgramChange; break;
		case 0xD0: e.type = EventType::ChannelPressure; break;
		default: e.type = EventType::PitchBend; break;
	}
	out = e;
	return true;
}

Player::Player () = default;

Player::~Player ()
{
	stop ();
	instance_.destroy ();
}

bool Player::open (const std::string& bundlePath, std::string& error)
{
	module_ = Host::Module::load (bundlePath, error);
	if (!module_)
		return false;
	class_ = module_->instrumentClass (error);
	if (class_ == nullptr)
		return false;
	if (instance_.create (*module_, *class_, error) != kResultOk)
	{
		error = "cannot create '" + class_->name + "': " + error;
		return false;
	}
	// The window, the presets and the saved state all go through the
	// controller: a module without one cannot be played here.
	if (instance_.controller () == nullptr)
	{
		error = "'" + class_->name + "' has no edit controller, which the player needs for its window and state";
		instance_.destroy ();
		return false;
	}
	instance_.setRestartHandler ([this] (int32 flags) { onRestartComponent (flags); });
	if (instance_.getState (defaultState_, error) != kResultOk)
		return false;
	controllerState (defaultControllerState_);
	return true;
}

void Player::controllerState (std::vector<uint8_t>& out)
{
	out.clear ();
	IEditController* controller = instance_.controller ();
	if (controller == nullptr || instance_.controllerIsComponent ())
		return;
	IPtr<MemoryStream> stream = owned (new MemoryStream ());
	if (controller->getState (stream) == kResultOk && stream->getData ())
		out.assign (stream->getData (), stream->getData () + stream->getSize ());
}

bool Player::resetToDefaults (std::string& error)
{
	pause ();
	bool ok = instance_.setState (defaultState_, error) == kResultOk;
	IEditController* controller = instance_.controller ();
	if (ok && controller && !defaultControllerState_.empty ())
	{
		IPtr<MemoryStream> stream = owned (new MemoryStream ());
		int32 written = 0;
		stream->write (defaultControllerState_.data (), int32 (defaultControllerState_.size ()), &written);
		stream->seek (0, IBStream::kIBSeekSet, nullptr);
		ok = controller->setState (stream) == kResultOk;
		if (!ok)
			error = "the controller refused its default state";
	}
	midi_.releaseAllKeys ();
	resume ();
	return ok;
}

bool Player::start (double sampleRate, std::string& error)
{
	if (started_)
		return true;
	Host::ProcessOptions options;
	options.sampleRate = sampleRate;
	options.maxBlockSize = kMaxBlockSize;
	options.use64Bit = false;
	options.processMode = kRealtime;
	if (instance_.setupProcessing (options, error) != kResultOk || instance_.startProcessing (error) != kResultOk)
		return false;
	readMidiAssignments ();
	sampleRate_ = sampleRate;
	started_ = true;
	resume ();
	return true;
}

void Player::stop ()
{
	if (!started_)
		return;
	pause ();
	instance_.stopProcessing ();
	started_ = false;
	--pauseDepth_;
}

bool Player::changeSampleRate (double sampleRate, std::string& error)
{
	if (started_ && sampleRate == sampleRate_)
		return true;
	stop ();
	return start (sampleRate, error);
}

void Player::pause ()
{
	if (pauseDepth_++ > 0)
		return;
	enabled_.store (false);
	// The audio thread acknowledges by leaving the block it is in; every
	// later call sees enabled_ false and touches nothing. What follows a
	// pause changes what a block uses, so there is no giving up: a block
	// ends in bounded time, and a backend whose thread is gone is not busy.
	while (busy_.load ())
		std::this_thread::sleep_for (kPauseLook);
}

void Player::resume ()
{
	if (pauseDepth_ > 0 && --pauseDepth_ > 0)
		return;
	if (started_)
		enabled_.store (true);
}

void Player::readMidiAssignments ()
{
	FUnknownPtr<IMidiMapping> mapping (instance_.controller ());
	midi_.readAssignments (mapping, 0);
}

//------------------------------------------------------------------------
void Player::onRestartComponent (int32 flags)
{
	if (!(flags & kMidiCCAssignmentChanged))
		return;
	pause ();
	readMidiAssignments ();
	resume ();
}

void Player::idle ()
{
	instance_.deliverReportedValues ();
	// The handler keeps a record of its calls: not needed here.
	instance_.componentHandler ().clear ();
}

bool Player::queueNote (int key, int velocity)
{
	if (key < 0 || key > 127)
		return false;
	MidiMessage m;
	m.bytes[0] = velocity > 0 ? kNoteOn : kNoteOff;
	m.bytes[1] = uint8_t (key);
	m.bytes[2] = uint8_t (velocity > 0 ? std::min (velocity, 127) : 0);
	m.size = 3;
	return keyboard_.push (m);
}

bool Player::queueMidi (const MidiMessage& message)
{
	return external_.push (message);
}

bool Player::loadPreset (const std::string& path, std::string& error)
{
	pause ();
	const bool ok = instance_.loadPreset (path, error);
	// Notes held before belong to the old sound.
	midi_.releaseAllKeys ();
	resume ();
	return ok;
}

bool Player::savePreset (const std::string& path, std::string& error)
{
	// getState runs on the main thread while the processor plays, as in a
	// DAW; the processor answers it from the parameter values it holds.
	return instance_.savePreset (path, error);
}

//------------------------------------------------------------------------
void Player::process (float* left, float* right, int32 frames, MidiSource* midi)
{
	busy_.store (true);
	if (!enabled_.load () || frames <= 0)
	{
		if (frames > 0)
		{
			std::memset (left, 0, sizeof (float) * size_t (frames));
			std::memset (right, 0, sizeof (float) * size_t (frames));
		}
		busy_.store (false);
		return;
	}
#if defined(__SSE__) || defined(__x86_64__)
	// Denormals flush to zero while the callback renders (no system call:
	// MXCSR); the thread's own setting is put back after, so that the
	// callback leaves its caller's arithmetic as it found it.
	const unsigned int callerCsr = _mm_getcsr ();
	_mm_setcsr (callerCsr | 0x8040);
#endif
	for (int32 first = 0; first < frames; first += kMaxBlockSize)
		renderChunk (left + first, right + first, std::min (kMaxBlockSize, frames - first), midi, first);
#if defined(__SSE__) || defined(__x86_64__)
	_mm_setcsr (callerCsr);
#endif
	busy_.store (false);
}

void Player::renderChunk (float* left, float* right, int32 frames, MidiSource* midi, int32 first)
{
	Host::EventList& events = instance_.events ();
	Host::ParameterChanges& changes = instance_.parameterChanges ();
	MidiMessage m;
	Host::Midi::Event e;
	while (keyboard_.pop (m))
		if (parseMidi (m.bytes, m.size, e))
			midi_.translate (e, 0, events, changes);
	while (external_.pop (m))
		if (parseMidi (m.bytes, m.size, e))
			midi_.translate (e, 0, events, changes);
	if (midi)
	{
		const uint32_t n = midi->count ();
		for (uint32_t i = 0; i < n; ++i)
		{
			const uint8_t* data = nullptr;
			size_t size = 0;
			uint32_t offset = 0;
			if (!midi->get (i, data, size, offset) || offset < uint32_t (first) ||
			    offset >= uint32_t (first + frames) || !parseMidi (data, size, e))
				continue;
			midi_.translate (e, int32 (offset) - first, events, changes);
		}
	}

	const bool ok = instance_.processBlock (frames) == kResultOk;
	const float* l = ok ? instance_.output32 (0) : nullptr;
	const float* r = ok ? instance_.output32 (1) : nullptr;
	if (l == nullptr)
	{
		std::memset (left, 0, sizeof (float) * size_t (frames));
		std::memset (right, 0, sizeof (float) * size_t (frames));
	}
	else
	{
		std::memcpy (left, l, sizeof (float) * size_t (frames));
		std::memcpy (right, r ? r : l, sizeof (float) * size_t (frames));
	}
	played_.store (played_.load (std::memory_order_relaxed) + frames, std::memory_order_relaxed);
}

} // namespace Standalone
} // namespace Tarno
