// Typed values and arrays that cross component interfaces: VARIANT and a
// one-dimensional SAFEARRAY of fixed-size elements, made and freed through
// the functions below, so that either side of an interface may free what the
// other made. A VARIANT owns what it holds (a BSTR, an array) and
// VariantClear frees it.
#pragma once

#include "platform/Component.h"

#include <cstdint>

using VARTYPE = std::uint16_t;
using USHORT = std::uint16_t;
using SHORT = std::int16_t;

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_ARRAY = 0x2000,
    VT_TYPEMASK = 0x0FFF,
};

constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008u);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000Bu);
constexpr HRESULT DISP_E_ARRAYISLOCKED = static_cast<HRESULT>(0x8002000Du);

struct SAFEARRAYBOUND
{
    ULONG cElements = 0;
    LONG lLbound = 0;
};

struct SAFEARRAY
{
    USHORT cDims = 1;
    USHORT fFeatures = 0;
    ULONG cbElements = 0;  // bytes of one element
    ULONG cLocks = 0;      // open SafeArrayAccessData calls
    void* pvData = nullptr;
    SAFEARRAYBOUND rgsabound[1];
    VARTYPE vt = VT_EMPTY;  // the element type
};

struct VARIANT
{
    VARTYPE vt = VT_EMPTY;
    union
    {
        std::int8_t cVal;
        BYTE bVal;
        SHORT iVal;
        USHORT uiVal;
        LONG lVal;
        ULONG ulVal;
        float fltVal;
        double dblVal;
        SHORT boolVal;
        SCODE scode;
        BSTR bstrVal;
        SAFEARRAY* parray;
    };
    VARIANT() : dblVal(0.0) {}
};

void VariantInit(VARIANT* v);
// Frees what the variant holds and leaves it VT_EMPTY.
HRESULT VariantClear(VARIANT* v);
// dest (cleared first) becomes a deep copy of src.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);

// Bytes of one element of an array of vt; 0 for a type an array cannot hold
// (texts, variants).
ULONG SafeArrayElementSize(VARTYPE vt);
// Arrays of one dimension only; null for another count of dimensions, an
// element type without a fixed size, or a size that does not fit.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, SAFEARRAYBOUND* bounds);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements);
// DISP_E_ARRAYISLOCKED while its data is open.
HRESULT SafeArrayDestroy(SAFEARRAY* array);
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
UINT SafeArrayGetDim(SAFEARRAY* array);
UINT SafeArrayGetElemsize(SAFEARRAY* array);
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dim, LONG* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dim, LONG* bound);
HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* vt);
