// SPDX-License-Identifier: MIT
#include "imaging/pixel_pool.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <vector>

namespace pictavo {

namespace {

// Beyond this the kernel, asked for so many huge pages at once, spent more time finding
// them (compacting memory) than they saved: a 100-megapixel picture opened much slower.
constexpr std::size_t kHugePagesUpTo = std::size_t(128) * 1024 * 1024;
// Enough for the pictures and file buffers of one step each way.
constexpr std::size_t kMostSpares = 4;

std::size_t pageSize() {
    static const auto size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

// Pixel memory of its own mapping, so that freeing it surely gives it back to the kernel.
struct Block {
    void* data = nullptr;
    std::size_t capacity = 0;
    std::shared_ptr<PixelPool::State> pool;  // set while a picture uses it

    static Block* make(std::size_t bytes) {
        const std::size_t capacity = (bytes + pageSize() - 1) / pageSize() * pageSize();
        void* data = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (data == MAP_FAILED) return nullptr;
        if (capacity <= kHugePagesUpTo) ::madvise(data, capacity, MADV_HUGEPAGE);
        return new Block{data, capacity, {}};
    }
    static void free(Block* block) {
        ::munmap(block->data, block->capacity);
        delete block;
    }
    // Giving back a large picture's pages takes the kernel a while: done aside where the
    // owner of the memory says how.
    static void freeSoon(Block* block, const PixelPool::Aside& aside) {
        if (block->capacity >= kLarge && aside && aside([block] { free(block); })) return;
        free(block);
    }
    static constexpr std::size_t kLarge = std::size_t(16) * 1024 * 1024;
};

// The smallest capacity that holds `need` without being more than twice as large: a
// small picture does not pin a large buffer.
template <class Range, class Capacity>
auto bestFit(Range& spares, std::size_t need, Capacity capacity) {
    auto best = spares.end();
    for (auto it = spares.begin(); it != spares.end(); ++it) {
        const std::size_t c = capacity(*it);
        if (c >= need && c <= 2 * need + pageSize() && (best == spares.end() || c < capacity(*best))) best = it;
    }
    return best;
}

void releaseBlock(void* info);

QImage wrap(Block* block, QSize size) {
    if (!block) return {};
    QImage image(static_cast<uchar*>(block->data), size.width(), size.height(), qsizetype(size.width()) * 4,
                 QImage::Format_RGB32, releaseBlock, block);
    if (image.isNull()) releaseBlock(block);
    return image;
}

std::size_t pictureBytes(QSize size) {
    if (size.width() <= 0 || size.height() <= 0) return 0;
    return std::size_t(size.width()) * std::size_t(size.height()) * 4;
}

}  // namespace

struct PixelPool::State {
    std::mutex mutex;
    bool open = true;
    std::int64_t limit = 0;
    std::int64_t spare = 0;
    std::vector<Block*> pictures;
    std::vector<QByteArray> buffers;
    PixelPool::Aside aside;

    [[nodiscard]] bool room(std::size_t bytes) const {
        return open && pictures.size() + buffers.size() < kMostSpares && spare + std::int64_t(bytes) <= limit;
    }
    // Pictures' memory, the larger, goes first, the oldest first, until the rest fit.
    void trimTo(std::int64_t bytes) {
        while (spare > bytes && !pictures.empty()) {
            spare -= std::int64_t(pictures.front()->capacity);
            Block::freeSoon(pictures.front(), aside);
            pictures.erase(pictures.begin());
        }
        while (spare > bytes && !buffers.empty()) {
            spare -= buffers.front().capacity();
            buffers.erase(buffers.begin());
        }
    }
};

namespace {

// A picture's last copy went: its memory is kept for the next one if the pool allows.
void releaseBlock(void* info) {
    auto* block = static_cast<Block*>(info);
    // A spare needs no pool, and must not keep it alive.
    const std::shared_ptr<PixelPool::State> pool = std::move(block->pool);
    if (pool) {
        const std::lock_guard lock(pool->mutex);
        if (pool->room(block->capacity)) {
            pool->pictures.push_back(block);
            pool->spare += std::int64_t(block->capacity);
        } else {
            // Under the lock: the aside is not taken away (and its threads gone) meanwhile.
            Block::freeSoon(block, pool->aside);
        }
        return;
    }
    Block::freeSoon(block, {});
}

}  // namespace

PixelPool::PixelPool() : state_(std::make_shared<State>()) {}

PixelPool::~PixelPool() {
    const std::lock_guard lock(state_->mutex);
    state_->open = false;
    state_->trimTo(0);
}

QImage PixelPool::picture(QSize size) {
    const std::size_t need = pictureBytes(size);
    if (need == 0) return {};
    Block* block = nullptr;
    {
        const std::lock_guard lock(state_->mutex);
        auto& spares = state_->pictures;
        const auto it = bestFit(spares, need, [](const Block* b) { return b->capacity; });
        if (it != spares.end()) {
            block = *it;
            spares.erase(it);
            state_->spare -= std::int64_t(block->capacity);
        }
    }
    if (!block) block = Block::make(need);
    if (block) block->pool = state_;
    return wrap(block, size);
}

QByteArray PixelPool::bytes(qsizetype size) {
    {
        const std::lock_guard lock(state_->mutex);
        auto& spares = state_->buffers;
        const auto it =
            bestFit(spares, std::size_t(size), [](const QByteArray& b) { return std::size_t(b.capacity()); });
        if (it != spares.end()) {
            QByteArray buffer = std::move(*it);
            spares.erase(it);
            state_->spare -= buffer.capacity();
            buffer.resize(size);  // within its capacity: no new memory
            return buffer;
        }
    }
    return QByteArray(size, Qt::Uninitialized);
}

void PixelPool::giveBack(QByteArray&& bytes) {
    QByteArray buffer = std::move(bytes);
    if (!buffer.isDetached() || buffer.capacity() == 0) return;
    const std::lock_guard lock(state_->mutex);
    if (!state_->room(std::size_t(buffer.capacity()))) return;
    state_->spare += buffer.capacity();
    state_->buffers.push_back(std::move(buffer));
}

void PixelPool::setAside(Aside aside) {
    const std::lock_guard lock(state_->mutex);
    state_->aside = std::move(aside);
}

void PixelPool::setLimit(std::int64_t bytes) {
    const std::lock_guard lock(state_->mutex);
    state_->limit = std::max<std::int64_t>(bytes, 0);
    state_->trimTo(state_->limit);
}

void PixelPool::trim() {
    const std::lock_guard lock(state_->mutex);
    state_->trimTo(0);
}

std::int64_t PixelPool::spareBytes() const {
    const std::lock_guard lock(state_->mutex);
    return state_->spare;
}

QImage freshPicture(QSize size) {
    const std::size_t need = pictureBytes(size);
    return need == 0 ? QImage() : wrap(Block::make(need), size);
}

}  // namespace pictavo
