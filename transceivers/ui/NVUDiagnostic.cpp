#include "transceivers/ui/NVUDiagnostic.h"

#include "platform/MessageDispatcher.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTimerEvent>
#include <QVBoxLayout>

namespace {

class CWindowHandle final : public INvuDiagnosticWindow
{
public:
    explicit CWindowHandle(CNVUDiagnostic* window) : m_window(window) {}
    void Raise() override
    {
        if (!m_window)
            return;
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
    }

private:
    QPointer<CNVUDiagnostic> m_window;
};

}  // namespace

CNVUDiagnostic::CNVUDiagnostic(std::shared_ptr<CNvuDiagnosticLink> link, HWND parent)
    : QDialog(nullptr), m_link(std::move(link)), m_parent(parent)
{
    setObjectName("CNVUDiagnostic");
    setWindowTitle("NVU Diagnostic");
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto field = [this, form](int id, const QString& label) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::number(id));
        edit->setReadOnly(true);
        edit->setMinimumWidth(620);
        form->addRow(label, edit);
        return edit;
    };
    m_test = new QComboBox(this);
    m_test->setObjectName(QString::number(IDC_TEST));
    for (int i = 0; i < 8; ++i)
        m_test->addItem(QString("Test %1").arg(i));
    m_test->setCurrentIndex(-1);
    form->addRow("Test", m_test);
    for (std::size_t i = 0; i < m_pingLines.size(); ++i)
        m_pingLines[i] = field(IDC_PING_FIRST + static_cast<int>(i), QString("Record %1").arg(i));
    m_pingRate = field(IDC_PING_RATE, "Ping rate");
    m_buffer = field(IDC_BUFFER, "Buffer");
    m_header = field(IDC_HEADER, "Header");
    m_processing = field(IDC_PROCESSING, "Processing");
    for (std::size_t i = 0; i < m_decimation.size(); ++i)
        m_decimation[i] = field(IDC_DECIMATION_FIRST + static_cast<int>(i), QString("Channel %1").arg(i + 1));
    layout->addLayout(form);
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QString::number(IDC_LOG));
    m_log->setReadOnly(true);
    m_log->setMinimumHeight(160);
    layout->addWidget(m_log);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(m_test, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && !m_link->SendTestCommand(index))
            close();
    });

    m_log->clear();
    m_link->SetWindowOpen(true);
    m_timer = startTimer(kTimerMs);
    Update();
}

CNVUDiagnostic::~CNVUDiagnostic()
{
    StopTimer();
    m_link->SetWindowOpen(false);
    // The window that opened it forgets it (its unit's ClearPendingFlag).
    if (m_parent != 0)
        ::PostMessage(m_parent, WM_NULL, 0, 0);
}

std::unique_ptr<INvuDiagnosticWindow> CNVUDiagnostic::Open(std::shared_ptr<CNvuDiagnosticLink> link, HWND parent)
{
    auto* window = new CNVUDiagnostic(std::move(link), parent);
    window->show();
    return std::make_unique<CWindowHandle>(window);
}

void CNVUDiagnostic::accept()
{
    StopTimer();
    QDialog::accept();
    close();
}

void CNVUDiagnostic::reject()
{
    StopTimer();
    QDialog::reject();
    close();
}

void CNVUDiagnostic::StopTimer()
{
    if (m_timer != 0)
        killTimer(m_timer);
    m_timer = 0;
}

void CNVUDiagnostic::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_timer)
        Update();
}

void CNVUDiagnostic::Update()
{
    NvuStatusTexts texts;
    if (!m_link->Read(texts)) {
        // Its unit has gone.
        StopTimer();
        close();
        return;
    }
    // Each line shown from its start, where a changing line changes.
    const auto show = [](QLineEdit* edit, const std::string& text) {
        const QString shown = QString::fromStdString(text);
        if (edit->text() == shown)
            return;
        edit->setText(shown);
        edit->setCursorPosition(0);
    };
    show(m_processing, texts.processing ? "TRUE" : "FALSE");
    for (std::size_t i = 0; i < m_pingLines.size(); ++i)
        show(m_pingLines[i], texts.pingLines[i]);
    show(m_buffer, texts.bufferLine);
    show(m_header, texts.headerLine);
    for (std::size_t i = 0; i < m_decimation.size(); ++i)
        show(m_decimation[i], texts.decimationLines[i]);
    if (texts.log == m_ownerLog)
        return;
    m_ownerLog = std::move(texts.log);
    const std::string shown =
        m_ownerLog.size() > kLogLimit ? m_ownerLog.substr(m_ownerLog.size() - kLogKept) : m_ownerLog;
    m_log->setPlainText(QString::fromStdString(shown));
    // The newest lines in view.
    m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
}
