// SPDX-License-Identifier: MIT
#include "imaging/held_pictures.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

namespace fs = std::filesystem;

namespace pictavo {

namespace {

constexpr int kUnwanted = INT_MAX;

// What the path names now, as the reading code would open it (links followed).
std::optional<FileIdentity> identityNow(const fs::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileIdentity::of(st);
}

}  // namespace

std::int64_t defaultAheadBudget() {
    constexpr std::int64_t kCeiling = kAheadBudgetCeilingMiB * 1024 * 1024;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return kCeiling;
    return std::min(kCeiling, std::int64_t(pages) * pageSize / 8);
}

HeldPictures::HeldPictures(std::int64_t budgetBytes, std::chrono::milliseconds idleAfter)
    : budget_(budgetBytes), idleAfter_(idleAfter) {}

int HeldPictures::rankOf(const fs::path& file) const {
    const auto it = std::find(wanted_.begin(), wanted_.end(), file);
    return it == wanted_.end() ? kUnwanted : static_cast<int>(it - wanted_.begin());
}

std::int64_t HeldPictures::bytesHeld(int rank) const {
    std::int64_t sum = 0;
    for (const Held& h : held_)
        if (h.file != shownFile_ && (rank < 0 || rankOf(h.file) < rank)) sum += h.image.sizeInBytes();
    return sum;
}

bool HeldPictures::isHeld(const fs::path& file) const {
    return std::any_of(held_.begin(), held_.end(), [&](const Held& h) { return h.file == file; });
}

void HeldPictures::letGoBelow(int rank, std::int64_t room) {
    // The least likely first, until `room` more bytes fit the budget. Their memory is
    // released only once the pool's limit allows for it (see letGo).
    std::vector<QImage> gone;
    while (bytesHeld(-1) + reserved_ + room > budget_) {
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

void HeldPictures::letGo(const std::function<bool(const Held&)>& drop) {
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

void HeldPictures::settle() { pool_.setLimit(budget_ - bytesHeld(-1) - reserved_); }

std::vector<fs::path> HeldPictures::want(const std::vector<fs::path>& files) {
    const std::lock_guard lock(mutex_);
    used();
    if (files != wanted_) {
        wanted_ = files;
        letGo([&](const Held& h) { return h.file != shownFile_ && rankOf(h.file) == kUnwanted; });
    }
    std::vector<fs::path> missing;
    for (const fs::path& f : wanted_)
        if (!isHeld(f)) missing.push_back(f);
    return missing;
}

bool HeldPictures::wanted(const fs::path& file) {
    const std::lock_guard lock(mutex_);
    return rankOf(file) != kUnwanted;
}

std::optional<QImage> HeldPictures::take(const fs::path& file) {
    const std::lock_guard lock(mutex_);
    used();
    const auto it = std::find_if(held_.begin(), held_.end(), [&](const Held& h) { return h.file == file; });
    if (it == held_.end()) return std::nullopt;
    if (identityNow(file) != it->identity) {
        letGo([&](const Held& h) { return h.file == file; });
        return std::nullopt;
    }
    QImage image = it->image;
    shownFile_ = file;
    settle();
    ++hits_;
    return image;
}

void HeldPictures::shown(const fs::path& file, const FileIdentity& identity, const QImage& image) {
    const std::lock_guard lock(mutex_);
    used();
    letGo([&](const Held& h) { return h.file == file; });
    held_.push_back({file, identity, image});
    shownFile_ = file;
    letGoBelow(kUnwanted, 0);
}

bool HeldPictures::reserve(const fs::path& file, std::int64_t bytes, std::int64_t alsoFree) {
    const std::lock_guard lock(mutex_);
    const int rank = rankOf(file);
    if (rank == kUnwanted || bytes <= 0 || bytes + alsoFree > budget_ - bytesHeld(rank) - reserved_) return false;
    letGoBelow(rank, bytes);
    reserved_ += bytes;
    settle();
    return true;
}

void HeldPictures::release(std::int64_t bytes) {
    const std::lock_guard lock(mutex_);
    reserved_ -= bytes;
    settle();
}

void HeldPictures::keep(const fs::path& file, const FileIdentity& identity, QImage image) {
    const std::lock_guard lock(mutex_);
    const int rank = rankOf(file);
    if (rank == kUnwanted) return;
    letGo([&](const Held& h) { return h.file == file; });
    letGoBelow(rank, image.sizeInBytes());
    held_.push_back({file, identity, std::move(image)});
}

QByteArray HeldPictures::read(const fs::path& file, FileIdentity* identity) {
    struct stat st {};
    QByteArray bytes = readPictureFile(file, &st, &pool_);
    if (identity) *identity = FileIdentity::of(st);
    return bytes;
}

QImage HeldPictures::memoryFor(const fs::path& opened, QSize size) {
    {
        const std::lock_guard lock(mutex_);
        used();
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

QImage HeldPictures::aheadMemory(QSize size) {
    // The spare memory that serves this picture leaves the pool before the pool is held
    // to what the budget leaves besides it.
    QImage memory = pool_.picture(size);
    const std::lock_guard lock(mutex_);
    settle();
    return memory;
}

void HeldPictures::forget(const fs::path& file) {
    const std::lock_guard lock(mutex_);
    letGo([&](const Held& h) { return h.file == file; });
}

void HeldPictures::forgetAll() {
    const std::lock_guard lock(mutex_);
    letGo([](const Held&) { return true; });
}

void HeldPictures::folderRead(const fs::path& folder) {
    const std::lock_guard lock(mutex_);
    letGo([&](const Held& h) { return h.file.parent_path() != folder || identityNow(h.file) != h.identity; });
    std::erase_if(wanted_, [&](const fs::path& f) { return f.parent_path() != folder; });
}

bool HeldPictures::trimIfIdle() {
    {
        const std::lock_guard lock(mutex_);
        if (std::chrono::steady_clock::now() - lastUse_ < idleAfter_) return pool_.spareBytes() == 0;
    }
    pool_.trim();
    return true;
}

bool HeldPictures::holds(const fs::path& file) {
    const std::lock_guard lock(mutex_);
    return isHeld(file);
}

std::int64_t HeldPictures::heldBytes() {
    const std::lock_guard lock(mutex_);
    return bytesHeld(-1);
}

std::uint64_t HeldPictures::hits() {
    const std::lock_guard lock(mutex_);
    return hits_;
}

}  // namespace pictavo
