// The IP address dialog (233): four octets, each 0 to 255.
#pragma once

#include <QDialog>
#include <QSpinBox>

#include <array>

namespace app {

class CIPAddressDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CIPAddressDialog(QWidget* parent = nullptr);
    void SetOctets(const std::array<int, 4>& octets);
    std::array<int, 4> Octets() const;

private:
    std::array<QSpinBox*, 4> m_fields{};
};

}  // namespace app
