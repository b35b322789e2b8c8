// The list of found files over result files written by hand: good ones,
// damaged ones (a table of damages), missing or odd files, a result held by
// a writer, and a result rewritten after it was read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/tw.h"
#include "engine/tw_found_list.h"
#include "engine/tw_found_lock.h"
#include "support/temp_dir.h"

using namespace tw;
using namespace tw_test;

namespace {

struct Header {
    u64 dir_pos, dir_len, file_pos, file_len, occ_nb, occ_pos;
};

// Result files built record by record: each file's folder and name go to
// the path file as the search writes them.
class ResultFiles {
public:
    explicit ResultFiles(const std::string& dir) : dir_(dir) { ::mkdir(dir.c_str(), 0755); }

    // Adds a found file with `occ_nb` 8-byte occurrence records.
    Header& add(const std::string& folder, const std::string& file, u64 occ_nb) {
        Header h{};
        h.dir_pos = paths_.size();
        h.dir_len = folder.size() + 1;
        append_text(paths_, folder, true);
        h.file_pos = paths_.size();
        h.file_len = file.size() + 1;
        append_text(paths_, file, true);
        h.occ_nb = occ_nb;
        h.occ_pos = offset_size_;
        offset_size_ += occ_nb * 8;
        headers_.push_back(h);
        return headers_.back();
    }
    Bytes& paths() { return paths_; }
    void write(std::size_t cut_header_bytes = 0) const {
        Bytes h;
        for (const Header& r : headers_)
            for (u64 w : {r.dir_pos, r.dir_len, r.file_pos, r.file_len, r.occ_nb, r.occ_pos})
                append_le64(h, w);
        h.resize(h.size() - cut_header_bytes);
        write_file(dir_ + "/TW_found_header", h);
        write_file(dir_ + "/TW_found_path", paths_);
        write_file(dir_ + "/TW_found_offset", Bytes(offset_size_, 0));
    }

private:
    std::string dir_;
    Bytes paths_;
    u64 offset_size_ = 0;
    std::vector<Header> headers_;
};

class FoundListTest : public ::testing::Test {
protected:
    std::string found() const { return dir / "TW_found"; }
    TempDir dir;
    FoundList list;
    std::string why;
};

std::vector<std::string> paths_in(const FoundList& list, const std::vector<std::uint32_t>& rows) {
    std::vector<std::string> out;
    for (auto r : rows) out.push_back(list.path(r));
    return out;
}

TEST_F(FoundListTest, ListsEveryFoundFileWithItsCount) {
    ResultFiles r(found());
    r.add("/data/b", "two.txt", 2);
    r.add("/data/a", "five.bin", 5);
    r.add("/data/b", "one.txt", 1);
    r.write();
    ASSERT_EQ(list.load(found(), 8, &why), 0u) << why;
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list.path(0), "/data/b/two.txt");
    EXPECT_EQ(list.dir(1), "/data/a");
    EXPECT_EQ(list.file(1), "five.bin");
    EXPECT_EQ(list.occ_nb(1), 5u);
    EXPECT_EQ(list.damaged(), 0u);
    EXPECT_FALSE(list.partial_record());
}

TEST_F(FoundListTest, EmptyResultIsAnEmptyList) {
    ResultFiles r(found());
    r.write();
    ASSERT_EQ(list.load(found(), 8, &why), 0u) << why;
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(list.order(FoundList::Key::Path, false).empty());
}

TEST_F(FoundListTest, OrdersByCountAndPathWithTiesInFoundOrder) {
    ResultFiles r(found());
    r.add("/z", "a", 3);   // 0
    r.add("/a/b", "c", 1);  // 1
    r.add("/a", "z", 3);   // 2
    r.add("/a", "b", 7);   // 3
    r.write();
    ASSERT_EQ(list.load(found(), 8, &why), 0u) << why;
    using V = std::vector<std::uint32_t>;
    EXPECT_EQ(list.order(FoundList::Key::Found, false), (V{0, 1, 2, 3}));
    EXPECT_EQ(list.order(FoundList::Key::Count, false), (V{1, 0, 2, 3}));
    EXPECT_EQ(list.order(FoundList::Key::Count, true), (V{3, 0, 2, 1}));
    // Folder first, then file name.
    EXPECT_EQ(list.order(FoundList::Key::Path, false), (V{3, 2, 1, 0}));
    EXPECT_EQ(list.order(FoundList::Key::Path, true), (V{0, 1, 2, 3}));
    EXPECT_EQ(FoundList::order_by({5, -1, 5, 2}, true), (V{0, 2, 3, 1}));
}

TEST_F(FoundListTest, FiltersByPathIgnoringAsciiCase) {
    ResultFiles r(found());
    r.add("/Home/Ana", "Report.PDF", 1);
    r.add("/home/bob", "notes.txt", 1);
    r.add("/srv", "ana-report.pdf", 1);
    r.write();
    ASSERT_EQ(list.load(found(), 8, &why), 0u) << why;
    const auto all = list.order(FoundList::Key::Found, false);
    struct Case {
        const char* needle;
        std::vector<std::string> kept;
    } cases[] = {
        {"", {"/Home/Ana/Report.PDF", "/home/bob/notes.txt", "/srv/ana-report.pdf"}},
        {"report.pdf", {"/Home/Ana/Report.PDF", "/srv/ana-report.pdf"}},
        {"ANA/REP", {"/Home/Ana/Report.PDF"}},  // across the folder's end
        {"/home/", {"/Home/Ana/Report.PDF", "/home/bob/notes.txt"}},
        {"nothing", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(paths_in(list, list.filter(all, c.needle)), c.kept) << c.needle;
    // The filter keeps the order it is given.
    const auto by_path = list.order(FoundList::Key::Path, true);
    EXPECT_EQ(paths_in(list, list.filter(by_path, "report")),
              (std::vector<std::string>{"/srv/ana-report.pdf", "/Home/Ana/Report.PDF"}));
}

// One damage per case: the damaged record becomes a row that says what is
// wrong, the good records around it stay as they are.
TEST_F(FoundListTest, DamagedRecordsBecomeErrorRows) {
    struct Case {
        const char* name;
        void (*damage)(Header&, Bytes& paths);
        FoundList::Damage expected;
    } cases[] = {
        {"folder past the path file", [](Header& h, Bytes& p) { h.dir_pos = p.size() + 4096; },
         FoundList::Damage::NameOutside},
        {"file name runs past the end", [](Header& h, Bytes&) { h.file_len = 1000; },
         FoundList::Damage::NameOutside},
        {"huge name length", [](Header& h, Bytes&) { h.dir_len = ~u64{0} - 3; },
         FoundList::Damage::NameOutside},
        {"huge position", [](Header& h, Bytes&) { h.file_pos = ~u64{0}; },
         FoundList::Damage::NameOutside},
        {"empty name", [](Header& h, Bytes&) { h.file_len = 0; }, FoundList::Damage::NameOutside},
        {"missing NUL", [](Header& h, Bytes& p) { p[h.file_pos + h.file_len - 1] = 'X'; },
         FoundList::Damage::NameUnterminated},
        {"huge count", [](Header& h, Bytes&) { h.occ_nb = u64{1} << 62; },
         FoundList::Damage::CountOutside},
        {"largest count", [](Header& h, Bytes&) { h.occ_nb = ~u64{0}; },
         FoundList::Damage::CountOutside},
        {"no occurrence", [](Header& h, Bytes&) { h.occ_nb = 0; }, FoundList::Damage::CountOutside},
        {"occurrences past the offset file", [](Header& h, Bytes&) { h.occ_pos = ~u64{0} - 7; },
         FoundList::Damage::CountOutside},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir local;
        ResultFiles r(local / "TW_found");
        r.add("/ok", "first", 1);
        Header& bad = r.add("/bad", "second", 2);
        c.damage(bad, r.paths());
        r.add("/ok", "third", 3);
        r.write();
        FoundList l;
        ASSERT_EQ(l.load(local / "TW_found", 8, &why), 0u) << why;
        ASSERT_EQ(l.size(), 3u);
        EXPECT_EQ(l.damage(1), c.expected);
        EXPECT_EQ(l.damaged(), 1u);
        EXPECT_EQ(l.path(1), "");
        EXPECT_EQ(l.path(0), "/ok/first");
        EXPECT_EQ(l.path(2), "/ok/third");
        // A damaged row never matches a filter and sorts before the paths.
        EXPECT_EQ(l.filter(l.order(FoundList::Key::Found, false), "second").size(), 0u);
        EXPECT_EQ(l.order(FoundList::Key::Path, false).front(), 1u);
    }
}

TEST_F(FoundListTest, NamesLongerThanAnyNameAreDamage) {
    ResultFiles r(found());
    r.add("/ok", std::string(TW_FOUND_LIST_MAX_FILE, 'n'), 1);
    r.add("/ok", std::string(TW_FOUND_LIST_MAX_FILE - 1, 'n'), 1);
    r.write();
    ASSERT_EQ(list.load(found(), 8, &why), 0u) << why;
    EXPECT_EQ(list.damage(0), FoundList::Damage::NameTooLong);
    EXPECT_EQ(list.damage(1), FoundList::Damage::None);
}

TEST_F(FoundListTest, TruncatedHeaderFileLeavesOutThePartialRecord) {
    ResultFiles r(found());
    r.add("/a", "1", 1);
    r.add("/a", "2", 1);
    r.write(20);
    ASSERT_EQ(list.load(found(), 8, &why), 0u) << why;
    EXPECT_EQ(list.size(), 1u);
    EXPECT_TRUE(list.partial_record());
}

TEST_F(FoundListTest, RecordLengthOfSixteenChecksCountsAgainstIt) {
    ResultFiles r(found());
    r.add("/a", "1", 2);  // 16 bytes of offsets: two records of 8, one of 16
    r.write();
    ASSERT_EQ(list.load(found(), 8, &why), 0u);
    EXPECT_EQ(list.damage(0), FoundList::Damage::None);
    ASSERT_EQ(list.load(found(), 16, &why), 0u);
    EXPECT_EQ(list.damage(0), FoundList::Damage::CountOutside);
}

TEST_F(FoundListTest, TooManyRecordsAreRefusedWithoutAllocatingThem) {
    ResultFiles r(found());
    r.write();
    const int fd = ::open((found() + "/TW_found_header").c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>((TW_FOUND_LIST_MAX_ROWS + 1) * 48)), 0);
    ::close(fd);
    EXPECT_EQ(list.load(found(), 8, &why), ERR_CORRUPTED);
    EXPECT_NE(why.find("TW_found_header"), std::string::npos) << why;
    EXPECT_TRUE(list.empty());
}

TEST_F(FoundListTest, MissingOrOddFilesGiveAnErrorNamingThem) {
    struct Case {
        const char* file;
        bool fifo;  // replaced by a FIFO rather than removed
    } cases[] = {{"TW_found_header", false}, {"TW_found_path", false},
                 {"TW_found_offset", false}, {"TW_found_header", true},
                 {"TW_found_path", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.fifo ? " fifo" : " missing"));
        TempDir local;
        ResultFiles r(local / "TW_found");
        r.add("/a", "1", 1);
        r.write();
        const std::string victim = local / "TW_found" + "/" + c.file;
        ASSERT_EQ(::unlink(victim.c_str()), 0);
        if (c.fifo) {
            ASSERT_EQ(::mkfifo(victim.c_str(), 0644), 0);
        }
        FoundList l;
        why.clear();
        EXPECT_EQ(l.load(local / "TW_found", 8, &why), ERR_OPEN_FILE);
        EXPECT_NE(why.find(c.file), std::string::npos) << why;
        EXPECT_TRUE(l.empty());
    }
}

TEST_F(FoundListTest, ResultBeingWrittenIsNotRead) {
    ResultFiles r(found());
    r.add("/a", "1", 1);
    r.write();
    FoundLock writer;
    ASSERT_EQ(writer.try_take(found(), true, nullptr), FoundLock::Result::Taken);
    EXPECT_EQ(list.load(found(), 8, &why), ERR_OPEN_FILE);
    EXPECT_NE(why.find("another search"), std::string::npos) << why;
    writer.release();
    EXPECT_EQ(list.load(found(), 8, &why), 0u) << why;
    EXPECT_EQ(list.size(), 1u);
}

TEST_F(FoundListTest, KeepsItsCopyWhenTheResultIsRewritten) {
    ResultFiles r(found());
    r.add("/a", "first", 1);
    r.add("/a", "second", 4);
    r.write();
    ASSERT_EQ(list.load(found(), 8, &why), 0u) << why;
    const FoundList::Stamp before = list.stamp();
    EXPECT_EQ(FoundList::stamp_of(found()), before);
    // A new search truncates the files and writes one found file.
    ResultFiles again(found());
    again.add("/b", "x", 1);
    again.write();
    EXPECT_EQ(list.path(1), "/a/second");
    EXPECT_EQ(list.occ_nb(1), 4u);
    EXPECT_FALSE(FoundList::stamp_of(found()) == before);
    ASSERT_EQ(::unlink((found() + "/TW_found_header").c_str()), 0);
    EXPECT_EQ(FoundList::stamp_of(found()), FoundList::Stamp{});
}

}  // namespace
