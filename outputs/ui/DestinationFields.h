// The destination of an output's dialog, under "Remote Computer": the four
// bytes of the IPv4 address (edits 1278-1281 with spins 1282-1285, 0-255
// each) and the port (edit 1286 with spin 1287, 0-32767).
#pragma once

#include <QGroupBox>

#include <array>
#include <cstdint>

class QLineEdit;

namespace outputsui {

class CDestinationFields : public QGroupBox
{
    Q_OBJECT
public:
    static constexpr unsigned kMaxPort = 32767;
    CDestinationFields(const std::array<int, 4>& address, std::uint32_t port, QWidget* parent = nullptr);

    // Reads and checks every field; false (message shown, focus on the
    // field) when one is not a whole number within its limits.
    bool Take(std::array<int, 4>& address, std::uint32_t& port) const;

    // An edit with an up-down control that steps it within [lo, hi].
    static QLineEdit* EditWithSpin(int editId, int spinId, int lo, int hi, unsigned value, QWidget*& row);

private:
    std::array<QLineEdit*, 4> m_address{};
    QLineEdit* m_port = nullptr;
};

}  // namespace outputsui
