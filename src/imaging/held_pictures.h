// SPDX-License-Identifier: MIT
#pragma once
// The pictures held in front of the picture pipeline: the one shown, and those decoded
// ahead because the person will likely open them next (the next and the previous file of
// the list). An open takes a held picture only while its path still names the very file
// that was decoded (FileIdentity); otherwise the file is read afresh. Whatever is held
// besides the shown picture stays within a memory budget, and so does the memory kept for
// the next pictures (PixelPool), which is freed once the window has been idle a while.
// This class only keeps the books; the pipeline's workers do the reading and decoding.

#include <QImage>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "imaging/picture_reader.h"
#include "imaging/pixel_pool.h"

namespace pictavo {

inline constexpr std::int64_t kAheadBudgetCeilingMiB = 512;
// The smaller of kAheadBudgetCeilingMiB and an eighth of the physical memory.
[[nodiscard]] std::int64_t defaultAheadBudget();
// No open and no new wish for this long, and the spare memory is freed.
inline constexpr std::chrono::milliseconds kSpareMemoryIdle{10000};

class HeldPictures {
public:
    explicit HeldPictures(std::int64_t budgetBytes = defaultAheadBudget(),
                          std::chrono::milliseconds idleAfter = kSpareMemoryIdle);
    HeldPictures(const HeldPictures&) = delete;
    HeldPictures& operator=(const HeldPictures&) = delete;

    [[nodiscard]] std::int64_t budget() const { return budget_; }

    // The files the person will likely open next, most likely first; every other held
    // picture but the shown one is let go. Returns those not held yet.
    std::vector<std::filesystem::path> want(const std::vector<std::filesystem::path>& files);
    [[nodiscard]] bool wanted(const std::filesystem::path& file);

    // An open of `file`: the held picture if the path still names the file decoded, which
    // is then the shown one. Nothing when the file must be read afresh.
    std::optional<QImage> take(const std::filesystem::path& file);
    // A picture the person opened; kept while it is shown so that it is at hand as the
    // previous one after the next step.
    void shown(const std::filesystem::path& file, const FileIdentity& identity, const QImage& image);

    // Room for decoding `bytes` ahead for `file`, made by letting go of less likely
    // pictures; false when the file is no longer wanted or cannot fit. Give it back with
    // release() once the decode ended. `alsoFree`: bytes the budget must have free beside
    // (not reserved: memory in use that the held books do not see).
    bool reserve(const std::filesystem::path& file, std::int64_t bytes, std::int64_t alsoFree = 0);
    void release(std::int64_t bytes);
    // A picture decoded ahead, kept while it is still wanted.
    void keep(const std::filesystem::path& file, const FileIdentity& identity, QImage image);

    // The file's bytes, read into memory kept for the next pictures; give them back once
    // decoded. Throws HostError as the reading code does.
    [[nodiscard]] QByteArray read(const std::filesystem::path& file, FileIdentity* identity);
    void giveBack(QByteArray&& bytes) { pool_.giveBack(std::move(bytes)); }
    // Memory for the picture the person opens: on a jump elsewhere, that of a held
    // neighbour no longer likely to be opened; else spare or new memory. Null when none
    // can be had.
    [[nodiscard]] QImage memoryFor(const std::filesystem::path& opened, QSize size);
    // Memory for a picture decoded ahead, within what reserve() made room for.
    [[nodiscard]] QImage aheadMemory(QSize size);
    // Where large memory goes to be given back to the kernel off the caller's thread.
    void setAside(PixelPool::Aside aside) { pool_.setAside(std::move(aside)); }

    // The file was written, renamed over or deleted: its picture is let go.
    void forget(const std::filesystem::path& file);
    // Every picture held is let go (the screen's colours changed).
    void forgetAll();
    // A folder was read afresh: pictures of other folders, and of files changed since they
    // were decoded, are let go.
    void folderRead(const std::filesystem::path& folder);
    // Frees the spare memory once nothing was asked for during `idleAfter`; false while
    // there is spare memory that is not to be freed yet.
    bool trimIfIdle();
    [[nodiscard]] std::chrono::milliseconds idleAfter() const { return idleAfter_; }

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
    void used() { lastUse_ = std::chrono::steady_clock::now(); }
    // Bytes held besides the shown picture, of files more likely than `rank` (all for -1).
    [[nodiscard]] std::int64_t bytesHeld(int rank) const;
    [[nodiscard]] int rankOf(const std::filesystem::path& file) const;
    [[nodiscard]] bool isHeld(const std::filesystem::path& file) const;
    // Lets go of held pictures less likely than `rank` until `room` more bytes fit.
    void letGoBelow(int rank, std::int64_t room);
    // Lets go of the held pictures `drop` picks; their memory may serve the next ones.
    void letGo(const std::function<bool(const Held&)>& drop);
    // What the spare memory may take now: the budget less what is held and reserved.
    void settle();

    const std::int64_t budget_;
    const std::chrono::milliseconds idleAfter_;
    PixelPool pool_;
    std::mutex mutex_;
    std::vector<std::filesystem::path> wanted_;  // most likely first
    std::vector<Held> held_;
    std::optional<std::filesystem::path> shownFile_;
    std::int64_t reserved_ = 0;  // promised to decodes ahead under way
    std::chrono::steady_clock::time_point lastUse_ = std::chrono::steady_clock::now();
    std::uint64_t hits_ = 0;
};

}  // namespace pictavo
