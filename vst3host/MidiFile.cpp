#include "vst3host/MidiFile.h"

#include "vst3host/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace Tarno {
namespace Host {
namespace Midi {

namespace {

// Files larger than this are refused before reading (no real SMF comes close).
constexpr long kMaxFileBytes = 256L * 1024 * 1024;

bool fail (std::string& error, const char* format, ...)
{
	char text[256];
	va_list args;
	va_start (args, format);
	std::vsnprintf (text, sizeof (text), format, args);
	va_end (args);
	error = text;
	return false;
}

uint32_t readBE32 (const uint8_t* p)
{
	return (uint32_t (p[0]) << 24) | (uint32_t (p[1]) << 16) | (uint32_t (p[2]) << 8) | p[3];
}

uint16_t readBE16 (const uint8_t* p) { return uint16_t ((p[0] << 8) | p[1]); }

// Chunk identifiers in messages: non-printable bytes become '?'.
std::string chunkName (const uint8_t* p)
{
	std::string name;
	for (int i = 0; i < 4; ++i)
		name += (p[i] >= 0x20 && p[i] < 0x7F) ? char (p[i]) : '?';
	return name;
}

struct RawTempo
{
	uint64_t tick;
	uint32_t microsPerQuarter;
};

struct TrackResult
{
	uint64_t endTick = 0;
};

// Parses the events of one MTrk chunk, data[begin..end). Channel events go to
// events (ticks set, seconds filled in later), set-tempo events to tempos.
bool parseTrack (const uint8_t* data, size_t begin, size_t end, uint16_t track,
                 std::vector<Event>& events, std::vector<RawTempo>& tempos, TrackResult& result,
                 size_t& skipped, std::string& error)
{
	size_t pos = begin;
	uint64_t tick = 0;
	uint8_t running = 0; // 0: no running status yet

	while (pos < end)
	{
		uint32_t delta = 0;
		if (!readVariableLength (data, end, pos, delta))
			return fail (error, "track %u: invalid or truncated delta time at byte %zu", unsigned (track),
			             pos);
		tick += delta;
		if (pos >= end)
			return fail (error, "track %u: truncated event at byte %zu", unsigned (track), pos);

		uint8_t status = data[pos];
		if (status & 0x80)
			++pos;
		else if (running != 0)
			status = running; // running status: this byte is the first data byte
		else
			return fail (error, "track %u: data byte 0x%02X without a status byte at byte %zu",
			             unsigned (track), unsigned (status), pos);

		if (status < 0xF0)
		{
			// Channel message. Running status is kept across meta and sysex
			// events too, as lenient players do: some files rely on it.
			running = status;
			const size_t count = ((status & 0xE0) == 0xC0) ? 1 : 2; // Cx and Dx carry one byte
			if (end - pos < count)
				return fail (error, "track %u: truncated channel message at byte %zu", unsigned (track),
				             pos);
			const uint8_t d1 = data[pos];
			const uint8_t d2 = count == 2 ? data[pos + 1] : 0;
			if ((d1 | d2) & 0x80)
				return fail (error, "track %u: status byte inside a channel message at byte %zu",
				             unsigned (track), pos);
			pos += count;

			Event e;
			e.tick = tick;
			e.track = track;
			e.channel = status & 0x0F;
			e.data1 = d1;
			e.data2 = d2;
			switch (status & 0xF0)
			{
				case 0x80: e.type = EventType::NoteOff; break;
				case 0x90:
					if (d2 == 0)
					{
						e.type = EventType::NoteOff;
						e.data2 = kDefaultReleaseVelocity;
					}
					else
						e.type = EventType::NoteOn;
					break;
				case 0xA0: e.type = EventType::PolyPressure; break;
				case 0xB0: e.type = EventType::ControlChange; break;
				case 0xC0: e.type = EventType::ProgramChange; break;
				case 0xD0: e.type = EventType::ChannelPressure; break;
				default: e.type = EventType::PitchBend; break;
			}
			events.push_back (e);
		}
		else if (status == 0xF0 || status == 0xF7)
		{
			uint32_t length = 0;
			if (!readVariableLength (data, end, pos, length))
				return fail (error, "track %u: invalid sysex length at byte %zu", unsigned (track), pos);
			if (length > end - pos)
				return fail (error, "track %u: sysex of %u bytes runs past the end of the track",
				             unsigned (track), unsigned (length));
			pos += length;
			++skipped;
		}
		else if (status == 0xFF)
		{
			if (pos >= end)
				return fail (error, "track %u: truncated meta event at byte %zu", unsigned (track), pos);
			const uint8_t type = data[pos++];
			uint32_t length = 0;
			if (!readVariableLength (data, end, pos, length))
				return fail (error, "track %u: invalid meta event length at byte %zu", unsigned (track),
				             pos);
			if (length > end - pos)
				return fail (error, "track %u: meta event of %u bytes runs past the end of the track",
				             unsigned (track), unsigned (length));
			if (type == 0x2F) // end of track: whatever follows in the chunk is ignored
			{
				result.endTick = tick;
				return true;
			}
			if (type == 0x51 && length >= 3)
			{
				const uint32_t us = (uint32_t (data[pos]) << 16) | (uint32_t (data[pos + 1]) << 8) |
				                    data[pos + 2];
				if (us > 0) // a zero tempo would stop time; ignore it
					tempos.push_back ({tick, us});
				else
					++skipped;
			}
			else
				++skipped;
			pos += length;
		}
		else
			return fail (error, "track %u: unexpected status byte 0x%02X at byte %zu", unsigned (track),
			             unsigned (status), pos - 1);
	}
	// No end-of-track event: accepted when the chunk ends on an event boundary.
	result.endTick = tick;
	return true;
}

} // namespace

bool readVariableLength (const uint8_t* data, size_t end, size_t& pos, uint32_t& value)
{
	uint32_t v = 0;
	size_t p = pos;
	for (int i = 0; i < 4; ++i)
	{
		if (p >= end)
			return false;
		const uint8_t b = data[p++];
		v = (v << 7) | (b & 0x7F);
		if (!(b & 0x80))
		{
			value = v;
			pos = p;
			return true;
		}
	}
	return false; // a fifth byte would be needed
}

double File::tempoAt (double seconds) const
{
	if (ticksPerQuarter <= 0 || tempo.empty ())
		return 120.0;
	auto it = std::upper_bound (tempo.begin (), tempo.end (), seconds,
	                            [] (double s, const TempoPoint& p) { return s < p.seconds; });
	const TempoPoint& p = it == tempo.begin () ? tempo.front () : *(it - 1);
	return 60.0e6 / double (p.microsPerQuarter);
}

double File::quarterNotesAt (double seconds) const
{
	if (ticksPerQuarter <= 0 || tempo.empty ())
		return seconds * 2.0;
	auto it = std::upper_bound (tempo.begin (), tempo.end (), seconds,
	                            [] (double s, const TempoPoint& p) { return s < p.seconds; });
	const TempoPoint& p = it == tempo.begin () ? tempo.front () : *(it - 1);
	return double (p.tick) / ticksPerQuarter + (seconds - p.seconds) * 1.0e6 / p.microsPerQuarter;
}

bool parse (const uint8_t* data, size_t size, File& out, std::string& error)
{
	out = File ();
	if (data == nullptr || size == 0)
		return fail (error, "empty file");
	if (size < 8 || data[0] != 'M' || data[1] != 'T' || data[2] != 'h' || data[3] != 'd')
		return fail (error, "not a Standard MIDI File (no MThd header)");
	const uint32_t headerLength = readBE32 (data + 4);
	if (headerLength < 6)
		return fail (error, "MThd header too short (%u bytes)", unsigned (headerLength));
	if (headerLength > size - 8)
		return fail (error, "file truncated inside the MThd header");

	const uint16_t format = readBE16 (data + 8);
	const uint16_t trackCount = readBE16 (data + 10);
	const uint16_t division = readBE16 (data + 12);
	if (format == 2)
		return fail (error, "format 2 (independent sequences) is not supported");
	if (format > 2)
		return fail (error, "unknown MIDI file format %u", unsigned (format));
	if (trackCount == 0)
		return fail (error, "the file declares no tracks");
	if (format == 0 && trackCount != 1)
		return fail (error, "format 0 file declares %u tracks (must be 1)", unsigned (trackCount));

	out.format = format;
	out.trackCount = trackCount;
	double secondsPerTickSmpte = 0.0;
	if (division & 0x8000)
	{
		const int fpsCode = -int (int8_t (division >> 8));
		const int ticksPerFrame = division & 0xFF;
		double fps = 0.0;
		switch (fpsCode)
		{
			case 24: fps = 24.0; break;
			case 25: fps = 25.0; break;
			case 29: fps = 30000.0 / 1001.0; break;
			case 30: fps = 30.0; break;
			default: return fail (error, "invalid SMPTE frame rate code %d", fpsCode);
		}
		if (ticksPerFrame == 0)
			return fail (error, "SMPTE time division with 0 ticks per frame");
		out.smpteFramesPerSecond = fps;
		out.smpteTicksPerFrame = ticksPerFrame;
		secondsPerTickSmpte = 1.0 / (fps * ticksPerFrame);
	}
	else
	{
		if (division == 0)
			return fail (error, "time division of 0 ticks per quarter note");
		out.ticksPerQuarter = division;
	}

	std::vector<RawTempo> tempos;
	uint64_t endTick = 0;
	size_t pos = 8 + size_t (headerLength);
	int tracksRead = 0;
	while (tracksRead < trackCount)
	{
		if (size - pos < 8)
			return fail (error, "file truncated: %d of %u tracks found", tracksRead, unsigned (trackCount));
		const uint32_t length = readBE32 (data + pos + 4);
		if (length > size - pos - 8)
			return fail (error, "chunk '%s' at byte %zu claims %u bytes but only %zu remain",
			             chunkName (data + pos).c_str (), pos, unsigned (length), size - pos - 8);
		const size_t begin = pos + 8;
		const size_t end = begin + length;
		if (data[pos] == 'M' && data[pos + 1] == 'T' && data[pos + 2] == 'r' && data[pos + 3] == 'k')
		{
			TrackResult result;
			if (!parseTrack (data, begin, end, uint16_t (tracksRead), out.events, tempos, result,
			                 out.skippedEvents, error))
				return false;
			endTick = std::max (endTick, result.endTick);
			++tracksRead;
		}
		// Chunks of other types are skipped, as the file format asks.
		pos = end;
	}

	// Merge the tracks: order by tick; equal ticks keep track order, then
	// file order (the events were appended track by track).
	std::stable_sort (out.events.begin (), out.events.end (),
	                  [] (const Event& a, const Event& b) { return a.tick < b.tick; });

	if (out.ticksPerQuarter > 0)
	{
		std::stable_sort (tempos.begin (), tempos.end (),
		                  [] (const RawTempo& a, const RawTempo& b) { return a.tick < b.tick; });
		const double ppq = out.ticksPerQuarter;
		out.tempo.push_back (TempoPoint ());
		for (const RawTempo& t : tempos)
		{
			TempoPoint& last = out.tempo.back ();
			if (t.tick == last.tick)
			{
				last.microsPerQuarter = t.microsPerQuarter; // the later one at a tick wins
				continue;
			}
			TempoPoint p;
			p.tick = t.tick;
			p.seconds = last.seconds + double (t.tick - last.tick) * last.microsPerQuarter / (1.0e6 * ppq);
			p.microsPerQuarter = t.microsPerQuarter;
			out.tempo.push_back (p);
		}
		auto secondsOf = [&out, ppq] (uint64_t tick) {
			auto it = std::upper_bound (out.tempo.begin (), out.tempo.end (), tick,
			                            [] (uint64_t t, const TempoPoint& p) { return t < p.tick; });
			const TempoPoint& p = *(it - 1); // tempo.front ().tick == 0 <= tick
			return p.seconds + double (tick - p.tick) * p.microsPerQuarter / (1.0e6 * ppq);
		};
		for (Event& e : out.events)
		{
			e.seconds = secondsOf (e.tick);
			e.quarterNotes = double (e.tick) / ppq;
		}
		out.endSeconds = secondsOf (endTick);
	}
	else
	{
		for (Event& e : out.events)
		{
			e.seconds = double (e.tick) * secondsPerTickSmpte;
			e.quarterNotes = e.seconds * 2.0;
		}
		out.endSeconds = double (endTick) * secondsPerTickSmpte;
	}
	out.endSeconds = std::max (out.endSeconds, out.lastEventSeconds ());
	return true;
}

bool readFile (const std::string& path, File& out, std::string& error)
{
	std::FILE* f = openFile (path, "rb");
	if (f == nullptr)
		return fail (error, "cannot open MIDI file '%s': %s", path.c_str (), std::strerror (errno));
	std::vector<uint8_t> bytes;
	bool ok = std::fseek (f, 0, SEEK_END) == 0;
	const long length = ok ? std::ftell (f) : -1;
	ok = ok && length >= 0 && std::fseek (f, 0, SEEK_SET) == 0;
	if (ok && length > kMaxFileBytes)
	{
		std::fclose (f);
		return fail (error, "MIDI file '%s' is too large (%ld bytes)", path.c_str (), length);
	}
	if (ok)
	{
		bytes.resize (size_t (length));
		ok = length == 0 || std::fread (bytes.data (), 1, bytes.size (), f) == bytes.size ();
	}
	std::fclose (f);
	if (!ok)
		return fail (error, "cannot read MIDI file '%s'", path.c_str ());
	if (!parse (bytes.data (), bytes.size (), out, error))
	{
		error = "'" + path + "': " + error;
		return false;
	}
	return true;
}

} // namespace Midi
} // namespace Host
} // namespace Tarno
