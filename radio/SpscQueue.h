// A bounded lock-free queue for one producer thread and one consumer thread.
//
// The ring holds `Capacity` items (a power of two) allocated with the queue; push and pop
// never allocate, lock or wait, so the producer (a thread watching hardware lines) is never
// held up by the consumer (the user-interface thread). The producer writes an item, then
// publishes the new tail with release order; the consumer sees the tail with acquire order
// before reading the item, and gives the slot back the same way through the head.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <type_traits>

namespace orvex {

template <typename T, std::size_t Capacity>
class SpscQueue {
    static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0,
                  "the capacity is a power of two");
    static_assert(std::is_trivially_copyable_v<T>, "items are copied in and out");

public:
    static constexpr std::size_t kCapacity = Capacity;

    /// Producer: appends `item`; false (and nothing changes) when the queue is full.
    bool push(const T& item) {
        const std::size_t tail = m_tail.load(std::memory_order_relaxed);
        if (tail - m_head.load(std::memory_order_acquire) == Capacity) return false;
        m_items[tail & (Capacity - 1)] = item;
        m_tail.store(tail + 1, std::memory_order_release);
        return true;
    }
    /// Consumer: takes the oldest item into `item`; false when the queue is empty.
    bool pop(T& item) {
        const std::size_t head = m_head.load(std::memory_order_relaxed);
        if (head == m_tail.load(std::memory_order_acquire)) return false;
        item = m_items[head & (Capacity - 1)];
        m_head.store(head + 1, std::memory_order_release);
        return true;
    }
    /// Items waiting now (exact only on the producer's or the consumer's own thread while the
    /// other is idle).
    std::size_t size() const {
        return m_tail.load(std::memory_order_acquire) - m_head.load(std::memory_order_acquire);
    }
    bool empty() const { return size() == 0; }

private:
    // Head and tail on their own cache lines: the two threads do not fight over one line.
    alignas(64) std::atomic<std::size_t> m_head{0};
    alignas(64) std::atomic<std::size_t> m_tail{0};
    alignas(64) std::array<T, Capacity> m_items{};
};

} // namespace orvex
