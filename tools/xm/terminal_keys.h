#pragma once
// Single key presses from a terminal, for xmplay: while a TerminalKeys lives, the terminal
// hands over each key as it is pressed, without echo (Ctrl+C still interrupts); its settings
// are put back when it goes, and while the program is stopped (Ctrl+Z) until it is continued
// in the foreground (fg). Off a terminal, or started in the background of its terminal, it
// reads nothing.

#include <termios.h>

#include <cstddef>
#include <string>

namespace quarbtro {

enum class Key {
    none,           // nothing pressed in the time given
    pause,          // space
    quit,           // q
    previousOrder,  // left arrow
    nextOrder,      // right arrow
    previousFile,   // p
    nextFile,       // n
    channel1,       // 1 .. 9: a channel heard or muted; channel1 + n - 1 for channel n
    channel9 = channel1 + 8,
    other,
};

// The channel (from 1) a key toggles, or 0 for a key that toggles none.
int channelOfKey(Key key);

// The key that a terminal's bytes for one press stand for ("\033[D" is the left arrow).
Key keyFromBytes(const char* bytes, std::size_t count);

// Where a player takes its keys from: standard input when it is a terminal, else the
// terminal the program runs on (/dev/tty: standard input carries a module, say); -1 when
// there is none. A descriptor other than standard input is the caller's to close.
int keyboardDescriptor();

class TerminalKeys {
public:
    // Reads keys from `descriptor`, which it closes when it goes if `owned`. One TerminalKeys
    // at a time may be active in a process: the stop and continue signals are its while it is.
    explicit TerminalKeys(int descriptor, bool owned = false);
    TerminalKeys(const TerminalKeys&) = delete;
    TerminalKeys& operator=(const TerminalKeys&) = delete;
    ~TerminalKeys();

    bool active() const { return active_; }
    // The next key pressed within timeoutMs milliseconds, or none.
    Key next(int timeoutMs);

private:
    int descriptor_;
    bool owned_;
    bool set_ = false;     // the terminal was set for keys: it is put back at the end
    bool active_ = false;  // keys are read (until the terminal goes)
    termios saved_{};
    std::string pending_;  // bytes read but not yet taken as keys
};

}  // namespace quarbtro
