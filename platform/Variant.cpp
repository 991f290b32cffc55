#include "platform/Variant.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

void VariantInit(VARIANT* v)
{
    if (!v)
        return;
    v->vt = VT_EMPTY;
    v->dblVal = 0.0;
}

HRESULT VariantClear(VARIANT* v)
{
    if (!v)
        return E_INVALIDARG;
    if (v->vt & VT_ARRAY) {
        const HRESULT hr = SafeArrayDestroy(v->parray);
        if (FAILED(hr))
            return hr;
    } else if (v->vt == VT_BSTR) {
        SysFreeString(v->bstrVal);
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src)
{
    if (!dest || !src)
        return E_INVALIDARG;
    if (dest == src)
        return S_OK;
    const HRESULT cleared = VariantClear(dest);
    if (FAILED(cleared))
        return cleared;
    if (src->vt & VT_ARRAY) {
        SAFEARRAY* from = src->parray;
        if (!from)
            return E_INVALIDARG;
        SAFEARRAY* copy = SafeArrayCreateVector(from->vt, from->rgsabound[0].lLbound, from->rgsabound[0].cElements);
        if (!copy)
            return E_OUTOFMEMORY;
        if (from->rgsabound[0].cElements)
            std::memcpy(copy->pvData, from->pvData, std::size_t(from->rgsabound[0].cElements) * from->cbElements);
        dest->vt = src->vt;
        dest->parray = copy;
        return S_OK;
    }
    if (src->vt == VT_BSTR) {
        BSTR copy = src->bstrVal ? SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal)) : nullptr;
        if (src->bstrVal && !copy)
            return E_OUTOFMEMORY;
        dest->vt = VT_BSTR;
        dest->bstrVal = copy;
        return S_OK;
    }
    *dest = *src;
    return S_OK;
}

ULONG SafeArrayElementSize(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_R8:
        return 8;
    default:
        return 0;
    }
}

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, SAFEARRAYBOUND* bounds)
{
    if (dims != 1 || !bounds)
        return nullptr;
    return SafeArrayCreateVector(vt, bounds[0].lLbound, bounds[0].cElements);
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements)
{
    const ULONG size = SafeArrayElementSize(vt);
    if (size == 0 || elements > std::numeric_limits<ULONG>::max() / size)
        return nullptr;
    auto* array = new (std::nothrow) SAFEARRAY;
    if (!array)
        return nullptr;
    // One byte at least, so that the data of an empty array can be opened.
    array->pvData = std::calloc(std::size_t(elements) * size + 1, 1);
    if (!array->pvData) {
        delete array;
        return nullptr;
    }
    array->cbElements = size;
    array->rgsabound[0] = {elements, lowerBound};
    array->vt = vt;
    return array;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array)
{
    if (!array)
        return S_OK;
    if (array->cLocks)
        return DISP_E_ARRAYISLOCKED;
    std::free(array->pvData);
    delete array;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data)
{
    if (!array || !data)
        return E_INVALIDARG;
    ++array->cLocks;
    *data = array->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array)
{
    if (!array)
        return E_INVALIDARG;
    if (array->cLocks == 0)
        return E_UNEXPECTED;
    --array->cLocks;
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* array)
{
    return array ? array->cDims : 0;
}

UINT SafeArrayGetElemsize(SAFEARRAY* array)
{
    return array ? array->cbElements : 0;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dim, LONG* bound)
{
    if (!array || !bound)
        return E_INVALIDARG;
    if (dim != 1)
        return DISP_E_BADINDEX;
    *bound = array->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dim, LONG* bound)
{
    if (!array || !bound)
        return E_INVALIDARG;
    if (dim != 1)
        return DISP_E_BADINDEX;
    *bound = static_cast<LONG>(std::int64_t(array->rgsabound[0].lLbound) + array->rgsabound[0].cElements - 1);
    return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* vt)
{
    if (!array || !vt)
        return E_INVALIDARG;
    *vt = array->vt;
    return S_OK;
}
