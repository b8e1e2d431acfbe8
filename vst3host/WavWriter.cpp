#include "vst3host/WavWriter.h"

#include <cmath>
#include <cstring>

namespace Tarno {
namespace Host {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The RIFF size field is 32 bits wide: the whole file must stay below 4 GiB.
constexpr uint64_t kMaxRiffBytes = 0xFFFFFFFFull;

void put16 (std::vector<uint8_t>& v, uint32_t x)
{
	v.push_back (uint8_t (x));
	v.push_back (uint8_t (x >> 8));
}

void put32 (std::vector<uint8_t>& v, uint32_t x)
{
	put16 (v, x & 0xFFFF);
	put16 (v, x >> 16);
}

void putTag (std::vector<uint8_t>& v, const char* tag)
{
	for (int i = 0; i < 4; ++i)
		v.push_back (uint8_t (tag[i]));
}

int32_t encodeInteger (double x, int bits, bool* clipped)
{
	const double scale = double (int64_t (1) << (bits - 1));
	const double maxValue = scale - 1.0;
	bool limited = false;
	int32_t result = 0;
	if (x == x) // NaN stays 0
	{
		double v = std::round (x * scale);
		if (v > maxValue)
		{
			v = maxValue;
			limited = true;
		}
		else if (v < -scale)
		{
			v = -scale;
			limited = true;
		}
		result = int32_t (v);
	}
	if (clipped)
		*clipped = limited;
	return result;
}

uint64_t headerBytes (int channels, SampleFormat format)
{
	return WavWriter::makeHeader (channels, 1, format, 0).size ();
}

} // namespace

bool parseSampleFormat (const std::string& text, SampleFormat& format)
{
	if (text == "f32")
		format = SampleFormat::Float32;
	else if (text == "s16")
		format = SampleFormat::Int16;
	else if (text == "s24")
		format = SampleFormat::Int24;
	else
		return false;
	return true;
}

const char* sampleFormatName (SampleFormat format)
{
	switch (format)
	{
		case SampleFormat::Float32: return "f32";
		case SampleFormat::Int16: return "s16";
		case SampleFormat::Int24: return "s24";
	}
	return "?";
}

int bytesPerSample (SampleFormat format)
{
	switch (format)
	{
		case SampleFormat::Float32: return 4;
		case SampleFormat::Int16: return 2;
		case SampleFormat::Int24: return 3;
	}
	return 0;
}

int32_t encodeInt16 (double x, bool* clipped) { return encodeInteger (x, 16, clipped); }
int32_t encodeInt24 (double x, bool* clipped) { return encodeInteger (x, 24, clipped); }

std::vector<uint8_t> WavWriter::makeHeader (int channels, int sampleRate, SampleFormat format,
                                            uint64_t dataBytes)
{
	const bool isFloat = format == SampleFormat::Float32;
	const bool extensible = channels > 2;
	const uint32_t bytes = uint32_t (bytesPerSample (format));
	const uint32_t blockAlign = bytes * uint32_t (channels);
	const uint64_t pad = dataBytes & 1;

	std::vector<uint8_t> h;
	putTag (h, "RIFF");
	put32 (h, 0); // patched below
	putTag (h, "WAVE");

	putTag (h, "fmt ");
	put32 (h, extensible ? 40 : (isFloat ? 18 : 16));
	put16 (h, extensible ? kFormatExtensible : (isFloat ? kFormatFloat : kFormatPcm));
	put16 (h, uint32_t (channels));
	put32 (h, uint32_t (sampleRate));
	put32 (h, uint32_t (sampleRate) * blockAlign);
	put16 (h, blockAlign);
	put16 (h, bytes * 8);
	if (extensible)
	{
		put16 (h, 22);        // size of the extension
		put16 (h, bytes * 8); // valid bits per sample
		put32 (h, 0);         // channel mask: no speaker positions assigned
		// Sub-format GUID: the format tag followed by the fixed tail
		// 0000-0010-8000-00AA00389B71, little-endian as stored in files.
		static const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
		                                 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
		put16 (h, isFloat ? kFormatFloat : kFormatPcm);
		for (uint8_t b : tail)
			h.push_back (b);
	}
	else if (isFloat)
		put16 (h, 0); // no extension

	if (isFloat)
	{
		putTag (h, "fact");
		put32 (h, 4);
		put32 (h, uint32_t (blockAlign ? dataBytes / blockAlign : 0));
	}

	putTag (h, "data");
	put32 (h, uint32_t (dataBytes));

	const uint64_t riffSize = h.size () - 8 + dataBytes + pad;
	h[4] = uint8_t (riffSize);
	h[5] = uint8_t (riffSize >> 8);
	h[6] = uint8_t (riffSize >> 16);
	h[7] = uint8_t (riffSize >> 24);
	return h;
}

WavWriter::~WavWriter ()
{
	std::string ignored;
	close (ignored);
}

bool WavWriter::open (const std::string& path, int channels, int sampleRate, SampleFormat format,
                      std::string& error)
{
	if (!close (error))
		return false;
	if (channels < 1 || channels > 64)
	{
		error = "unsupported channel count " + std::to_string (channels);
		return false;
	}
	if (sampleRate < 1)
	{
		error = "invalid sample rate " + std::to_string (sampleRate);
		return false;
	}
	if (!file_.open (path, error))
		return false;
	channels_ = channels;
	sampleRate_ = sampleRate;
	format_ = format;
	dataBytes_ = 0;
	stats_ = WavStats ();
	const std::vector<uint8_t> header = makeHeader (channels, sampleRate, format, 0);
	return file_.write (header.data (), header.size (), error);
}

void WavWriter::encode (double x, uint8_t* out)
{
	if (!std::isfinite (x))
		++stats_.nonFiniteSamples;
	else if (std::fabs (x) > stats_.peak)
		stats_.peak = std::fabs (x);

	bool clipped = false;
	switch (format_)
	{
		case SampleFormat::Float32:
		{
			const float f = float (x);
			uint32_t bits;
			std::memcpy (&bits, &f, 4);
			out[0] = uint8_t (bits);
			out[1] = uint8_t (bits >> 8);
			out[2] = uint8_t (bits >> 16);
			out[3] = uint8_t (bits >> 24);
			break;
		}
		case SampleFormat::Int16:
		{
			const uint32_t v = uint32_t (encodeInt16 (x, &clipped));
			out[0] = uint8_t (v);
			out[1] = uint8_t (v >> 8);
			break;
		}
		case SampleFormat::Int24:
		{
			const uint32_t v = uint32_t (encodeInt24 (x, &clipped));
			out[0] = uint8_t (v);
			out[1] = uint8_t (v >> 8);
			out[2] = uint8_t (v >> 16);
			break;
		}
	}
	if (clipped)
		++stats_.clippedSamples;
}

template <typename T>
bool WavWriter::writeFrames (const T* const* channelData, size_t frames, std::string& error)
{
	if (!file_.isOpen ())
	{
		error = "WAV file is not open";
		return false;
	}
	const size_t bytes = size_t (bytesPerSample (format_));
	const uint64_t blockBytes = uint64_t (frames) * channels_ * bytes;
	if (headerBytes (channels_, format_) - 8 + dataBytes_ + blockBytes + 1 > kMaxRiffBytes)
	{
		error = "output too long: a WAV file cannot exceed 4 GiB";
		return false;
	}
	buffer_.resize (size_t (blockBytes));
	uint8_t* out = buffer_.data ();
	for (size_t i = 0; i < frames; ++i)
		for (int c = 0; c < channels_; ++c, out += bytes)
			encode (double (channelData[c][i]), out);
	if (!file_.write (buffer_.data (), buffer_.size (), error))
		return false;
	dataBytes_ += blockBytes;
	stats_.frames += frames;
	return true;
}

bool WavWriter::write (const float* const* channelData, size_t frames, std::string& error)
{
	return writeFrames (channelData, frames, error);
}

bool WavWriter::write (const double* const* channelData, size_t frames, std::string& error)
{
	return writeFrames (channelData, frames, error);
}

bool WavWriter::close (std::string& error)
{
	if (!file_.isOpen ())
		return true;
	const uint8_t zero = 0; // RIFF chunks are padded to an even length
	const std::vector<uint8_t> header = makeHeader (channels_, sampleRate_, format_, dataBytes_);
	return (!(dataBytes_ & 1) || file_.write (&zero, 1, error)) && file_.seek (0, error) &&
	       file_.write (header.data (), header.size (), error) && file_.commit (error);
}

void WavWriter::discard ()
{
	file_.discard ();
}

} // namespace Host
} // namespace Tarno
