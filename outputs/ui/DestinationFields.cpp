#include "outputs/ui/DestinationFields.h"

#include "app/widgets/DialogExchange.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>

using widgets::WithId;

namespace outputsui {

QLineEdit* CDestinationFields::EditWithSpin(int editId, int spinId, int lo, int hi, unsigned value, QWidget*& row)
{
    row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* edit = WithId(new QLineEdit(QString::number(value)), editId);
    auto* spin = WithId(new QSpinBox, spinId);
    spin->setRange(lo, hi);
    spin->setValue(int(std::clamp<long long>(value, lo, hi)));
    spin->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    spin->setMaximumWidth(20);
    connect(spin, &QSpinBox::valueChanged, edit, [edit](int v) { edit->setText(QString::number(v)); });
    layout->addWidget(edit);
    layout->addWidget(spin);
    return edit;
}

CDestinationFields::CDestinationFields(const std::array<int, 4>& address, std::uint32_t port, QWidget* parent)
    : QGroupBox("Remote Computer", parent)
{
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("IP Address"), 0, 0);
    auto* bytes = new QHBoxLayout;
    for (std::size_t i = 0; i < 4; ++i) {
        QWidget* row = nullptr;
        m_address[i] = EditWithSpin(1278 + int(i), 1282 + int(i), 0, 255, unsigned(address[i]), row);
        m_address[i]->setMaximumWidth(40);
        bytes->addWidget(row);
        if (i < 3)
            bytes->addWidget(new QLabel("."));
    }
    grid->addLayout(bytes, 0, 1);
    grid->addWidget(new QLabel("Port"), 1, 0);
    QWidget* portRow = nullptr;
    m_port = EditWithSpin(1286, 1287, 0, int(kMaxPort), port, portRow);
    grid->addWidget(portRow, 1, 1, Qt::AlignLeft);
}

bool CDestinationFields::Take(std::array<int, 4>& address, std::uint32_t& port) const
{
    std::array<unsigned, 4> bytes{};
    for (std::size_t i = 0; i < 4; ++i)
        if (!widgets::TakeUnsigned(m_address[i], 0, 255, bytes[i]))
            return false;
    unsigned p = 0;
    if (!widgets::TakeUnsigned(m_port, 0, kMaxPort, p))
        return false;
    for (std::size_t i = 0; i < 4; ++i)
        address[i] = int(bytes[i]);
    port = p;
    return true;
}

}  // namespace outputsui
