#include "outputs/ui/LobeDialog.h"

#include "app/widgets/DialogExchange.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace outputsui {

CLobeDialog::CLobeDialog(CLobe& lobe, QWidget* parent) : QDialog(parent), m_lobe(lobe)
{
    setWindowTitle("Lobe Interface");
    setObjectName("dialog_" + QString::number(kTemplate));
    auto* layout = new QVBoxLayout(this);
    m_monitor = new QPlainTextEdit;
    m_monitor->setObjectName("monitor");
    m_monitor->setReadOnly(true);
    m_monitor->setMinimumWidth(420);
    const int lineHeight = m_monitor->fontMetrics().lineSpacing();
    m_monitor->setMinimumHeight(lineHeight * kVisibleLines + 12);
    layout->addWidget(m_monitor);

    auto* telegrams = new QGroupBox("Telegram output");
    auto* telegramLayout = new QHBoxLayout(telegrams);
    m_echoTrace = new QCheckBox("Echo Trace");
    m_echoTrace->setObjectName("echoTrace");
    m_echoTrace->setChecked(lobe.IsEchoTraceOn());
    connect(m_echoTrace, &QCheckBox::toggled, this, [this](bool on) { m_lobe.SetEchoTrace(on); });
    telegramLayout->addWidget(m_echoTrace);
    layout->addWidget(telegrams);

    auto* row = new QHBoxLayout;
    auto* clear = new QPushButton("Clear");
    clear->setObjectName("clear");
    connect(clear, &QPushButton::clicked, this, [this] {
        m_lobe.ClearMonitor();
        Refresh();
    });
    auto* rs232 = new QPushButton("RS232...");
    rs232->setObjectName("rs232");
    connect(rs232, &QPushButton::clicked, this, [this] { m_lobe.ConfigurePort(); });
    row->addWidget(clear);
    row->addWidget(rs232);
    row->addStretch();
    layout->addLayout(row);
    layout->addWidget(widgets::StandardButtons(this, true));

    m_lobe.SetMonitorVisible(true);
    Refresh();
    m_refresh = new QTimer(this);
    connect(m_refresh, &QTimer::timeout, this, &CLobeDialog::Refresh);
    m_refresh->start(100);
}

CLobeDialog::~CLobeDialog()
{
    m_lobe.SetMonitorVisible(false);
}

void CLobeDialog::Refresh()
{
    // A "/SER" command from the line switches the telegrams too.
    if (m_echoTrace->isChecked() != m_lobe.IsEchoTraceOn()) {
        const QSignalBlocker quiet(m_echoTrace);
        m_echoTrace->setChecked(m_lobe.IsEchoTraceOn());
    }
    const std::uint64_t revision = m_lobe.GetMonitorRevision();
    if (revision == m_shown)
        return;
    m_shown = revision;
    m_monitor->setPlainText(QString::fromStdString(m_lobe.GetMonitorText()));
    // The last lines in sight.
    m_monitor->verticalScrollBar()->setValue(m_monitor->verticalScrollBar()->maximum());
}

void CLobeDialog::Run(CLobe& lobe, QWidget* parent)
{
    CLobeDialog dialog(lobe, parent);
    dialog.exec();
}

}  // namespace outputsui
