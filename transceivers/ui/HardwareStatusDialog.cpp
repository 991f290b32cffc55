#include "transceivers/ui/HardwareStatusDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QLineEdit* Field(const QString& name, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    return field;
}

}  // namespace

CHardwareStatusDialog::CHardwareStatusDialog(CHardwareStatus& status, QWidget* parent)
    : QDialog(parent), m_status(status)
{
    setObjectName("CHardwareStatus");
    setWindowTitle("HW status");
    auto* layout = new QVBoxLayout(this);

    m_transceiver = new QComboBox(this);
    m_transceiver->setObjectName("IDC_TRANSCEIVER");
    for (const std::string& name : status.GetSourceList())
        m_transceiver->addItem(QString::fromStdString(name));
    const int selected = m_transceiver->findText(QString::fromStdString(status.GetSelectedName()));
    m_transceiver->setCurrentIndex(selected >= 0 ? selected : 0);
    layout->addWidget(m_transceiver);

    auto* board = new QFormLayout;
    m_boardId = Field("IDC_BOARD_ID", this);
    m_boardType = Field("IDC_BOARD_TYPE", this);
    board->addRow("Board position, slot and rack ID:", m_boardId);
    board->addRow("Board type", m_boardType);
    layout->addLayout(board);

    static const char* const kLabels[CHardwareStatus::kValueCount] = {
        "High Voltage", "Input voltage 12V", "Digital 10v",    "Digital 5v",     "Digital 3.3v",  "Digital  2.5v",
        "Digital 1.5v", "Analod 6v",         "Temperature Tx", "Temperature Rx", "Temperature Hv"};
    auto* values = new QGridLayout;
    for (int i = 0; i < CHardwareStatus::kValueCount; ++i) {
        m_values[static_cast<std::size_t>(i)] = Field("IDC_VALUE_" + QString::number(i), this);
        values->addWidget(new QLabel(kLabels[i], this), i % 6, (i / 6) * 2);
        values->addWidget(m_values[static_cast<std::size_t>(i)], i % 6, (i / 6) * 2 + 1);
    }
    layout->addLayout(values);

    m_report = new QPlainTextEdit(this);
    m_report->setObjectName("IDC_REPORT");
    m_report->setReadOnly(true);
    m_report->setMinimumHeight(180);
    layout->addWidget(m_report);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* refresh = buttons->addButton("Refresh", QDialogButtonBox::ActionRole);
    refresh->setObjectName("IDC_REFRESH");
    m_request = buttons->addButton("HW request", QDialogButtonBox::ActionRole);
    m_request->setObjectName("IDC_HW_REQUEST");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(refresh, &QPushButton::clicked, this, [this] { m_status.Refresh(); });
    connect(m_request, &QPushButton::clicked, this, [this] {
        if (m_status.CanRequest())
            m_status.RequestStatus(m_transceiver->currentText().toStdString());
    });
    layout->addWidget(buttons);

    // A sounder may start or stop while the window is open.
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this] { UpdateRequest(); });
    poll->start(500);
    UpdateRequest();

    m_status.Open(*this);
    m_open = true;
}

CHardwareStatusDialog::~CHardwareStatusDialog()
{
    if (m_open)
        m_status.Close(m_transceiver->currentText().toStdString());
}

void CHardwareStatusDialog::done(int result)
{
    if (m_open) {
        m_open = false;
        m_status.Close(m_transceiver->currentText().toStdString());
    }
    QDialog::done(result);
}

void CHardwareStatusDialog::UpdateRequest()
{
    m_request->setEnabled(m_status.CanRequest());
}

void CHardwareStatusDialog::ShowFields(const CHardwareStatus::Fields& fields)
{
    m_boardId->setText(QString::fromStdString(fields.boardId));
    m_boardType->setText(QString::fromStdString(fields.boardType));
    for (std::size_t i = 0; i < fields.values.size(); ++i)
        m_values[i]->setText(QString::fromStdString(fields.values[i]));
}

void CHardwareStatusDialog::ShowReport(const std::string& report)
{
    // The report's lines end in CR LF; the field breaks lines at the LF.
    QString text = QString::fromStdString(report);
    text.replace("\r\n", "\n");
    m_report->setPlainText(text);
}
