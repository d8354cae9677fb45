// SPDX-License-Identifier: MIT
#pragma once
// The threads that do the program's picture work, away from the window's thread: opening
// the picture the person asked for, decoding the likely next ones ahead, and small chores
// (giving large memory back to the kernel, faulting in a photo's pages ahead of its
// decoder, freeing spare memory after a rest). What the person asked for comes first:
// work ahead runs on a thread of its own, behind the window's and the opens' threads
// whenever they want a core, and never on a thread an open could take. Nothing outlives
// the pool: its destructor runs what is still queued (the work of a cancelled job ends
// at once) and joins every thread.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace pictavo {

class WorkerPool {
public:
    enum class Priority {
        Open,   // the picture the person asked for
        Chore,  // memory given back or faulted in: quick, and it keeps the others going
        Ahead,  // pictures the person may ask for next
    };

    // `openThreads` workers for opens and chores (at least two: a photo's decode and its
    // pages faulted in), and one for work ahead and chores.
    explicit WorkerPool(int openThreads = 2);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Runs `work` on a worker, after what was posted before at the same priority. False
    // when the pool is being taken down (the caller then does the work itself or drops it).
    bool post(Priority priority, std::function<void()> work);
    // The same, not before `delay` has passed (at once while the pool is taken down).
    bool postAfter(std::chrono::milliseconds delay, Priority priority, std::function<void()> work);

    // Blocks until nothing is queued that is due, nor running (tests and measurements).
    void waitIdle();

    // Whether the calling thread is a pool's thread for work ahead.
    [[nodiscard]] static bool onAheadThread();

private:
    using Clock = std::chrono::steady_clock;
    struct Task {
        Priority priority;
        Clock::time_point due;
        std::uint64_t order;
        std::function<void()> work;
    };
    void run(bool aheadThread);
    // Under mutex_: the index of the task the thread runs now, or -1; `wake` is set to
    // when the next delayed one falls due.
    [[nodiscard]] int pick(bool aheadThread, Clock::time_point now, Clock::time_point& wake) const;

    const int openThreads_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Task> queue_;
    std::uint64_t posted_ = 0;
    int running_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace pictavo
