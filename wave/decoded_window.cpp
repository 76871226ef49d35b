#include "wave/decoded_window.h"

#include <algorithm>
#include <cstring>

namespace {

// Decoding on from the decoder's place beats a seek when the block starts at most this far
// ahead of it.
constexpr uint64_t kDecodeOnFrames = 4 * DecodedWindow::kBlockFrames;

}  // namespace

DecodedWindow::DecodedWindow(std::unique_ptr<SoundDecoder> decoder, const WaveFormat& format,
                             uint32_t size)
    : decoder_(std::move(decoder)),
      format_(format),
      size_(size),
      frameBytes_(format.nBlockAlign),
      frames_(size / format.nBlockAlign),
      end_(frames_) {}

uint32_t DecodedWindow::ReadAt(uint32_t offset, uint32_t count, uint8_t* destination) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (offset >= size_)
        return 0;
    count = std::min(count, size_ - offset);
    const uint64_t blockBytes = uint64_t{kBlockFrames} * frameBytes_;
    uint32_t done = 0;
    while (done < count) {
        const uint64_t at = uint64_t{offset} + done;
        const uint64_t index = at / blockBytes;
        const Block& block = Fetch(index);
        const uint64_t within = at - index * blockBytes;
        if (within >= block.bytes.size())
            break;  // the sound ends here
        const auto run =
            static_cast<uint32_t>(std::min<uint64_t>(count - done, block.bytes.size() - within));
        std::memcpy(destination + done, block.bytes.data() + within, run);
        done += run;
    }
    return done;
}

const DecodedWindow::Block& DecodedWindow::Fetch(uint64_t index) {
    ++clock_;
    for (Block& block : blocks_) {
        if (block.index == index) {
            block.used = clock_;
            return block;
        }
    }
    if (blocks_.size() >= kMaxBlocks) {
        // The block read longest ago makes room.
        auto oldest =
            std::min_element(blocks_.begin(), blocks_.end(),
                             [](const Block& a, const Block& b) { return a.used < b.used; });
        blocks_.erase(oldest);
    }
    Block block{index, clock_, {}};
    Fill(index, &block.bytes);
    blocks_.push_back(std::move(block));
    return blocks_.back();
}

void DecodedWindow::Fill(uint64_t index, std::vector<uint8_t>* bytes) {
    const uint64_t start = index * kBlockFrames;
    const uint64_t stop = std::min({start + kBlockFrames, frames_, end_});
    bytes->clear();
    if (start >= stop)
        return;
    bytes->assign((stop - start) * frameBytes_, 0);
    const uint64_t channels = format_.nChannels;
    const uint64_t held = stretch_.size() / channels;
    const bool inStretch = held != 0 && stretchFirst_ <= start && start < stretchFirst_ + held;
    const bool ahead = placed_ && next_ <= start && start - next_ <= kDecodeOnFrames;
    if (!inStretch && !ahead) {
        stretch_.clear();
        placed_ = false;
        if (!decoder_->SeekBefore(start)) {
            end_ = start;
            bytes->clear();
            return;
        }
    }
    uint64_t filled = start;
    while (filled < stop) {
        if (stretch_.empty() && !NextStretch()) {
            end_ = filled;
            bytes->resize((filled - start) * frameBytes_);
            return;
        }
        const uint64_t first = stretchFirst_;
        const uint64_t last = first + stretch_.size() / channels;
        if (last <= filled) {
            stretch_.clear();  // before the block: what a seek decodes to get here
            continue;
        }
        if (first >= stop)
            break;  // the next block's; frames skipped over stay silent
        const uint64_t from = std::max(first, filled);
        const uint64_t to = std::min(last, stop);
        std::memcpy(bytes->data() + (from - start) * frameBytes_,
                    stretch_.data() + (from - first) * channels, (to - from) * frameBytes_);
        filled = to;
        if (last <= stop)
            stretch_.clear();
    }
}

bool DecodedWindow::NextStretch() {
    uint64_t first = 0;
    do {
        if (!decoder_->Decode(&stretch_, &first)) {
            stretch_.clear();
            placed_ = false;
            return false;
        }
    } while (stretch_.empty());
    stretchFirst_ = first;
    next_ = first + stretch_.size() / format_.nChannels;
    placed_ = true;
    return true;
}
