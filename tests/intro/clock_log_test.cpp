// The clock log never holds up the frame loop, whatever its file is: a full device, a FIFO
// nobody reads, one whose reader is slow or goes away.

#include "intro/clock_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quarbtro {
namespace {

class ClockLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quarbtro-clock-log.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        complaints = std::tmpfile();
        ASSERT_NE(complaints, nullptr);
    }
    void TearDown() override {
        std::fclose(complaints);
        std::system(("rm -rf " + directory).c_str());
    }

    std::string complaintsText() {
        std::fflush(complaints);
        std::rewind(complaints);
        std::string text;
        for (int c; (c = std::fgetc(complaints)) != EOF;) text += static_cast<char>(c);
        return text;
    }
    static void append(ClockLog& log, const std::string& line) { log.append(line.data(), line.size()); }

    std::string directory;
    std::FILE* complaints = nullptr;
};

TEST_F(ClockLogTest, AFileGetsEveryLineAndNothingIsSaid) {
    const std::string path = directory + "/clock";
    {
        ClockLog log(path, complaints);
        append(log, "1.000000 0 0 0\n");
        append(log, "1.010000 1 441 441\n");
    }
    std::FILE* file = std::fopen(path.c_str(), "r");
    ASSERT_NE(file, nullptr);
    char text[64] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text - 1, file), 34u);
    std::fclose(file);
    EXPECT_STREQ(text, "1.000000 0 0 0\n1.010000 1 441 441\n");
    EXPECT_EQ(complaintsText(), "");
}

TEST_F(ClockLogTest, AFullDeviceIsSaidOnceAndTheLogStops) {
    ClockLog log("/dev/full", complaints);
    for (int i = 0; i < 3; ++i) append(log, "1.000000 0 0 0\n");
    EXPECT_EQ(complaintsText(),
              "quarbtro: cannot write the clock log /dev/full: No space left on device; it stops here\n");
}

TEST_F(ClockLogTest, AFifoIsWrittenOnlyWhileSomeoneReadsAndNeverWaits) {
    const std::string path = directory + "/fifo";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    ClockLog log(path, complaints);
    append(log, "before any reader\n");  // would wait forever for a reader if it could
    const int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    append(log, "read\n");
    char text[64] = {};
    EXPECT_EQ(read(reader, text, sizeof text), 5);
    EXPECT_STREQ(text, "read\n");

    // A reader that does not keep up: what the FIFO cannot hold is dropped, and said once.
    const std::string dropping = "quarbtro: the clock log " + path + " is not read fast enough: lines are dropped\n";
    const std::string line(100, 'x');
    for (int i = 0; i < 2000; ++i) append(log, line + "\n");  // 202 kB, over the FIFO's 64 kB
    EXPECT_EQ(complaintsText(), dropping);

    // The reader goes away (no SIGPIPE ends the process), and a new one gets the next lines.
    close(reader);
    append(log, "nobody reads\n");
    const int next = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(next, 0);
    append(log, "again\n");
    EXPECT_EQ(read(next, text, sizeof text), 6);
    close(next);
    EXPECT_EQ(complaintsText(), dropping);
}

}  // namespace
}  // namespace quarbtro
