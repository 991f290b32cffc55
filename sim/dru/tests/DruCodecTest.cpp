#include "sim/dru/DruCodec.h"
#include "sim/dru/DruSimulator.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<BYTE> Request(DWORD op, DWORD code, std::vector<BYTE> in, DWORD outCapacity)
{
    std::vector<BYTE> out;
    for (DWORD word : {op, code, static_cast<DWORD>(in.size()), outCapacity}) {
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<BYTE>(word >> shift));
    }
    out.insert(out.end(), in.begin(), in.end());
    return out;
}

TEST(DruCodec, RequestsAreCutFromBytesHoweverTheyArrive)
{
    std::vector<BYTE> stream = Request(CDruCodec::kControl, CDruCodec::kReadCardId, {}, 2);
    const std::vector<BYTE> command = Request(CDruCodec::kWrite, 0, {8, 36, 20, 3, 188, 90, 12}, 0);
    stream.insert(stream.end(), command.begin(), command.end());
    for (std::size_t chunk : {std::size_t{1}, std::size_t{5}, stream.size()}) {
        CDruCodec codec;
        std::vector<CDruCodec::Request> got;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            codec.Feed(stream.data() + at, std::min(chunk, stream.size() - at));
            CDruCodec::Request r;
            while (codec.Next(r))
                got.push_back(r);
        }
        ASSERT_EQ(got.size(), 2u) << chunk;
        EXPECT_EQ(got[0].op, CDruCodec::kControl);
        EXPECT_EQ(got[0].code, CDruCodec::kReadCardId);
        EXPECT_EQ(got[0].outCapacity, 2u);
        EXPECT_TRUE(got[0].in.empty());
        EXPECT_EQ(got[1].op, CDruCodec::kWrite);
        EXPECT_EQ(got[1].in, (std::vector<BYTE>{8, 36, 20, 3, 188, 90, 12}));
        EXPECT_FALSE(codec.Broken());
    }
}

TEST(DruCodec, BytesThatCannotBeRequestsBreakTheConnection)
{
    struct Case
    {
        const char* legend;
        std::vector<BYTE> bytes;
    };
    const Case cases[] = {
        {"op 0", Request(0, 0, {}, 0)},
        {"op beyond unload", Request(5, 0, {}, 0)},
        {"input beyond the largest transfer", {2, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x00, 0x01, 0x00, 0, 0, 0, 0}},
        {"answer room beyond the largest transfer", {3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& c : cases) {
        CDruCodec codec;
        codec.Feed(c.bytes.data(), c.bytes.size());
        CDruCodec::Request r;
        EXPECT_FALSE(codec.Next(r)) << c.legend;
        EXPECT_TRUE(codec.Broken()) << c.legend;
        // Nothing after it is taken either.
        const std::vector<BYTE> good = Request(CDruCodec::kRead, 0, {}, 604);
        codec.Feed(good.data(), good.size());
        EXPECT_FALSE(codec.Next(r)) << c.legend;
    }
}

struct AnswerCase
{
    const char* legend;
    CDruSimulator::Settings settings;
    bool fromControl;
    std::vector<BYTE> request;
    std::vector<BYTE> answer;
    bool unload;
};

TEST(DruSimulator, AnswersPerCardAndRequest)
{
    const CDruSimulator::Settings card;
    CDruSimulator::Settings otherAddress;
    otherAddress.ioBase = 0x300;
    CDruSimulator::Settings noCard;
    noCard.noCard = true;
    CDruSimulator::Settings inUse;
    inUse.inUse = true;
    const AnswerCase cases[] = {
        {"card id", card, false, Request(1, CDruCodec::kReadCardId, {}, 2), {0, 0, 0, 0, 2, 0, 0, 0, 1, 0}, false},
        {"card id, driver at another address",
         otherAddress,
         false,
         Request(1, CDruCodec::kReadCardId, {}, 2),
         {0, 0, 0, 0, 2, 0, 0, 0, 0xFF, 0x0F},
         false},
        {"card id, no card",
         noCard,
         false,
         Request(1, CDruCodec::kReadCardId, {}, 2),
         {0, 0, 0, 0, 2, 0, 0, 0, 0xFF, 0x0F},
         false},
        {"status 8, healthy",
         card,
         false,
         Request(1, CDruCodec::kReadStatus8, {}, 1),
         {0, 0, 0, 0, 1, 0, 0, 0, 3},
         false},
        {"status 8, no card",
         noCard,
         false,
         Request(1, CDruCodec::kReadStatus8, {}, 1),
         {0, 0, 0, 0, 1, 0, 0, 0, 0},
         false},
        {"status 32",
         card,
         false,
         Request(1, CDruCodec::kReadStatus32, {}, 4),
         {0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0},
         false},
        {"status 32, in use",
         inUse,
         false,
         Request(1, CDruCodec::kReadStatus32, {}, 4),
         {0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0x10},
         false},
        {"status 32 into 2 bytes",
         card,
         false,
         Request(1, CDruCodec::kReadStatus32, {}, 2),
         {122, 0, 0, 0, 0, 0, 0, 0},
         false},
        {"unknown control code", card, false, Request(1, 0x9C40640C, {}, 4), {1, 0, 0, 0, 0, 0, 0, 0}, false},
        {"start command", card, false, Request(2, 0, {5, 0, 0, 0, 0, 0, 0}, 0), {0, 0, 0, 0, 7, 0, 0, 0}, false},
        {"command of 6 bytes", card, false, Request(2, 0, {5, 0, 0, 0, 0, 0}, 0), {87, 0, 0, 0, 0, 0, 0, 0}, false},
        {"unknown command", card, false, Request(2, 0, {9, 0, 0, 0, 0, 0, 0}, 0), {87, 0, 0, 0, 0, 0, 0, 0}, false},
        {"read, no blocks yet", card, false, Request(3, 0, {}, 604), {21, 0, 0, 0, 0, 0, 0, 0}, false},
        {"unload on the device", card, false, Request(4, 0, {}, 0), {1, 0, 0, 0, 0, 0, 0, 0}, false},
        {"unload on the control socket", card, true, Request(4, 0, {}, 0), {0, 0, 0, 0, 0, 0, 0, 0}, true},
        {"card id on the control socket",
         card,
         true,
         Request(1, CDruCodec::kReadCardId, {}, 2),
         {1, 0, 0, 0, 0, 0, 0, 0},
         false},
    };
    for (const auto& c : cases) {
        CDruSimulator simulator(c.settings);
        CDruCodec codec;
        codec.Feed(c.request.data(), c.request.size());
        CDruCodec::Request request;
        ASSERT_TRUE(codec.Next(request)) << c.legend;
        bool unload = !c.unload;
        EXPECT_EQ(simulator.Serve(request, c.fromControl, unload), c.answer) << c.legend;
        EXPECT_EQ(unload, c.unload) << c.legend;
    }
}

}  // namespace
