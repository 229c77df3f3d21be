// Work over a long range done in two halves at once, on this thread and a
// second one, where the range is long enough to be worth a thread: most of
// the time in touching a fresh block of memory goes on faulting its pages
// in, and two threads fault their halves in about half the time.
#ifndef KELVARA_TWO_HALVES_H
#define KELVARA_TWO_HALVES_H

#include <cstddef>
#include <system_error>
#include <thread>

// Calls work(part, from, to) over [0, count): part 0 takes [0, count / 2) on
// this thread while part 1 takes [count / 2, count) on a second one, when
// count is at least `splitFrom` and a thread can be had. Otherwise part 0
// takes the whole range and part 1 is never called. Returns when both are
// done.
template <typename Work>
void inTwoHalves(size_t count, size_t splitFrom, Work&& work)
{
    const size_t half = count >= splitFrom ? count / 2 : count;
    std::thread second;
    if (half < count) {
        try {
            second = std::thread([&] { work(1, half, count); });
        } catch (const std::system_error&) {
            // No thread to be had: this one does it all.
        }
    }
    work(0, size_t{0}, second.joinable() ? half : count);
    if (second.joinable()) second.join();
}

#endif
