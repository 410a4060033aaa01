#include "tools/xm/terminal_keys.h"

#include <poll.h>
#include <unistd.h>


namespace quarbtro {

Key keyFromBytes(const char* bytes, std::size_t count) {
    if (count == 1) {
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

TerminalKeys::TerminalKeys(int descriptor) : descriptor_(descriptor) {
    if (!isatty(descriptor) || tcgetattr(descriptor, &saved_) != 0) return;
    termios keys = saved_;
    keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);  // ISIG stays: Ctrl+C interrupts
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    active_ = tcsetattr(descriptor, TCSANOW, &keys) == 0;
}

TerminalKeys::~TerminalKeys() {
    if (active_) tcsetattr(descriptor_, TCSANOW, &saved_);
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
