// The found files of a running search as another thread may show them: the
// sink gathers each found file as the search hands it on and publishes them
// a batch at a time, once the result files before it in the chain hold
// them, so that every published file can be read from the result files at
// once. The search thread hands on; any one other thread takes.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "engine/tw_sink.h"

namespace tw {

struct LiveFoundFile {
    std::string dir;
    std::string name;
    u64 occ_nb = 0;
};

class LiveFoundFiles : public ResultSink {
public:
    u64 file_found(const FoundFile& file) override;
    u64 batch_end() override;

    // The found files published since the last take, in found order.
    std::vector<LiveFoundFile> take();
    // Found files published so far by the present search.
    u64 published() const;
    // Forgets everything, before a search.
    void reset();

private:
    std::vector<LiveFoundFile> pending_;  // search thread only
    mutable std::mutex mu_;
    std::vector<LiveFoundFile> published_;  // under mu_, not taken yet
    u64 published_nb_ = 0;                  // under mu_
};

}  // namespace tw
