#include "platform/LastError.h"

namespace {
thread_local DWORD t_LastError = 0;
}

DWORD GetLastError()
{
    return t_LastError;
}

void SetLastError(DWORD error)
{
    t_LastError = error;
}
