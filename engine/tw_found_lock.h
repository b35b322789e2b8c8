// One writer per result folder: a search holds an exclusive flock on
// TW_found/TW_found_lock from before it truncates the result files until it
// has written the last of them; readers hold a shared one while they read.
// flock locks belong to an open file description, so two engines of one
// process exclude each other as two processes do.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace tw {

inline constexpr const char* TW_FOUND_LOCK = "TW_found_lock";

class FoundLock {
public:
    enum class Result { Taken, Busy, Failed };

    FoundLock() = default;
    ~FoundLock() { release(); }
    FoundLock(const FoundLock&) = delete;
    FoundLock& operator=(const FoundLock&) = delete;

    // Takes the lock of the result folder `found_dir` without waiting. On
    // Failed, `why` says "PATH: reason".
    Result try_take(const std::string& found_dir, bool exclusive, std::string* why);
    // Takes it, waiting while another holder has it: the wait polls `stop`
    // (when given) and gives up with Busy once it is set; `on_wait` runs
    // once, when the lock is found taken.
    template <typename OnWait>
    Result take(const std::string& found_dir, bool exclusive, const std::atomic<std::uint8_t>* stop,
                OnWait&& on_wait, std::string* why) {
        Result r = try_take(found_dir, exclusive, why);
        if (r != Result::Busy) return r;
        on_wait();
        while (r == Result::Busy) {
            if (stop != nullptr && stop->load(std::memory_order_relaxed) != 0) break;
            pause();
            r = try_take(found_dir, exclusive, why);
        }
        return r;
    }
    void release();
    bool held() const { return fd_ >= 0; }
    bool exclusive() const { return exclusive_; }

private:
    static void pause();

    int fd_ = -1;
    bool exclusive_ = false;
};

}  // namespace tw
