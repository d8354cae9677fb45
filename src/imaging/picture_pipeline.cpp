// SPDX-License-Identifier: MIT
#include "imaging/picture_pipeline.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <QColorSpace>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <new>
#include <optional>
#include <string>

#include "base/errors.h"
#include "imaging/bitmap_rows.h"
#include "imaging/colour_profile.h"
#include "imaging/jpeg_rows.h"
#include "imaging/library_codecs.h"
#include "imaging/picture_reader.h"

namespace fs = std::filesystem;

namespace pictavo {

// One picture coming in: the person's open, work ahead, or a paste.
struct PicturePipeline::Job {
    Job(fs::path f, bool isAhead) : file(std::move(f)), ahead(isAhead) {}
    explicit Job(QByteArray offered) : bytes(std::move(offered)), ahead(false), pasted(true) {}

    const fs::path file;  // empty for a paste
    QByteArray bytes;     // a paste's bytes, given
    // Not (yet) asked for by the person; changed only under the pipeline's mutex.
    std::atomic<bool> ahead;
    const bool pasted = false;
    std::atomic<bool> started{false};
    // Work ahead the person asked for while it ran on the thread for work ahead: stopped
    // there, it goes on from these rows on an open's thread (that one's decoder was
    // cancelled by this very open), and the thread for work ahead is free for the next.
    struct Resume {
        QByteArray bytes;
        FileIdentity identity;
        QImage memory;
        uchar* bits;
        std::shared_ptr<Arrival> arrival;
        int fromRow;
    };
    std::optional<Resume> resume;  // only the decoding worker touches it
    std::atomic<bool> cancelled{false};
    std::atomic<bool> inView{false};                // see holdInView()
    std::chrono::steady_clock::duration yielded{};  // only the decoding worker touches it

    std::mutex mutex;
    std::condition_variable sized;
    std::shared_ptr<Arrival> arrival;  // once the size is known, until the open takes it
    std::weak_ptr<Arrival> arriving;   // the same while anyone holds it
    std::optional<QImage> whole;       // or the whole picture, decoded before it was told
    std::optional<std::string> refusal;

    [[nodiscard]] bool told() const { return arrival || whole || refusal; }
    void tell(const std::function<void()>& what) {
        {
            const std::lock_guard lock(mutex);
            what();
        }
        sized.notify_all();
    }
    void hand(std::shared_ptr<Arrival> a) {
        tell([&] {
            arriving = a;
            arrival = std::move(a);
        });
    }
    void handWhole(QImage image) {
        tell([&] { whole = std::move(image); });
    }
    void refuse(std::string why) {
        tell([&] { refusal = std::move(why); });
    }
    // Stops the decode within a few rows.
    void cancel() {
        cancelled.store(true);
        if (const auto a = arrivingNow()) a->cancel();
    }
    std::shared_ptr<Arrival> arrivingNow() {
        const std::lock_guard lock(mutex);
        return arriving.lock();
    }
};

namespace {

// True when the path now names another file than the one read (a file that is gone is not
// another file: what was read stays what the person opened).
bool replacedSince(const fs::path& file, const FileIdentity& read) {
    struct stat now {};
    return ::stat(file.c_str(), &now) == 0 && !(FileIdentity::of(now) == read);
}

// What a decoded picture says of its colours: read from the file's bytes where its reader
// leaves the profile out, else as Qt's reader attached it to the picture.
PictureColours coloursOf(const PictureKind& kind, const QByteArray& bytes, const QImage& decoded) {
    if (kind.jpeg() || kind.format == "bmp" || kind.format == "gif" || kind.format == "png")
        return pictureColours(bytes);
    if (kind.format == "heif") return {libraryCodecs()->heifProfile(bytes), false};
    if (kind.format == "jxl") return {libraryCodecs()->jxlProfile(bytes), false};
    return {decoded.colorSpace().iccProfile(), false};
}

// Converts a picture's rows to the screen's colours in strips on other workers while its
// decoder goes on, so that a profiled photo takes little longer than one without; and says
// how many rows from the top are decoded and converted, never fewer than it said before.
// Where the picture arrives columns first, each strip's first columns are converted before
// any strip's rest: the part a window shows at once costs a fraction of the whole rows.
// Work ahead converts its strips on its own thread, as it decodes: it never takes a thread
// an open could use. Waits for every strip before it goes.
class StripConverter {
public:
    // `bits`: the memory's pixels, taken while it was not shared (bits() of a shared
    // picture would copy it). `firstPart`: the columns that come first, and the rows before
    // which nothing else is converted (empty: whole rows). Rows above `fromRow` are
    // converted already. `report(rows, firstRows)`: rows complete, and complete in the first
    // columns.
    StripConverter(WorkerPool& pool, std::shared_ptr<const ColourConversion> conversion, const QImage& memory,
                   uchar* bits, const PicturePipeline::Job& job, std::shared_ptr<Arrival> arrival, QSize firstPart,
                   int fromRow, std::function<void(int rows, int firstRows)> report)
        : pool_(pool),
          state_(std::make_shared<State>(fromRow)),
          conversion_(std::move(conversion)),
          memory_(memory),
          bits_(bits),
          job_(job),
          arrival_(std::move(arrival)),
          firstColumns_(firstPart.width() > 0 ? std::min(firstPart.width(), memory.width()) : memory.width()),
          partRows_(firstPart.height()),
          report_(std::move(report)) {}
    ~StripConverter() { finish(); }
    StripConverter(const StripConverter&) = delete;
    StripConverter& operator=(const StripConverter&) = delete;

    // Rows [from, to) are decoded.
    void decoded(int from, int to) {
        const int width = memory_.width();
        // About a quarter of a million pixels a strip: enough work to be worth a hand-over.
        const int step = std::max(16, (256 * 1024) / std::max(width, 1));
        for (int first = from; first < to; first += step) {
            const int end = std::min(to, first + step);
            if (job_.ahead.load()) {
                convert(first, end, 0, width);
                continue;
            }
            if (firstColumns_ < width) {
                post(WorkerPool::Priority::Open, first, end, 0, firstColumns_);
                rest_.emplace_back(first, end);
                // The rest of the rows waits until the window has shown the part in view (or
                // a moment after the decoder passed it, for a picture no window shows): till
                // then the decoder and the window have the cores to themselves.
                if (end >= partRows_ && !passedPart_) passedPart_ = std::chrono::steady_clock::now();
                if (passedPart_ && ((arrival_ && arrival_->partInViewShown()) ||
                                    std::chrono::steady_clock::now() - *passedPart_ > kShowingTime)) {
                    for (const auto& [f, e] : rest_) post(WorkerPool::Priority::Chore, f, e, firstColumns_, width);
                    rest_.clear();
                }
            } else {
                post(WorkerPool::Priority::Open, first, end, 0, width);
            }
        }
    }
    void finish() {
        // A decode that ended early (cancelled or broken) still converts what it decoded.
        for (const auto& [f, e] : rest_) post(WorkerPool::Priority::Chore, f, e, firstColumns_, memory_.width());
        rest_.clear();
        std::unique_lock lock(state_->mutex);
        state_->changed.wait(lock, [&] { return state_->pending == 0; });
    }

private:
    // Strips done, and how far from the top they reach without a gap.
    struct Reach {
        std::map<int, int> done;  // below the top: first row -> end
        int top = 0;
        void add(int first, int end) {
            done[first] = end;
            for (auto it = done.find(top); it != done.end(); it = done.find(top)) {
                top = it->second;
                done.erase(it);
            }
        }
    };
    struct State {
        explicit State(int fromRow) : left{{}, fromRow}, right{{}, fromRow} {}
        std::mutex mutex;
        std::condition_variable changed;
        Reach left, right;  // the first columns, and the rest
        int pending = 0;
    };

    void post(WorkerPool::Priority priority, int first, int end, int left, int right) {
        {
            const std::lock_guard lock(state_->mutex);
            ++state_->pending;
        }
        auto strip = [this, state = state_, first, end, left, right] {
            convert(first, end, left, right);
            const std::lock_guard lock(state->mutex);
            --state->pending;
            state->changed.notify_all();
        };
        if (!pool_.post(priority, strip)) strip();  // the program is ending
    }

    // Rows [first, end) of columns [left, right), and what is complete now reported. A
    // strip from the left edge counts for the first columns, one to the right edge for the
    // rest; a whole-width strip for both.
    void convert(int first, int end, int left, int right) {
        const int width = memory_.width();
        if (!job_.cancelled.load())
            conversion_->convertRows(bits_ + qsizetype(first) * memory_.bytesPerLine() + qsizetype(left) * 4,
                                     memory_.bytesPerLine(), right - left, end - first, QImage::Format_RGB32);
        const std::lock_guard lock(state_->mutex);
        // Reported under the lock: the counts only ever rise.
        const int rowsBefore = std::min(state_->left.top, state_->right.top), firstBefore = state_->left.top;
        if (left == 0) state_->left.add(first, end);
        if (right == width) state_->right.add(first, end);
        const int rows = std::min(state_->left.top, state_->right.top), firstRows = state_->left.top;
        if ((rows > rowsBefore || firstRows > firstBefore) && report_) report_(rows, firstRows);
    }

    WorkerPool& pool_;
    std::shared_ptr<State> state_;
    std::shared_ptr<const ColourConversion> conversion_;
    QImage memory_;  // kept by every strip: a cancelled picture's memory outlives them
    uchar* bits_;
    const PicturePipeline::Job& job_;
    const std::shared_ptr<Arrival> arrival_;
    // How long a window may take to show the part in view once it has come.
    static constexpr std::chrono::milliseconds kShowingTime{50};
    std::optional<std::chrono::steady_clock::time_point> passedPart_;
    const int firstColumns_;                 // the width when whole rows come at once
    const int partRows_;                     // of the first part
    std::vector<std::pair<int, int>> rest_;  // strips whose columns after the first wait
    std::function<void(int, int)> report_;
};

}  // namespace

PicturePipeline::PicturePipeline(Options options)
    : options_(options), held_(std::make_unique<HeldPictures>(options.aheadBudget, options.spareMemoryIdle)) {
    held_->setAside([pool = &workers_](std::function<void()> work) {
        return pool->post(WorkerPool::Priority::Chore, std::move(work));
    });
}

PicturePipeline::~PicturePipeline() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
        if (current_) current_->cancel();
        cancelAhead(nullptr);
    }
    // Memory let go from now on is given back at once: the workers are going (they are
    // joined as the last member goes, first of all).
    held_->setAside({});
}

void PicturePipeline::setOnArrival(std::function<void()> onArrival) {
    const std::lock_guard lock(arrivalMutex_);
    onArrival_ = std::move(onArrival);
}

void PicturePipeline::arrived() {
    const std::lock_guard lock(arrivalMutex_);
    if (onArrival_) onArrival_();
}

void PicturePipeline::cancelAhead(const fs::path* keep) {
    std::erase_if(ahead_, [&](const std::shared_ptr<Job>& job) {
        if (keep && job->file == *keep) return false;
        stopAhead(*job);
        return true;
    });
}

Picture PicturePipeline::open(const fs::path& file) {
    std::shared_ptr<Job> job;
    std::shared_ptr<Job> previous;
    {
        const std::lock_guard lock(mutex_);
        // No picture is current while the held one is looked for: the decode of the one
        // before must not have it kept as the shown picture meanwhile.
        previous = std::exchange(current_, nullptr);
        // What was decoded ahead for other files is no longer what the person wants now.
        cancelAhead(&file);
        if (auto held = held_->take(file)) {
            if (previous) previous->cancel();
            return Picture(std::make_shared<const QImage>(std::move(*held)));
        }
        const auto it = std::find_if(ahead_.begin(), ahead_.end(), [&](const auto& j) { return j->file == file; });
        if (it != ahead_.end()) {
            // Being decoded ahead: the person's open takes the job over, with what it has done.
            job = *it;
            ahead_.erase(it);
            job->ahead = false;
            releaseInView(*job);
        } else {
            job = std::make_shared<Job>(file, false);
        }
        current_ = job;
        trimSoon();
    }
    try {
        Picture picture = start(job);
        if (previous && previous != job) previous->cancel();
        return picture;
    } catch (...) {
        // The picture shown before stays, and goes on arriving.
        const std::lock_guard lock(mutex_);
        if (current_ == job) current_ = previous;
        throw;
    }
}

Picture PicturePipeline::open(const ClipboardPicture& offered) {
    if (offered.format == QLatin1String(kDecodedPictureType)) {
        // Decoded in this very process; only its size is checked.
        return drawablePicture(decodeClipboardPicture(offered));
    }
    if (offered.bytes.size() > options_.pictureLimitBytes) throw HostError("The picture is too large");
    auto job = std::make_shared<Job>(offered.bytes);
    std::shared_ptr<Job> previous;
    {
        const std::lock_guard lock(mutex_);
        previous = std::exchange(current_, job);
        cancelAhead(nullptr);
    }
    try {
        Picture picture = start(job);
        if (previous) previous->cancel();
        return picture;
    } catch (...) {
        const std::lock_guard lock(mutex_);
        if (current_ == job) current_ = previous;
        throw;
    }
}

Picture PicturePipeline::start(const std::shared_ptr<Job>& job) {
    // Queued at the open's priority, even when it was queued ahead before: whichever
    // worker takes it first does the work.
    if (!job->started.load() && !workers_.post(WorkerPool::Priority::Open, [this, job] { run(job); }))
        throw HostError("The program is ending");
    std::unique_lock lock(job->mutex);
    job->sized.wait(lock, [&] { return job->told(); });
    if (job->refusal) throw HostError(*job->refusal);
    if (job->whole) return Picture(std::make_shared<const QImage>(std::move(*job->whole)));
    // Taken, not shared: once the view and the commands let the picture go, the finished
    // job does not keep its memory.
    return Picture(std::move(job->arrival));
}

void PicturePipeline::decodeAhead(const std::vector<fs::path>& files) {
    const std::vector<fs::path> missing = held_->want(files);
    const std::lock_guard lock(mutex_);
    // Work for files no longer wanted stops; what is wanted and neither held nor under way
    // is queued, the most likely first.
    std::erase_if(ahead_, [&](const std::shared_ptr<Job>& job) {
        if (std::find(files.begin(), files.end(), job->file) != files.end()) return false;
        stopAhead(*job);
        return true;
    });
    for (const fs::path& file : missing) {
        const bool underWay = (current_ && current_->file == file) ||
                              std::any_of(ahead_.begin(), ahead_.end(), [&](const auto& j) { return j->file == file; });
        if (underWay) continue;
        auto job = std::make_shared<Job>(file, true);
        holdInView(*job);
        if (!workers_.post(WorkerPool::Priority::Ahead, [this, job] { run(job); })) return releaseInView(*job);
        ahead_.push_back(std::move(job));
    }
    trimSoon();
}

void PicturePipeline::trimSoon() {
    // Under mutex_. Once the window has been idle long enough, the memory kept for the
    // next pictures goes back to the system.
    if (trimPending_ || closing_) return;
    trimPending_ = workers_.postAfter(options_.spareMemoryIdle, WorkerPool::Priority::Chore, [this] {
        const bool done = held_->trimIfIdle();
        const std::lock_guard lock(mutex_);
        trimPending_ = false;
        if (!done) trimSoon();
    });
}

void PicturePipeline::run(const std::shared_ptr<Job>& job) {
    if (job->started.exchange(true)) return;
    if (job->cancelled.load()) {
        releaseInView(*job);
        job->refuse("Cancelled");
        return;
    }
    decode(*job);
    {
        const std::lock_guard lock(mutex_);
        std::erase(ahead_, job);
    }
}

void PicturePipeline::decode(Job& job) {
    std::shared_ptr<Arrival> arrival;
    std::int64_t reserved = 0;
    // What a decode ahead was promised goes back however it ends.
    struct Reservation {
        HeldPictures& held;
        std::int64_t& bytes;
        ~Reservation() {
            if (bytes > 0) held.release(bytes);
        }
    } reservation{*held_, reserved};
    // Work ahead counts as under way in view only while it decodes.
    struct InView {
        PicturePipeline& pipeline;
        Job& job;
        ~InView() { pipeline.releaseInView(job); }
    } inViewEnds{*this, job};
    try {
        // Read: a large bitmap only up to its pixels, whose rows are read as they are decoded;
        // nothing where this goes on from work ahead that read the file.
        std::optional<Job::Resume> resume = std::exchange(job.resume, std::nullopt);
        if (resume) arrival = resume->arrival;
        FileIdentity identity = resume ? resume->identity : FileIdentity{};
        const std::unique_ptr<BitmapRows> bitmap =
            job.pasted || resume ? nullptr : BitmapRows::open(job.file, options_.arrivesLaterFrom);
        QByteArray bytes = job.pasted ? std::move(job.bytes)
                           : resume   ? resume->bytes
                           : bitmap   ? bitmap->headers()
                                      : held_->read(job.file, &identity);
        if (bitmap) identity = bitmap->identity();
        // Check. A large JPEG's end is found by its own decode (a file cut short fails
        // there); a small one is checked whole before its size is told. A bitmap read by
        // rows is checked against its file's size.
        const PictureKind kind =
            checkPicture(bytes, options_.pictureLimitBytes, false, bitmap ? bitmap->fileSize() : -1);
        if (bitmap && (kind.format != "bmp" || kind.size != bitmap->size()))
            throw HostError("The picture file is damaged");
        if (job.cancelled.load()) {
            if (arrival) arrival->stopped();  // handed over before it moved here
            return job.refuse("Cancelled");
        }
        // An opaque WebP still is decoded by rows as a JPEG is; any other WebP whole, by Qt.
        const LibraryCodecs* webp = kind.format == "webp" && !bitmap ? libraryCodecs() : nullptr;
        if (webp && (!kind.size.isValid() || webp->webpOpaqueSize(bytes) != kind.size)) webp = nullptr;
        const bool byRows = kind.jpeg() || bitmap || webp;
        const QSize stored = kind.size;
        const std::int64_t pixels = stored.isValid() ? std::int64_t(stored.width()) * stored.height() : 0;
        const bool large = pixels >= options_.arrivesLaterFrom;
        bool ahead = job.ahead.load();
        if (ahead) {
            // Work ahead only for what fits the budget now; a failure is not kept: the
            // person's own open reads the file again and reports it as ever.
            // A photo of the person's still arriving keeps the one before it alive meanwhile (the
            // window goes back to it should the new one be broken): the budget holds both.
            std::int64_t arriving = 0;
            {
                const std::lock_guard lock(mutex_);
                if (current_)
                    if (const auto a = current_->arrivingNow(); a && a->end() == Arrival::End::None)
                        arriving = 4 * std::int64_t(a->size().width()) * a->size().height();
            }
            if (pixels > 0 && held_->reserve(job.file, 4 * pixels, arriving)) {
                reserved = 4 * pixels;
            } else {
                const std::lock_guard lock(mutex_);
                if (job.ahead) {
                    std::erase_if(ahead_, [&](const auto& j) { return j.get() == &job; });
                    job.refuse("Not held ahead");
                    return;
                }
                ahead = false;  // the person asked for it meanwhile
            }
        }
        const auto memoryFor = [&](QSize size) {
            if (job.pasted) return held_->aheadMemory(size);
            return ahead ? held_->aheadMemory(size) : held_->memoryFor(job.file, size);
        };

        // Decode.
        if (!kind.jpeg()) releaseInView(job);
        QImage image;
        if (byRows) {
            // Into the picture's final memory, top to bottom; the window paints the rows
            // as they come.
            std::optional<JpegRows> jpeg;
            if (!bitmap && !webp) jpeg.emplace(bytes);
            const QSize size = bitmap ? bitmap->size() : webp ? kind.size : jpeg->size();
            // Colours as the photo was made: each strip is converted to the screen's as it
            // is decoded, before the window may paint it.
            const auto conversion = colours_.forPicture(bitmap ? bitmap->colours()
                                                        : webp ? PictureColours{webp->webpProfile(bytes), false}
                                                               : pictureColours(bytes));
            image = resume ? resume->memory : memoryFor(size);
            if (image.isNull()) throw std::bad_alloc();
            uchar* bits = resume ? resume->bits : image.bits();
            const qsizetype bytesPerLine = image.bytesPerLine();
            // The columns a window shows at once are converted first, where they are fewer
            // than the picture's.
            const QSize firstPart = conversion && large ? QSize(viewColumns_.load(), viewRows_.load()) : QSize();
            const int fromRow = resume ? resume->fromRow : 0;
            if (resume) {
                faultInAhead(arrival, bits, image.sizeInBytes());
            } else if (large) {
                arrival = std::make_shared<Arrival>(size);
                arrival->setMemory(image);
                if (firstPart.width() > 0) arrival->setFirstColumns(firstPart.width());
                job.hand(arrival);
                if (!ahead) faultInAhead(arrival, bits, image.sizeInBytes());
            }
            auto report = [&](int ready, int firstReady) {
                if (!arrival) return;
                if (firstReady > ready) arrival->firstRowsReady(firstReady);
                arrival->rowsReady(ready);
                if (!job.ahead) arrived();
            };
            std::optional<StripConverter> converter;
            if (conversion)
                converter.emplace(workers_, conversion, image, bits, job, arrival, firstPart, fromRow, report);
            int decoded = fromRow;
            // Work ahead that the person asked for meanwhile (or an open that the thread for
            // work ahead took from the queue first): stopped at the next strip, to go on on an
            // open's thread at the open's priority.
            const bool mayMove = arrival && jpeg && jpeg->resumable() && WorkerPool::onAheadThread();
            bool moving = false;
            // Work ahead whose rows in view are still to come goes before the rest of a photo
            // whose own rows in view are shown: under a held key the next photo is ready when
            // its step comes, and the rest of this one would be let go unseen.
            const int viewRows = viewRows_.load();
            if (!(jpeg && ahead && viewRows > fromRow)) releaseInView(job);
            const auto ready = [&](int ready) {
                if (ready >= viewRows) {
                    releaseInView(job);
                    // Never on the thread for work ahead, where the work waited for may be queued.
                    if (!job.ahead.load() && !WorkerPool::onAheadThread()) yieldToAheadInView(job);
                }
                if (ready <= decoded) return !job.cancelled.load();
                if (converter) {
                    converter->decoded(decoded, ready);
                } else {
                    report(ready, ready);
                }
                decoded = ready;
                moving = mayMove && !job.ahead.load() && ready < size.height();
                return !job.cancelled.load() && !moving;
            };
            // A bitmap's rows in view come in one go: one paint shows them.
            const bool whole = bitmap ? bitmap->decode(bits, bytesPerLine, viewRows_.load(), ready)
                               : webp ? webp->decodeWebpRows(bytes, bits, bytesPerLine, ready)
                                      : jpeg->decode(bits, bytesPerLine, ready, fromRow);
            // Every strip converted before the picture is whole, or given up.
            if (converter) converter->finish();
            if (!whole && moving && !job.cancelled.load()) {
                job.resume = Job::Resume{bytes, identity, image, bits, arrival, decoded};
                std::shared_ptr<Job> self;
                {
                    const std::lock_guard lock(mutex_);
                    if (current_.get() == &job) self = current_;
                }
                if (self && workers_.post(WorkerPool::Priority::Open, [this, self] { decode(*self); })) return;
                if (self) return decode(job);  // the program is ending: here, then
                job.resume.reset();
            }
            if (!whole) {
                if (arrival) {
                    arrival->stopped();
                } else {
                    job.refuse("Cancelled");
                }
                return;
            }
        } else {
            // Other kinds arrive whole at the end. A large bitmap, GIF or PNG is handed over
            // first: they carry no turn, so their header's size is the picture's. Other
            // kinds (a turned TIFF, HEIC or JPEG XL) are decoded before their size is told.
            const bool unturned = kind.format == "bmp" || kind.format == "gif" || kind.format == "png";
            if (large && unturned) {
                arrival = std::make_shared<Arrival>(stored);
                job.hand(arrival);
            }
            image = decodePicture(bytes, options_.pictureLimitBytes, memoryFor);
            if (arrival && image.size() != arrival->size()) {
                throw HostError("The picture is not the size its header gives");
            }
            if (const auto conversion = colours_.forPicture(coloursOf(kind, bytes, image))) conversion->convert(image);
        }
        if (!job.pasted) {
            // A bitmap read by rows has only its headers in memory: nothing worth keeping.
            if (!bitmap) held_->giveBack(std::move(bytes));
            if (replacedSince(job.file, identity)) throw HostError("The file changed while it was read");
        }

        // Arrive. The person's picture is kept as the shown one, so that it is at hand
        // after a step back; a picture decoded ahead is kept while it is still wanted.
        if (!job.pasted) {
            const std::lock_guard lock(mutex_);
            if (job.cancelled.load()) {
                // Replaced meanwhile: neither shown nor wanted any more.
            } else if (job.ahead) {
                held_->keep(job.file, identity, image);
            } else if (current_.get() == &job) {
                held_->shown(job.file, identity, image);
            }
        }
        if (!arrival) {
            // Decoded before its size was told: handed over whole, nothing left to arrive.
            job.handWhole(std::move(image));
            return;
        }
        if (byRows) {
            arrival->finish();
        } else {
            arrival->finish(std::move(image));
        }
    } catch (const HostError& e) {
        if (!arrival) return job.refuse(e.what());
        arrival->fail(e.what());
    } catch (const std::bad_alloc&) {
        if (!arrival) return job.refuse("Not enough memory for the picture");
        arrival->fail("Not enough memory for the picture");
    }
    arrived();
}

void PicturePipeline::holdInView(Job& job) {
    if (job.inView.exchange(true)) return;
    const std::lock_guard lock(inViewMutex_);
    ++aheadInView_;
}

void PicturePipeline::stopAhead(Job& job) {
    job.cancel();
    releaseInView(job);
}

void PicturePipeline::releaseInView(Job& job) {
    if (!job.inView.exchange(false)) return;
    {
        const std::lock_guard lock(inViewMutex_);
        --aheadInView_;
    }
    inViewChanged_.notify_all();
}

void PicturePipeline::yieldToAheadInView(Job& job) {
    // Bounded: work ahead that stalls must not hold the person's photo back for long.
    constexpr std::chrono::milliseconds kLongest{40}, kSlice{2};
    std::unique_lock lock(inViewMutex_);
    while (aheadInView_ > 0 && !job.cancelled.load() && job.yielded < kLongest) {
        const auto from = std::chrono::steady_clock::now();
        inViewChanged_.wait_for(lock, kSlice);
        job.yielded += std::chrono::steady_clock::now() - from;
    }
}

void PicturePipeline::faultInAhead(const std::shared_ptr<Arrival>& arrival, uchar* bits, qsizetype bytes) {
    // New memory costs a page fault on the first write of each page, a third of a large
    // photo's decode: a worker on an otherwise idle core takes them a little ahead of the
    // decoder. Never far ahead, so that a decode cancelled early has not made the whole
    // picture's memory resident. Only for a photo that stays on view, once its visible rows
    // are painted: a held key's steps come every 33 ms, and the faults would slow their
    // decoders. Each step is a chore of its own, and a step that would run too far ahead is
    // posted again a little later: no worker waits on the decoder, so a profiled photo's
    // strips always find one to convert them.
    struct Faults {
        std::weak_ptr<Arrival> arrival;
        uchar* bits;
        qsizetype bytes;
        int height;
        qsizetype at = 0;
    };
    const auto step = std::make_shared<std::function<void(Faults)>>();
    *step = [pool = &workers_, weakStep = std::weak_ptr(step)](Faults f) {
        constexpr qsizetype kStep = qsizetype(8) << 20, kLead = qsizetype(32) << 20;
        constexpr int kFirstRows = 512;
        constexpr std::chrono::milliseconds kRecheck{10};
        const std::shared_ptr<Arrival> a = f.arrival.lock();
        const auto next = weakStep.lock();
        if (!a || !next || f.at >= f.bytes || a->cancelled() || a->end() != Arrival::End::None) return;
        // Not before the rows a window shows first have arrived.
        const int decoderNear =
            std::max(std::min(f.height, kFirstRows), static_cast<int>((f.at - kLead) * f.height / f.bytes));
        if (a->rows() >= decoderNear) {
            // Kernels before 5.14 refuse this; the decoder then takes the faults itself.
            if (::madvise(f.bits + f.at, std::min(kStep, f.bytes - f.at), MADV_POPULATE_WRITE) != 0) return;
            f.at += kStep;
        }
        pool->postAfter(a->rows() >= decoderNear ? std::chrono::milliseconds(0) : kRecheck, WorkerPool::Priority::Chore,
                        [next, f] { (*next)(f); });
    };
    const Faults first{arrival, bits, bytes, arrival->size().height()};
    workers_.postAfter(std::chrono::milliseconds(100), WorkerPool::Priority::Chore, [step, first] { (*step)(first); });
}

void PicturePipeline::setViewSize(QSize devicePixels) {
    // Two hints, read apart: a size torn between two resizes costs no more than a wrong guess.
    viewColumns_.store(std::max(0, devicePixels.width()));
    viewRows_.store(std::max(0, devicePixels.height()));
}

void PicturePipeline::setScreenProfile(const QByteArray& icc) {
    colours_.setScreenProfile(icc);
    held_->forgetAll();
}

void PicturePipeline::forget(const fs::path& file) {
    held_->forget(file);
    const std::lock_guard lock(mutex_);
    std::erase_if(ahead_, [&](const std::shared_ptr<Job>& job) {
        if (job->file != file) return false;
        job->cancel();
        return true;
    });
}

void PicturePipeline::folderRead(const fs::path& folder) {
    held_->folderRead(folder);
    const std::lock_guard lock(mutex_);
    std::erase_if(ahead_, [&](const std::shared_ptr<Job>& job) {
        if (job->file.parent_path() == folder) return false;
        job->cancel();
        return true;
    });
}

void PicturePipeline::setAheadBudget(std::int64_t bytes) {
    {
        const std::lock_guard lock(mutex_);
        if (current_) current_->cancel();
        current_.reset();
        cancelAhead(nullptr);
    }
    workers_.waitIdle();
    held_->setAside({});
    options_.aheadBudget = bytes;
    held_ = std::make_unique<HeldPictures>(bytes, options_.spareMemoryIdle);
    held_->setAside([pool = &workers_](std::function<void()> work) {
        return pool->post(WorkerPool::Priority::Chore, std::move(work));
    });
}

void PicturePipeline::finish() {
    std::shared_ptr<Job> job;
    {
        const std::lock_guard lock(mutex_);
        job = current_;
    }
    if (!job) return;
    if (const auto arrival = job->arrivingNow()) (void)arrival->whole();
}

void PicturePipeline::finishAll() {
    finish();
    workers_.waitIdle();
}

}  // namespace pictavo
