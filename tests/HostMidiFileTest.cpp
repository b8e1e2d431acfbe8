#include "vst3host/MidiFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

using namespace Tarno::Host::Midi;

namespace {

using Bytes = std::vector<uint8_t>;

void append (Bytes& to, const Bytes& more) { to.insert (to.end (), more.begin (), more.end ()); }

void put32 (Bytes& b, uint32_t v)
{
	for (int s = 24; s >= 0; s -= 8)
		b.push_back (uint8_t (v >> s));
}

Bytes header (uint16_t format, uint16_t tracks, uint16_t division)
{
	Bytes b = {'M', 'T', 'h', 'd'};
	put32 (b, 6);
	for (uint16_t v : {format, tracks, division})
	{
		b.push_back (uint8_t (v >> 8));
		b.push_back (uint8_t (v));
	}
	return b;
}

Bytes chunk (const char* id, const Bytes& body)
{
	Bytes b (id, id + 4);
	put32 (b, uint32_t (body.size ()));
	append (b, body);
	return b;
}

Bytes track (const Bytes& events) { return chunk ("MTrk", events); }

const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

Bytes withEnd (Bytes events)
{
	append (events, kEndOfTrack);
	return events;
}

Bytes file (uint16_t format, uint16_t division, std::initializer_list<Bytes> tracks)
{
	Bytes b = header (format, uint16_t (tracks.size ()), division);
	for (const Bytes& t : tracks)
		append (b, track (t));
	return b;
}

bool parseBytes (const Bytes& b, File& f, std::string& error) { return parse (b.data (), b.size (), f, error); }

// Parses and expects success.
File parsed (const Bytes& b)
{
	File f;
	std::string error;
	EXPECT_TRUE (parseBytes (b, f, error)) << error;
	return f;
}

// Parses and expects a refusal with a message containing `contains`.
void expectRefused (const Bytes& b, const std::string& contains)
{
	File f;
	std::string error;
	EXPECT_FALSE (parseBytes (b, f, error));
	EXPECT_NE (error.find (contains), std::string::npos) << "message: " << error;
}

} // namespace

//------------------------------------------------------------------------
TEST (HostMidiFile, FormatZeroGivesEventsWithTimesAndValues)
{
	// 96 ticks per quarter at the default 120 BPM: one tick = 1/192 s.
	const File f = parsed (file (0, 96,
	                             {withEnd ({0x00, 0x90, 60, 100,        // note on, t = 0
	                                        0x60, 0x80, 60, 30,         // note off after 96 ticks
	                                        0x30, 0xB0, 1, 64,          // mod wheel
	                                        0x00, 0xEF, 0x00, 0x40,     // pitch bend centre, ch 16
	                                        0x00, 0xE3, 0x7F, 0x7F,     // pitch bend max, ch 4
	                                        0x00, 0xC2, 5,              // program change (1 data byte)
	                                        0x00, 0xD1, 99,             // channel pressure (1 data byte)
	                                        0x00, 0xA4, 61, 77})}));   // poly pressure
	EXPECT_EQ (f.format, 0);
	EXPECT_EQ (f.trackCount, 1);
	EXPECT_EQ (f.ticksPerQuarter, 96);
	ASSERT_EQ (f.events.size (), 8u);

	EXPECT_EQ (f.events[0].type, EventType::NoteOn);
	EXPECT_EQ (f.events[0].data1, 60);
	EXPECT_EQ (f.events[0].data2, 100);
	EXPECT_DOUBLE_EQ (f.events[0].seconds, 0.0);

	EXPECT_EQ (f.events[1].type, EventType::NoteOff);
	EXPECT_EQ (f.events[1].data2, 30);
	EXPECT_DOUBLE_EQ (f.events[1].seconds, 0.5);
	EXPECT_DOUBLE_EQ (f.events[1].quarterNotes, 1.0);

	EXPECT_EQ (f.events[2].type, EventType::ControlChange);
	EXPECT_EQ (f.events[2].data1, 1);
	EXPECT_EQ (f.events[2].data2, 64);
	EXPECT_DOUBLE_EQ (f.events[2].seconds, 0.75);

	EXPECT_EQ (f.events[3].type, EventType::PitchBend);
	EXPECT_EQ (f.events[3].channel, 15);
	EXPECT_EQ (f.events[3].pitchBendValue (), 8192);
	EXPECT_EQ (f.events[4].channel, 3);
	EXPECT_EQ (f.events[4].pitchBendValue (), 16383);

	EXPECT_EQ (f.events[5].type, EventType::ProgramChange);
	EXPECT_EQ (f.events[5].channel, 2);
	EXPECT_EQ (f.events[5].data1, 5);
	EXPECT_EQ (f.events[6].type, EventType::ChannelPressure);
	EXPECT_EQ (f.events[6].data1, 99);
	EXPECT_EQ (f.events[7].type, EventType::PolyPressure);
	EXPECT_EQ (f.events[7].data2, 77);

	EXPECT_DOUBLE_EQ (f.lastEventSeconds (), 0.75);
	EXPECT_DOUBLE_EQ (f.endSeconds, 0.75);
	EXPECT_DOUBLE_EQ (f.tempoAt (0.3), 120.0);
}

TEST (HostMidiFile, FormatOneAppliesTrackZeroTempoMapToOtherTracks)
{
	// 480 ticks per quarter. Track 0: 120 BPM, then 240 BPM from tick 960
	// (= 1.0 s). Track 1: notes at ticks 480, 1440 and 2400.
	const Bytes tempoTrack = withEnd ({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,         // 500000 us
	                                   0x87, 0x40, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}); // +960: 250000 us
	const Bytes notes = withEnd ({0x83, 0x60, 0x91, 64, 90,  // +480
	                              0x87, 0x40, 0x81, 64, 0,   // +960 -> 1440
	                              0x87, 0x40, 0x9F, 67, 1}); // +960 -> 2400, channel 16
	const File f = parsed (file (1, 480, {tempoTrack, notes}));

	EXPECT_EQ (f.format, 1);
	EXPECT_EQ (f.trackCount, 2);
	ASSERT_EQ (f.tempo.size (), 2u);
	EXPECT_EQ (f.tempo[1].tick, 960u);
	EXPECT_DOUBLE_EQ (f.tempo[1].seconds, 1.0);
	EXPECT_EQ (f.tempo[1].microsPerQuarter, 250000u);

	ASSERT_EQ (f.events.size (), 3u);
	EXPECT_DOUBLE_EQ (f.events[0].seconds, 0.5);
	EXPECT_DOUBLE_EQ (f.events[1].seconds, 1.25);
	EXPECT_DOUBLE_EQ (f.events[2].seconds, 1.75);
	EXPECT_EQ (f.events[0].track, 1);
	EXPECT_EQ (f.events[2].channel, 15);
	EXPECT_DOUBLE_EQ (f.events[2].quarterNotes, 5.0);

	EXPECT_DOUBLE_EQ (f.tempoAt (0.99), 120.0);
	EXPECT_DOUBLE_EQ (f.tempoAt (1.0), 240.0);
	EXPECT_DOUBLE_EQ (f.quarterNotesAt (0.5), 1.0);
	EXPECT_DOUBLE_EQ (f.quarterNotesAt (1.5), 4.0);
	EXPECT_DOUBLE_EQ (f.endSeconds, 1.75);
}

TEST (HostMidiFile, EqualTicksKeepTrackOrderThenFileOrder)
{
	const Bytes a = withEnd ({0x10, 0xB0, 7, 1, 0x00, 0xB0, 7, 2});
	const Bytes b = withEnd ({0x10, 0xB0, 7, 3});
	const File f = parsed (file (1, 96, {b, a}));
	ASSERT_EQ (f.events.size (), 3u);
	EXPECT_EQ (f.events[0].data2, 3);
	EXPECT_EQ (f.events[0].track, 0);
	EXPECT_EQ (f.events[1].data2, 1);
	EXPECT_EQ (f.events[2].data2, 2);
}

TEST (HostMidiFile, RunningStatusAndVelocityZeroNoteOffs)
{
	const File f = parsed (file (0, 96,
	                             {withEnd ({0x00, 0x92, 60, 100,  // note on with status
	                                        0x10, 62, 90,         // running status: note on
	                                        0x10, 60, 0,          // running status, velocity 0: off
	                                        0x00, 0xFF, 0x01, 0x02, 'h', 'i', // text meta
	                                        0x10, 62, 0,          // running status kept after meta
	                                        0x00, 0xB2, 64, 127,  // new status: sustain
	                                        0x08, 64, 0})}));     // running status: sustain off
	ASSERT_EQ (f.events.size (), 6u);
	EXPECT_EQ (f.events[1].type, EventType::NoteOn);
	EXPECT_EQ (f.events[1].data1, 62);
	EXPECT_EQ (f.events[1].channel, 2);
	EXPECT_EQ (f.events[2].type, EventType::NoteOff);
	EXPECT_EQ (f.events[2].data1, 60);
	EXPECT_EQ (f.events[2].data2, kDefaultReleaseVelocity);
	EXPECT_EQ (f.events[3].type, EventType::NoteOff);
	EXPECT_EQ (f.events[3].data1, 62);
	EXPECT_EQ (f.events[5].type, EventType::ControlChange);
	EXPECT_EQ (f.events[5].data1, 64);
	EXPECT_EQ (f.events[5].data2, 0);
	EXPECT_EQ (f.skippedEvents, 1u);
}

TEST (HostMidiFile, SkipsSysexOtherMetaAndUnknownChunks)
{
	Bytes b = header (1, 2, 96);
	append (b, chunk ("XFIH", {1, 2, 3, 4, 5})); // unknown chunk before the tracks
	append (b, track (withEnd ({0x00, 0xF0, 0x03, 0x7E, 0x01, 0xF7, // sysex
	                            0x00, 0xF7, 0x01, 0x42,             // escaped sysex packet
	                            0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8, // time signature
	                            0x00, 0xFF, 0x7F, 0x00,             // sequencer meta event, empty
	                            0x00, 0x90, 60, 1})));
	append (b, track (withEnd ({0x00, 0x91, 61, 1})));
	append (b, chunk ("MTrk", {0x00, 0x90})); // beyond the declared count: not read
	const File f = parsed (b);
	ASSERT_EQ (f.events.size (), 2u);
	EXPECT_EQ (f.skippedEvents, 4u);
	EXPECT_EQ (f.events[1].channel, 1);
}

TEST (HostMidiFile, TempoEdgeCases)
{
	// Two tempos at the same tick: the later wins. A zero tempo is ignored.
	const File f = parsed (file (0, 100,
	                             {withEnd ({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, // 1 s per quarter
	                                        0x00, 0xFF, 0x51, 0x03, 0x01, 0x86, 0xA0, // 0.1 s per quarter
	                                        0x64, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x00, // zero: ignored
	                                        0x64, 0x90, 60, 1})}));
	ASSERT_EQ (f.tempo.size (), 1u);
	EXPECT_EQ (f.tempo[0].microsPerQuarter, 100000u);
	ASSERT_EQ (f.events.size (), 1u);
	EXPECT_NEAR (f.events[0].seconds, 0.2, 1e-12);
}

TEST (HostMidiFile, EndOfTrackSetsLengthAndEndsTheTrack)
{
	// End of track 192 ticks (1 s) after the last note; bytes after it are
	// ignored even though they would not parse.
	Bytes events = {0x00, 0x90, 60, 1, 0x81, 0x40, 0xFF, 0x2F, 0x00, 0xF1, 0xF1};
	const File f = parsed (file (0, 96, {events}));
	ASSERT_EQ (f.events.size (), 1u);
	EXPECT_DOUBLE_EQ (f.endSeconds, 1.0);

	// No end-of-track at all: accepted when the chunk ends between events.
	const File g = parsed (file (0, 96, {{0x00, 0x90, 60, 1, 0x60, 0x80, 60, 0}}));
	ASSERT_EQ (g.events.size (), 2u);
	EXPECT_DOUBLE_EQ (g.endSeconds, 0.5);
}

TEST (HostMidiFile, SmpteDivisionUsesFramesPerSecond)
{
	// 25 frames per second, 40 ticks per frame: one tick per millisecond.
	const uint16_t division = uint16_t ((uint8_t (-25) << 8) | 40);
	const File f = parsed (file (0, division, {withEnd ({0x83, 0x74, 0x90, 60, 1})})); // 500 ticks
	EXPECT_EQ (f.ticksPerQuarter, 0);
	EXPECT_DOUBLE_EQ (f.smpteFramesPerSecond, 25.0);
	ASSERT_EQ (f.events.size (), 1u);
	EXPECT_NEAR (f.events[0].seconds, 0.5, 1e-12);

	const uint16_t badRate = uint16_t ((uint8_t (-26) << 8) | 40);
	expectRefused (file (0, badRate, {kEndOfTrack}), "frame rate");
}

TEST (HostMidiFile, VariableLengthQuantityLimits)
{
	struct Case
	{
		Bytes bytes;
		bool ok;
		uint32_t value;
		size_t length;
	};
	const Case cases[] = {
	    {{0x00}, true, 0, 1},
	    {{0x7F}, true, 0x7F, 1},
	    {{0x81, 0x00}, true, 0x80, 2},
	    {{0xC0, 0x00}, true, 0x2000, 2},
	    {{0xFF, 0xFF, 0x7F}, true, 0x1FFFFF, 3},
	    {{0xFF, 0xFF, 0xFF, 0x7F}, true, kMaxVariableLength, 4},
	    {{0x80, 0x80, 0x80, 0x80, 0x00}, false, 0, 0}, // five bytes
	    {{0x81}, false, 0, 0},                         // cut off
	    {{}, false, 0, 0},
	};
	for (const Case& c : cases)
	{
		size_t pos = 0;
		uint32_t value = 12345;
		EXPECT_EQ (readVariableLength (c.bytes.data (), c.bytes.size (), pos, value), c.ok);
		if (c.ok)
		{
			EXPECT_EQ (value, c.value);
			EXPECT_EQ (pos, c.length);
		}
		else
		{
			EXPECT_EQ (pos, 0u) << "position must not move on failure";
			EXPECT_EQ (value, 12345u);
		}
	}
	// The limit counts against the end given, not the buffer behind it.
	const Bytes twoBytes = {0x81, 0x00};
	size_t pos = 0;
	uint32_t value = 0;
	EXPECT_FALSE (readVariableLength (twoBytes.data (), 1, pos, value));

	expectRefused (file (0, 96, {{0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1}}), "delta time");
	expectRefused (file (0, 96, {{0x00, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}}), "meta event length");
}

TEST (HostMidiFile, RefusesMalformedHeaders)
{
	expectRefused ({}, "empty");
	expectRefused ({'R', 'I', 'F', 'F', 0, 0, 0, 4, 'R', 'M', 'I', 'D'}, "no MThd");
	expectRefused ({'M', 'T', 'h', 'd', 0, 0, 0}, "no MThd");

	Bytes shortHeader = {'M', 'T', 'h', 'd', 0, 0, 0, 4, 0, 0, 0, 1};
	expectRefused (shortHeader, "too short");
	Bytes cutHeader = header (0, 1, 96);
	cutHeader.resize (11);
	expectRefused (cutHeader, "truncated inside the MThd");

	expectRefused (file (2, 96, {kEndOfTrack}), "format 2");
	expectRefused (file (7, 96, {kEndOfTrack}), "unknown MIDI file format");
	expectRefused (file (0, 96, {kEndOfTrack, kEndOfTrack}), "format 0 file declares 2 tracks");
	expectRefused (header (1, 0, 96), "no tracks");
	expectRefused (file (0, 0, {kEndOfTrack}), "0 ticks per quarter");

	// A longer MThd (allowed by the format) is skipped by its length.
	Bytes longHeader = {'M', 'T', 'h', 'd', 0, 0, 0, 8, 0, 0, 0, 1, 0, 96, 0xAA, 0xBB};
	append (longHeader, track (withEnd ({0x00, 0x90, 60, 1})));
	EXPECT_EQ (parsed (longHeader).events.size (), 1u);
}

TEST (HostMidiFile, RefusesTruncatedAndLyingFiles)
{
	const Bytes good = file (1, 96, {withEnd ({0x00, 0x90, 60, 1}), withEnd ({0x10, 0x80, 60, 0})});

	// Second track missing entirely.
	Bytes oneTrack = header (1, 2, 96);
	append (oneTrack, track (withEnd ({0x00, 0x90, 60, 1})));
	expectRefused (oneTrack, "1 of 2 tracks");

	// The last chunk claims more bytes than the file has. The buffer holds
	// valid bytes behind the given size: reading them would make the parse
	// succeed, so a refusal shows nothing beyond `size` was read.
	Bytes lying = good;
	const size_t lastLengthAt = lying.size () - 8 - 4;
	lying[lastLengthAt + 3] = uint8_t (lying[lastLengthAt + 3] + 4);
	Bytes backing = lying;
	append (backing, {0x00, 0x80, 61, 0});
	File f;
	std::string error;
	EXPECT_FALSE (parse (backing.data (), lying.size (), f, error));
	EXPECT_NE (error.find ("claims 12 bytes but only 8 remain"), std::string::npos) << error;

	// A huge length is refused the same way (no overflow in the check).
	Bytes huge = good;
	for (size_t i = 0; i < 4; ++i)
		huge[lastLengthAt + i] = 0xFF;
	expectRefused (huge, "claims 4294967295 bytes");

	// Events cut off at the end of their chunk, data bytes beyond the
	// chunk would complete them.
	Bytes cutNote = header (0, 1, 96);
	append (cutNote, track ({0x00, 0x90, 60}));
	cutNote.push_back (100);
	expectRefused ({cutNote.begin (), cutNote.end () - 1}, "truncated channel message");
	File g;
	EXPECT_FALSE (parse (cutNote.data (), cutNote.size (), g, error));
	EXPECT_NE (error.find ("truncated channel message"), std::string::npos) << error;

	expectRefused (file (0, 96, {{0x00, 0x90}}), "truncated channel message");
	expectRefused (file (0, 96, {{0x00}}), "truncated event");
	expectRefused (file (0, 96, {{0x00, 0xFF}}), "truncated meta");
	expectRefused (file (0, 96, {{0x00, 0xF0, 0x05, 0x01}}), "sysex of 5 bytes");
	expectRefused (file (0, 96, {{0x00, 0xFF, 0x51, 0x03, 0x07}}), "meta event of 3 bytes");
}

TEST (HostMidiFile, RefusesInvalidStatusAndDataBytes)
{
	expectRefused (file (0, 96, {withEnd ({0x00, 0x40, 0x40})}), "without a status byte");
	expectRefused (file (0, 96, {withEnd ({0x00, 0xF1, 0x00})}), "unexpected status byte 0xF1");
	expectRefused (file (0, 96, {withEnd ({0x00, 0x90, 60, 0x90})}), "status byte inside");
	expectRefused (file (0, 96, {withEnd ({0x00, 0xC0, 0x85})}), "status byte inside");
}

TEST (HostMidiFile, NeverFailsSilentlyOnDamagedInput)
{
	const Bytes good =
	    file (1, 480,
	          {withEnd ({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xF0, 0x02, 0x01, 0xF7}),
	           withEnd ({0x00, 0x90, 60, 100, 0x83, 0x60, 62, 90, 0x00, 0xB0, 1, 64, 0x10, 0xE0, 0, 64,
	                     0x81, 0x00, 0x80, 60, 0})});
	ASSERT_EQ (parsed (good).events.size (), 5u);

	// Every truncation of the file is refused with a message.
	for (size_t n = 0; n < good.size (); ++n)
	{
		File f;
		std::string error;
		if (!parse (good.data (), n, f, error))
			EXPECT_FALSE (error.empty ()) << "prefix " << n;
		else
			ADD_FAILURE () << "a prefix of " << n << " bytes was accepted";
	}

	// Random damage either parses into well-formed events or is refused
	// with a message (run under a sanitizer this also checks bounds).
	std::mt19937 rng (1234);
	for (int round = 0; round < 3000; ++round)
	{
		Bytes damaged = good;
		const int changes = 1 + int (rng () % 4);
		for (int k = 0; k < changes; ++k)
			damaged[rng () % damaged.size ()] = uint8_t (rng ());
		File f;
		std::string error;
		if (parse (damaged.data (), damaged.size (), f, error))
		{
			for (const Event& e : f.events)
			{
				EXPECT_LT (e.channel, 16);
				EXPECT_LT (e.data1, 128);
				EXPECT_LT (e.data2, 128);
				EXPECT_GE (e.seconds, 0.0);
			}
		}
		else
			EXPECT_FALSE (error.empty ());
	}
}

TEST (HostMidiFile, ReadFileReportsMissingFilesAndReadsRealOnes)
{
	File f;
	std::string error;
	const std::filesystem::path dir = std::filesystem::temp_directory_path ();
	const std::string missing = (dir / "tarno-host-no-such-file.mid").string ();
	EXPECT_FALSE (readFile (missing, f, error));
	EXPECT_NE (error.find ("cannot open MIDI file"), std::string::npos) << error;

	const std::string path = (dir / "tarno-host-midi-read-test.mid").string ();
	const Bytes bytes = file (0, 96, {withEnd ({0x00, 0x90, 60, 1, 0x60, 0x80, 60, 0})});
	std::FILE* out = std::fopen (path.c_str (), "wb");
	ASSERT_NE (out, nullptr);
	ASSERT_EQ (std::fwrite (bytes.data (), 1, bytes.size (), out), bytes.size ());
	std::fclose (out);
	EXPECT_TRUE (readFile (path, f, error)) << error;
	EXPECT_EQ (f.events.size (), 2u);

	// Errors from parsing name the file.
	out = std::fopen (path.c_str (), "wb");
	ASSERT_NE (out, nullptr);
	ASSERT_EQ (std::fwrite (bytes.data (), 1, 20, out), 20u);
	std::fclose (out);
	EXPECT_FALSE (readFile (path, f, error));
	EXPECT_NE (error.find ("tarno-host-midi-read-test.mid"), std::string::npos) << error;
	std::remove (path.c_str ());
}
