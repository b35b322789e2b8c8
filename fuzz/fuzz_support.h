// Shared by the fuzz targets: a resource folder made once per process and
// removed at exit, and a byte splitter for inputs that stand for several
// files.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "engine/tw.h"

namespace tw_fuzz {

// A resource folder with TW_target and TW_found, made at the first call;
// in memory (/dev/shm) where there is one, so that the files written for
// each input cost no disk.
inline const std::string& resource_folder() {
    // Never destroyed, so the exit handler below can still use it.
    static const std::string& path = *new std::string([] {
        char in_memory[] = "/dev/shm/trawlex-fuzz-XXXXXX";
        char on_disk[] = "/tmp/trawlex-fuzz-XXXXXX";
        char* pattern = ::mkdtemp(in_memory) != nullptr ? in_memory : on_disk;
        if (pattern == on_disk && ::mkdtemp(on_disk) == nullptr) std::abort();
        std::string p = pattern;
        ::mkdir((p + "/TW_target").c_str(), 0755);
        ::mkdir((p + "/TW_found").c_str(), 0755);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(resource_folder(), ec);
        });
        return p;
    }());
    return path;
}

// One engine on the resource folder for the whole fuzzing run.
inline tw::Engine& engine() {
    static tw::Engine* e = [] {
        auto* made = new tw::Engine();
        made->resource_dir_pathname_ptr = resource_folder();
        if (made->initialize_and_load_tw_parameter() != 0) std::abort();
        return made;
    }();
    return *e;
}

inline void put_file(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Takes parts off an input: each part is the bytes up to the next
// "\n--\n" separator (the last part is the rest), so seeds stay readable.
class Parts {
public:
    Parts(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}
    std::string_view next() {
        const std::size_t at = rest_.find("\n--\n");
        std::string_view part = rest_.substr(0, at);
        rest_ = at == std::string_view::npos ? std::string_view() : rest_.substr(at + 4);
        return part;
    }

private:
    std::string_view rest_;
};

}  // namespace tw_fuzz
