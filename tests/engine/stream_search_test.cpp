// Items that are not regular files (pipes, sockets, devices) read as a
// stream: each gives the same occurrences, offsets and line numbers as the
// same bytes searched as a regular file, whatever sizes the pieces arrive
// in; a stream with no writer yet still hears a stop.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/tw.h"
#include "engine_fixture.h"
#include "search_support.h"

using namespace tw;
using namespace tw_test;

namespace {

class StreamSearchTest : public EngineTest {
protected:
    // Small buffers, so that the text comes in many pieces and the
    // occurrence buffer fills up several times.
    void SetUp() override {
        EngineTest::SetUp();
        engine->pr.text_mem_size = 4096;
        engine->pr.occ_mem_size = 4096;
        ASSERT_EQ(engine->initialize_tw_buffer(), 0u);
    }

    std::vector<FoundFile> run(const std::string& pattern, const std::string& path, bool lines,
                               bool fold, int wildcard) {
        set_target(*engine, pattern, {{path, false}});
        engine->tr.add_line_nb = lines ? 1 : 0;
        engine->tr.case_insensitive = fold ? 1 : 0;
        engine->tr.use_wildcard = wildcard >= 0 ? 1 : 0;
        if (wildcard >= 0) engine->tr.wildcard_char = static_cast<std::uint8_t>(wildcard);
        engine->search_in_target();
        EXPECT_EQ(engine->fatal_err_index, 0u) << engine->failure_detail();
        return read_results(dir / "TW_found", lines);
    }

    // Searches `text` written into a pipe in pieces of `chunk` bytes.
    std::vector<FoundFile> run_through_pipe(const std::string& text, std::size_t chunk,
                                            const std::string& pattern, bool lines, bool fold,
                                            int wildcard) {
        const std::string fifo = data / "fifo";
        ::unlink(fifo.c_str());
        EXPECT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
        std::thread writer([&] {
            const int fd = ::open(fifo.c_str(), O_WRONLY);
            if (fd < 0) return;
            for (std::size_t at = 0; at < text.size();) {
                const ssize_t n = ::write(fd, text.data() + at, std::min(chunk, text.size() - at));
                if (n <= 0) break;
                at += static_cast<std::size_t>(n);
            }
            ::close(fd);
        });
        auto found = run(pattern, fifo, lines, fold, wildcard);
        writer.join();
        return found;
    }

    TempDir data;
};

std::string sample_text() {
    std::string text;
    std::uint32_t seed = 777;
    while (text.size() < 200'000) {
        seed = seed * 1664525u + 1013904223u;
        switch ((seed >> 20) % 8) {
        case 0: text += "Needle"; break;
        case 1: text += "\n"; break;
        case 2: text += "needle\r"; break;
        case 3: text += "neeedle"; break;
        case 4: text += "NEEDLE"; break;
        default: text += "qwertyuiop";
        }
    }
    return text;
}

TEST_F(StreamSearchTest, PipeGivesWhatTheSameBytesGiveAsAFile) {
    const std::string text = sample_text();
    write_file(data / "file", text);
    struct Case {
        const char* pattern;
        bool lines, fold;
        int wildcard;
    } cases[] = {
        {"needle", true, false, -1},
        {"needle", false, true, -1},
        {"n", true, false, -1},
        {"ne?dle", true, false, '?'},
        {"e\nN", true, true, -1},
        {"qwertyuiopNeedle", true, false, -1},
    };
    for (const Case& c : cases) {
        const auto as_file = run(c.pattern, data / "file", c.lines, c.fold, c.wildcard);
        ASSERT_EQ(as_file.size(), 1u) << c.pattern;
        for (const std::size_t chunk : {std::size_t{1} << 16, std::size_t{4093}, std::size_t{5}}) {
            const auto as_pipe = run_through_pipe(text, chunk, c.pattern, c.lines, c.fold, c.wildcard);
            ASSERT_EQ(as_pipe.size(), 1u) << c.pattern << " " << chunk;
            EXPECT_EQ(as_pipe[0].name, "fifo");
            EXPECT_TRUE(as_pipe[0].offsets == as_file[0].offsets) << c.pattern << " " << chunk;
            EXPECT_TRUE(as_pipe[0].lines == as_file[0].lines) << c.pattern << " " << chunk;
        }
        EXPECT_GT(as_file[0].offsets.size(), 100u) << c.pattern;
    }
    EXPECT_EQ(engine->ir.total_bytes.load(), text.size());
}

TEST_F(StreamSearchTest, APipeWithoutWriterStopsWhenAsked) {
    const std::string fifo = data / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    set_target(*engine, "needle", {{fifo, false}});
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        engine->need_stop_searching.store(1);
    });
    engine->search_in_target();
    stopper.join();
    EXPECT_EQ(engine->fatal_err_index, 0u);
    EXPECT_TRUE(read_results(dir / "TW_found", false).empty());
}

TEST_F(StreamSearchTest, ACharacterDeviceIsReadAndAnUnopenableOneIsNamed) {
    // /dev/null is a character device with nothing in it.
    set_target(*engine, "needle", {{"/dev/null", false}});
    engine->search_in_target();
    EXPECT_EQ(engine->fatal_err_index, 0u);
    EXPECT_EQ(engine->ir.file_nb.load(), 1u);
    EXPECT_EQ(engine->ir.file_err_nb.load(), 0u);

    // A socket file that nobody listens on cannot be connected to.
    const std::string path = data / "sock";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    set_target(*engine, "needle", {{path, false}});
    engine->search_in_target();
    ::close(fd);
    EXPECT_EQ(engine->ir.file_err_nb.load(), 1u);
    EXPECT_EQ(engine->failure_detail(), path + ": Connection refused");
}

}  // namespace
