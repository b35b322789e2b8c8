// Folders listed ahead of the walk by helper threads (see tw_walk_ahead.h).
#include "engine/tw_walk_ahead.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <system_error>

namespace tw {

WalkAhead::WalkAhead(unsigned helpers, std::size_t listing_bytes, int open_flags,
                     const std::atomic<std::uint8_t>& stop)
    : helper_nb_(helpers < kMaxHelpers ? helpers : kMaxHelpers),
      listing_bytes_(listing_bytes),
      open_flags_(open_flags),
      stop_(stop) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const rlim_t spare = limit.rlim_cur > 32 ? (limit.rlim_cur - 32) / 8 : 0;
        if (spare < slots_) slots_ = static_cast<std::size_t>(spare);
    }
}

WalkAhead::~WalkAhead() {
    {
        std::lock_guard lock(mu_);
        closing_ = true;
    }
    cv_work_.notify_all();
    for (std::thread& t : helpers_) t.join();
}

void WalkAhead::start() {
    for (unsigned i = 0; i < helper_nb_; ++i) {
        try {
            helpers_.emplace_back([this] { helper_loop(); });
        } catch (const std::system_error&) {
            break;
        }
    }
    failed_ = helpers_.empty();
}

std::shared_ptr<WalkAhead::Listing> WalkAhead::ask(const std::shared_ptr<UniqueFd>& parent,
                                                   const char* name, std::uint64_t seq) {
    auto l = std::make_shared<Listing>();
    l->name = name;
    l->seq = seq;
    l->parent = parent;
    asked_.push_back(l);
    ++held_;
    return l;
}

void WalkAhead::hand_over() {
    if (asked_.empty()) return;
    if (helpers_.empty()) start();
    if (failed_) {
        // Nothing will prepare them: the walk opens them itself.
        for (const auto& l : asked_) l->state.store(Listing::Dropped, std::memory_order_relaxed);
        asked_.clear();
        return;
    }
    bool wake = false;
    {
        std::lock_guard lock(mu_);
        for (auto it = asked_.rbegin(); it != asked_.rend(); ++it) queue_.push_front(std::move(*it));
        queued_.fetch_add(asked_.size(), std::memory_order_relaxed);
        wake = idle_ > 0;
    }
    // One wake-up for the whole batch: the first helper woken wakes no
    // other, the rest are already busy or come back to the queue.
    if (wake) cv_work_.notify_one();
    asked_.clear();
}

bool WalkAhead::take(Listing& l) {
    --held_;
    int expected = Listing::Queued;
    if (l.state.compare_exchange_strong(expected, Listing::Dropped, std::memory_order_acq_rel))
        return false;
    if (expected == Listing::Working) {
        std::unique_lock lock(mu_);
        walk_waiting_ = true;
        cv_done_.wait(lock, [&] { return l.state.load(std::memory_order_acquire) == Listing::Done; });
        walk_waiting_ = false;
    }
    return static_cast<bool>(l.fd);
}

void WalkAhead::drop(Listing& l) {
    --held_;
    int expected = Listing::Queued;
    l.state.compare_exchange_strong(expected, Listing::Dropped, std::memory_order_acq_rel);
}

bool WalkAhead::same(const struct stat& a, const struct stat& b) {
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
           a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

void WalkAhead::prepare(Listing& l, char* scratch) const {
    // The entry's status before it is opened: a change between the two
    // (the folder made unreadable, or replaced) leaves the folder to the walk.
    struct stat before{};
    if (::fstatat(l.parent->get(), l.name.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0) return;
    UniqueFd fd(::openat(l.parent->get(), l.name.c_str(), open_flags_));
    l.parent.reset();
    // A failure is left to the walk, which meets it in its turn.
    if (!fd || ::fstat(fd.get(), &l.st) != 0) return;
    if (!same(before, l.st)) return;
    // Reads until the listing ends or the buffer has no room for a long
    // name's record.
    constexpr std::size_t kLongestRecord = 19 + 256 + 5;
    std::size_t n = 0;
    for (;;) {
        const ssize_t got = retry_on_eintr(
            [&] { return ::getdents64(fd.get(), scratch + n, listing_bytes_ - n); });
        if (got == 0) l.listed_out = true;
        if (got <= 0) break;
        n += static_cast<std::size_t>(got);
        if (listing_bytes_ - n < kLongestRecord) break;
    }
    if (n > 0) {
        l.data.reset(new (std::nothrow) char[n]);
        // Without its first bytes the folder is opened again by the walk.
        if (!l.data) return;
        std::memcpy(l.data.get(), scratch, n);
    }
    l.bytes = n;
    l.fd = std::move(fd);
}

void WalkAhead::helper_loop() {
    std::unique_ptr<char[]> scratch(new (std::nothrow) char[listing_bytes_]);
    for (;;) {
        std::shared_ptr<Listing> l;
        {
            std::unique_lock lock(mu_);
            while (queue_.empty() && !closing_) {
                ++idle_;
                cv_work_.wait(lock);
                --idle_;
            }
            if (closing_) return;
            l = std::move(queue_.front());
            queue_.pop_front();
            queued_.fetch_sub(1, std::memory_order_relaxed);
            // More queued than this helper takes: another idle one helps.
            if (!queue_.empty() && idle_ > 0) cv_work_.notify_one();
        }
        int expected = Listing::Queued;
        if (!l->state.compare_exchange_strong(expected, Listing::Working, std::memory_order_acq_rel))
            continue;
        if (scratch && stop_.load(std::memory_order_relaxed) == 0) prepare(*l, scratch.get());
        l->parent.reset();
        std::lock_guard lock(mu_);
        l->state.store(Listing::Done, std::memory_order_release);
        if (walk_waiting_) cv_done_.notify_one();
    }
}

}  // namespace tw
