#include "seriallib/ui/ComOptionsDlg.h"

#include "seriallib/SercorTypes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
template <class W>
W* Named(W* widget, int id)
{
    widget->setObjectName(QString("ctl_%1").arg(id));
    widget->setProperty("controlId", id);
    return widget;
}
}  // namespace

CComOptionsDlg::CComOptionsDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName("dialog_10130");
    setProperty("controlId", 10130);
    setWindowTitle(kSercorCaption);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox("&COM Options", this);
    auto* form = new QFormLayout(group);
    m_pPortList = Named(new QComboBox(group), 11003);
    m_pBaud = Named(new QComboBox(group), 11004);
    m_pBaud->setEditable(true);
    for (const char* baud :
         {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "57600", "115200"})
        m_pBaud->addItem(baud);
    m_pDataBits = Named(new QComboBox(group), 11005);
    m_pDataBits->setEditable(true);
    for (const char* bits : {"5", "6", "7", "8"})
        m_pDataBits->addItem(bits);
    m_pStopBits = Named(new QComboBox(group), 11006);
    m_pStopBits->addItems({"1", "1.5", "2"});
    m_pParity = Named(new QComboBox(group), 11007);
    m_pParity->addItems({"None", "Odd", "Even", "Mark", "Space"});
    form->addRow("&Port", m_pPortList);
    form->addRow("&Baud Rate", m_pBaud);
    form->addRow("&Data Bits", m_pDataBits);
    form->addRow("&Stop Bits", m_pStopBits);
    form->addRow("P&arity", m_pParity);
    layout->addWidget(group);

    auto* flow = new QGroupBox("Flow", this);
    auto* flowRow = new QHBoxLayout(flow);
    m_pDtrDsr = Named(new QCheckBox("DTR/DSR", flow), 11008);
    m_pRtsCts = Named(new QCheckBox("RTS/CTS", flow), 11009);
    m_pXonXoff = Named(new QCheckBox("XON/XOFF", flow), 11010);
    flowRow->addWidget(m_pDtrDsr);
    flowRow->addWidget(m_pRtsCts);
    flowRow->addWidget(m_pXonXoff);
    layout->addWidget(flow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_pButtons = buttons;
    buttons->button(QDialogButtonBox::Ok)->setObjectName("ctl_1");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("ctl_2");
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOK(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void CComOptionsDlg::OnInitDialog()
{
    m_pPortList->clear();
    for (const auto& name : m_PortNames)
        m_pPortList->addItem(QString::fromStdString(name));
    m_pPortList->setCurrentIndex(m_pPortList->findText(QString::fromStdString(m_strPort)));
    m_pBaud->setCurrentText(QString::fromStdString(m_strBaud));
    m_pDataBits->setCurrentText(QString::fromStdString(m_strDataBits));
    m_pStopBits->setCurrentIndex(m_nStopBits);
    m_pParity->setCurrentIndex(m_nParity);
    m_pDtrDsr->setChecked(m_bDTRDSR);
    m_pRtsCts->setChecked(m_bRTSCTS);
    m_pXonXoff->setChecked(m_bXonXoff);
}

void CComOptionsDlg::OnOK()
{
    m_strBaud = m_pBaud->currentText().trimmed().toStdString();
    m_strDataBits = m_pDataBits->currentText().trimmed().toStdString();
    m_nStopBits = m_pStopBits->currentIndex();
    m_nParity = m_pParity->currentIndex();
    m_bDTRDSR = m_pDtrDsr->isChecked();
    m_bRTSCTS = m_pRtsCts->isChecked();
    m_bXonXoff = m_pXonXoff->isChecked();
    if (m_pPortList->currentIndex() >= 0)
        m_strPort = m_pPortList->currentText().toStdString();
    accept();
}

bool CComOptionsDlg::Run(CComOptions& options, QWidget* parent)
{
    CComOptionsDlg dialog(parent);
    dialog.m_PortNames = options.ports;
    dialog.m_strPort = options.port;
    dialog.m_strBaud = options.baud;
    dialog.m_strDataBits = options.dataBits;
    dialog.m_nParity = options.parity;
    dialog.m_nStopBits = options.stopBits;
    dialog.m_bDTRDSR = options.dtrDsr;
    dialog.m_bRTSCTS = options.rtsCts;
    dialog.m_bXonXoff = options.xonXoff;
    if (options.help) {
        auto* help = dialog.m_pButtons->addButton(QDialogButtonBox::Help);
        help->setObjectName("ctl_57670");
        help->setText("Help");
        connect(help, &QPushButton::clicked, &dialog, [&options] { options.help(); });
    }
    dialog.OnInitDialog();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    options.port = dialog.m_strPort;
    options.baud = dialog.m_strBaud;
    options.dataBits = dialog.m_strDataBits;
    options.parity = dialog.m_nParity;
    options.stopBits = dialog.m_nStopBits;
    options.dtrDsr = dialog.m_bDTRDSR;
    options.rtsCts = dialog.m_bRTSCTS;
    options.xonXoff = dialog.m_bXonXoff;
    return true;
}
