#pragma once
// The command line of every program here, the intro included: GNU-style options read by
// getopt_long (--name=value, --name value, -xVALUE, -x VALUE, flags bundled as -fq, "--" ending
// the options), --help on standard output and --version, each with status 0, and usage errors
// that name the option, with status 2. Numbers are read strictly: decimal digits only, the
// whole text, within bounds ("0x10", "16abc" and " 16" are refused).
//
// No X, no player: the intro links it before GLUT is started.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quarbtro::cli {

// The exit statuses every program shares.
constexpr int doneStatus = 0;
constexpr int failureStatus = 1;  // a file could not be opened, loaded, played or written
constexpr int usageStatus = 2;    // the arguments are wrong

// Takes an option's value (null for a flag); returns what is wrong with it, as the words that
// follow the option's name in the message ("takes a number from 0 to 24000"), or "" when fine.
using Taker = std::function<std::string(const char* value)>;

struct Option {
    const char* name;       // the long name without its dashes: "seconds"
    char letter;            // the short form, or 0 for none
    const char* valueName;  // the value's name in the help ("S"), or null for a flag
    const char* help;       // what it does, for --help
    Taker take;
    // How other players spell this option, space-separated ("--samplerate -f"): a usage error
    // for one of them suggests this option instead. Null for none.
    const char* otherSpellings = nullptr;
};

// A single-dash word that another parser reads from the same arguments (GLUT's "-display
// NAME", "-iconic"): passed over here, with its value when it takes one.
struct ForeignOption {
    const char* word;  // "-display"
    bool takesValue;
};

struct Program {
    const char* name;     // "xmrender"
    const char* usage;    // what follows the name in the usage line: "[OPTION]... FILE.xm..."
    const char* summary;  // what the program does: the help's first paragraph
    std::vector<Option> options;
    const char* details = nullptr;  // paragraphs after the options, or null
    std::vector<ForeignOption> foreignOptions = {};
    bool optionsFirst = false;  // the first operand ends the options (a program to run, say)
};

struct Parsed {
    enum class Outcome { run, help, version, usageError };
    Outcome outcome = Outcome::run;
    std::vector<std::string> operands;
    std::string problem;  // for a usage error: "unknown option --foo"
};

// Reads the arguments, calling each option's taker in order. --help and --version (-h, -V)
// are answered whatever else is given, unless an earlier argument is already wrong.
//
// A usage error for an option that does not exist suggests the one meant: the option another
// player spells that way, else the nearest name (a letter or two wrong, or a prefix of several:
// "--st" is --start, --start-time or --stereo). A flag that another player spells the way
// another option takes a value, followed by a number ("-f 48000": xmp's rate, here --force),
// is a usage error that says so, rather than a file named 48000.
Parsed parseArguments(const Program& program, int argc, char* const* argv);

std::string helpText(const Program& program);
std::string versionText(const Program& program);  // "xmrender (Quarbtro) 1.0.0\n"

// Prints "NAME: PROBLEM" and where to find help on standard error; exits with status 2.
[[noreturn]] void usageError(const Program& program, const std::string& problem);

// parseArguments, then: help or version printed and status 0; a usage error reported and
// status 2; otherwise the operands.
std::vector<std::string> parseOrExit(const Program& program, int argc, char* const* argv);

// Strict numbers: an optional sign and decimal digits (with a fraction for numberIn), the
// whole text, from low to high inclusive; nothing otherwise.
std::optional<long long> integerIn(const char* text, long long low, long long high);
std::optional<double> numberIn(const char* text, double low, double high);

// Takers for the common kinds of option.
Taker flag(bool& target);
Taker text(std::string& target);
// "takes NOUN from LOW to HIGH" when the value is not such a number.
Taker integer(int& target, int low, int high, const char* noun = "a whole number");
Taker number(double& target, double low, double high, const char* noun = "a number");

}  // namespace quarbtro::cli
