// The hardware status of the network units, behind the "HW status" window:
// for the unit chosen by name, its board's identity, eleven supply voltages
// and temperatures, and a report with its local and remote addresses. The
// units' status answers reach it on their receive threads; it takes a copy
// of what it shows under its lock and posts it to the user-interface thread,
// where the open window shows it. While no window is open an answer changes
// nothing.
//
// Threads: ShowStatus and FormatStatus on any unit's receive thread; every
// other operation on the user-interface thread that made the object.
#pragma once

#include "platform/MessageDispatcher.h"
#include "transceivers/HardwareStatusSink.h"

#include <array>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CTransceiver;
class CTransceiverInstallation;

class CHardwareStatus final : public IHardwareStatusSink
{
public:
    static constexpr int kValueCount = 11;
    // "DCSA": 8 the board type (text, NUL-terminated), 16 the board's
    // position, slot and rack id (i32), 20 eleven floats.
    static constexpr std::size_t kBoardRecordSize = 64;
    // "VA": 16 status (u32), 20 local IPv4, 24 local Ethernet address, 30
    // local UDP port (u16), 32 remote IPv4, 36 remote Ethernet address, 42
    // remote UDP port, 44 the unit's own text.
    static constexpr std::size_t kReportHeadSize = 44;
    static constexpr std::size_t kMaxUnitText = 1424;

    // The fields of the window, as they are shown.
    struct Fields
    {
        std::string boardId;
        std::string boardType;
        // High voltage, input 12 V, digital 10, 5, 3.3, 2.5 and 1.5 V,
        // analogue 6 V, transmitter, receiver and high-voltage temperature.
        std::array<std::string, kValueCount> values;
    };

    // The open window.
    class IView
    {
    public:
        virtual ~IView() = default;
        virtual void ShowFields(const Fields& fields) = 0;
        virtual void ShowReport(const std::string& report) = 0;
    };

    // The units of the running sounder, which "HW request" asks.
    class IUnits
    {
    public:
        virtual ~IUnits() = default;
        virtual bool IsSounderRunning() const = 0;
        // Each transceiver of the running sounder with its place in the
        // sounder, which is its installation record's.
        virtual void ForEachTransceiver(const std::function<void(int index, CTransceiver& transceiver)>& f) = 0;
    };

    CHardwareStatus(CTransceiverInstallation& installation, IUnits& units);
    ~CHardwareStatus() override;
    CHardwareStatus(const CHardwareStatus&) = delete;
    CHardwareStatus& operator=(const CHardwareStatus&) = delete;

    // The names to choose from, one per installed transceiver.
    void SetSourceList(const std::vector<std::string>& names);
    std::vector<std::string> GetSourceList() const;
    // The name chosen when the window last closed.
    std::string GetSelectedName() const;

    // The window opens: from now on what the units answer goes to the view,
    // starting from empty fields and an empty report.
    void Open(IView& view);
    // The window closes with the name chosen; nothing is shown any more.
    void Close(const std::string& selectedName);
    bool IsOpen() const;
    // "Refresh": the fields and the report of the last answers received
    // since the window opened, again.
    void Refresh();
    // "HW request": asks every network unit (types 2 and 3) of the running
    // sounder whose installation record has the name for its status; the
    // answers come later. The number of units asked.
    int RequestStatus(const std::string& name);
    bool CanRequest() const { return m_units.IsSounderRunning(); }
    // The report of the last address answer since the window opened.
    std::optional<std::string> GetReport() const;

    void ShowStatus(const BYTE* record, std::size_t size) override;
    void FormatStatus(const BYTE* record, std::size_t size) override;

    // The fields of a board record; empty when it is shorter than them.
    static std::optional<Fields> ReadBoard(const BYTE* record, std::size_t size);
    // The report of an address record, each line ending in CR LF; empty when
    // it is shorter than its addresses.
    static std::optional<std::string> FormatReport(const BYTE* record, std::size_t size);

private:
    LRESULT OnMessage(UINT message, WPARAM session);

    CTransceiverInstallation& m_installation;
    IUnits& m_units;
    HWND m_window = 0;

    mutable std::mutex m_lock;
    bool m_open = false;
    // Counts the openings: an answer posted during one is not shown in the
    // next.
    WPARAM m_session = 0;
    IView* m_view = nullptr;  // user-interface thread only
    std::optional<Fields> m_lastFields;
    std::optional<std::string> m_lastReport;
    std::vector<std::string> m_names;
    std::string m_selected;
};
