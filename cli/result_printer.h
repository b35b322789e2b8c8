// Writes the found files of a search as text lines or JSON records, from
// the occurrence records the search hands on: nothing is read back from the
// result files, and no file's records are held in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
    // The tab-separated and NUL-separated lines begin with the path (-H)
    // or not (-h).
    bool with_path = true;
    // Paths and occurrences in colour (--color), in the text formats.
    bool color = false;
    // Context lines before and after each occurrence (-B, -A): each record
    // then ends with the text of its line.
    std::uint64_t before = 0, after = 0;
    // For the lines of JSON matches and of context: the length of an
    // occurrence and the end-of-line byte.
    std::uint64_t pattern_length = 1;
    unsigned char eol = '\n';
    // A search of several forms: their names and lengths, by form index.
    // Each occurrence line then ends with a column naming its form, and
    // each JSON match names the forms of its occurrences. Empty for one form.
    std::vector<std::string> form_names;
    std::vector<std::uint64_t> form_lengths;
};

struct PrintResult {
    enum class Status { Ok, WriteFailed, BrokenPipe } status = Status::Ok;
    std::string message;  // why, when status is not Ok
    std::uint64_t files = 0;
    std::uint64_t occurrences = 0;  // printed (or counted) occurrences
    std::uint64_t matched_lines = 0;  // JSON match records
    std::uint64_t bytes_printed = 0;
};

// Prints what a search hands on: each occurrence as its record comes, each
// found file's line when it is complete. Output gathers in a large buffer
// and leaves in one write per batch (flush) or when the buffer is full.
class FilePrinter {
public:
    FilePrinter(PrintStyle style, int out_fd);
    ~FilePrinter();
    FilePrinter(const FilePrinter&) = delete;
    FilePrinter& operator=(const FilePrinter&) = delete;

    // Occurrence records of the file `path` being searched, in order; the
    // file is read back at `source` for the lines JSON and context show.
    // `forms`: with several forms, the form index of each record.
    // False once anything failed (see result()).
    bool print_records(std::string_view path, const std::string& source,
                       const std::uint8_t* records, std::size_t bytes,
                       const std::uint8_t* forms = nullptr);
    // The file `path` is found, with `occ_nb` occurrences whose records
    // were all given to print_records.
    bool end_file(std::string_view path, const std::string& source, std::uint64_t occ_nb);
    // The records given since the last found file belong to no found file
    // (reading it failed): what was printed of it is closed, nothing more.
    bool drop_file();
    // Writes a line as it is (a JSON summary).
    bool print_line(std::string_view line);
    // Writes out what is gathered.
    bool flush();
    // The records given for the file being printed are all the output
    // uses of it: -l needs one, -m NUM its NUM first.
    bool has_enough() const;
    // How many records of a file has_enough() waits for at most.
    std::uint64_t records_wanted() const;
    const PrintResult& result() const { return result_; }

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
    PrintResult result_;
};

// Joins a found file's folder and name as the result files store them: a
// file right under "/" has an empty folder part.
std::string join_path(std::string_view dir, std::string_view name);

// A duration as ripgrep's JSON gives it: {"secs":..,"nanos":..,"human":".."}.
std::string json_elapsed(std::uint64_t nanoseconds);

}  // namespace tw::cli
