#include "app/DdeCommand.h"

#include <gtest/gtest.h>

using namespace app;

namespace {

struct DdeCase
{
    const char* legend;
    const char* command;
    std::optional<std::string> file;
};

class DdeParseTest : public ::testing::TestWithParam<DdeCase>
{};

TEST_P(DdeParseTest, TakesTheFileUpToTheClosingQuote)
{
    EXPECT_EQ(ParseDdeOpenCommand(GetParam().command), GetParam().file) << GetParam().legend;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, DdeParseTest,
    ::testing::Values(DdeCase{"plain open", "[open(\"/data/run 1.raw\")]", std::string("/data/run 1.raw")},
                      DdeCase{"text after the quote is ignored", "[open(\"a.raw\"junk", std::string("a.raw")},
                      DdeCase{"empty file name", "[open(\"\")]", std::string()},
                      DdeCase{"no closing quote", "[open(\"a.raw", std::nullopt},
                      DdeCase{"another command", "[print(\"a.raw\")]", std::nullopt},
                      DdeCase{"open without quote", "[open(a.raw)]", std::nullopt},
                      DdeCase{"prefix cut short", "[open(", std::nullopt}, DdeCase{"empty text", "", std::nullopt}));

TEST(DdeCommandTest, MadeCommandParsesBack)
{
    EXPECT_EQ(MakeDdeOpenCommand("/tmp/x.raw"), "[open(\"/tmp/x.raw\")]");
    EXPECT_EQ(ParseDdeOpenCommand(MakeDdeOpenCommand("/tmp/x.raw")), "/tmp/x.raw");
}

}  // namespace
