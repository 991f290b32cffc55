#include "platform/DeviceFrame.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(DeviceFrame, RequestIsTheFourWordsThenTheInput)
{
    const BYTE command[7] = {5, 0, 0, 0, 0, 0, 0};
    const std::vector<BYTE> expected = {2, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(CDeviceFrame::EncodeRequest(CDeviceFrame::kWrite, 0, command, 7, 0), expected);
    const std::vector<BYTE> control = {1, 0, 0, 0, 0x04, 0x64, 0x40, 0x9C, 0, 0, 0, 0, 2, 0, 0, 0};
    EXPECT_EQ(CDeviceFrame::EncodeRequest(CDeviceFrame::kControl, 0x9C406404, nullptr, 0, 2), control);
}

struct AnswerCase
{
    const char* legend;
    std::vector<BYTE> header;
    DWORD op;
    DWORD inLength;
    DWORD outCapacity;
    bool valid;
    DWORD status;
    DWORD count;
    bool dataFollows;
};

TEST(DeviceFrame, AnswerHeadersAreCheckedAgainstTheirRequest)
{
    const AnswerCase cases[] = {
        {"control code, 4 bytes of 4", {0, 0, 0, 0, 4, 0, 0, 0}, CDeviceFrame::kControl, 0, 4, true, 0, 4, true},
        {"control code, fewer than asked", {0, 0, 0, 0, 1, 0, 0, 0}, CDeviceFrame::kControl, 0, 4, true, 0, 1, true},
        {"control code, more than asked", {0, 0, 0, 0, 5, 0, 0, 0}, CDeviceFrame::kControl, 0, 4, false, 0, 5, false},
        {"read, nothing", {0, 0, 0, 0, 0, 0, 0, 0}, CDeviceFrame::kRead, 0, 604, true, 0, 0, false},
        {"read, count far beyond the buffer",
         {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF},
         CDeviceFrame::kRead,
         0,
         604,
         false,
         0,
         0xFFFFFFFF,
         false},
        {"write taken whole, no data after", {0, 0, 0, 0, 7, 0, 0, 0}, CDeviceFrame::kWrite, 7, 0, true, 0, 7, false},
        {"write, more taken than given", {0, 0, 0, 0, 8, 0, 0, 0}, CDeviceFrame::kWrite, 7, 0, false, 0, 8, false},
        {"failure without data", {21, 0, 0, 0, 0, 0, 0, 0}, CDeviceFrame::kRead, 0, 604, true, 21, 0, false},
        {"failure that claims data", {21, 0, 0, 0, 2, 0, 0, 0}, CDeviceFrame::kRead, 0, 604, false, 21, 2, false},
        {"unload answered", {0, 0, 0, 0, 0, 0, 0, 0}, CDeviceFrame::kUnload, 0, 0, true, 0, 0, false},
        {"unload answered with a count", {0, 0, 0, 0, 1, 0, 0, 0}, CDeviceFrame::kUnload, 0, 0, false, 0, 1, false},
        {"answer to an op never sent", {0, 0, 0, 0, 0, 0, 0, 0}, 9, 0, 0, false, 0, 0, false},
    };
    for (const auto& c : cases) {
        CDeviceFrame::Answer answer;
        EXPECT_EQ(CDeviceFrame::DecodeAnswerHeader(c.header.data(), c.op, c.inLength, c.outCapacity, answer), c.valid)
            << c.legend;
        EXPECT_EQ(answer.status, c.status) << c.legend;
        EXPECT_EQ(answer.count, c.count) << c.legend;
        EXPECT_EQ(answer.dataFollows, c.dataFollows) << c.legend;
    }
}

}  // namespace
