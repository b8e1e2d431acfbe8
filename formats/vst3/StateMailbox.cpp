#include "formats/vst3/StateMailbox.h"

#include <thread>

namespace Tarno {

void StateMailbox::post (const ParamBlock& values, uint64_t number)
{
	// Claim the slot from empty or full; a take in progress holds it briefly.
	uint32_t expected = state.load (std::memory_order_relaxed);
	for (;;)
	{
		if (expected == kReading || expected == kWriting)
		{
			std::this_thread::yield ();
			expected = state.load (std::memory_order_relaxed);
			continue;
		}
		if (state.compare_exchange_weak (expected, kWriting, std::memory_order_acquire, std::memory_order_relaxed))
			break;
	}
	block = values;
	blockNumber = number;
	state.store (kFull, std::memory_order_release);
}

bool StateMailbox::take (ParamBlock& values, uint64_t& number)
{
	uint32_t expected = kFull;
	if (!state.compare_exchange_strong (expected, kReading, std::memory_order_acquire, std::memory_order_relaxed))
		return false;
	values = block;
	number = blockNumber;
	state.store (kEmpty, std::memory_order_release);
	return true;
}

} // namespace Tarno
