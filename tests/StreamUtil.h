// Byte-level helpers for state streams in tests.
#pragma once

#include "params/ParamTable.h"

#include "public.sdk/source/common/memorystream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace TarnoTest {

using Bytes = std::vector<uint8_t>;

// A readable stream over a copy of `bytes`, positioned at the start.
inline Steinberg::IPtr<Steinberg::MemoryStream> streamOf (const Bytes& bytes)
{
	auto stream = Steinberg::owned (new Steinberg::MemoryStream);
	Steinberg::int32 written = 0;
	if (!bytes.empty ())
		stream->write (const_cast<uint8_t*> (bytes.data ()), Steinberg::int32 (bytes.size ()), &written);
	stream->seek (0, Steinberg::IBStream::kIBSeekSet, nullptr);
	return stream;
}

// Everything written to `stream`.
inline Bytes bytesOf (Steinberg::MemoryStream& stream)
{
	Steinberg::int64 end = 0;
	stream.tell (&end);
	const auto* data = reinterpret_cast<const uint8_t*> (stream.getData ());
	return data ? Bytes (data, data + end) : Bytes ();
}

inline void appendLe32 (Bytes& b, uint32_t v)
{
	for (int i = 0; i < 4; ++i)
		b.push_back (uint8_t (v >> (8 * i)));
}

inline void appendLeDouble (Bytes& b, double d)
{
	uint64_t v;
	std::memcpy (&v, &d, 8);
	for (int i = 0; i < 8; ++i)
		b.push_back (uint8_t (v >> (8 * i)));
}

// A processor state blob with the given magic, version and values.
inline Bytes stateBlob (const Tarno::ParamBlock& values, uint32_t magic = 0x54564C31, uint32_t version = 1)
{
	Bytes b;
	appendLe32 (b, magic);
	appendLe32 (b, version);
	for (double v : values)
		appendLeDouble (b, v);
	return b;
}

// A write-only stream that takes at most `room` bytes: the write that would
// pass the limit moves only what fits, like a full disk.
class LimitedStream : public Steinberg::IBStream
{
public:
	explicit LimitedStream (size_t room) : room (room) {}

	Steinberg::tresult PLUGIN_API read (void*, Steinberg::int32, Steinberg::int32* numBytesRead) SMTG_OVERRIDE
	{
		if (numBytesRead)
			*numBytesRead = 0;
		return Steinberg::kResultFalse;
	}
	Steinberg::tresult PLUGIN_API write (void* buffer, Steinberg::int32 numBytes,
	                                     Steinberg::int32* numBytesWritten) SMTG_OVERRIDE
	{
		const size_t n = std::min (size_t (numBytes < 0 ? 0 : numBytes), room - data.size ());
		data.insert (data.end (), static_cast<uint8_t*> (buffer), static_cast<uint8_t*> (buffer) + n);
		if (numBytesWritten)
			*numBytesWritten = Steinberg::int32 (n);
		return Steinberg::kResultOk;
	}
	Steinberg::tresult PLUGIN_API seek (Steinberg::int64, Steinberg::int32, Steinberg::int64*) SMTG_OVERRIDE
	{
		return Steinberg::kResultFalse;
	}
	Steinberg::tresult PLUGIN_API tell (Steinberg::int64* pos) SMTG_OVERRIDE
	{
		if (pos)
			*pos = Steinberg::int64 (data.size ());
		return Steinberg::kResultOk;
	}
	// Lives on the test's stack; reference counting is not needed.
	Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID, void** obj) SMTG_OVERRIDE
	{
		*obj = nullptr;
		return Steinberg::kNoInterface;
	}
	Steinberg::uint32 PLUGIN_API addRef () SMTG_OVERRIDE { return 1; }
	Steinberg::uint32 PLUGIN_API release () SMTG_OVERRIDE { return 1; }

	Bytes data;

private:
	size_t room;
};

} // namespace TarnoTest
