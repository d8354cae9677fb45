// SPDX-License-Identifier: MIT
#pragma once
// A decoded picture: shared, immutable pixels. Copies are cheap. A picture may still be
// arriving: its size is known and its rows come in from a decoder on another thread (see
// Arrival); whoever asks for its pixels through image() waits for the whole, so nothing
// ever saves or copies half a picture. Only the viewport paints the rows that are ready.

#include <QImage>
#include <QSize>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace pictavo {

// The pixels of a picture still being decoded on another thread. The decoder writes rows
// top to bottom into the picture's final memory and says how many are complete; or, for
// a picture it can only decode whole, hands the whole over at the end. It may also fail
// part way, or be cancelled because the person opened another picture.
//
// The picture's QImage is touched only by the thread that shows it (the window's): the
// decoder writes through the pixel pointer it took before handing the picture over.
class Arrival {
public:
    enum class End { None, Whole, Failed, Cancelled };

    explicit Arrival(QSize size) : size_(size) {}
    Arrival(const Arrival&) = delete;
    Arrival& operator=(const Arrival&) = delete;

    [[nodiscard]] QSize size() const { return size_; }

    // --- the showing thread ---------------------------------------------------------
    // The picture as far as it has arrived: `rows` from the top are complete.
    [[nodiscard]] const QImage& soFar(int& rows);
    // The same, with how far the columns that come first have arrived (see firstRows()).
    [[nodiscard]] const QImage& soFar(int& rows, int& firstRows);
    // Waits for the end; the whole picture, or a null image when it failed or was cancelled.
    [[nodiscard]] const QImage& whole();
    [[nodiscard]] End end() const;
    // Why the decode failed, for the person.
    [[nodiscard]] std::string failure() const;

    // --- any thread ------------------------------------------------------------------
    // Waits until `rows` rows are complete or the decode ended, at most `timeout`.
    void waitRows(int rows, std::chrono::milliseconds timeout);
    // How many rows from the top are complete.
    [[nodiscard]] int rows() const { return rows_.load(std::memory_order_acquire); }
    // A picture that arrives columns first (those a window shows at once, before the rest
    // of each row) has this many columns from the left complete in firstRows() rows from
    // the top; the picture's width when whole rows arrive at once.
    [[nodiscard]] int firstColumns() const { return firstColumns_; }
    [[nodiscard]] int firstRows() const { return std::max(rows(), firstRows_.load(std::memory_order_acquire)); }
    void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    // A window showed every row of the picture in its view: what is still to come may take
    // the cores now.
    void shownInView() { shownInView_.store(true, std::memory_order_relaxed); }
    [[nodiscard]] bool partInViewShown() const { return shownInView_.load(std::memory_order_relaxed); }
    [[nodiscard]] bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

    // --- the decoder --------------------------------------------------------------------
    // The memory the rows are decoded into, before the picture is handed over.
    void setMemory(QImage image) { image_ = std::move(image); }
    // Before the picture is handed over: its left `columns` come first.
    void setFirstColumns(int columns) { firstColumns_ = std::clamp(columns, 0, size_.width()); }
    // The first `rows` rows are complete.
    void rowsReady(int rows);
    // The first `rows` rows are complete in the first columns (rows() and more).
    void firstRowsReady(int rows);
    // Every row is in place, or, for a picture decoded elsewhere, here is the whole.
    void finish(QImage decoded = {});
    void fail(std::string why);
    void stopped();

private:
    void endWith(End end);
    // Under mutex_, on the showing thread: takes over a whole decoded elsewhere.
    void adopt();

    const QSize size_;
    QImage image_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<int> rows_{0};
    int firstColumns_ = size_.width();
    std::atomic<int> firstRows_{0};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> shownInView_{false};
    End end_ = End::None;
    QImage handedOver_;
    bool adopted_ = true;
    std::string failure_;
};

class Picture {
public:
    Picture() = default;
    explicit Picture(std::shared_ptr<const QImage> image);
    explicit Picture(std::shared_ptr<Arrival> arrival);

    [[nodiscard]] bool isNull() const;
    [[nodiscard]] int widthPx() const;
    [[nodiscard]] int heightPx() const;
    // The whole picture; waits for one still arriving (never null for a picture that is
    // not null, but an empty image when its decode failed).
    [[nodiscard]] const QImage* image() const;
    // Null for a picture that was decoded whole before it was shown.
    [[nodiscard]] const std::shared_ptr<Arrival>& arrival() const { return arrival_; }

    friend bool operator==(const Picture& a, const Picture& b) {
        return a.image_ == b.image_ && a.arrival_ == b.arrival_;
    }

private:
    std::shared_ptr<const QImage> image_;
    std::shared_ptr<Arrival> arrival_;
};

// The image at 32 bits per pixel in the form the viewport draws from fastest: RGB32, or
// premultiplied ARGB32 where it has transparency. The one conversion every picture that
// needs one goes through.
[[nodiscard]] QImage to32Bits(const QImage& image);

// A picture in the form the viewport draws from: RGB32 or premultiplied ARGB32, converted
// by to32Bits unless it already is. Every pasted image goes through here.
[[nodiscard]] Picture drawablePicture(QImage image);

}  // namespace pictavo
