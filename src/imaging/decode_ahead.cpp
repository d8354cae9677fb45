// SPDX-License-Identifier: MIT
#include "imaging/decode_ahead.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "base/errors.h"
#include "imaging/picture_reader.h"

namespace fs = std::filesystem;

namespace pictavo {

namespace {

constexpr int kUnwanted = INT_MAX;
constexpr std::int64_t kLimitBytes = std::int64_t(kPictureAllocationLimitMiB) * 1024 * 1024;

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// What the path names now, as the reading code would open it (links followed).
std::optional<FileIdentity> identityNow(const fs::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileIdentity::of(st);
}

}  // namespace

FileIdentity FileIdentity::of(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size && sameTime(a.modified, b.modified) &&
           sameTime(a.changed, b.changed);
}

std::int64_t defaultAheadBudget() {
    constexpr std::int64_t kCeiling = kAheadBudgetCeilingMiB * 1024 * 1024;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return kCeiling;
    return std::min(kCeiling, std::int64_t(pages) * pageSize / 8);
}

DecodeAhead::DecodeAhead(std::int64_t budgetBytes, std::chrono::milliseconds idleAfter)
    : budget_(budgetBytes), idleAfter_(idleAfter) {}

DecodeAhead::~DecodeAhead() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

int DecodeAhead::rankOf(const fs::path& file) const {
    const auto it = std::find(wanted_.begin(), wanted_.end(), file);
    return it == wanted_.end() ? kUnwanted : static_cast<int>(it - wanted_.begin());
}

std::int64_t DecodeAhead::bytesHeld(int rank) const {
    std::int64_t sum = 0;
    for (const Held& h : held_)
        if (h.file != shownFile_ && (rank < 0 || rankOf(h.file) < rank)) sum += h.image.sizeInBytes();
    return sum;
}

void DecodeAhead::letGoBelow(int rank, std::int64_t room) {
    // The least likely first, until `room` more bytes fit the budget. Their memory is
    // released only once the pool's limit allows for it (see letGo).
    std::vector<QImage> gone;
    while (bytesHeld(-1) + room > budget_) {
        auto least = held_.end();
        int leastRank = rank;
        for (auto it = held_.begin(); it != held_.end(); ++it) {
            const int r = rankOf(it->file);
            if (it->file != shownFile_ && r >= leastRank) least = it, leastRank = r;
        }
        if (least == held_.end()) break;
        gone.push_back(std::move(least->image));
        held_.erase(least);
    }
    settle();
}

void DecodeAhead::letGo(const std::function<bool(const Held&)>& drop) {
    std::vector<QImage> gone;
    for (auto it = held_.begin(); it != held_.end();) {
        if (drop(*it)) {
            gone.push_back(std::move(it->image));
            it = held_.erase(it);
        } else {
            ++it;
        }
    }
    // The pool may keep their memory only once the budget allows for it.
    settle();
}

void DecodeAhead::settle() { pool_.setLimit(budget_ - bytesHeld(-1) - underWayBytes_); }

void DecodeAhead::dropUnwanted() {
    letGo([&](const Held& h) { return h.file != shownFile_ && rankOf(h.file) == kUnwanted; });
}

void DecodeAhead::want(const std::vector<fs::path>& files) {
    {
        const std::lock_guard lock(mutex_);
        wish(files);
    }
    changed_.notify_all();
}

void DecodeAhead::wish(const std::vector<fs::path>& files) {
    lastUse_ = std::chrono::steady_clock::now();
    if (files != wanted_) {
        wanted_ = files;
        next_ = 0;
        dropUnwanted();
    }
    if (!worker_.joinable()) worker_ = std::thread([this] { run(); });
}

void DecodeAhead::run() {
    // Behind the window's own thread whenever both want a core: a decode the person asked
    // for is never slowed by one they may not need.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!changed_.wait_for(lock, idleAfter_, [&] { return stop_ || next_ < wanted_.size(); })) {
            // Nothing to do: once the window has been idle long enough, the memory kept
            // for the next pictures goes back to the system.
            if (std::chrono::steady_clock::now() - lastUse_ >= idleAfter_) {
                lock.unlock();
                pool_.trim();
                lock.lock();
            }
            continue;
        }
        if (stop_) return;
        const fs::path file = wanted_[next_++];
        if (file == opening_ || isHeld(file)) {
            changed_.notify_all();
            continue;
        }
        underWay_ = file;
        const std::uint64_t generation = generation_;
        lock.unlock();
        decode(file, generation);
        lock.lock();
        underWay_.reset();
        changed_.notify_all();
    }
}

void DecodeAhead::decode(const fs::path& file, std::uint64_t generation) {
    // The same reading code as an open, so the same refusals; a failure is not kept: the
    // person's own open reads the file again and reports it as ever.
    try {
        struct stat st {};
        QByteArray bytes = readPictureFile(file, &st, &pool_);
        const QSize size = pictureSize(bytes);
        const std::int64_t promised = size.isValid() ? std::int64_t(4) * size.width() * size.height() : 0;
        std::int64_t room = 0;
        {
            const std::lock_guard lock(mutex_);
            const int rank = rankOf(file);
            if (generation != generation_ || rank == kUnwanted || promised <= 0) return;
            room = budget_ - bytesHeld(rank);
            if (promised > room) return;
            letGoBelow(rank, promised);
            underWayBytes_ = promised;
        }
        struct Promise {
            DecodeAhead& self;
            ~Promise() {
                const std::lock_guard lock(self.mutex_);
                self.underWayBytes_ = 0;
                self.settle();
            }
        } promise{*this};
        // The spare memory that serves this picture leaves the pool before the pool is
        // held to what the budget leaves besides it.
        QImage image = decodePicture(bytes, room, [&](QSize need) {
            QImage memory = pool_.picture(need);
            const std::lock_guard lock(mutex_);
            settle();
            return memory;
        });
        pool_.giveBack(std::move(bytes));
        const std::lock_guard lock(mutex_);
        const int rank = rankOf(file);
        if (generation != generation_ || rank == kUnwanted) return;
        letGoBelow(rank, image.sizeInBytes());
        held_.push_back({file, FileIdentity::of(st), std::move(image)});
    } catch (const std::exception&) {
        // Out of memory, too: work ahead never ends the program.
    }
}

std::optional<QImage> DecodeAhead::take(const fs::path& file) {
    std::unique_lock lock(mutex_);
    // A decode of this very file started before the person asked: it ends sooner than a
    // new one would.
    changed_.wait(lock, [&] { return underWay_ != file; });
    return takeHeld(file, lock);
}

std::optional<QImage> DecodeAhead::takeHeld(const fs::path& file) {
    std::unique_lock lock(mutex_);
    return takeHeld(file, lock);
}

std::optional<QImage> DecodeAhead::takeHeld(const fs::path& file, std::unique_lock<std::mutex>&) {
    lastUse_ = std::chrono::steady_clock::now();
    // Everything else queued or under way is no longer what the person wants now.
    ++generation_;
    next_ = wanted_.size();
    opening_ = file;  // until shown, in case it must be read here
    const auto it = std::find_if(held_.begin(), held_.end(), [&](const Held& h) { return h.file == file; });
    if (it == held_.end()) return std::nullopt;
    if (identityNow(file) != it->identity) {
        letGo([&](const Held& h) { return h.file == file; });
        return std::nullopt;
    }
    opening_.reset();
    QImage image = it->image;
    shownFile_ = file;
    settle();
    ++hits_;
    return image;
}

QByteArray DecodeAhead::read(const fs::path& file, struct stat* identity) {
    return readPictureFile(file, identity, &pool_);
}

QImage DecodeAhead::open(const fs::path& file) {
    if (auto held = take(file)) return std::move(*held);
    struct stat st {};
    QByteArray bytes = readPictureFile(file, &st, &pool_);
    QImage image = decodePicture(bytes, kLimitBytes, [&](QSize size) { return memoryFor(file, size); });
    pool_.giveBack(std::move(bytes));
    shown(file, st, image);
    return image;
}

QImage DecodeAhead::memoryFor(const fs::path& opened, QSize size) {
    {
        const std::lock_guard lock(mutex_);
        // The least likely of the held pictures whose memory fits and that nobody else
        // holds. While the person steps, only one nobody expects any more; after a jump
        // elsewhere the neighbours held are stale as well.
        const bool jump = rankOf(opened) == kUnwanted && opened != shownFile_;
        const std::int64_t need = std::int64_t(4) * size.width() * size.height();
        const Held* spare = nullptr;
        int spareRank = jump ? -1 : kUnwanted;
        for (const Held& h : held_) {
            const int rank = rankOf(h.file);
            const std::int64_t bytes = h.image.sizeInBytes();
            if (h.file != shownFile_ && bytes >= need && bytes <= 2 * need && h.image.isDetached() && rank >= spareRank)
                spare = &h, spareRank = rank;
        }
        if (spare) letGo([&](const Held& h) { return &h == spare; });
    }
    return pool_.picture(size);
}

void DecodeAhead::shown(const fs::path& file, const struct stat& identity, const QImage& image) {
    const std::lock_guard lock(mutex_);
    lastUse_ = std::chrono::steady_clock::now();
    letGo([&](const Held& h) { return h.file == file; });
    held_.push_back({file, FileIdentity::of(identity), image});
    shownFile_ = file;
    opening_.reset();
    letGoBelow(kUnwanted, 0);
}

void DecodeAhead::forget(const fs::path& file) {
    const std::lock_guard lock(mutex_);
    letGo([&](const Held& h) { return h.file == file; });
    if (underWay_ == file) ++generation_;
}

void DecodeAhead::folderRead(const fs::path& folder) {
    const std::lock_guard lock(mutex_);
    letGo([&](const Held& h) { return h.file.parent_path() != folder || identityNow(h.file) != h.identity; });
    if (std::erase_if(wanted_, [&](const fs::path& f) { return f.parent_path() != folder; }) > 0) next_ = 0;
    if (underWay_ && underWay_->parent_path() != folder) ++generation_;
}

void DecodeAhead::finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return next_ >= wanted_.size() && !underWay_; });
}

bool DecodeAhead::holds(const fs::path& file) {
    const std::lock_guard lock(mutex_);
    return isHeld(file);
}

bool DecodeAhead::isHeld(const fs::path& file) const {
    return std::any_of(held_.begin(), held_.end(), [&](const Held& h) { return h.file == file; });
}

std::int64_t DecodeAhead::heldBytes() {
    const std::lock_guard lock(mutex_);
    return bytesHeld(-1);
}

std::uint64_t DecodeAhead::hits() {
    const std::lock_guard lock(mutex_);
    return hits_;
}

}  // namespace pictavo
