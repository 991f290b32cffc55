#include "seriallib/SercorHooks.h"

namespace {
SercorHooks& Hooks()
{
    static SercorHooks hooks;
    return hooks;
}
}  // namespace

// Installed once by the user interface before any port is shown.
void SetSercorHooks(SercorHooks hooks)
{
    Hooks() = std::move(hooks);
}
const SercorHooks& GetSercorHooks()
{
    return Hooks();
}
