#include "tools/xm/terminal_keys.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

namespace quarbtro {

namespace {

// The active TerminalKeys' terminal and its two sets of settings, for the stop and continue
// handlers (which may call nothing but async-signal-safe functions on them).
int stoppingDescriptor = -1;
termios settingsBefore{}, settingsForKeys{};
struct sigaction stopActionBefore{}, continueActionBefore{};

// Sets the terminal unless the program is in the background of its controlling terminal
// (there the call would stop it again); a terminal that is not the controlling one is set.
void setTerminal(const termios& settings) {
    const pid_t foreground = tcgetpgrp(stoppingDescriptor);
    if (foreground == -1 || foreground == getpgrp()) tcsetattr(stoppingDescriptor, TCSANOW, &settings);
}

void onContinue(int);

// Ctrl+Z: the terminal as it was, then stopped as the signal would have stopped the program
// (raised again once this handler returns, with the default action).
void onStop(int) {
    tcsetattr(stoppingDescriptor, TCSANOW, &settingsBefore);
    signal(SIGTSTP, SIG_DFL);
    raise(SIGTSTP);
}

// fg (or bg): the stop handler back, and the keys' settings again in the foreground.
void onContinue(int) {
    struct sigaction stop {};
    stop.sa_handler = onStop;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTSTP, &stop, nullptr);
    setTerminal(settingsForKeys);
}

void handleStops(int descriptor, const termios& before, const termios& keys) {
    stoppingDescriptor = descriptor;
    settingsBefore = before;
    settingsForKeys = keys;
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = onStop;
    sigaction(SIGTSTP, &action, &stopActionBefore);
    action.sa_handler = onContinue;
    sigaction(SIGCONT, &action, &continueActionBefore);
}

void stopHandlingStops() {
    sigaction(SIGTSTP, &stopActionBefore, nullptr);
    sigaction(SIGCONT, &continueActionBefore, nullptr);
    stoppingDescriptor = -1;
}

}  // namespace

int channelOfKey(Key key) {
    const int offset = static_cast<int>(key) - static_cast<int>(Key::channel1);
    return offset >= 0 && offset < 9 ? offset + 1 : 0;
}

Key keyFromBytes(const char* bytes, std::size_t count) {
    if (count == 1) {
        if (bytes[0] >= '1' && bytes[0] <= '9') return static_cast<Key>(static_cast<int>(Key::channel1) + bytes[0] - '1');
        switch (bytes[0]) {
            case ' ': return Key::pause;
            case 'q': case 'Q': return Key::quit;
            case 'n': case 'N': return Key::nextFile;
            case 'p': case 'P': return Key::previousFile;
            default: return Key::other;
        }
    }
    // The arrows, as terminals send them in either cursor-key mode: ESC [ C or ESC O C.
    if (count == 3 && bytes[0] == '\033' && (bytes[1] == '[' || bytes[1] == 'O')) {
        if (bytes[2] == 'D') return Key::previousOrder;
        if (bytes[2] == 'C') return Key::nextOrder;
    }
    return Key::other;
}

int keyboardDescriptor() {
    if (isatty(STDIN_FILENO)) return STDIN_FILENO;
    return open("/dev/tty", O_RDONLY | O_CLOEXEC | O_NOCTTY);
}

TerminalKeys::TerminalKeys(int descriptor, bool owned) : descriptor_(descriptor), owned_(owned) {
    if (descriptor < 0 || !isatty(descriptor) || tcgetattr(descriptor, &saved_) != 0) return;
    // A job started in the background of its terminal (xmplay song.xm &) takes no keys: setting
    // the terminal, or reading it, would stop it (SIGTTOU, SIGTTIN) until brought to the front.
    const pid_t foreground = tcgetpgrp(descriptor);
    if (foreground != -1 && foreground != getpgrp()) return;
    termios keys = saved_;
    keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);  // ISIG stays: Ctrl+C interrupts
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    set_ = active_ = tcsetattr(descriptor, TCSANOW, &keys) == 0;
    if (set_) handleStops(descriptor, saved_, keys);
}

TerminalKeys::~TerminalKeys() {
    if (set_) {
        stopHandlingStops();
        tcsetattr(descriptor_, TCSANOW, &saved_);
    }
    if (owned_ && descriptor_ >= 0) close(descriptor_);
}

Key TerminalKeys::next(int timeoutMs) {
    if (pending_.empty()) {
        if (!active_) {
            if (timeoutMs > 0) usleep(static_cast<useconds_t>(timeoutMs) * 1000);
            return Key::none;
        }
        pollfd waiting = {descriptor_, POLLIN, 0};
        if (poll(&waiting, 1, timeoutMs) <= 0) return Key::none;
        char bytes[64];
        const ssize_t count = read(descriptor_, bytes, sizeof bytes);
        if (count <= 0) {  // the terminal is gone: no more keys
            active_ = false;
            return Key::none;
        }
        pending_.assign(bytes, bytes + count);
    }
    // Presses can arrive together (a key held down): one at a time, an arrow's three bytes
    // as one.
    const std::size_t length = pending_[0] == '\033' && pending_.size() >= 3 ? 3 : 1;
    const Key key = keyFromBytes(pending_.data(), length);
    pending_.erase(0, length);
    return key;
}

}  // namespace quarbtro
