// The component's port: the library port with its settings kept per
// setting id under the current user's "Zelvar\Tovrelix" key.
#pragma once

#include "seriallib/Sercor32.h"

class CComSercor32 : public CSercor32
{
public:
    // Its options dialog is the component's copy, with Help.
    CComSercor32();
    BOOL UpdateIniSection(IniOp op) override;
};
