// Values and arrays that cross component interfaces, and the texts of the
// results their calls fail with.
#include "platform/Variant.h"
#include "platform/SystemMessage.h"

#include <gtest/gtest.h>

TEST(Variant, AVectorIsOpenedFilledClosedAndFreedWithItsVariant)
{
    VARIANT v;
    v.vt = VT_ARRAY | VT_R8;
    v.parray = SafeArrayCreateVector(VT_R8, 0, 4);
    ASSERT_NE(v.parray, nullptr);
    EXPECT_EQ(SafeArrayGetDim(v.parray), 1u);
    EXPECT_EQ(SafeArrayGetElemsize(v.parray), 8u);
    LONG lower = -1, upper = -1;
    EXPECT_EQ(SafeArrayGetLBound(v.parray, 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(v.parray, 1, &upper), S_OK);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 3);
    EXPECT_EQ(SafeArrayGetLBound(v.parray, 2, &lower), DISP_E_BADINDEX);
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(v.parray, &vt), S_OK);
    EXPECT_EQ(vt, VT_R8);

    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(v.parray, &data), S_OK);
    static_cast<double*>(data)[3] = 2.5;
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED) << "an open array is not freed under its user";
    VARIANT copy;
    ASSERT_EQ(VariantCopy(&copy, &v), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(v.parray), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(v.parray), E_UNEXPECTED);
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);

    ASSERT_NE(copy.parray, nullptr);
    ASSERT_EQ(SafeArrayAccessData(copy.parray, &data), S_OK);
    EXPECT_EQ(static_cast<double*>(data)[3], 2.5) << "the copy holds its own values";
    SafeArrayUnaccessData(copy.parray);
    EXPECT_EQ(VariantClear(&copy), S_OK);
}

TEST(Variant, ArraysOfOneDimensionAndFixedSizeElementsOnly)
{
    SAFEARRAYBOUND bounds[2] = {{3, 0}, {2, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_R8, 2, bounds), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_BSTR, 0, 3), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_R8, 0, 0xFFFFFFFFu), nullptr) << "a size that does not fit";
    SAFEARRAY* empty = SafeArrayCreate(VT_R8, 1, bounds);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SafeArrayDestroy(empty), S_OK);
    SAFEARRAY* none = SafeArrayCreateVector(VT_R8, 0, 0);
    ASSERT_NE(none, nullptr);
    void* data = nullptr;
    EXPECT_EQ(SafeArrayAccessData(none, &data), S_OK) << "the data of an empty array opens too";
    EXPECT_NE(data, nullptr);
    SafeArrayUnaccessData(none);
    EXPECT_EQ(SafeArrayDestroy(none), S_OK);
}

TEST(Variant, TextsAreCopiedAndFreed)
{
    VARIANT a;
    a.vt = VT_BSTR;
    a.bstrVal = SysAllocString("Dummy");
    VARIANT b;
    b.vt = VT_R8;
    b.dblVal = 1.0;
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_NE(b.bstrVal, a.bstrVal);
    EXPECT_EQ(BstrToString(b.bstrVal), "Dummy");
    EXPECT_EQ(VariantClear(&a), S_OK);
    EXPECT_EQ(BstrToString(b.bstrVal), "Dummy");
    EXPECT_EQ(VariantClear(&b), S_OK);
}

TEST(SystemMessage, KnownResultsHaveTheirTextAndOthersNone)
{
    EXPECT_EQ(FormatSystemMessage(REGDB_E_CLASSNOTREG), "Class not registered");
    EXPECT_EQ(FormatSystemMessage(RPC_E_DISCONNECTED), "The object invoked has disconnected from its clients.");
    EXPECT_EQ(FormatSystemMessage(E_FAIL), "Unspecified error");
    EXPECT_EQ(FormatSystemMessage(static_cast<HRESULT>(0x80041234u)), "");
}
