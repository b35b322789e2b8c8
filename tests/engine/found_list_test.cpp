// The list of found files over result files written by hand: good ones,
// damaged ones (a table of damages), missing or odd files, a result held by
// a writer, and a result rewritten after it was read.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/tw.h"
#include "engine/tw_found_list.h"
#include "engine/tw_found_lock.h"
#include "engine/tw_result_reader.h"
#include "support/temp_dir.h"

using namespace tw;
using namespace tw_test;

namespace {

struct Header {
    u64 dir_pos, dir_len, file_pos, file_len, occ_nb, occ_pos;
};

// Result files built record by record, as a search writes them.
struct ResultFiles {
    explicit ResultFiles(const std::string& folder) : dir(folder) { ::mkdir(dir.c_str(), 0755); }

    // Adds a found file with `occ_nb` 8-byte occurrence records.
    Header& add(const std::string& folder, const std::string& file, u64 occ_nb) {
        Header h{paths.size(), folder.size() + 1, 0, file.size() + 1, occ_nb, offset_size};
        append_text(paths, folder, true);
        h.file_pos = paths.size();
        append_text(paths, file, true);
        offset_size += occ_nb * 8;
        headers.push_back(h);
        return headers.back();
    }
    void write(std::size_t cut_header_bytes = 0) const {
        Bytes h;
        for (const Header& r : headers)
            for (u64 w : {r.dir_pos, r.dir_len, r.file_pos, r.file_len, r.occ_nb, r.occ_pos}) append_le64(h, w);
        h.resize(h.size() - cut_header_bytes);
        write_file(dir + "/TW_found_header", h);
        write_file(dir + "/TW_found_path", paths);
        write_file(dir + "/TW_found_offset", Bytes(offset_size, 0));
    }

    std::string dir;
    Bytes paths;
    u64 offset_size = 0;
    std::vector<Header> headers;
};

class FoundListTest : public ::testing::Test {
protected:
    std::string found() const { return dir / "TW_found"; }
    std::vector<std::string> paths_in(const std::vector<std::uint32_t>& rows) const {
        std::vector<std::string> out;
        for (auto r : rows) out.push_back(list.path(r));
        return out;
    }
    TempDir dir;
    FoundList list;
    std::string why;
};

using Rows = std::vector<std::uint32_t>;

TEST_F(FoundListTest, ListsOrdersAndFiltersTheFoundFiles) {
    ResultFiles r(found());
    r.add("/z", "a", 3);
    r.add("/Home/Ana", "Report.PDF", 1);
    r.add("/a", "z", 3);
    r.add("/srv", "ana-report.pdf", 7);
    r.write();
    ASSERT_EQ(list.load(found(), 8, &why), 0u) << why;
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(std::tuple(list.dir(1), list.file(1), list.occ_nb(3), list.damaged(), list.partial_record()),
              std::tuple("/Home/Ana", "Report.PDF", u64{7}, u64{0}, false));
    // Ties keep the found order; paths sort by folder, then file name.
    EXPECT_EQ(list.order(FoundList::Key::Found, false), (Rows{0, 1, 2, 3}));
    EXPECT_EQ(list.order(FoundList::Key::Count, false), (Rows{1, 0, 2, 3}));
    EXPECT_EQ(list.order(FoundList::Key::Count, true), (Rows{3, 0, 2, 1}));
    EXPECT_EQ(list.order(FoundList::Key::Path, false), (Rows{1, 2, 3, 0}));
    EXPECT_EQ(FoundList::order_by({5, -1, 5, 2}, true), (Rows{0, 2, 3, 1}));
    // The filter ignores ASCII case, spans the folder's end and keeps the
    // order it is given.
    const auto all = list.order(FoundList::Key::Found, false);
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"report.pdf", {"/Home/Ana/Report.PDF", "/srv/ana-report.pdf"}},
        {"ANA/REP", {"/Home/Ana/Report.PDF"}},
        {"", {"/z/a", "/Home/Ana/Report.PDF", "/a/z", "/srv/ana-report.pdf"}},
        {"nothing", {}},
    };
    for (const auto& [needle, kept] : cases) EXPECT_EQ(paths_in(list.filter(all, needle)), kept) << needle;
    EXPECT_EQ(paths_in(list.filter(list.order(FoundList::Key::Path, true), "report")),
              (std::vector<std::string>{"/srv/ana-report.pdf", "/Home/Ana/Report.PDF"}));
    // Read as 16-byte records, the last file's 7 no longer fit the offsets.
    ASSERT_EQ(list.load(found(), 16, &why), 0u) << why;
    EXPECT_EQ(list.damage(0), FoundList::Damage::None);
    EXPECT_EQ(list.damage(3), FoundList::Damage::CountOutside);
}

// One damage per case: the damaged record becomes a row that says what is
// wrong, the good records around it stay as they are.
TEST_F(FoundListTest, DamagedRecordsBecomeErrorRows) {
    using D = FoundList::Damage;
    struct Case {
        const char* name;
        void (*damage)(Header&, Bytes& paths);
        D expected;
    } cases[] = {
        {"folder past the path file", [](Header& h, Bytes& p) { h.dir_pos = p.size() + 4096; }, D::NameOutside},
        {"file name runs past the end", [](Header& h, Bytes&) { h.file_len = 1000; }, D::NameOutside},
        {"huge name length", [](Header& h, Bytes&) { h.dir_len = ~u64{0} - 3; }, D::NameOutside},
        {"empty name", [](Header& h, Bytes&) { h.file_len = 0; }, D::NameOutside},
        {"missing NUL", [](Header& h, Bytes& p) { p[h.file_pos + h.file_len - 1] = 'X'; }, D::NameUnterminated},
        {"huge count", [](Header& h, Bytes&) { h.occ_nb = u64{1} << 62; }, D::CountOutside},
        {"no occurrence", [](Header& h, Bytes&) { h.occ_nb = 0; }, D::CountOutside},
        {"occurrences past the offset file", [](Header& h, Bytes&) { h.occ_pos = ~u64{0} - 7; }, D::CountOutside},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir local;
        ResultFiles r(local / "TW_found");
        r.add("/ok", "first", 1);
        Header& bad = r.add("/bad", "second", 2);
        c.damage(bad, r.paths);
        r.add("/ok", "third", 3);
        r.write();
        FoundList l;
        ASSERT_EQ(l.load(local / "TW_found", 8, &why), 0u) << why;
        ASSERT_EQ(l.size(), 3u);
        EXPECT_EQ(std::tuple(l.damaged(), l.damage(1), l.path(1), l.path(0)),
                  std::tuple(u64{1}, c.expected, "", "/ok/first"));
        // A damaged row never matches a filter and sorts before the paths.
        EXPECT_TRUE(l.filter(l.order(FoundList::Key::Found, false), "second").empty());
        EXPECT_EQ(l.order(FoundList::Key::Path, false).front(), 1u);
    }
}

TEST_F(FoundListTest, OverlongNamesTruncatedHeadersAndTooManyRecords) {
    ResultFiles r(found());
    r.add("/ok", std::string(TW_FOUND_LIST_MAX_FILE, 'n'), 1);
    r.add("/ok", std::string(TW_FOUND_LIST_MAX_FILE - 1, 'n'), 1);
    r.add("/ok", "cut", 1);
    r.write(20);
    ASSERT_EQ(list.load(found(), 8, &why), 0u) << why;
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(std::tuple(list.damage(0), list.damage(1), list.partial_record()),
              std::tuple(FoundList::Damage::NameTooLong, FoundList::Damage::None, true));

    // More records than a list holds are refused before any is allocated.
    std::filesystem::resize_file(found() + "/TW_found_header", (TW_FOUND_LIST_MAX_ROWS + 1) * 48);
    EXPECT_EQ(list.load(found(), 8, &why), ERR_CORRUPTED);
    EXPECT_NE(why.find("TW_found_header"), std::string::npos) << why;
    EXPECT_TRUE(list.empty());
}

// The rise of the peak memory of a child that runs `read`, in MiB (up to
// 250), or 255 when `read` returned false.
template <class Read>
int peak_rise_mib(Read read) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        rusage before{}, after{};
        ::getrusage(RUSAGE_SELF, &before);
        const bool ok = read();
        ::getrusage(RUSAGE_SELF, &after);
        _exit(ok ? static_cast<int>(std::min<long>(250, (after.ru_maxrss - before.ru_maxrss) >> 10)) : 255);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 254;
}

// Damaged sparse result files (hundreds of MB that cost no disk) are
// checked against each other before they are read: neither the list nor
// the viewer's reader holds or allocates what their sizes claim.
TEST_F(FoundListTest, DamagedSparseFilesAreReadInBoundedMemory) {
    constexpr off_t kSparse = off_t{768} << 20;
    struct Row {
        const char* name;
        const char* grown;  // the file made sparse and large
        bool damaged_length;  // the record's folder name claims most of it
    } const rows[] = {{"header", "TW_found_header", false}, {"path", "TW_found_path", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResultFiles r(found());
        Header& h = r.add("/ok", "first", 1);
        if (row.damaged_length) h.dir_len = kSparse - 4096;
        r.write();
        ASSERT_EQ(::truncate((found() + "/" + row.grown).c_str(), kSparse), 0);
        EXPECT_LT(peak_rise_mib([&] {
                      const u64 code = list.load(found(), 8, &why);
                      return row.damaged_length ? code == 0 && list.damage(0) == FoundList::Damage::NameTooLong
                                                : code == ERR_CORRUPTED && list.empty();
                  }),
                  64);
        if (!row.damaged_length) continue;
        EXPECT_LT(peak_rise_mib([&] {
                      ResultReader reader;
                      FoundFileHeader header{};
                      std::string dir, file;
                      return reader.open(found(), nullptr) == 0 &&
                             reader.found_file(0, header, dir, file) == ERR_READ_FILE;
                  }),
                  64);
    }
}

TEST_F(FoundListTest, MissingOrOddFilesGiveAnErrorNamingThem) {
    const std::pair<const char*, bool> cases[] = {  // the file, and whether a FIFO replaces it
        {"TW_found_header", false}, {"TW_found_path", false}, {"TW_found_offset", false},
        {"TW_found_header", true}, {"TW_found_path", true}};
    for (const auto& [file, fifo] : cases) {
        SCOPED_TRACE(std::string(file) + (fifo ? " fifo" : " missing"));
        TempDir local;
        ResultFiles r(local / "TW_found");
        r.add("/a", "1", 1);
        r.write();
        const std::string victim = local / "TW_found" + "/" + file;
        ASSERT_EQ(::unlink(victim.c_str()), 0);
        ASSERT_EQ(fifo ? ::mkfifo(victim.c_str(), 0644) : 0, 0);
        FoundList l;
        EXPECT_EQ(l.load(local / "TW_found", 8, &why), ERR_OPEN_FILE);
        EXPECT_NE(why.find(file), std::string::npos) << why;
        EXPECT_TRUE(l.empty());
    }
}

TEST_F(FoundListTest, ResultBeingWrittenIsNotReadAndARewriteLeavesTheCopy) {
    ResultFiles r(found());
    r.add("/a", "first", 1);
    r.add("/a", "second", 4);
    r.write();
    FoundLock writer;
    ASSERT_EQ(writer.try_take(found(), true, nullptr), FoundLock::Result::Taken);
    EXPECT_EQ(list.load(found(), 8, &why), ERR_OPEN_FILE);
    EXPECT_NE(why.find("another search"), std::string::npos) << why;
    writer.release();
    ASSERT_EQ(list.load(found(), 8, &why), 0u) << why;
    const FoundList::Stamp before = list.stamp();
    // A new search truncates the files and writes one found file.
    ResultFiles again(found());
    again.add("/b", "x", 1);
    again.write();
    EXPECT_EQ(list.path(1), "/a/second");
    EXPECT_FALSE(FoundList::stamp_of(found()) == before);
}

}  // namespace
