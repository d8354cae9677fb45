// SPDX-License-Identifier: MIT
#include "imaging/worker_pool.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace pictavo {

WorkerPool::WorkerPool(int openThreads) : openThreads_(std::max(openThreads, 2)) {}

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
}

bool WorkerPool::post(Priority priority, std::function<void()> work) {
    return postAfter(std::chrono::milliseconds(0), priority, std::move(work));
}

bool WorkerPool::postAfter(std::chrono::milliseconds delay, Priority priority, std::function<void()> work) {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) return false;
        // Started with the first work, not before: a pool that is never used costs no
        // threads, and one made before a fork works in the child that first uses it.
        if (threads_.empty()) {
            threads_.reserve(static_cast<std::size_t>(openThreads_) + 1);
            threads_.emplace_back([this] { run(true); });
            for (int i = 0; i < openThreads_; ++i) threads_.emplace_back([this] { run(false); });
        }
        queue_.push_back({priority, Clock::now() + delay, posted_++, std::move(work)});
    }
    changed_.notify_all();
    return true;
}

int WorkerPool::pick(bool aheadThread, Clock::time_point now, Clock::time_point& wake) const {
    int best = -1;
    for (std::size_t i = 0; i < queue_.size(); ++i) {
        const Task& t = queue_[i];
        // Opens never wait behind work ahead, nor work ahead in a thread an open could use.
        if (t.priority == (aheadThread ? Priority::Open : Priority::Ahead)) continue;
        if (!stopping_ && t.due > now) {
            wake = std::min(wake, t.due);
            continue;
        }
        if (best < 0 || t.priority < queue_[std::size_t(best)].priority ||
            (t.priority == queue_[std::size_t(best)].priority && t.order < queue_[std::size_t(best)].order))
            best = static_cast<int>(i);
    }
    return best;
}

namespace {
thread_local bool aheadThreadHere = false;
}  // namespace

bool WorkerPool::onAheadThread() { return aheadThreadHere; }

void WorkerPool::run(bool aheadThread) {
    aheadThreadHere = aheadThread;
    // Behind the window's thread and the opens whenever they want a core: a decode the
    // person asked for is never slowed by one they may not need. (A thread may lower its
    // own priority, but not raise it again: hence a thread of its own.)
    if (aheadThread) ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    std::unique_lock lock(mutex_);
    for (;;) {
        Clock::time_point wake = Clock::time_point::max();
        const int next = pick(aheadThread, Clock::now(), wake);
        if (next < 0) {
            // Taken down once nothing is left: what was queued still runs (a cancelled
            // job's work ends at once, and memory waiting to be given back is given back).
            if (stopping_ && wake == Clock::time_point::max()) {
                if (queue_.empty()) return;
                changed_.wait(lock);
                continue;
            }
            if (wake == Clock::time_point::max()) {
                changed_.wait(lock);
            } else {
                changed_.wait_until(lock, wake);
            }
            continue;
        }
        Task task = std::move(queue_[std::size_t(next)]);
        queue_.erase(queue_.begin() + next);
        ++running_;
        lock.unlock();
        try {
            task.work();
        } catch (...) {
            // Every job catches what it expects; anything else must not end the program.
        }
        task.work = nullptr;  // what it holds goes before the pool looks idle
        lock.lock();
        --running_;
        changed_.notify_all();
    }
}

void WorkerPool::waitIdle() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
        if (running_ > 0) return false;
        const auto now = Clock::now();
        return std::none_of(queue_.begin(), queue_.end(), [&](const Task& t) { return t.due <= now; });
    });
}

}  // namespace pictavo
