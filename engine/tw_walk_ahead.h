// Internal: folders listed ahead of the walk. While the walk goes through a
// folder's listing, helper threads open the sub-folders it will enter next
// and read the first part of their listings, so that on a tree of small
// folders the walk mostly finds the folders it enters already listed.
//
// The walk still decides everything, in its own order: it takes what a
// helper prepared in place of its own openat and getdents64 calls, and does
// them itself when the helper failed (so a failure is met and reported by
// the walk, when it reaches the folder) or has not begun, or when the
// folder changed since the helper looked at it: its change time moves with
// any change of its entries, mode, owner or links, and the kernel's
// fine-grained change times (for a time that was read; Linux 6.13 and
// later, on ext4, XFS, Btrfs and tmpfs) tell apart changes within one clock
// tick. The walk therefore sees a folder as it is when it enters it, as the
// single-threaded walk does (on an older kernel, a change in the same tick
// as the helper's look can go unseen, as a change during any listing can).
// Memory and
// descriptors stay bounded: at most kSlots folders are asked for and not yet
// taken or dropped, each holding one descriptor, its listing's first bytes
// and a share of a descriptor of its parent.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include "engine/tw_fd.h"

namespace tw {

class WalkAhead {
public:
    // Folders asked for at most; fewer in a process allowed few
    // descriptors, where each costs up to three (the folder's, a share of
    // its parent's, and the open level it becomes).
    static constexpr std::size_t kSlots = 16;
    // Helper threads at most, whatever the number of scanning threads.
    static constexpr unsigned kMaxHelpers = 4;

    // One folder asked for.
    struct Listing {
        enum State : int { Queued, Working, Done, Dropped };
        std::string name;
        std::uint64_t seq = 0;  // the entry's rank in its parent's listing
        std::shared_ptr<UniqueFd> parent;  // released once the folder is opened
        // Written by the helper before it publishes Done.
        UniqueFd fd;
        std::unique_ptr<char[]> data;  // the first getdents64 bytes
        std::size_t bytes = 0;
        bool listed_out = false;  // `data` holds the whole listing
        struct stat st{};  // of the folder opened, before its listing was read
        std::atomic<int> state{Queued};
    };

    // `listing_bytes`: the size of a getdents64 call; `open_flags` those
    // the walk opens a sub-folder with; `stop` ends the helpers' work.
    WalkAhead(unsigned helpers, std::size_t listing_bytes, int open_flags,
              const std::atomic<std::uint8_t>& stop);
    ~WalkAhead();
    WalkAhead(const WalkAhead&) = delete;
    WalkAhead& operator=(const WalkAhead&) = delete;

    // Walk only: whether another folder may be asked for. The helpers start
    // with the first folder asked for; when none can start, none is.
    bool has_room() const {
        return !failed_ && held_ < slots_ && queued_.load(std::memory_order_relaxed) < 2 * slots_;
    }
    // Walk only: asks for sub-folder `name` of `parent`, the entry of rank
    // `seq`; helpers hear of it at the next hand_over().
    std::shared_ptr<Listing> ask(const std::shared_ptr<UniqueFd>& parent, const char* name,
                                 std::uint64_t seq);
    // Gives the folders asked for since the last call to the helpers, before
    // every older one: the walk enters them first.
    void hand_over();
    // Walk only: waits until a helper has prepared `l` unless none has begun;
    // true when `l` holds the opened folder (its fd, and its first bytes when
    // `bytes` > 0), false when the walk is to open it itself.
    bool take(Listing& l);
    // Walk only: the folder will not be entered.
    void drop(Listing& l);
    // Whether two statuses are of the same folder, unchanged between them.
    static bool same(const struct stat& a, const struct stat& b);

private:
    void start();
    void helper_loop();
    void prepare(Listing& l, char* scratch) const;

    const unsigned helper_nb_;
    const std::size_t listing_bytes_;
    const int open_flags_;
    const std::atomic<std::uint8_t>& stop_;
    std::size_t slots_ = kSlots;
    std::vector<std::thread> helpers_;
    bool failed_ = false;  // walk only: no helper could start
    std::size_t held_ = 0;  // walk only: asked for, not taken or dropped
    std::vector<std::shared_ptr<Listing>> asked_;  // walk only: not handed over yet
    std::atomic<std::size_t> queued_{0};

    std::mutex mu_;
    std::condition_variable cv_work_;  // helpers wait for a folder
    std::condition_variable cv_done_;  // the walk waits for a folder being prepared
    std::deque<std::shared_ptr<Listing>> queue_;
    unsigned idle_ = 0;
    bool walk_waiting_ = false;
    bool closing_ = false;
};

}  // namespace tw
