#pragma once

#include <array>
#include <atomic>
#include <cstdint>

// A single-slot exchange from one writer thread to one reader thread, wait-
// free on both sides: the writer never waits for the reader and the reader
// never waits for the writer, because neither ever holds anything the other
// needs. The reader sees the newest value published before it looks, never a
// half-written one; values published in between are skipped.
//
// Three slots: the writer owns one (the back), the reader owns one (the
// front), and the third (the middle) is in transit; the middle's index and
// a flag saying that it is newer than the front live in one atomic byte. The
// writer fills its back slot and swaps it for the middle; the reader, when
// the flag is set, swaps its front for the middle. Each swap is one atomic
// exchange, so a slot is only ever touched by the side that owns it.
//
// Memory orders: both exchanges are acq_rel. The release half of the writer's
// makes its writes to the slot visible to the reader whose exchange (acquire)
// later takes that slot; the release half of the reader's orders its reads of
// the front it gives up before the writer's acquire takes that slot back and
// overwrites it. The reader's first look at the flag is relaxed: it decides
// nothing but whether to exchange, and the exchange itself synchronises.
//
// Because a slot changes owner only through these exchanges, the values
// themselves may be anything, containers included: the writer may allocate
// and free in its slots, and the reader, which only reads its front, never
// frees anything.
template <typename T>
class TripleBuffer {
public:
    // Writer: the slot to fill. It holds an older value (possibly one the
    // reader has finished with) that the writer may overwrite or release.
    T& back() { return slots_[back_]; }

    // Writer: hands the back slot over as the newest value and takes the
    // middle as its new back.
    void publish()
    {
        const std::uint8_t old = state_.exchange(static_cast<std::uint8_t>(back_ | FRESH), std::memory_order_acq_rel);
        back_ = static_cast<std::uint8_t>(old & INDEX);
    }

    // Reader: whether a value newer than the front has been published. A
    // hint: by the time the reader acts on it, a newer one may have arrived.
    bool hasNewer() const { return (state_.load(std::memory_order_relaxed) & FRESH) != 0; }

    // Reader: makes the newest published value the front, when there is a
    // newer one than the front; tells whether the front changed.
    bool update()
    {
        if (!hasNewer())
            return false;
        const std::uint8_t old = state_.exchange(front_, std::memory_order_acq_rel);
        front_ = static_cast<std::uint8_t>(old & INDEX);
        return true;
    }

    // Reader: the value taken by the last update (a default T before any).
    const T& front() const { return slots_[front_]; }

private:
    static constexpr std::uint8_t INDEX = 0x03;
    static constexpr std::uint8_t FRESH = 0x04;

    std::array<T, 3> slots_{};
    std::uint8_t back_ = 0;                  // the writer's alone
    std::uint8_t front_ = 1;                 // the reader's alone
    std::atomic<std::uint8_t> state_{2};     // the middle's index, and FRESH
    static_assert(std::atomic<std::uint8_t>::is_always_lock_free);
};
