// SPDX-License-Identifier: MIT
#pragma once
// Pictures decoded before they are asked for: while a picture is shown, a worker thread
// reads and decodes the files the person will most likely open next (the next and the
// previous file of the list), through the same reading code and with the same refusals
// as an ordinary open. An open takes a held picture only while its path still names the
// very file that was decoded (device, inode, size, modification and status-change times);
// otherwise the file is read afresh. Whatever is held besides the shown picture stays
// within a memory budget, and so does the memory kept for the next pictures (PixelPool),
// which is freed once the window has been idle for a while.

#include <sys/stat.h>
#include <sys/types.h>

#include <QImage>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "imaging/pixel_pool.h"

namespace pictavo {

// Which file a path named when it was read.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static FileIdentity of(const struct stat& st);
    friend bool operator==(const FileIdentity& a, const FileIdentity& b);
};

inline constexpr std::int64_t kAheadBudgetCeilingMiB = 512;
// The smaller of kAheadBudgetCeilingMiB and an eighth of the physical memory.
[[nodiscard]] std::int64_t defaultAheadBudget();
// No open and no new wish for this long, and the spare memory is freed.
inline constexpr std::chrono::milliseconds kSpareMemoryIdle{10000};

class DecodeAhead {
public:
    explicit DecodeAhead(std::int64_t budgetBytes = defaultAheadBudget(),
                         std::chrono::milliseconds idleAfter = kSpareMemoryIdle);
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    [[nodiscard]] std::int64_t budget() const { return budget_; }

    // Decode these files (native paths, most likely first) when they are not held yet;
    // every other held picture but the shown one is let go, queued work for others dropped.
    void want(const std::vector<std::filesystem::path>& files);

    // An open of `file`: its held picture (see take), or else the file read and decoded
    // here, and then kept as the shown one. Throws HostError as the reading code does.
    [[nodiscard]] QImage open(const std::filesystem::path& file);
    // An open of `file`: the held picture if the path still names the file decoded, after
    // waiting for a decode of that same file already under way. Any ahead-work for other
    // files is cancelled. Nothing when the file must be read afresh.
    std::optional<QImage> take(const std::filesystem::path& file);
    // The same, but without waiting for a decode of the file under way here (which is
    // then cancelled): the caller decodes it itself, its visible rows first.
    std::optional<QImage> takeHeld(const std::filesystem::path& file);
    // A picture the person opened the ordinary way; kept while it is shown so that it is
    // at hand as the previous one after the next step.
    void shown(const std::filesystem::path& file, const struct stat& identity, const QImage& image);

    // The file's bytes, read into memory kept for the next pictures; give them back once
    // decoded. Throws HostError as the reading code does.
    [[nodiscard]] QByteArray read(const std::filesystem::path& file, struct stat* identity);
    void giveBack(QByteArray&& bytes) { pool_.giveBack(std::move(bytes)); }
    // Memory for the picture the person opens: on a jump elsewhere, that of a held
    // neighbour no longer likely to be opened; else spare or new memory.
    [[nodiscard]] QImage memoryFor(const std::filesystem::path& opened, QSize size);

    // The file was written, renamed over or deleted: its picture is let go.
    void forget(const std::filesystem::path& file);
    // A folder was read afresh: pictures of other folders, and of files changed since they
    // were decoded, are let go.
    void folderRead(const std::filesystem::path& folder);

    // Blocks until no work is queued or under way (tests and measurements).
    void finish();
    [[nodiscard]] bool holds(const std::filesystem::path& file);
    // Opens served from held pictures.
    [[nodiscard]] std::uint64_t hits();
    // Memory kept for the next pictures, besides the pictures held.
    [[nodiscard]] std::int64_t spareBytes() const { return pool_.spareBytes(); }
    // Bytes of the pictures held besides the shown one.
    [[nodiscard]] std::int64_t heldBytes();

private:
    struct Held {
        std::filesystem::path file;
        FileIdentity identity;
        QImage image;
    };
    void run();
    // Under mutex_: what the worker decodes from now on.
    void wish(const std::vector<std::filesystem::path>& files);
    void decode(const std::filesystem::path& file, std::uint64_t generation);
    // Bytes held besides the shown picture, of files more likely than `rank` (all for -1).
    [[nodiscard]] std::int64_t bytesHeld(int rank) const;
    [[nodiscard]] int rankOf(const std::filesystem::path& file) const;
    [[nodiscard]] bool isHeld(const std::filesystem::path& file) const;
    // Lets go of held pictures less likely than `rank` until `room` more bytes fit.
    void letGoBelow(int rank, std::int64_t room);
    // Lets go of the held pictures `drop` picks; their memory may serve the next ones.
    void letGo(const std::function<bool(const Held&)>& drop);
    void dropUnwanted();
    // What the spare memory may take now: the budget less what is held and decoding.
    void settle();
    std::optional<QImage> takeHeld(const std::filesystem::path& file, std::unique_lock<std::mutex>& lock);
    const std::int64_t budget_;
    const std::chrono::milliseconds idleAfter_;
    PixelPool pool_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::filesystem::path> wanted_;  // most likely first
    std::vector<Held> held_;
    std::optional<std::filesystem::path> shownFile_;
    std::optional<std::filesystem::path> underWay_;
    // The file the window reads itself after a take found nothing; not decoded here too.
    std::optional<std::filesystem::path> opening_;
    std::int64_t underWayBytes_ = 0;  // promised to the decode under way
    std::chrono::steady_clock::time_point lastUse_ = std::chrono::steady_clock::now();
    std::size_t next_ = 0;          // the next entry of wanted_ the worker looks at
    std::uint64_t generation_ = 0;  // raised whenever queued work is cancelled
    std::uint64_t hits_ = 0;
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace pictavo
