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

// A stream over `bytes` that misbehaves the way broken hosts' streams do.
// The fault applies to reads and writes alike; what is written is kept in
// `written`.
class FaultyStream : public Steinberg::IBStream
{
public:
	enum Fault
	{
		kNone,
		kShortTransfers, // moves at most `amount` bytes per call, truthfully reported
		kOverReports,    // moves what was asked but reports `amount` bytes more
		kNegativeCounts, // moves what was asked but reports -1 bytes
		kFailsAfter,     // fails, moving nothing, once `amount` bytes have passed
		kNoSeekOrTell,   // transfers normally; seek and tell fail
	};

	FaultyStream (Bytes bytes, Fault fault, Steinberg::int32 amount = 0)
	: bytes (std::move (bytes)), fault (fault), amount (amount) {}

	Steinberg::tresult PLUGIN_API read (void* buffer, Steinberg::int32 numBytes,
	                                    Steinberg::int32* numBytesRead) SMTG_OVERRIDE
	{
		if (fault == kFailsAfter && position >= size_t (amount))
			return report (0, numBytesRead, Steinberg::kResultFalse);
		const size_t n = std::min (allowed (numBytes, position), bytes.size () - std::min (position, bytes.size ()));
		if (n > 0)
			std::memcpy (buffer, bytes.data () + position, n);
		position += n;
		return report (n, numBytesRead, Steinberg::kResultOk);
	}
	Steinberg::tresult PLUGIN_API write (void* buffer, Steinberg::int32 numBytes,
	                                     Steinberg::int32* numBytesWritten) SMTG_OVERRIDE
	{
		if (fault == kFailsAfter && written.size () >= size_t (amount))
			return report (0, numBytesWritten, Steinberg::kResultFalse);
		const size_t n = allowed (numBytes, written.size ());
		const auto* data = static_cast<const uint8_t*> (buffer);
		written.insert (written.end (), data, data + n);
		return report (n, numBytesWritten, Steinberg::kResultOk);
	}
	Steinberg::tresult PLUGIN_API seek (Steinberg::int64 pos, Steinberg::int32 mode,
	                                    Steinberg::int64* result) SMTG_OVERRIDE
	{
		if (fault == kNoSeekOrTell)
			return Steinberg::kResultFalse;
		Steinberg::int64 base = mode == kIBSeekCur ? Steinberg::int64 (position)
		                        : mode == kIBSeekEnd ? Steinberg::int64 (bytes.size ()) : 0;
		if (mode < kIBSeekSet || mode > kIBSeekEnd || pos < -base || pos > Steinberg::int64 (bytes.size ()) - base)
			return Steinberg::kInvalidArgument;
		position = size_t (base + pos);
		if (result)
			*result = Steinberg::int64 (position);
		return Steinberg::kResultOk;
	}
	Steinberg::tresult PLUGIN_API tell (Steinberg::int64* pos) SMTG_OVERRIDE
	{
		if (fault == kNoSeekOrTell || pos == nullptr)
			return Steinberg::kResultFalse;
		*pos = Steinberg::int64 (position);
		return Steinberg::kResultOk;
	}
	// Lives on the test's stack; reference counting is not needed.
	Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID, void** obj) SMTG_OVERRIDE
	{
		if (obj)
			*obj = nullptr;
		return Steinberg::kNoInterface;
	}
	Steinberg::uint32 PLUGIN_API addRef () SMTG_OVERRIDE { return 1; }
	Steinberg::uint32 PLUGIN_API release () SMTG_OVERRIDE { return 1; }

	Bytes written;

private:
	// How many of numBytes a transfer moves when `done` bytes have passed.
	size_t allowed (Steinberg::int32 numBytes, size_t done) const
	{
		size_t n = numBytes > 0 ? size_t (numBytes) : 0;
		if (fault == kShortTransfers)
			n = std::min (n, size_t (amount));
		if (fault == kFailsAfter)
			n = std::min (n, size_t (amount) - std::min (size_t (amount), done));
		return n;
	}
	Steinberg::tresult report (size_t moved, Steinberg::int32* count, Steinberg::tresult result) const
	{
		if (count)
		{
			if (fault == kOverReports)
				*count = Steinberg::int32 (moved) + amount;
			else if (fault == kNegativeCounts)
				*count = -1;
			else
				*count = Steinberg::int32 (moved);
		}
		return result;
	}

	Bytes bytes;
	Fault fault;
	Steinberg::int32 amount;
	size_t position = 0;
};

} // namespace TarnoTest
