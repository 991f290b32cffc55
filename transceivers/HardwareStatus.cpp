#include "transceivers/HardwareStatus.h"

#include "platform/ByteReader.h"
#include "platform/NumberText.h"
#include "transceivers/Transceiver.h"
#include "transceivers/TransceiverInstallation.h"

#include <algorithm>
#include <cstring>

namespace {

// To the object's own window, from the units' threads.
constexpr UINT kShowFields = WM_USER + 1;
constexpr UINT kShowReport = WM_USER + 2;

// An IPv4 address as it travels (network order), as text.
std::string IpText(const BYTE* at)
{
    return CNumberText::Format("%u.%u.%u.%u", at[0], at[1], at[2], at[3]);
}

std::string EthernetText(const BYTE* at)
{
    return CNumberText::Format("%02X-%02X-%02X-%02X-%02X-%02X", at[0], at[1], at[2], at[3], at[4], at[5]);
}

}  // namespace

CHardwareStatus::CHardwareStatus(CTransceiverInstallation& installation, IUnits& units)
    : m_installation(installation), m_units(units)
{
    m_window =
        CreateMessageWindow([this](HWND, UINT message, WPARAM wParam, LPARAM) { return OnMessage(message, wParam); });
}

CHardwareStatus::~CHardwareStatus()
{
    // Answers still queued for the window go with it.
    if (m_window)
        DestroyWindow(m_window);
}

void CHardwareStatus::SetSourceList(const std::vector<std::string>& names)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_names = names;
}

std::vector<std::string> CHardwareStatus::GetSourceList() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_names;
}

std::string CHardwareStatus::GetSelectedName() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_selected;
}

void CHardwareStatus::Open(IView& view)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_view = &view;
    m_lastFields.reset();
    m_lastReport.reset();
    ++m_session;
    m_open = true;
}

void CHardwareStatus::Close(const std::string& selectedName)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_open = false;
    m_view = nullptr;
    m_selected = selectedName;
}

bool CHardwareStatus::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_open;
}

std::optional<std::string> CHardwareStatus::GetReport() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_lastReport;
}

void CHardwareStatus::Refresh()
{
    std::optional<Fields> fields;
    std::optional<std::string> report;
    IView* view = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open)
            return;
        fields = m_lastFields;
        report = m_lastReport;
        view = m_view;
    }
    if (view && fields)
        view->ShowFields(*fields);
    if (view && report)
        view->ShowReport(*report);
}

int CHardwareStatus::RequestStatus(const std::string& name)
{
    int asked = 0;
    m_units.ForEachTransceiver([&](int index, CTransceiver& transceiver) {
        const auto info = m_installation.GetTransceiverInfo(index);
        if (!info || info->transceiverId != name)
            return;
        if (info->type != TransceiverType::NVU && info->type != TransceiverType::QY42)
            return;
        transceiver.RequestStatus();
        ++asked;
    });
    return asked;
}

std::optional<CHardwareStatus::Fields> CHardwareStatus::ReadBoard(const BYTE* record, std::size_t size)
{
    if (!record || size < kBoardRecordSize)
        return std::nullopt;
    CByteReader r(record, size);
    Fields f;
    f.boardId = CNumberText::Format(" %i", static_cast<int>(r.I32(16)));
    const char* type = reinterpret_cast<const char*>(record + 8);
    f.boardType = " " + std::string(type, strnlen(type, 8));
    for (int i = 0; i < kValueCount; ++i)
        f.values[static_cast<std::size_t>(i)] =
            CNumberText::Format(" %4.1f", static_cast<double>(r.F32(20 + 4 * static_cast<std::size_t>(i))));
    return f;
}

std::optional<std::string> CHardwareStatus::FormatReport(const BYTE* record, std::size_t size)
{
    if (!record || size < kReportHeadSize)
        return std::nullopt;
    CByteReader r(record, size);
    std::string report = CNumberText::Format("Status \t\t%u\r\n\r\n", r.U32(16));
    report += "Local:\r\n";
    report += "IpAddress \t" + IpText(record + 20) + "\r\n";
    report += "EthernetAddress \t" + EthernetText(record + 24) + "\r\n";
    report += CNumberText::Format("UdpPort \t\t%u\r\n\r\n", static_cast<unsigned>(r.U16(30)));
    report += "Remote:\r\n";
    report += "IpAddress \t" + IpText(record + 32) + "\r\n";
    report += "EthernetAddress \t" + EthernetText(record + 36) + "\r\n";
    report += CNumberText::Format("UdpPort \t\t%u\r\n\r\n", static_cast<unsigned>(r.U16(42)));
    // The unit's own text runs to its NUL, the end of the datagram or its
    // largest length, whichever comes first; a bare line feed becomes a line
    // end of the report.
    const char* text = reinterpret_cast<const char*>(record + kReportHeadSize);
    const std::size_t length = strnlen(text, std::min(size - kReportHeadSize, kMaxUnitText));
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            report += '\r';
        report += text[i];
    }
    return report;
}

void CHardwareStatus::ShowStatus(const BYTE* record, std::size_t size)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open)
        return;
    std::optional<Fields> fields = ReadBoard(record, size);
    if (!fields)
        return;
    m_lastFields = fields;
    PostMessage(m_window, kShowFields, m_session, 0, MakePayload<Fields>(std::move(*fields)));
}

void CHardwareStatus::FormatStatus(const BYTE* record, std::size_t size)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open)
        return;
    std::optional<std::string> report = FormatReport(record, size);
    if (!report)
        return;
    m_lastReport = report;
    PostMessage(m_window, kShowReport, m_session, 0, MakePayload<std::string>(std::move(*report)));
}

LRESULT CHardwareStatus::OnMessage(UINT message, WPARAM session)
{
    IView* view = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open || session != m_session)
            return 0;  // the window that asked is gone
        view = m_view;
    }
    if (!view)
        return 0;
    if (message == kShowFields) {
        if (const Fields* fields = CurrentPayload<Fields>())
            view->ShowFields(*fields);
    } else if (message == kShowReport) {
        if (const std::string* report = CurrentPayload<std::string>())
            view->ShowReport(*report);
    }
    return 0;
}
