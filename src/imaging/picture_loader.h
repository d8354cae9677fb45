// SPDX-License-Identifier: MIT
#pragma once
// Opening pictures without ever decoding on the window's thread. An open hands back at
// once a picture held ahead; otherwise a worker reads the file, checks it and learns its
// size, and the open returns then, with a picture whose rows keep arriving (a JPEG top to
// bottom into its final memory, so the visible top-left part is ready long before the
// whole; other kinds whole, at the end). Opening the next picture cancels the decode of
// the one before. While a picture is shown, the files the person will likely open next
// are decoded ahead (DecodeAhead). This is the one owner of all of it.

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "imaging/decode_ahead.h"
#include "imaging/picture.h"

namespace pictavo {

class PictureLoader {
public:
    explicit PictureLoader(std::int64_t aheadBudget = defaultAheadBudget());
    ~PictureLoader();
    PictureLoader(const PictureLoader&) = delete;
    PictureLoader& operator=(const PictureLoader&) = delete;

    // Called on the worker's thread whenever rows of an arriving picture are ready or its
    // decode ends: the window looks at the picture it shows (set before the first open).
    void setOnArrival(std::function<void()> onArrival);

    // Opens a picture file (a native path). Throws HostError for what the reading code
    // refuses before the picture's size is known; a picture found broken after that ends
    // its arrival as failed.
    [[nodiscard]] Picture open(const std::filesystem::path& file);

    // The files the person will likely open next, most likely first.
    void decodeAhead(const std::vector<std::filesystem::path>& files);
    // The file was written, renamed over or deleted.
    void forget(const std::filesystem::path& file);
    // A folder was read afresh.
    void folderRead(const std::filesystem::path& folder);

    // What is decoded ahead; null before the first wish or open.
    [[nodiscard]] DecodeAhead* ahead() const { return ahead_.get(); }
    // Bytes the pictures held ahead may take; lets go of them.
    void setAheadBudget(std::int64_t bytes);

    // Blocks until the picture being opened has arrived whole or ended (tests, measurements).
    void finish();

private:
    struct Job;
    DecodeAhead& aheadWork();
    void decode(const std::shared_ptr<Job>& job);
    void arrived();

    std::int64_t aheadBudget_;
    std::unique_ptr<DecodeAhead> ahead_;
    std::mutex arrivalMutex_;  // no call of onArrival_ outlives its replacement
    std::function<void()> onArrival_;
    std::mutex mutex_;
    std::shared_ptr<Job> current_;
    struct Worker {
        std::shared_ptr<Job> job;
        std::thread thread;
    };
    std::vector<Worker> workers_;
};

}  // namespace pictavo
