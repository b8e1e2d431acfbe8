// Hands a complete parameter block from the main thread to the audio
// thread without locks on the audio side and without allocation.
#pragma once

#include "params/ParamTable.h"

#include <atomic>
#include <cstdint>

namespace Tarno {

class StateMailbox
{
public:
	// Main thread: leaves `values`, numbered `number`, for the audio thread,
	// replacing any block still waiting. Waits only while the audio thread
	// is copying a block out (a copy of 128 bytes).
	void post (const ParamBlock& values, uint64_t number);

	// Audio thread: true, with the newest waiting block and its number, when
	// one was posted since the last take. Never waits.
	bool take (ParamBlock& values, uint64_t& number);

private:
	enum : uint32_t { kEmpty, kWriting, kFull, kReading };
	std::atomic<uint32_t> state{kEmpty};
	ParamBlock block{};
	uint64_t blockNumber = 0;
};

} // namespace Tarno
