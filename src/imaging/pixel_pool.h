// SPDX-License-Identifier: MIT
#pragma once
// Memory for large pictures and for the files they are read from, kept for the next
// picture rather than handed back to the kernel. Memory the kernel hands out anew costs a
// page fault on the first touch of every page: for a 24-megapixel photo that is a good
// third of its decode. A picture in pool memory is an ordinary QImage; when the last copy
// of it goes, from whichever thread, its memory comes back here and is kept while the
// limit allows, else freed. The owner sets the limit and frees the spares when idle.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>

namespace pictavo {

class PixelPool {
public:
    PixelPool();
    // Frees the spares; memory still in pictures is freed when they go.
    ~PixelPool();
    PixelPool(const PixelPool&) = delete;
    PixelPool& operator=(const PixelPool&) = delete;

    // A Format_RGB32 picture of `size`, its pixels undefined: in a spare that fits without
    // wasting more than the picture's own size, else in new memory (huge pages where they
    // help). Null when the memory cannot be had.
    [[nodiscard]] QImage picture(QSize size);
    // `size` bytes, their contents undefined, in a spare buffer when one fits.
    [[nodiscard]] QByteArray bytes(qsizetype size);
    // A buffer from bytes() that is no longer needed.
    void giveBack(QByteArray&& bytes);

    // Runs work off the caller's thread; false when it cannot (the caller then does it).
    using Aside = std::function<bool(std::function<void()>)>;
    // Where large memory is given back to the kernel: doing that for a large picture takes
    // a while (40 ms for 100 megapixels), and whoever let it go, often the window, does
    // not wait for it. Without one (or once it refuses), memory is given back at once.
    void setAside(Aside aside);

    // The most the spares may take together; those beyond it are freed at once.
    void setLimit(std::int64_t bytes);
    // Frees every spare.
    void trim();
    [[nodiscard]] std::int64_t spareBytes() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

// A Format_RGB32 picture of `size` in new memory that no pool keeps when it goes.
[[nodiscard]] QImage freshPicture(QSize size);

}  // namespace pictavo
