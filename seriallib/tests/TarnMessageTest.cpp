#include "seriallib/TarnMessage.h"
#include "seriallib/MsgConvert.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

TEST(TarnMessage, AddByteGrowsByOneStepOnlyWhenFull)
{
    CTarnMessage m(16, 16);
    for (int i = 0; i < 16; ++i)
        ASSERT_EQ(m.AddByte(static_cast<BYTE>(i)), 1);
    const BYTE* before = m.GetDataPtr();
    EXPECT_EQ(m.GetCapacity(), 16u);
    EXPECT_EQ(m.AddByte(16), 1);
    EXPECT_EQ(m.GetCapacity(), 32u);
    EXPECT_NE(m.GetDataPtr(), before);
    for (UINT i = 0; i < 17; ++i)
        EXPECT_EQ(m[i], i);
}

TEST(TarnMessage, AddBytesGrowsByWholeSteps)
{
    struct Row
    {
        const char* legend;
        UINT used;
        UINT add;
        UINT capacity;
    };
    const Row rows[] = {
        {"16 into an empty 16 fits", 0, 16, 16},
        {"17 into an empty 16 adds one step", 0, 17, 32},
        {"a shortfall of exactly one step adds two", 16, 16, 48},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        CTarnMessage m(16, 16);
        std::string fill(row.used, 'a');
        std::string add(row.add, 'b');
        ASSERT_EQ(m.AddBytes(reinterpret_cast<const BYTE*>(fill.data()), row.used), 1);
        ASSERT_EQ(m.AddBytes(reinterpret_cast<const BYTE*>(add.data()), row.add), 1);
        EXPECT_EQ(m.GetCapacity(), row.capacity);
        EXPECT_EQ(static_cast<std::string>(m), fill + add);
    }
}

TEST(TarnMessage, SetSizeKeepsBytesWhenShrinkingAndReplacesBufferWhenGrowing)
{
    CTarnMessage m(std::string("abcdef"), 16);
    EXPECT_EQ(m.SetSize(3), 3u);
    EXPECT_EQ(static_cast<std::string>(m), "abc");
    EXPECT_EQ(m.SetSize(100), 100u);
    EXPECT_EQ(m.GetSize(), 100u);
    EXPECT_EQ(m.GetCapacity(), 100u);
}

TEST(TarnMessage, SeachByteLooksOnlyFromTheOffsetToTheUsedSize)
{
    CTarnMessage m(16, 16);
    const BYTE bytes[] = {0x55, 1, 2, 0x55};
    m.AddBytes(bytes, 3);
    EXPECT_EQ(m.SeachByte(0x55, 1), nullptr);
    EXPECT_EQ(m.SeachByte(0x55, 0), m.GetDataPtr());
    EXPECT_EQ(m.SeachByte(0x55, 3), nullptr);  // offset at the used size
    m.AddByte(0x55);
    EXPECT_EQ(m.SeachByte(0x55, 1), m.GetDataPtr() + 3);
}

TEST(TarnMessage, CopyAndAssignmentTakeBytesStampAndStep)
{
    CTarnMessage source(128, 16);
    source.AddBytes(reinterpret_cast<const BYTE*>("xyz"), 3);
    source.SetTime(123456789);
    CTarnMessage copy(source);
    EXPECT_EQ(copy.GetCapacity(), 16u);
    EXPECT_EQ(static_cast<std::string>(copy), "xyz");
    EXPECT_EQ(copy.GetTime(), 123456789u);

    CTarnMessage target(std::string("a longer text than three"), 4);
    const UINT formerCapacity = target.GetCapacity();
    target = source;
    EXPECT_EQ(static_cast<std::string>(target), "xyz");
    EXPECT_EQ(target.GetCapacity(), formerCapacity);
    EXPECT_EQ(target.GetGrowBy(), 16u);
    EXPECT_EQ(target.GetTime(), 123456789u);
    target = target;
    EXPECT_EQ(static_cast<std::string>(target), "xyz");
}

TEST(TarnMessage, TimeArithmeticCarriesAcrossTheHalves)
{
    CTarnMessage m;
    m.SetTime(0xFFFFFFF0ULL);
    m.AddTime(0x20);
    EXPECT_EQ(m.GetTime(), 0x100000010ULL);
    m.SubTime(0x20);
    EXPECT_EQ(m.GetTime(), 0xFFFFFFF0ULL);
}

TEST(TarnMessage, StringConversionKeepsEmbeddedZeros)
{
    const std::string text("a\0b", 3);
    CTarnMessage m(text, 16);
    EXPECT_EQ(static_cast<std::string>(m), text);
    EXPECT_EQ(static_cast<std::string>(CTarnMessage()), "");
    // A grow step of 0 would never grow: it is taken as 1.
    CTarnMessage tiny(0, 0);
    EXPECT_EQ(tiny.AddByte(7), 1);
    EXPECT_EQ(tiny.GetSize(), 1u);
}

TEST(MsgConvert, RoundTripsAndRefusesEmptyInput)
{
    CMsgConvert convert;
    std::unique_ptr<CTarnMessage> m(convert.StringToMessage("abc"));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->GetCapacity(), 3u);
    std::unique_ptr<std::string> s(convert.MessageToString(m.get()));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->size(), 4u);
    EXPECT_EQ(s->back(), '\0');
    EXPECT_EQ(s->substr(0, 3), "abc");

    EXPECT_EQ(convert.StringToMessage(""), nullptr);
    CTarnMessage empty;
    EXPECT_EQ(convert.MessageToString(&empty), nullptr);
    EXPECT_EQ(convert.StringToMessage("x", nullptr), nullptr);
    EXPECT_EQ(convert.StringToMessage("", m.get()), nullptr);
    EXPECT_EQ(convert.StringToMessage("de", m.get()), m.get());
    EXPECT_EQ(static_cast<std::string>(*m), "abcde");
}

}  // namespace
