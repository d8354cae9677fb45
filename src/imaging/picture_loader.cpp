// SPDX-License-Identifier: MIT
#include "imaging/picture_loader.h"

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "base/errors.h"
#include "imaging/jpeg_rows.h"
#include "imaging/picture_reader.h"

namespace fs = std::filesystem;

namespace pictavo {

struct PictureLoader::Job {
    explicit Job(fs::path f) : file(std::move(f)) {}
    const fs::path file;
    std::mutex mutex;
    std::condition_variable sized;
    std::shared_ptr<Arrival> arrival;  // once the size is known, until the open takes it
    std::weak_ptr<Arrival> arriving;   // the same while anyone holds it
    std::optional<QImage> whole;       // or the whole picture, decoded before it was told
    std::optional<std::string> refusal;
    std::atomic<bool> done{false};

    void hand(std::shared_ptr<Arrival> a) {
        {
            const std::lock_guard lock(mutex);
            arriving = a;
            arrival = std::move(a);
        }
        sized.notify_all();
    }
    // Stops the decode within a few rows.
    void cancel() {
        if (const auto a = arrivingNow()) a->cancel();
    }
    std::shared_ptr<Arrival> arrivingNow() {
        const std::lock_guard lock(mutex);
        return arriving.lock();
    }
    void handWhole(QImage image) {
        {
            const std::lock_guard lock(mutex);
            whole = std::move(image);
        }
        sized.notify_all();
    }
    void refuse(std::string why) {
        {
            const std::lock_guard lock(mutex);
            refusal = std::move(why);
        }
        sized.notify_all();
    }
};

namespace {

// New memory costs a page fault on the first write of each page, a third of a large
// photo's decode: a thread on an otherwise idle core takes them a little ahead of the
// decoder. Never far ahead, so that a decode cancelled early has not made the whole
// picture's memory resident.
void faultInAhead(const std::shared_ptr<Arrival>& arrival, uchar* bits, qsizetype bytes) {
    const int height = arrival->size().height();
    try {
        std::thread([weak = std::weak_ptr<Arrival>(arrival), bits, bytes, height] {
            // Only for a photo that stays on view, once its visible rows are painted: a held
            // key's steps come every 33 ms, and the faults would slow their decoders.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            constexpr qsizetype kStep = qsizetype(8) << 20, kLead = qsizetype(32) << 20;
            constexpr int kFirstRows = 512;
            for (qsizetype at = 0; at < bytes; at += kStep) {
                const std::shared_ptr<Arrival> a = weak.lock();
                if (!a) return;
                // Not before the rows a window shows first have arrived.
                const int decoderNear =
                    std::max(std::min(height, kFirstRows), static_cast<int>((at - kLead) * height / bytes));
                while (a->rows() < decoderNear && !a->cancelled() && a->end() == Arrival::End::None)
                    a->waitRows(decoderNear, std::chrono::milliseconds(20));
                if (a->cancelled() || a->end() != Arrival::End::None) return;
                // Kernels before 5.14 refuse this; the decoder then takes the faults itself.
                if (::madvise(bits + at, std::min(kStep, bytes - at), MADV_POPULATE_WRITE) != 0) return;
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the decoder takes the faults itself.
    }
}

// True when the path now names another file than the one read (a file that is gone is not
// another file: what was read stays what the person opened).
bool replacedSince(const fs::path& file, const struct stat& read) {
    struct stat now {};
    return ::stat(file.c_str(), &now) == 0 && !(FileIdentity::of(now) == FileIdentity::of(read));
}

}  // namespace

PictureLoader::PictureLoader(std::int64_t aheadBudget) : aheadBudget_(aheadBudget) {}

PictureLoader::~PictureLoader() {
    // The decode under way stops within a few rows.
    for (Worker& w : workers_) {
        w.job->cancel();
        w.thread.join();
    }
}

DecodeAhead& PictureLoader::aheadWork() {
    if (!ahead_) ahead_ = std::make_unique<DecodeAhead>(aheadBudget_);
    return *ahead_;
}

void PictureLoader::setOnArrival(std::function<void()> onArrival) {
    const std::lock_guard lock(arrivalMutex_);
    onArrival_ = std::move(onArrival);
}

void PictureLoader::arrived() {
    const std::lock_guard lock(arrivalMutex_);
    if (onArrival_) onArrival_();
}

Picture PictureLoader::open(const fs::path& file) {
    DecodeAhead& ahead = aheadWork();
    // Workers whose decode has ended are done with.
    std::erase_if(workers_, [](Worker& w) {
        if (!w.job->done.load()) return false;
        w.thread.join();
        return true;
    });
    // No picture is current while the held one is looked for: the decode of the one
    // before must not have it kept as the shown picture meanwhile.
    std::shared_ptr<Job> previous;
    {
        const std::lock_guard lock(mutex_);
        previous = std::exchange(current_, nullptr);
    }
    if (auto held = ahead.takeHeld(file)) {
        if (previous) previous->cancel();
        return Picture(std::make_shared<const QImage>(std::move(*held)));
    }

    auto job = std::make_shared<Job>(file);
    {
        const std::lock_guard lock(mutex_);
        current_ = job;
    }
    workers_.push_back({job, std::thread([this, job] {
                            decode(job);
                            job->done.store(true);
                        })});
    std::unique_lock lock(job->mutex);
    job->sized.wait(lock, [&] { return job->arrival || job->whole || job->refusal; });
    if (job->refusal) {
        // The picture shown before stays, and goes on arriving.
        {
            const std::lock_guard current(mutex_);
            if (current_ == job) current_ = previous;
        }
        throw HostError(*job->refusal);
    }
    if (previous) previous->cancel();
    if (job->whole) return Picture(std::make_shared<const QImage>(std::move(*job->whole)));
    // Taken, not shared: once the view and the commands let the picture go, the finished
    // job does not keep its memory.
    return Picture(std::move(job->arrival));
}

void PictureLoader::decode(const std::shared_ptr<Job>& job) {
    DecodeAhead& ahead = *ahead_;
    std::shared_ptr<Arrival> arrival;
    try {
        struct stat st {};
        QByteArray bytes = ahead.read(job->file, &st);
        // A large JPEG's end is found by its own decode (a file cut short fails there); a
        // small one is checked whole by decodePicture before its size is told.
        const PictureKind kind = checkPicture(bytes, std::int64_t(kPictureAllocationLimitMiB) << 20, false);
        QImage image;
        // A small picture decodes whole in about the time a large photo's visible rows
        // take: it is decoded before the open returns, and its faults are found at once.
        // Large ones arrive while the window goes on.
        constexpr qint64 kArrivesLaterFrom = 2'000'000;
        const bool large = kind.size.isValid() && qint64(kind.size.width()) * kind.size.height() >= kArrivesLaterFrom;
        if (kind.jpeg() && large) {
            // Into the picture's final memory, top to bottom; the window paints the rows
            // as they come.
            JpegRows rows(bytes);
            image = ahead.memoryFor(job->file, rows.size());
            if (image.isNull()) throw std::bad_alloc();
            uchar* bits = image.bits();
            const qsizetype bytesPerLine = image.bytesPerLine();
            arrival = std::make_shared<Arrival>(rows.size());
            arrival->setMemory(image);
            job->hand(arrival);
            faultInAhead(arrival, bits, image.sizeInBytes());
            const bool whole = rows.decode(bits, bytesPerLine, [&](int ready) {
                if (ready > 0) {
                    arrival->rowsReady(ready);
                    arrived();
                }
                return !arrival->cancelled();
            });
            if (!whole) {
                arrival->stopped();
                return;
            }
        } else {
            // Bitmaps and GIFs carry no turn: their header's size is the picture's, and a
            // large one arrives whole at the end. Anything else (a PNG named .jpg) is
            // decoded before its size is told.
            if (large && (kind.format == "bmp" || kind.format == "gif")) {
                arrival = std::make_shared<Arrival>(kind.size);
                job->hand(arrival);
            }
            image = decodePicture(bytes, std::int64_t(kPictureAllocationLimitMiB) << 20,
                                  [&](QSize size) { return ahead.memoryFor(job->file, size); });
            if (arrival && image.size() != arrival->size()) {
                throw HostError("The picture is not the size its header gives");
            }
        }
        ahead.giveBack(std::move(bytes));
        if (replacedSince(job->file, st)) throw HostError("The file changed while it was read");
        // Kept as the shown picture, so that it is at hand after a step back.
        {
            const std::lock_guard lock(mutex_);
            if (current_ == job) ahead.shown(job->file, st, image);
        }
        if (!arrival) {
            // Decoded before its size was told: handed over whole, nothing left to arrive.
            job->handWhole(std::move(image));
            return;
        }
        if (kind.jpeg() && large) {
            arrival->finish();
        } else {
            arrival->finish(std::move(image));
        }
    } catch (const HostError& e) {
        if (!arrival) return job->refuse(e.what());
        arrival->fail(e.what());
    } catch (const std::bad_alloc&) {
        if (!arrival) return job->refuse("Not enough memory for the picture");
        arrival->fail("Not enough memory for the picture");
    }
    arrived();
}

void PictureLoader::decodeAhead(const std::vector<fs::path>& files) { aheadWork().want(files); }

void PictureLoader::forget(const fs::path& file) {
    if (ahead_) ahead_->forget(file);
}

void PictureLoader::folderRead(const fs::path& folder) {
    if (ahead_) ahead_->folderRead(folder);
}

void PictureLoader::setAheadBudget(std::int64_t bytes) {
    for (Worker& w : workers_) {
        w.job->cancel();
        w.thread.join();
    }
    workers_.clear();
    current_.reset();
    aheadBudget_ = bytes;
    ahead_.reset();
}

void PictureLoader::finish() {
    std::shared_ptr<Job> job;
    {
        const std::lock_guard lock(mutex_);
        job = current_;
    }
    if (!job) return;
    if (const auto arrival = job->arrivingNow()) (void)arrival->whole();
}

}  // namespace pictavo
