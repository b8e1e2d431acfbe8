// A bounded single-producer, single-consumer queue: one thread pushes, one
// other thread pops, neither ever waits or allocates. A full queue refuses
// the push (the caller counts the loss). Several producers must take turns
// (a lock of their own); the consumer never waits for them.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

namespace Tarno {
namespace Host {

template <typename T, size_t Capacity>
class SpscQueue
{
	static_assert (Capacity >= 2 && (Capacity & (Capacity - 1)) == 0, "Capacity must be a power of two");

public:
	// Producer thread only.
	bool push (const T& item)
	{
		const size_t tail = tail_.load (std::memory_order_relaxed);
		if (tail - head_.load (std::memory_order_acquire) >= Capacity)
			return false;
		items_[tail & (Capacity - 1)] = item;
		tail_.store (tail + 1, std::memory_order_release);
		return true;
	}

	// Consumer thread only.
	bool pop (T& item)
	{
		const size_t head = head_.load (std::memory_order_relaxed);
		if (head == tail_.load (std::memory_order_acquire))
			return false;
		item = items_[head & (Capacity - 1)];
		head_.store (head + 1, std::memory_order_release);
		return true;
	}

private:
	std::array<T, Capacity> items_ {};
	alignas (64) std::atomic<size_t> head_ {0};
	alignas (64) std::atomic<size_t> tail_ {0};
};

} // namespace Host
} // namespace Tarno
