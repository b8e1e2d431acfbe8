// Standard MIDI File (SMF) reader: formats 0 and 1, PPQ or SMPTE time
// division, set-tempo map, running status. The result is one list of channel
// events from all tracks, sorted by time, each with its time in seconds.
// System exclusive and meta events other than set-tempo are skipped.
//
// Malformed input (truncated file, chunk lengths larger than the data,
// over-long variable-length quantities, data bytes without a status) is
// refused with a message; the reader never reads outside the given bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Tarno {
namespace Host {
namespace Midi {

enum class EventType : uint8_t
{
	NoteOff,         // data1 = key, data2 = release velocity
	NoteOn,          // data1 = key, data2 = velocity (never 0: see below)
	PolyPressure,    // data1 = key, data2 = pressure
	ControlChange,   // data1 = controller, data2 = value
	ProgramChange,   // data1 = program
	ChannelPressure, // data1 = pressure
	PitchBend,       // data1 = LSB, data2 = MSB; see pitchBendValue ()
};

// A note-on with velocity 0 is stored as a NoteOff with this release
// velocity (the MIDI convention for "no release velocity").
constexpr uint8_t kDefaultReleaseVelocity = 64;

struct Event
{
	double seconds = 0.0;      // from the start of the file
	double quarterNotes = 0.0; // musical position (PPQ files; SMPTE files: seconds * 2)
	uint64_t tick = 0;         // absolute tick in the file's time division
	uint16_t track = 0;        // index of the MTrk chunk it came from
	EventType type = EventType::NoteOff;
	uint8_t channel = 0; // 0..15
	uint8_t data1 = 0;
	uint8_t data2 = 0;

	// 14-bit pitch bend value, 0..16383, centre 8192.
	int pitchBendValue () const { return data1 | (data2 << 7); }
};

struct TempoPoint
{
	uint64_t tick = 0;
	double seconds = 0.0;
	uint32_t microsPerQuarter = 500000;
};

struct File
{
	int format = 0;
	int trackCount = 0;
	// PPQ files: ticks per quarter note. SMPTE files: 0 (see smpteFramesPerSecond).
	int ticksPerQuarter = 0;
	// SMPTE files: frames per second (29.97 for the drop-frame code) and ticks per frame.
	double smpteFramesPerSecond = 0.0;
	int smpteTicksPerFrame = 0;

	std::vector<Event> events;     // sorted by tick; equal ticks keep track, then file order
	std::vector<TempoPoint> tempo; // first entry at tick 0 (default 120 BPM unless set)
	double endSeconds = 0.0;       // latest end-of-track (or last event) over all tracks
	size_t skippedEvents = 0;      // sysex and meta events other than set-tempo

	// Tempo (BPM) in force at a time; 120 for SMPTE files.
	double tempoAt (double seconds) const;
	// Musical position in quarter notes at a time.
	double quarterNotesAt (double seconds) const;
	// Time of the last channel event (0 if there is none).
	double lastEventSeconds () const { return events.empty () ? 0.0 : events.back ().seconds; }
};

// Largest value a variable-length quantity may hold (four bytes).
constexpr uint32_t kMaxVariableLength = 0x0FFFFFFF;

// Reads one variable-length quantity from data[pos..end). On success stores
// it in value, advances pos and returns true. Returns false (pos unchanged)
// when the quantity runs past end or is longer than four bytes.
bool readVariableLength (const uint8_t* data, size_t end, size_t& pos, uint32_t& value);

// Parses a whole file image. On failure returns false with a message in error
// and out may be partly filled.
bool parse (const uint8_t* data, size_t size, File& out, std::string& error);

// Reads and parses a file from disk.
bool readFile (const std::string& path, File& out, std::string& error);

} // namespace Midi
} // namespace Host
} // namespace Tarno
