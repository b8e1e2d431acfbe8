// RIFF/WAVE file writer: 32-bit IEEE float, or 16/24-bit integer PCM with
// clipping and rounding. Sizes in the header are written as placeholders and
// patched by close ().
//
// The file is written through AtomicFile: it appears under its name only
// when close () succeeds, complete, and an older file of that name stays
// until then.
//
// Header layout: mono and stereo files use the plain 'fmt ' chunk
// (PCM: 16 bytes; float: 18 bytes plus a 'fact' chunk, as non-PCM formats
// require). Files with more than two channels use WAVE_FORMAT_EXTENSIBLE.
#pragma once

#include <cstddef>
#include <cstdint>
#include "vst3host/Files.h"

#include <string>
#include <vector>

namespace Tarno {
namespace Host {

enum class SampleFormat
{
	Float32,
	Int16,
	Int24,
};

// Parses "f32", "s16" or "s24".
bool parseSampleFormat (const std::string& text, SampleFormat& format);
const char* sampleFormatName (SampleFormat format);
int bytesPerSample (SampleFormat format);

// Integer encodings: x is scaled by 2^(bits-1), rounded to the nearest
// integer (halves away from zero) and clipped to the integer range, so +1.0
// becomes the largest positive value and -1.0 the smallest. NaN becomes 0.
// clipped (optional) is set when the value had to be limited.
int32_t encodeInt16 (double x, bool* clipped = nullptr);
int32_t encodeInt24 (double x, bool* clipped = nullptr);

struct WavStats
{
	uint64_t frames = 0;
	uint64_t clippedSamples = 0;   // integer formats: samples limited to the range
	uint64_t nonFiniteSamples = 0; // NaN or infinity in the input
	double peak = 0.0;             // largest finite |x| seen
};

class WavWriter
{
public:
	WavWriter () = default;
	~WavWriter (); // closes (and finalises) an open file
	WavWriter (const WavWriter&) = delete;
	WavWriter& operator= (const WavWriter&) = delete;

	bool open (const std::string& path, int channels, int sampleRate, SampleFormat format,
	           std::string& error);
	// channelData[c] points at frames samples of channel c.
	bool write (const float* const* channelData, size_t frames, std::string& error);
	bool write (const double* const* channelData, size_t frames, std::string& error);
	// Patches the header sizes, pads the data chunk to an even length and
	// puts the file in place. Safe to call when nothing is open.
	bool close (std::string& error);
	// Drops what was written; a file of that name stays as it was.
	void discard ();

	bool isOpen () const { return file_.isOpen (); }
	const WavStats& stats () const { return stats_; }

	// Header bytes for a file holding dataBytes bytes of sample data.
	static std::vector<uint8_t> makeHeader (int channels, int sampleRate, SampleFormat format,
	                                        uint64_t dataBytes);

private:
	template <typename T>
	bool writeFrames (const T* const* channelData, size_t frames, std::string& error);
	void encode (double x, uint8_t* out);

	AtomicFile file_;
	int channels_ = 0;
	int sampleRate_ = 0;
	SampleFormat format_ = SampleFormat::Float32;
	uint64_t dataBytes_ = 0;
	WavStats stats_;
	std::vector<uint8_t> buffer_;
};

} // namespace Host
} // namespace Tarno
