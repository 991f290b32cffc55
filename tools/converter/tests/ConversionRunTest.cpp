// Output names, the order of a run, the files a run refuses to write over,
// and the command line's messages and exit status.
#include "tools/converter/ConversionRun.h"
#include "tools/converter/CommandLine.h"

#include "ConverterTestSupport.h"

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <unistd.h>

using namespace zv::converter;
using namespace converter_test;
using EFailure = SFileOutcome::EFailure;
namespace fs = std::filesystem;

TEST(ConversionRunTest, OutputNameCutsTheBaseNameAtItsFirstDot)
{
    const std::pair<const char*, const char*> rows[] = {
        {"survey.line1.out", "survey.QY"},
        {"/data/v1.2/survey.out", "/data/v1.2/survey.QY"},  // a dot in a folder is not the name's
        {"/data/v1.2/L0001.out.bak", "/data/v1.2/L0001.QY"},
        {"x.QY", "x.QY"},
        {".out", ".QY"},
        {"/data/v1.2/survey", nullptr},
        {"survey", nullptr},
        {"/data/", nullptr},
    };
    for (const auto& [input, output] : rows) {
        const std::optional<std::string> name = CConversionRun::OutputName(input);
        if (output)
            EXPECT_EQ(name, std::optional<std::string>(output)) << input;
        else
            EXPECT_FALSE(name) << input;
    }
}

TEST(ConversionRunTest, FilesGoInNameOrderWithoutRegardToCase)
{
    EXPECT_EQ(CConversionRun::SortedNames({"b.out", "A.out", "a.out", "C.out", "B.out", "a.out"}),
              (std::vector<std::string>{"A.out", "a.out", "a.out", "b.out", "B.out", "C.out"}));
}

// Each row: the files there are before the run, the inputs given, and what
// becomes of each input in the run's order. Nothing that existed before the
// run and was not an output may change, and an output refused keeps what an
// earlier file of the run wrote.
TEST(ConversionRunTest, RunNeverWritesOverAnInputOrAnEarlierOutput)
{
    struct SRow
    {
        const char* legend;
        std::vector<const char*> inputs;
        std::vector<std::pair<const char*, EFailure>> outcomes;
    };
    const SRow rows[] = {
        {"two names with one output: the first is converted",
         {"s.L2.out", "s.L1.out"},
         {{"s.L1.out", EFailure::None}, {"s.L2.out", EFailure::OutputTwice}}},
        {"an input named like an output", {"x.QY"}, {{"x.QY", EFailure::ReplacesInput}}},
        {"an output that is another input of the run",
         {"y.out", "y.QY"},
         {{"y.out", EFailure::ReplacesInput}, {"y.QY", EFailure::ReplacesInput}}},
        {"an output reached through a folder's dots",
         {"./d/../z.out", "z.QY"},
         {{"./d/../z.out", EFailure::ReplacesInput}, {"z.QY", EFailure::ReplacesInput}}},
        {"the same input twice", {"w.out", "w.out"}, {{"w.out", EFailure::None}, {"w.out", EFailure::OutputTwice}}},
        {"a name without a dot", {"nodot"}, {{"nodot", EFailure::NoDot}}},
        {"a missing file", {"missing.out"}, {{"missing.out", EFailure::Open}}},
        {"a folder", {"folder.out"}, {{"folder.out", EFailure::Open}}},
        {"an output that is a folder", {"v.out"}, {{"v.out", EFailure::Create}}},
    };
    for (const SRow& r : rows) {
        SCOPED_TRACE(r.legend);
        TempFolder dir;
        const fs::path root = fs::path(dir.File(""));
        const auto p = [&](const char* name) { return (root / name).lexically_normal().string(); };
        fs::create_directories(p("d"));
        fs::create_directories(p("folder.out"));
        fs::create_directories(p("v.QY"));
        for (const char* name :
             {"s.L1.out", "s.L2.out", "x.QY", "y.out", "y.QY", "z.out", "z.QY", "w.out", "nodot", "v.out"}) {
            WriteOutFile(p(name), {"pings=3", std::string("program=") + name});
        }
        std::map<std::string, std::vector<std::uint8_t>> before;
        for (const auto& e : fs::directory_iterator(root))
            if (e.is_regular_file())
                before[e.path().string()] = ReadBytes(e.path().string());

        std::vector<std::string> inputs;
        for (const char* name : r.inputs)
            inputs.push_back((root / name).string());
        const std::vector<SFileOutcome> outcomes = CConversionRun({}).Run(inputs);
        ASSERT_EQ(outcomes.size(), r.outcomes.size());
        for (std::size_t i = 0; i < outcomes.size(); ++i) {
            EXPECT_EQ(outcomes[i].input, (root / r.outcomes[i].first).string());
            EXPECT_EQ(outcomes[i].failure, r.outcomes[i].second) << outcomes[i].cause;
            EXPECT_EQ(outcomes[i].Converted(), outcomes[i].cause.empty());
        }
        std::set<std::string> written;
        for (const SFileOutcome& o : outcomes)
            if (o.Converted())
                written.insert(fs::path(o.output).lexically_normal().string());
        for (const auto& [path, bytes] : before) {
            if (!written.count(path)) {
                EXPECT_EQ(ReadBytes(path), bytes) << path;
            }
        }
        // No part-written file is left behind.
        for (const auto& e : fs::directory_iterator(root))
            EXPECT_FALSE(e.path().string().ends_with(".part"));
    }
    // The output kept from the two-to-one row is the first file's.
    TempFolder dir;
    WriteOutFile(dir.File("s.L1.out"), {"pings=2"});
    WriteOutFile(dir.File("s.L2.out"), {"pings=5"});
    CConversionRun({}).Run({dir.File("s.L1.out"), dir.File("s.L2.out")});
    const std::vector<std::string> records = ReadRecords(dir.File("s.QY"));
    EXPECT_EQ(records.size(), 1u + 2 * 1 + 2 * 1);  // header, GGA a ping, depths of the second ping
}

// An input whose name is as long as a folder allows still gets its output:
// whatever the output is written under first must fit where the output does.
TEST(ConversionRunTest, LongestNamesConvert)
{
    TempFolder dir;
    const std::string base(250, 'L');  // input 254 characters, output 253, of at most 255
    WriteOutFile(dir.File(base + ".out"), {"pings=2"});
    const std::vector<SFileOutcome> o = CConversionRun({}).Run({dir.File(base + ".out")});
    ASSERT_EQ(o.size(), 1u);
    EXPECT_TRUE(o[0].Converted()) << o[0].cause;
    // The header, a GGA a ping, two depths of the second ping (the first is at midnight).
    EXPECT_EQ(ReadRecords(dir.File(base + ".QY")).size(), 5u);
    for (const auto& e : fs::directory_iterator(dir.File("")))
        EXPECT_FALSE(e.path().string().ends_with(".part"));
}

// An output name that is a link to a file elsewhere (a folder the
// post-processing program reads, say) fills that file, and the link stays.
TEST(ConversionRunTest, OutputThroughALinkFillsTheFileLinkedTo)
{
    TempFolder dir;
    WriteOutFile(dir.File("a.out"), {"pings=2"});
    fs::create_directories(dir.File("post"));
    WriteBytes(dir.File("post/a.QY"), {'o', 'l', 'd'});
    fs::create_symlink(dir.File("post/a.QY"), dir.File("a.QY"));
    const std::vector<SFileOutcome> o = CConversionRun({}).Run({dir.File("a.out")});
    ASSERT_TRUE(o[0].Converted()) << o[0].cause;
    EXPECT_TRUE(fs::is_symlink(dir.File("a.QY")));
    EXPECT_EQ(ReadRecords(dir.File("post/a.QY")).size(), 5u);
}

TEST(ConversionRunTest, OutputLinkedToAnInputIsRefused)
{
    TempFolder dir;
    WriteOutFile(dir.File("a.out"), {"pings=2"});
    WriteOutFile(dir.File("b.out"), {"pings=3"});
    ASSERT_EQ(::link(dir.File("b.out").c_str(), dir.File("a.QY").c_str()), 0);
    const std::vector<std::uint8_t> b = ReadBytes(dir.File("b.out"));
    const std::vector<SFileOutcome> o = CConversionRun({}).Run({dir.File("a.out"), dir.File("b.out")});
    EXPECT_EQ(o[0].failure, EFailure::ReplacesInput);
    EXPECT_NE(o[0].cause.find(dir.File("b.out")), std::string::npos) << o[0].cause;
    EXPECT_TRUE(o[1].Converted());
    EXPECT_EQ(ReadBytes(dir.File("b.out")), b);
}

TEST(ConversionRunTest, CommandLineExitStatusAndMessages)
{
    TempFolder dir;
    WriteOutFile(dir.File("good.out"), {"pings=4", "annotate-every=2"});
    const auto run = [](std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr) {
        std::ostringstream o, e;
        const int status = CCommandLine::Run(args, o, e);
        if (out)
            *out = o.str();
        if (err)
            *err = e.str();
        return status;
    };
    std::string out, err;
    EXPECT_EQ(run({dir.File("good.out")}, &out, &err), 0);
    // The header, a GGA a ping, two depths a ping but at midnight.
    EXPECT_EQ(out, dir.File("good.out") + " -> " + dir.File("good.QY") + ": 11 records\n");
    EXPECT_EQ(err, "");

    // Each box has its option.
    EXPECT_EQ(run({"--annotation", "--depth=off", "--gga=off", "--gll=on", "--ascii=off", "--event=off",
                   dir.File("good.out")},
                  &out),
              0);
    const std::vector<std::string> records = ReadRecords(dir.File("good.QY"));
    ASSERT_EQ(records.size(), 3u);  // the header and two annotations
    EXPECT_TRUE(records[1].ends_with("Synthetic event at ping 0\r\r\n"));

    // A failed file names itself and its cause; the others are converted.
    EXPECT_EQ(run({dir.File("missing.out"), dir.File("good.out"), dir.File("nodot")}, &out, &err), 1);
    EXPECT_NE(out.find("good.QY"), std::string::npos);
    EXPECT_NE(err.find(dir.File("missing.out") + ": cannot open: No such file or directory\n"), std::string::npos)
        << err;
    EXPECT_NE(err.find(dir.File("nodot") + ": cannot open"), std::string::npos) << err;

    WriteOutFile(dir.File("nodot"), {"pings=1"});
    EXPECT_EQ(run({dir.File("nodot")}, &out, &err), 1);
    EXPECT_EQ(err,
              "Trovadel: " + dir.File("nodot") + ": the name has no \".\", so no output name can be made from it\n");

    // Usage errors.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--gga=maybe", "x.out"}, {"--colour", "x.out"}, {"-x", "x.out"}, {"--gga"}}) {
        EXPECT_EQ(run(args, &out, &err), 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(err.find("--help"), std::string::npos);
    }
    // "--" ends the options: a file may begin with a dash.
    fs::copy_file(dir.File("good.out"), dir.File("-dash.out"));
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.File(""));
    EXPECT_EQ(run({"--", "-dash.out"}, &out), 0);
    fs::current_path(cwd);
    EXPECT_TRUE(fs::exists(dir.File("-dash.QY")));
    EXPECT_EQ(run({"--help"}, &out), 0);
    EXPECT_NE(out.find("--annotation=on|off"), std::string::npos);
}
