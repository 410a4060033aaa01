#pragma once
// Single key presses from a terminal, for xmplay: while a TerminalKeys lives, the terminal
// hands over each key as it is pressed, without echo (Ctrl+C still interrupts); its settings
// are put back when it goes. Off a terminal it reads nothing.

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
    other,
};

// The key that a terminal's bytes for one press stand for ("\033[D" is the left arrow).
Key keyFromBytes(const char* bytes, std::size_t count);

class TerminalKeys {
public:
    explicit TerminalKeys(int descriptor);
    TerminalKeys(const TerminalKeys&) = delete;
    TerminalKeys& operator=(const TerminalKeys&) = delete;
    ~TerminalKeys();

    bool active() const { return active_; }
    // The next key pressed within timeoutMs milliseconds, or none.
    Key next(int timeoutMs);

private:
    int descriptor_;
    bool active_ = false;
    termios saved_{};
    std::string pending_;  // bytes read but not yet taken as keys
};

}  // namespace quarbtro
