#include "platform/SystemMessage.h"

#include "platform/Component.h"
#include "platform/Variant.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<HRESULT, const char*>, 22> kTexts = {{
    {S_OK, "The operation completed successfully."},
    {E_NOTIMPL, "Not implemented"},
    {E_NOINTERFACE, "No such interface supported"},
    {E_POINTER, "Invalid pointer"},
    {E_FAIL, "Unspecified error"},
    {E_UNEXPECTED, "Catastrophic failure"},
    {E_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
    {E_INVALIDARG, "The parameter is incorrect."},
    {E_ACCESSDENIED, "Access is denied."},
    {CLASS_E_NOAGGREGATION, "Class does not support aggregation (or class object is remote)"},
    {CLASS_E_CLASSNOTAVAILABLE, "ClassFactory cannot supply requested class"},
    {REGDB_E_CLASSNOTREG, "Class not registered"},
    {REGDB_E_WRITEREGDB, "Could not write key to registry"},
    {CO_E_CLASSSTRING, "Invalid class string"},
    {CO_E_DLLNOTFOUND, "DLL for class not found"},
    {CO_E_ERRORINDLL, "Error in the DLL"},
    {CO_E_SERVER_EXEC_FAILURE, "Server execution failed"},
    {RPC_E_INVALID_DATAPACKET, "The data packet with the marshalled parameter data is incorrect."},
    {RPC_E_DISCONNECTED, "The object invoked has disconnected from its clients."},
    {RPC_E_TIMEOUT, "This operation returned because the timeout period expired."},
    {DISP_E_BADVARTYPE, "Bad variable type."},
    {DISP_E_ARRAYISLOCKED, "Memory is locked."},
}};

}  // namespace

std::string FormatSystemMessage(HRESULT code)
{
    for (const auto& [value, text] : kTexts)
        if (value == code)
            return text;
    return {};
}
