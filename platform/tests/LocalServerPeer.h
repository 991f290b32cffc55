// The class the local-server tests create: its identity, shared by the test
// and the peer program that serves it.
#pragma once

#include "platform/Variant.h"

inline const CLSID CLSID_LocalServerPeer = {
    0x6A1B2C3D, 0x0001, 0x4E5F, {0x80, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};
inline const IID IID_ILocalServerPeer = {0x6A1B2C3D, 0x0002, 0x4E5F, {0x80, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};

// Slot 3, the first after IUnknown's, takes any arguments.
struct ILocalServerPeer : IUnknown
{
    virtual HRESULT Take(const VARIANT* args, ULONG count) = 0;

protected:
    ~ILocalServerPeer() = default;
};
