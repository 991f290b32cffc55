// A sensor or output object as the application object creates, keeps and
// closes it (its row of the creation table says when). Each object's own
// class lives in its subsystem; the program gives it this shape with a small
// adapter, so the application holds every object by an owning pointer of one
// type and reaches its typed object through Sensor<T>().
#pragma once

#include "platform/Registry.h"

#include <memory>
#include <string>
#include <vector>

namespace app {

class CSensorObject
{
public:
    virtual ~CSensorObject() = default;

    // The checked serial set-up: 0 on success (a COM result); any other value
    // drops the object unless its row keeps it.
    virtual long Setup() { return 0; }
    // Its sub-key of Sensors\Installed, open for the call only.
    virtual void TakeKey(HKEY key) {}
    // What follows the key: port opened, source list handed over.
    virtual void Start() {}
    // The names it offers for choice, built by the application from the
    // transceiver installation: channel names (or transceiver names, by its
    // row), and for heave also the transceiver names.
    virtual void SetSourceList(const std::vector<std::string>& names) {}
    virtual void SetTransceiverList(const std::vector<std::string>& names) {}
    // Its close operation (the serial component released); deletion follows.
    virtual void Close() {}
    // Its settings dialog, behind its menu command; false: it has none yet,
    // and the command is greyed.
    virtual bool HasSettingsDialog() const { return false; }
    virtual void RunSettingsDialog() {}
};

// The adapter of an object of type T. The object may be shared with whoever
// must outlive the application's hold on it (a decoder on another thread).
template <class T>
class TSensorObject : public CSensorObject
{
public:
    explicit TSensorObject(std::shared_ptr<T> object) : m_object(std::move(object)) {}
    T* Get() const { return m_object.get(); }
    const std::shared_ptr<T>& Shared() const { return m_object; }

private:
    std::shared_ptr<T> m_object;
};

}  // namespace app
