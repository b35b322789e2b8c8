// Writes the found files of a search as text lines or JSON records: one
// file at a time as the search announces it (FilePrinter), or all the files
// of finished result files (print_results). Occurrence records are read back
// from TW_found_offset through a window, never all held in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tw::cli {

enum class PrintMode {
    Offsets,      // PATH<TAB>OFFSET per occurrence
    OffsetLines,  // PATH<TAB>OFFSET<TAB>LINE per occurrence, LINE from 1
    Counts,       // PATH<TAB>COUNT per found file
    Files,        // PATH per found file
};

enum class PrintFormat {
    Escaped,  // tab-separated; \t \n \r \\ in a path are escaped
    Null,     // the path raw, followed by a NUL instead of a tab
    Json,     // one JSON object per line
};

struct PrintStyle {
    PrintMode mode = PrintMode::Offsets;
    PrintFormat format = PrintFormat::Escaped;
    // The occurrence records hold a line count (16 bytes) or not (8).
    bool records_with_lines = false;
    // At most this many occurrences of a file are printed (and counted).
    std::uint64_t max_per_file = UINT64_MAX;
};

struct PrintResult {
    enum class Status { Ok, Corrupt, ReadFailed, WriteFailed, BrokenPipe } status = Status::Ok;
    std::string message;  // why, when status is not Ok
    std::uint64_t files = 0;
    std::uint64_t occurrences = 0;  // printed (or counted) occurrences
};

class FilePrinter {
public:
    // `found_dir` holds the result files; they are opened at the first file.
    FilePrinter(std::string found_dir, PrintStyle style, int out_fd);
    ~FilePrinter();
    FilePrinter(const FilePrinter&) = delete;
    FilePrinter& operator=(const FilePrinter&) = delete;

    // Prints the found file `path` whose `occ_nb` records begin at byte
    // `occ_pos` of TW_found_offset, and writes the output out. False once
    // anything failed (see result()).
    bool print_file(std::string_view path, std::uint64_t occ_nb, std::uint64_t occ_pos);
    // Writes a line as it is (a JSON summary) and writes the output out.
    bool print_line(std::string_view line);
    const PrintResult& result() const { return result_; }

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
    PrintResult result_;
};

// Prints every found file of the finished result files in `found_dir`, in
// their order. Every position and length read from the files is checked
// against their sizes before use.
PrintResult print_results(const std::string& found_dir, PrintStyle style, int out_fd);

// Joins a found file's folder and name as the result files store them: a
// file right under "/" has an empty folder part.
std::string join_path(std::string_view dir, std::string_view name);

}  // namespace tw::cli
