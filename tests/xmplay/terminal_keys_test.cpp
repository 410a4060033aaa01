#include "tools/xm/terminal_keys.h"

#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace quarbtro {
namespace {

// A pseudo-terminal: the keys are typed on the master side, read on the terminal's side.
class TerminalKeysTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, nullptr), 0); }
    void TearDown() override {
        close(master);
        close(terminal);
    }
    void type(const std::string& bytes) { ASSERT_EQ(write(master, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    tcflag_t localModes() {
        termios modes;
        tcgetattr(terminal, &modes);
        return modes.c_lflag;
    }
    int master = -1, terminal = -1;
};

TEST_F(TerminalKeysTest, KeysAsTheyArePressedAndTheTerminalPutBack) {
    const tcflag_t before = localModes();
    ASSERT_TRUE(before & ICANON);
    {
        TerminalKeys keys(terminal);
        ASSERT_TRUE(keys.active());
        EXPECT_FALSE(localModes() & (ICANON | ECHO));
        EXPECT_TRUE(localModes() & ISIG);  // Ctrl+C still interrupts
        EXPECT_EQ(keys.next(0), Key::none);
        type(" ");
        EXPECT_EQ(keys.next(1000), Key::pause);  // no Enter needed
        type("\033[D");
        EXPECT_EQ(keys.next(1000), Key::previousOrder);
        // Presses that arrive together come one at a time.
        type("\033[Cnpqx");
        for (Key expected : {Key::nextOrder, Key::nextFile, Key::previousFile, Key::quit, Key::other})
            EXPECT_EQ(keys.next(1000), expected);
        EXPECT_EQ(keys.next(0), Key::none);
    }
    EXPECT_EQ(localModes(), before);
}

TEST(TerminalKeys, NothingOffATerminal) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    ASSERT_EQ(write(pipeEnds[1], "q", 1), 1);
    TerminalKeys keys(pipeEnds[0]);
    EXPECT_FALSE(keys.active());
    EXPECT_EQ(keys.next(0), Key::none);  // the pipe's byte is not a key
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

TEST(TerminalKeys, BytesOfOnePress) {
    EXPECT_EQ(keyFromBytes("\033OD", 3), Key::previousOrder);  // application cursor keys
    EXPECT_EQ(keyFromBytes("\033OC", 3), Key::nextOrder);
    EXPECT_EQ(keyFromBytes("Q", 1), Key::quit);
    EXPECT_EQ(keyFromBytes("\033[A", 3), Key::other);  // up: nothing
    EXPECT_EQ(keyFromBytes("\033", 1), Key::other);
    EXPECT_EQ(channelOfKey(keyFromBytes("1", 1)), 1);
    EXPECT_EQ(channelOfKey(keyFromBytes("9", 1)), 9);
    EXPECT_EQ(keyFromBytes("0", 1), Key::other);
    EXPECT_EQ(channelOfKey(Key::quit), 0);
}

// Ctrl+Z stops the program with the terminal as it was (typing in the shell echoes again), and
// fg gives the keys back. A child of its own process group stops itself and is continued.
TEST_F(TerminalKeysTest, StoppedTheTerminalIsPutBackAndContinuedItIsSetAgain) {
    int resumed[2];
    ASSERT_EQ(pipe(resumed), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setpgid(0, 0);  // not an orphaned group: the stop is not discarded
        TerminalKeys keys(terminal);
        raise(SIGTSTP);
        const char done = (localModes() & ICANON) ? 'n' : 'y';
        _exit(write(resumed[1], &done, 1) == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, WUNTRACED), child);
    ASSERT_TRUE(WIFSTOPPED(status));
    EXPECT_TRUE(localModes() & ICANON);
    EXPECT_TRUE(localModes() & ECHO);
    kill(child, SIGCONT);
    char done = 0;
    EXPECT_EQ(read(resumed[0], &done, 1), 1);
    EXPECT_EQ(done, 'y');  // the keys' settings again, before the child's own end put them back
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(resumed[0]);
    close(resumed[1]);
}

}  // namespace
}  // namespace quarbtro
