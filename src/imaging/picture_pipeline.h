// SPDX-License-Identifier: MIT
#pragma once
// The one way a picture comes in, whatever brought it (a click, an arrow key, the slide
// show, the command line, decoding ahead, a paste): read -> check -> decode -> arrive, on
// the workers of one pool, never on the window's thread.
//
// An open hands back a held picture at once (HeldPictures); otherwise a worker reads the
// file, checks it and learns its size, and the open returns then, with a picture whose
// rows keep arriving (a JPEG, or a large uncompressed bitmap read from its file a strip at
// a time, top to bottom into its final memory, so the visible top-left part is ready long
// before the whole; other kinds whole, at the end). Opening the next
// picture cancels the one before. Decoding ahead is the same job at a lower priority: an
// open of a file being decoded ahead takes that job over, rows decoded so far included.
// The window learns of arriving rows through one notice (setOnArrival), posted from the
// workers.

#include <QImage>
#include <QSize>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "imaging/clipboard_picture.h"
#include "imaging/colour_transforms.h"
#include "imaging/held_pictures.h"
#include "imaging/picture.h"
#include "imaging/picture_reader.h"
#include "imaging/worker_pool.h"

namespace pictavo {

class PicturePipeline {
public:
    struct Options {
        std::int64_t aheadBudget = defaultAheadBudget();
        // A picture of at least this many pixels arrives while the open goes on; a smaller
        // one decodes in about the time a large photo's visible rows take, and is decoded
        // before the open returns, so that its faults are found at once.
        std::int64_t arrivesLaterFrom = 2'000'000;
        // No open and no new wish for this long, and the spare memory is freed.
        std::chrono::milliseconds spareMemoryIdle = kSpareMemoryIdle;
        // The most one picture's pixels may take (at most the program's bound): lower for
        // the fuzz targets, so that each input takes a moment even under the sanitizers.
        std::int64_t pictureLimitBytes = kPictureLimitBytes;
    };
    PicturePipeline() : PicturePipeline(Options{}) {}
    explicit PicturePipeline(Options options);
    // Cancels every job and joins every thread: no work outlives the pipeline.
    ~PicturePipeline();
    PicturePipeline(const PicturePipeline&) = delete;
    PicturePipeline& operator=(const PicturePipeline&) = delete;

    // Called on a worker whenever rows of the picture being opened are ready or its decode
    // ends: the window then looks at the picture it shows (set before the first open).
    void setOnArrival(std::function<void()> onArrival);

    // Opens a picture file (a native path). Throws HostError for what the reading code
    // refuses before the picture's size is known; a picture found broken after that ends
    // its arrival as failed.
    [[nodiscard]] Picture open(const std::filesystem::path& file);
    // Opens what another program offered on the clipboard, as a file is opened.
    [[nodiscard]] Picture open(const ClipboardPicture& offered);

    // The files the person will likely open next, most likely first.
    void decodeAhead(const std::vector<std::filesystem::path>& files);
    // The file was written, renamed over or deleted.
    void forget(const std::filesystem::path& file);
    // A folder was read afresh.
    void folderRead(const std::filesystem::path& folder);

    [[nodiscard]] HeldPictures& held() { return *held_; }
    // The conversions from pictures' colour profiles to the screen's, and back to sRGB.
    [[nodiscard]] const ColourTransforms& colours() const { return colours_; }
    // The screen's colour profile (empty: sRGB). Pictures held ahead, in the colours of
    // the screen before, are let go.
    void setScreenProfile(const QByteArray& icc);
    // How large the window's view of a picture is, in pixels: a large profiled photo's
    // columns in view are converted first (the whole rows when not told).
    void setViewSize(QSize devicePixels);

    // Bytes the pictures held ahead may take; lets go of every picture held.
    void setAheadBudget(std::int64_t bytes);

    // Blocks until the picture being opened has arrived whole or ended (tests, measurements).
    void finish();
    // Blocks until no work is queued or under way, work ahead included (tests, measurements).
    void finishAll();

    struct Job;

private:
    [[nodiscard]] Picture start(const std::shared_ptr<Job>& job);
    void run(const std::shared_ptr<Job>& job);
    void decode(Job& job);
    void arrived();
    // Under mutex_: cancels the work ahead for every file but `keep`.
    void cancelAhead(const std::filesystem::path* keep);
    // Counts work ahead among that whose rows in view are still to come (from when it is
    // asked for, since the thread for work ahead gets little of a busy machine), and no
    // longer: once they are decoded, or the work ends, is cancelled or taken over. Either
    // may come more than once.
    void holdInView(Job& job);
    void releaseInView(Job& job);
    // On the person's decode, past its rows in view: waits while work ahead decodes rows
    // in view, 40 ms at most for each picture.
    void yieldToAheadInView(Job& job);
    // Work ahead no longer wanted: cancelled, and no longer waited for.
    void stopAhead(Job& job);
    void faultInAhead(const std::shared_ptr<Arrival>& arrival, uchar* bits, qsizetype bytes);
    void trimSoon();

    Options options_;
    ColourTransforms colours_;
    std::unique_ptr<HeldPictures> held_;
    std::mutex arrivalMutex_;  // no call of onArrival_ outlives its replacement
    std::function<void()> onArrival_;
    std::mutex mutex_;
    std::shared_ptr<Job> current_;             // the person's open
    std::vector<std::shared_ptr<Job>> ahead_;  // work ahead, queued or under way
    bool trimPending_ = false;
    std::atomic<int> viewColumns_{0}, viewRows_{0};
    std::mutex inViewMutex_;
    std::condition_variable inViewChanged_;
    int aheadInView_ = 0;
    bool closing_ = false;
    // Last: taken down first, while everything its jobs use is still there (a job that
    // posts more work while the pool is going is told no, and does the work itself).
    WorkerPool workers_;
};

}  // namespace pictavo
