#include "cli/command_line.h"

#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quarbtro::cli {

namespace {

// getopt_long's value for an option without a letter: past every character.
constexpr int firstLongOnlyValue = 256;
constexpr int helpValue = 'h';
constexpr int versionValue = 'V';

std::string formatted(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The options as getopt_long reads them, with --help and --version after the program's own.
struct Table {
    std::vector<option> longOptions;
    std::string shortOptions = ":";  // ':' first: a missing value comes back as ':'
    std::vector<const Option*> byValue;  // the program's option for each long option's value

    explicit Table(const Program& program) {
        if (program.optionsFirst) shortOptions.insert(0, "+");
        for (std::size_t i = 0; i < program.options.size(); ++i) {
            const Option& o = program.options[i];
            const int value = o.letter ? o.letter : firstLongOnlyValue + static_cast<int>(i);
            longOptions.push_back({o.name, o.valueName ? required_argument : no_argument, nullptr, value});
            if (o.letter) {
                shortOptions += o.letter;
                if (o.valueName) shortOptions += ':';
            }
        }
        longOptions.push_back({"help", no_argument, nullptr, helpValue});
        longOptions.push_back({"version", no_argument, nullptr, versionValue});
        longOptions.push_back({nullptr, 0, nullptr, 0});
        shortOptions += "hV";
    }
};

const Option* optionWithValue(const Program& program, int value) {
    if (value == 0) return nullptr;
    if (value >= firstLongOnlyValue) {
        const std::size_t index = static_cast<std::size_t>(value - firstLongOnlyValue);
        return index < program.options.size() ? &program.options[index] : nullptr;
    }
    for (const Option& o : program.options)
        if (o.letter == value) return &o;
    return nullptr;
}

// The option's name as the user wrote it: "--output" or "-o".
std::string writtenName(const Option& o, const char* word) {
    const bool longForm = !o.letter || (word && std::strncmp(word, "--", 2) == 0);
    return longForm ? std::string("--") + o.name : std::string("-") + o.letter;
}

// The option another player spells as `word` ("--samplerate", "-f"), if any.
const Option* spelledElsewhereAs(const Program& program, const std::string& word) {
    for (const Option& o : program.options) {
        if (!o.otherSpellings) continue;
        const std::string spellings = std::string(" ") + o.otherSpellings + " ";
        if (spellings.find(" " + word + " ") != std::string::npos) return &o;
    }
    return nullptr;
}

// Letters to insert, delete or change to turn one word into the other.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "--rate", or "--rate (-r)".
std::string bothNames(const Option& o) {
    return std::string("--") + o.name + (o.letter ? std::string(" (-") + o.letter + ")" : "");
}

// What to say after an unknown option `word` ("-f", "--samplerate"): "; did you mean --rate?".
std::string suggestion(const Program& program, const std::string& word) {
    if (const Option* meant = spelledElsewhereAs(program, word)) return "; did you mean " + bothNames(*meant) + "?";
    if (word.size() < 3 || word[1] != '-') return "";
    const std::string name = word.substr(2);
    const Option* nearest = nullptr;
    std::size_t best = std::max<std::size_t>(2, name.size() / 4) + 1;
    for (const Option& o : program.options) {
        const std::size_t distance = editDistance(name, o.name);
        if (distance < best) {
            best = distance;
            nearest = &o;
        }
    }
    return nearest ? "; did you mean --" + std::string(nearest->name) + "?" : "";
}

// Why getopt_long refused the word it stopped at (the last word it stepped past).
std::string refusal(const Program& program, int result, const char* word) {
    const bool longForm = std::strncmp(word, "--", 2) == 0;
    const Option* o = optionWithValue(program, optopt);
    if (result == ':') return (o ? writtenName(*o, word) : std::string(word)) + " needs a value";
    if (o) return writtenName(*o, word) + " takes no value";
    if (longForm && (optopt == helpValue || optopt == versionValue))
        return std::string(optopt == helpValue ? "--help" : "--version") + " takes no value";
    if (optopt != 0) {
        const std::string written = std::string("-") + static_cast<char>(optopt);
        return "unknown option " + written + suggestion(program, written);
    }
    std::string name = word;
    if (const std::size_t equals = name.find('='); equals != std::string::npos) name.resize(equals);
    std::vector<std::string> matches;
    for (const Option& each : program.options)
        if (name.size() > 2 && std::strncmp(each.name, name.c_str() + 2, name.size() - 2) == 0)
            matches.push_back(std::string("--") + each.name);
    if (matches.size() > 1) {
        std::string listed;
        for (std::size_t i = 0; i < matches.size(); ++i)
            listed += (i == 0 ? "" : i + 1 == matches.size() ? " or " : ", ") + matches[i];
        return "ambiguous option " + name + ": " + listed;
    }
    return "unknown option " + name + suggestion(program, name);
}

// A flag written as another player writes an option that takes a number, followed by a
// number ("-f 48000"), as a usage error; "" when there is none.
std::string flagTakenForAnotherOption(const Program& program, const std::vector<char*>& arguments) {
    for (std::size_t i = 1; i + 1 < arguments.size() && arguments[i + 1]; ++i) {
        const std::string word = arguments[i];
        if (word == "--") break;
        if (!numberIn(arguments[i + 1], -1e300, 1e300)) continue;
        const Option* meant = spelledElsewhereAs(program, word);
        const Option* flag = nullptr;
        for (const Option& o : program.options)
            if (!o.valueName && (word == std::string("--") + o.name || (o.letter && word == std::string("-") + o.letter)))
                flag = &o;
        if (meant && flag && meant != flag)
            return word + " is --" + flag->name + " and takes no value; for " + arguments[i + 1] + ", did you mean --" +
                   meant->name + " " + arguments[i + 1] + "?";
    }
    return "";
}

// The arguments without the foreign options and their values; "" when all is well, or the
// problem (a foreign option without its value).
std::string withoutForeignOptions(const Program& program, int argc, char* const* argv,
                                  std::vector<char*>& kept) {
    kept.assign(argv, argv + argc);
    if (program.foreignOptions.empty()) return "";
    kept.resize(1);
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const ForeignOption* foreign = nullptr;
        for (const ForeignOption& f : program.foreignOptions)
            if (!optionsEnded && std::strcmp(argv[i], f.word) == 0) foreign = &f;
        if (std::strcmp(argv[i], "--") == 0) optionsEnded = true;
        if (!foreign) {
            kept.push_back(argv[i]);
        } else if (foreign->takesValue) {
            if (i + 1 == argc) return std::string(foreign->word) + " needs a value";
            ++i;
        }
    }
    return "";
}

}  // namespace

Parsed parseArguments(const Program& program, int argc, char* const* argv) {
    Parsed parsed;
    std::vector<char*> arguments;
    parsed.problem = withoutForeignOptions(program, argc, argv, arguments);
    if (!parsed.problem.empty()) {
        parsed.outcome = Parsed::Outcome::usageError;
        return parsed;
    }
    const Table table(program);
    const int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    const std::vector<char*> asWritten = arguments;  // getopt_long moves the operands last
    optind = 0;  // getopt's state starts afresh for each parse
    opterr = 0;  // the problems are reported here, in this program's words
    for (;;) {
        int longIndex = -1;
        optopt = 0;  // not every refusal sets it
        const int result =
            getopt_long(count, arguments.data(), table.shortOptions.c_str(), table.longOptions.data(), &longIndex);
        if (result == -1) break;
        if (result == '?' || result == ':') {
            parsed.outcome = Parsed::Outcome::usageError;
            parsed.problem = refusal(program, result, arguments[std::clamp(optind - 1, 1, count - 1)]);
            return parsed;
        }
        if (result == helpValue || result == versionValue) {
            parsed.outcome = result == helpValue ? Parsed::Outcome::help : Parsed::Outcome::version;
            return parsed;
        }
        const Option* o = optionWithValue(program, result);
        const std::string problem = o->take ? o->take(optarg) : "";
        if (!problem.empty()) {
            parsed.outcome = Parsed::Outcome::usageError;
            parsed.problem = (longIndex >= 0 ? std::string("--") + o->name : std::string("-") + o->letter) +
                             " " + problem + (optarg ? ", not \"" + std::string(optarg) + "\"" : "");
            return parsed;
        }
    }
    parsed.operands.assign(arguments.begin() + optind, arguments.begin() + count);
    parsed.problem = flagTakenForAnotherOption(program, asWritten);
    if (!parsed.problem.empty()) parsed.outcome = Parsed::Outcome::usageError;
    return parsed;
}

std::string helpText(const Program& program) {
    std::string text = std::string("Usage: ") + program.name + " " + program.usage + "\n" + program.summary + "\n\nOptions:\n";
    auto line = [&](char letter, const std::string& name, const char* help) {
        std::string left = letter ? std::string("  -") + letter + ", " : std::string("      ");
        left += name;
        if (left.size() < 26) left.resize(26, ' ');
        else left += "  ";
        text += left + help + "\n";
    };
    for (const Option& o : program.options)
        line(o.letter, std::string("--") + o.name + (o.valueName ? std::string("=") + o.valueName : ""), o.help);
    line('h', "--help", "show this help and exit");
    line('V', "--version", "show the version and exit");
    if (program.details) text += std::string("\n") + program.details;
    if (text.back() != '\n') text += '\n';
    return text;
}

std::string versionText(const Program& program) {
    return std::string(program.name) + " (Quarbtro) " + QUARBTRO_VERSION + "\n";
}

void usageError(const Program& program, const std::string& problem) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program.name, problem.c_str(),
                 program.name);
    std::exit(usageStatus);
}

std::vector<std::string> parseOrExit(const Program& program, int argc, char* const* argv) {
    Parsed parsed = parseArguments(program, argc, argv);
    switch (parsed.outcome) {
        case Parsed::Outcome::help:
            std::fputs(helpText(program).c_str(), stdout);
            std::exit(std::fflush(stdout) == 0 ? doneStatus : failureStatus);
        case Parsed::Outcome::version:
            std::fputs(versionText(program).c_str(), stdout);
            std::exit(std::fflush(stdout) == 0 ? doneStatus : failureStatus);
        case Parsed::Outcome::usageError:
            usageError(program, parsed.problem);
        case Parsed::Outcome::run:
            break;
    }
    return std::move(parsed.operands);
}

std::optional<long long> integerIn(const char* text, long long low, long long high) {
    const char* digits = text + (*text == '+' || *text == '-');
    if (*digits == '\0' || std::strspn(digits, "0123456789") != std::strlen(digits)) return std::nullopt;
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    if (errno == ERANGE || value < low || value > high) return std::nullopt;
    return value;
}

std::optional<double> numberIn(const char* text, double low, double high) {
    const char* digits = text + (*text == '+' || *text == '-');
    const std::size_t whole = std::strspn(digits, "0123456789");
    const char* rest = digits + whole;
    std::size_t fraction = 0;
    if (*rest == '.') {
        fraction = std::strspn(rest + 1, "0123456789");
        rest += 1 + fraction;
    }
    if (*rest != '\0' || whole + fraction == 0) return std::nullopt;
    const double value = std::strtod(text, nullptr);
    if (!(value >= low && value <= high)) return std::nullopt;
    return value;
}

Taker flag(bool& target) {
    return [&target](const char*) {
        target = true;
        return std::string();
    };
}

Taker text(std::string& target) {
    return [&target](const char* value) {
        target = value;
        return std::string();
    };
}

Taker integer(int& target, int low, int high, const char* noun) {
    return [&target, low, high, noun](const char* value) {
        const auto parsed = integerIn(value, low, high);
        if (!parsed) return std::string("takes ") + noun + " from " + std::to_string(low) + " to " + std::to_string(high);
        target = static_cast<int>(*parsed);
        return std::string();
    };
}

Taker number(double& target, double low, double high, const char* noun) {
    return [&target, low, high, noun](const char* value) {
        const auto parsed = numberIn(value, low, high);
        if (!parsed) return std::string("takes ") + noun + " from " + formatted(low) + " to " + formatted(high);
        target = *parsed;
        return std::string();
    };
}

}  // namespace quarbtro::cli
