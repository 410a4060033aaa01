#include "tools/xm/output_file.h"

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace quarbtro {
namespace {

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/quarbtro-output-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        directory = name;
    }
    void TearDown() override { std::system(("rm -rf '" + directory + "'").c_str()); }

    std::set<std::string> files() const {
        std::set<std::string> names;
        DIR* listing = opendir(directory.c_str());
        while (dirent* entry = readdir(listing))
            if (entry->d_name[0] != '.') names.insert(entry->d_name);
        closedir(listing);
        return names;
    }
    std::string contents(const std::string& name) const {
        std::ifstream file(directory + "/" + name);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    void make(const std::string& name, const std::string& text) const { std::ofstream(directory + "/" + name) << text; }
    std::string path(const std::string& name) const { return directory + "/" + name; }

    std::string directory;
    std::string problem;
};

TEST_F(OutputFileTest, TheTargetAppearsOnlyWhenComplete) {
    OutputFile output;
    ASSERT_TRUE(output.open(path("song.wav"), problem)) << problem;
    std::fputs("sound", output.stream());
    ASSERT_EQ(files().size(), 1u);
    EXPECT_NE(files().count("song.wav"), 1u);  // only the temporary name so far
    EXPECT_EQ(files().begin()->rfind("song.wav.", 0), 0u);
    ASSERT_TRUE(output.commit(false, problem)) << problem;
    EXPECT_EQ(files(), std::set<std::string>{"song.wav"});
    EXPECT_EQ(contents("song.wav"), "sound");
}

// A name as long as a name may be leaves no room for the temporary name's 15 bytes more: that
// one is shortened instead, here at a character's start.
TEST_F(OutputFileTest, ALongestNameIsWrittenToo) {
    // 255 bytes, an é across the 240th: the temporary name's 240 would end in half of it.
    const std::string name = std::string(239, 'a') + "\xC3\xA9" + std::string(10, 'b') + ".wav";
    OutputFile output;
    ASSERT_TRUE(output.open(path(name), problem)) << problem;
    const std::string temporary = *files().begin();
    EXPECT_LE(temporary.size(), 255u);
    EXPECT_EQ(temporary.rfind(std::string(239, 'a') + ".", 0), 0u);  // no half é
    ASSERT_TRUE(output.commit(false, problem)) << problem;
    EXPECT_EQ(files(), std::set<std::string>{name});
}

TEST_F(OutputFileTest, AbandonedOrDestroyedLeavesNothing) {
    {
        OutputFile output;
        ASSERT_TRUE(output.open(path("a.wav"), problem));
        std::fputs("half", output.stream());
    }
    OutputFile output;
    ASSERT_TRUE(output.open(path("b.wav"), problem));
    output.abandon();
    EXPECT_TRUE(files().empty());
}

TEST_F(OutputFileTest, AnExistingTargetIsKeptUnlessReplaced) {
    make("song.wav", "old");
    OutputFile output;
    ASSERT_TRUE(output.open(path("song.wav"), problem));
    std::fputs("new", output.stream());
    EXPECT_FALSE(output.commit(false, problem));
    EXPECT_EQ(problem, path("song.wav") + " exists: --force writes over it");
    EXPECT_EQ(files(), std::set<std::string>{"song.wav"});
    EXPECT_EQ(contents("song.wav"), "old");

    ASSERT_TRUE(output.open(path("song.wav"), problem));
    std::fputs("new", output.stream());
    ASSERT_TRUE(output.commit(true, problem)) << problem;
    EXPECT_EQ(contents("song.wav"), "new");
    EXPECT_EQ(files().size(), 1u);
}

TEST_F(OutputFileTest, AMissingDirectoryIsSaid) {
    OutputFile output;
    EXPECT_FALSE(output.open(path("none/song.wav"), problem));
    EXPECT_EQ(problem, "cannot write " + path("none/song.wav") + ": No such file or directory");
}

TEST_F(OutputFileTest, SignalsRemoveTheTemporaryFile) {
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            removePartialFileOnSignals();
            OutputFile output;
            if (!output.open(path("song.wav"), problem)) _exit(3);
            std::fputs("half", output.stream());
            std::fflush(output.stream());
            raise(signalNumber);
            _exit(4);  // not reached: the signal ends the process
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
        EXPECT_TRUE(files().empty());
    }
}

TEST_F(OutputFileTest, SameFileByDeviceAndInode) {
    make("song.xm", "module");
    ASSERT_EQ(link(path("song.xm").c_str(), path("linked.xm").c_str()), 0);
    make("other.xm", "module");
    EXPECT_TRUE(isSameFile(path("song.xm"), directory + "/./song.xm"));
    EXPECT_TRUE(isSameFile(path("song.xm"), path("linked.xm")));
    EXPECT_FALSE(isSameFile(path("song.xm"), path("other.xm")));
    EXPECT_FALSE(isSameFile(path("song.xm"), path("missing.xm")));
}

}  // namespace
}  // namespace quarbtro
