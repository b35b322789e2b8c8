// Counters, failures and found files of a running search, handed to its sinks.
#include "engine/tw_search_output.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tw {

void SearchOutput::begin(std::vector<ResultSink*> sinks, FailureHook on_failure,
                         bool several_forms) {
    sinks_ = std::move(sinks);
    records_wanted_ = sinks_.empty() ? ~u64{0} : 0;
    for (const ResultSink* sink : sinks_) records_wanted_ = std::max(records_wanted_, sink->records_wanted());
    // A file is found by its first record, whatever a sink asks.
    records_wanted_ = std::max<u64>(records_wanted_, 1);
    several_forms_ = several_forms;
    on_failure_ = std::move(on_failure);
    found_files_ = 0;
    file_records_ = 0;
    unpublished_ = false;
    last_batch_ = {};
    for (std::atomic<u64>* c : {&counters_.cur_file_size, &counters_.found_nb, &counters_.total_bytes,
                                &counters_.file_nb, &counters_.dir_nb, &counters_.file_err_nb,
                                &counters_.dir_err_nb, &counters_.other_err_nb})
        c->store(0, std::memory_order_relaxed);
}

u64 SearchOutput::end() {
    const u64 code = batch_end();
    sinks_.clear();
    on_failure_ = nullptr;
    return code;
}

u64 SearchOutput::occurrences(std::string_view dir, std::string_view name,
                              const std::uint8_t* records, std::size_t bytes, u64 record_len) {
    if (bytes == 0) return 0;
    const u64 code = several_forms_ ? hand_on(dir, name, records, bytes, record_len) : [&] {
        for (ResultSink* sink : sinks_)
            if (const u64 c = sink->occurrences(dir, name, records, bytes); c != 0) return c;
        return u64{0};
    }();
    if (code != 0) return code;
    const u64 nb = bytes / record_len;
    file_records_ += nb;
    counters_.found_nb.fetch_add(nb, std::memory_order_relaxed);
    return 0;
}

u64 SearchOutput::hand_on(std::string_view dir, std::string_view name,
                          const std::uint8_t* records, std::size_t bytes, u64 record_len) {
    const std::size_t plain = static_cast<std::size_t>(record_len) - 8;
    const std::size_t nb = bytes / static_cast<std::size_t>(record_len);
    try {
        plain_.resize(nb * plain);
        forms_.resize(nb);
    } catch (const std::bad_alloc&) {
        return ERR_MEMORY;
    }
    for (std::size_t i = 0; i < nb; ++i) {
        const std::uint8_t* r = records + i * record_len;
        std::memcpy(plain_.data() + i * plain, r, plain);
        forms_[i] = r[plain];
    }
    for (ResultSink* sink : sinks_) {
        if (const u64 c = sink->occurrences(dir, name, plain_.data(), plain_.size()); c != 0)
            return c;
        if (const u64 c = sink->forms(forms_.data(), nb); c != 0) return c;
    }
    return 0;
}

u64 SearchOutput::end_file(std::string_view dir, std::string_view name, u64 result) {
    const u64 records = file_records_;
    file_records_ = 0;
    if (records == 0) return result;
    if (result != 0) {
        for (ResultSink* sink : sinks_) sink->file_dropped();
        return result;
    }
    const FoundFile file{found_files_, records, dir, name};
    for (ResultSink* sink : sinks_)
        if (const u64 code = sink->file_found(file); code != 0) return code;
    ++found_files_;
    unpublished_ = true;
    return batch_end_if_due();
}

bool SearchOutput::file_enough() const {
    if (sinks_.empty()) return false;
    for (const ResultSink* sink : sinks_)
        if (!sink->enough()) return false;
    return true;
}

void SearchOutput::count_file(u64 result, bool searched_on_error) {
    if (result == 0) {
        counters_.file_nb.fetch_add(1, std::memory_order_relaxed);
    } else if (result == ERR_WRITE_FILE || result == ERR_MEMORY) {
        counters_.other_err_nb.fetch_add(1, std::memory_order_relaxed);
    } else {
        counters_.file_err_nb.fetch_add(1, std::memory_order_relaxed);
        if (searched_on_error) counters_.file_nb.fetch_add(1, std::memory_order_relaxed);
    }
}

void SearchOutput::item_failed(const std::string& path, int err) {
    if (on_failure_) on_failure_(path, err);
    for (ResultSink* sink : sinks_) sink->item_failed(path, err);
    unpublished_ = true;
}

u64 SearchOutput::batch_end_if_due() {
    if (!unpublished_) return 0;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_batch_ < kBatchPeriod) return 0;
    return batch_end();
}

u64 SearchOutput::batch_end() {
    last_batch_ = std::chrono::steady_clock::now();
    unpublished_ = false;
    for (ResultSink* sink : sinks_)
        if (const u64 code = sink->batch_end(); code != 0) return code;
    return 0;
}

}  // namespace tw
