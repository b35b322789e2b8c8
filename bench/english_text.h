// The benchmarks' English text: readable files under /usr/share/doc
// concatenated in path order, repeated up to the size asked for (a repeated
// sentence where the machine has no documentation).
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace bench_text {

// True when at least 98% of the bytes are printable ASCII or white space.
inline bool readable(const std::vector<char>& d) {
    std::size_t ok = 0;
    for (char ch : d) {
        const auto b = static_cast<unsigned char>(ch);
        ok += (b >= 32 && b < 127) || b == '\t' || b == '\n' || b == '\r';
    }
    return !d.empty() && ok * 100 >= d.size() * 98;
}

inline std::vector<std::uint8_t> english_text(std::size_t size) {
    namespace fs = std::filesystem;
    std::vector<std::string> paths;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator("/usr/share/doc", ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        if (it->is_regular_file(ec) && !it->is_symlink(ec) && it->path().extension() != ".gz")
            paths.push_back(it->path().string());
    }
    std::sort(paths.begin(), paths.end());
    std::vector<std::uint8_t> out;
    out.reserve(size);
    for (const std::string& p : paths) {
        std::ifstream f(p, std::ios::binary);
        std::vector<char> d((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        if (readable(d)) out.insert(out.end(), d.begin(), d.end());
        if (out.size() >= size) break;
    }
    if (out.empty()) {
        const std::string s = "The quick brown fox jumps over the lazy dog.\n";
        out.assign(s.begin(), s.end());
    }
    const std::size_t once = out.size();
    for (std::size_t i = 0; out.size() < size; ++i) out.push_back(out[i % once]);
    out.resize(size);
    return out;
}

}  // namespace bench_text
