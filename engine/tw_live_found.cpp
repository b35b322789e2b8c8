// Found files of a running search, published a batch at a time.
#include "engine/tw_live_found.h"

namespace tw {

u64 LiveFoundFiles::file_found(const FoundFile& file) {
    pending_.push_back({std::string(file.dir), std::string(file.name), file.occ_nb});
    return 0;
}

u64 LiveFoundFiles::batch_end() {
    if (pending_.empty()) return 0;
    std::lock_guard lock(mu_);
    published_nb_ += pending_.size();
    if (published_.empty()) {
        published_.swap(pending_);
    } else {
        published_.insert(published_.end(), std::make_move_iterator(pending_.begin()),
                          std::make_move_iterator(pending_.end()));
        pending_.clear();
    }
    return 0;
}

std::vector<LiveFoundFile> LiveFoundFiles::take() {
    std::vector<LiveFoundFile> out;
    std::lock_guard lock(mu_);
    out.swap(published_);
    return out;
}

u64 LiveFoundFiles::published() const {
    std::lock_guard lock(mu_);
    return published_nb_;
}

void LiveFoundFiles::reset() {
    pending_.clear();
    std::lock_guard lock(mu_);
    published_.clear();
    published_nb_ = 0;
}

}  // namespace tw
