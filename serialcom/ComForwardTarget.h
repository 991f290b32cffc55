// Where a component's receive protocol hands a finished message: the
// caller's callback interface when it gave one, else its owner command
// target.
#pragma once

#include "serialcom/ISerialCom.h"

#include <mutex>

class CComForwardTarget
{
public:
    CComForwardTarget() = default;
    CComForwardTarget(const CComForwardTarget&) = delete;
    CComForwardTarget& operator=(const CComForwardTarget&) = delete;
    ~CComForwardTarget() { SetCallback(nullptr); }

    void SetOwner(ISerialComOwner* owner) { m_pOwner = owner; }
    ISerialComOwner* GetOwner() const { return m_pOwner; }

    // Keeps the object's ISerialComCallback, releasing the one held; an
    // object without it leaves the held one in place; null drops it.
    void SetCallback(IUnknown* unknown)
    {
        if (!unknown) {
            std::lock_guard lock(m_Lock);
            if (m_pCallback)
                m_pCallback->Release();
            m_pCallback = nullptr;
            return;
        }
        ISerialComCallback* fresh = nullptr;
        if (FAILED(unknown->QueryInterface(IID_ISerialComCallback, reinterpret_cast<void**>(&fresh))) || !fresh)
            return;
        std::lock_guard lock(m_Lock);
        if (m_pCallback)
            m_pCallback->Release();
        m_pCallback = fresh;
    }
    ISerialComCallback* GetCallback() const { return m_pCallback; }

    // Held around a delivery and around dropping the callback.
    std::mutex& Lock() { return m_Lock; }

private:
    ISerialComOwner* m_pOwner = nullptr;
    ISerialComCallback* m_pCallback = nullptr;
    std::mutex m_Lock;
};
