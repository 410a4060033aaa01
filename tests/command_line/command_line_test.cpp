#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarbtro::cli {
namespace {

using Outcome = Parsed::Outcome;

// A program with one option of each kind, and what its options took.
struct Example {
    std::string output;
    double seconds = -1;
    int rate = 44100;
    bool force = false, quiet = false, raw = false;
    Program program{"example", "[OPTION]... FILE...", "Does an example's work.",
                    {{"output", 'o', "FILE", "where it goes", text(output)},
                     {"seconds", 0, "S", "how long", number(seconds, 0, 24000, "a number of seconds")},
                     {"rate", 'r', "HZ", "how fast", integer(rate, 8000, 192000), "--samplerate -f"},
                     {"force", 'f', nullptr, "overwrite", flag(force)},
                     {"quiet", 'q', nullptr, "say nothing", flag(quiet)},
                     {"raw", 0, nullptr, "no header", flag(raw)}}};

    Parsed parse(const std::vector<const char*>& words) {
        std::vector<char*> argv{const_cast<char*>("example")};
        for (const char* word : words) argv.push_back(const_cast<char*>(word));
        return parseArguments(program, static_cast<int>(argv.size()), argv.data());
    }
};

using Words = std::vector<std::string>;

TEST(CommandLine, EveryFormOfValueIsTaken) {
    for (const auto& words : std::vector<std::vector<const char*>>{{"--output=a.wav", "--rate=48000"},
                       {"--output", "a.wav", "--rate", "48000"},
                       {"-oa.wav", "-r48000"},
                       {"-o", "a.wav", "-r", "48000"},
                       {"--out=a.wav", "--rat", "48000"}}) {  // unambiguous abbreviations
        Example e;
        const Parsed parsed = e.parse(words);
        EXPECT_EQ(parsed.outcome, Outcome::run) << parsed.problem;
        EXPECT_EQ(e.output, "a.wav");
        EXPECT_EQ(e.rate, 48000);
    }
}

TEST(CommandLine, OperandsMayComeBetweenOptionsAndDashesEndTheOptions) {
    Example e;
    const Parsed parsed = e.parse({"one.xm", "-fq", "two.xm", "--seconds", "1.5", "--", "-three.xm", "--raw"});
    EXPECT_EQ(parsed.outcome, Outcome::run);
    EXPECT_EQ(parsed.operands, (Words{"one.xm", "two.xm", "-three.xm", "--raw"}));
    EXPECT_TRUE(e.force && e.quiet);
    EXPECT_FALSE(e.raw);
    EXPECT_DOUBLE_EQ(e.seconds, 1.5);
    EXPECT_EQ(Example().parse({"-", "-o", "-"}).operands, Words{"-"});  // "-" is an operand
}

TEST(CommandLine, HelpAndVersionAreAnsweredWhateverFollows) {
    EXPECT_EQ(Example().parse({"--help", "--bogus"}).outcome, Outcome::help);
    EXPECT_EQ(Example().parse({"a.xm", "-h"}).outcome, Outcome::help);
    EXPECT_EQ(Example().parse({"--version"}).outcome, Outcome::version);
    EXPECT_EQ(Example().parse({"-V"}).outcome, Outcome::version);
    // An earlier mistake is still reported.
    EXPECT_EQ(Example().parse({"--bogus", "--help"}).outcome, Outcome::usageError);
}

TEST(CommandLine, UsageErrorsNameTheOptionAsWritten) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{"--bogus"}, "unknown option --bogus"},
        {{"--bogus=3"}, "unknown option --bogus"},
        {{"-x"}, "unknown option -x"},
        {{"-fx"}, "unknown option -x"},
        {{"--r"}, "ambiguous option --r: --rate or --raw"},
        {{"-o"}, "-o needs a value"},
        {{"a.xm", "--output"}, "--output needs a value"},
        {{"--raw=yes"}, "--raw takes no value"},
        {{"--force=yes"}, "--force takes no value"},
        {{"--help=me"}, "--help takes no value"},
        {{"--seconds", "0x10"}, "--seconds takes a number of seconds from 0 to 24000, not \"0x10\""},
        {{"-r", "44.1k"}, "-r takes a whole number from 8000 to 192000, not \"44.1k\""},
        {{"--rate=7999"}, "--rate takes a whole number from 8000 to 192000, not \"7999\""},
    };
    for (const auto& [words, problem] : cases) {
        const Parsed parsed = Example().parse(words);
        EXPECT_EQ(parsed.outcome, Outcome::usageError) << problem;
        EXPECT_EQ(parsed.problem, problem);
    }
}

// Another player's spelling, or a name a letter or two off, is answered with the option meant.
TEST(CommandLine, UnknownOptionsSuggestTheOneMeant) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{"--samplerate=48000"}, "unknown option --samplerate; did you mean --rate (-r)?"},
        {{"--secnods", "3"}, "unknown option --secnods; did you mean --seconds?"},
        {{"--outptu", "a.wav"}, "unknown option --outptu; did you mean --output?"},
        {{"--volume"}, "unknown option --volume"},  // nothing near it
        // xmp's rate flag is --force here: a number after it is no file name.
        {{"-f", "48000", "a.xm"}, "-f is --force and takes no value; for 48000, did you mean --rate 48000?"},
    };
    for (const auto& [words, problem] : cases) {
        const Parsed parsed = Example().parse(words);
        EXPECT_EQ(parsed.outcome, Outcome::usageError) << problem;
        EXPECT_EQ(parsed.problem, problem);
    }
    EXPECT_EQ(Example().parse({"-f", "48000.xm"}).outcome, Outcome::run);
    EXPECT_EQ(Example().parse({"-q", "48000"}).outcome, Outcome::run);  // -q is no one's rate
}

TEST(CommandLine, NumbersAreReadStrictly) {
    for (const char* refused : {"", "+", "-", "0x10", "16abc", " 16", "16 ", "1e3", "inf", "nan", "1.", ".",
                                "99999999999999999999"}) {
        EXPECT_FALSE(integerIn(refused, -1000000, 1000000)) << '"' << refused << '"';
        if (std::string(refused) != "1.") {
            EXPECT_FALSE(numberIn(refused, -1000000, 1000000)) << '"' << refused << '"';
        }
    }
    EXPECT_EQ(integerIn("-5", -10, 10), -5);
    EXPECT_EQ(integerIn("+007", 0, 10), 7);
    EXPECT_FALSE(integerIn("11", -10, 10));
    EXPECT_EQ(numberIn("1.", 0, 10), 1.0);
    EXPECT_EQ(numberIn(".5", 0, 10), 0.5);
    EXPECT_EQ(numberIn("-6", -60, 60), -6.0);
    EXPECT_FALSE(numberIn("24000.5", 0, 24000));
}

TEST(CommandLine, ForeignOptionsPassOverWithTheirValues) {
    Example e;
    e.program.foreignOptions = {{"-display", true}, {"-iconic", false}};
    Parsed parsed = e.parse({"-display", ":1", "-iconic", "-q"});
    EXPECT_EQ(parsed.outcome, Outcome::run) << parsed.problem;
    EXPECT_TRUE(parsed.operands.empty());
    EXPECT_TRUE(e.quiet);
    parsed = e.parse({"-q", "-display"});
    EXPECT_EQ(parsed.outcome, Outcome::usageError);
    EXPECT_EQ(parsed.problem, "-display needs a value");
    EXPECT_EQ(e.parse({"-geometry", "10x10"}).problem, "unknown option -g");
}

TEST(CommandLine, OptionsFirstLeavesTheRestToTheProgramRun) {
    Example e;
    e.program.optionsFirst = true;
    const Parsed parsed = e.parse({"-q", "intro", "--help", "-f"});
    EXPECT_EQ(parsed.outcome, Outcome::run);
    EXPECT_EQ(parsed.operands, (Words{"intro", "--help", "-f"}));
    EXPECT_FALSE(e.force);
}

TEST(CommandLine, HelpListsEveryOption) {
    const std::string help = helpText(Example().program);
    EXPECT_EQ(help.rfind("Usage: example [OPTION]... FILE...\nDoes an example's work.\n", 0), 0u) << help;
    for (const char* line : {"  -o, --output=FILE       where it goes\n", "      --seconds=S         how long\n",
                             "  -f, --force             overwrite\n", "  -h, --help              show this help",
                             "  -V, --version           show the version"})
        EXPECT_NE(help.find(line), std::string::npos) << line << "\nin\n" << help;
    EXPECT_EQ(versionText(Example().program).rfind("example (Quarbtro) ", 0), 0u);
}

}  // namespace
}  // namespace quarbtro::cli
