#include "transceivers/ui/SearchNVU.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

CSearchNVU::CSearchNVU(QWidget* parent) : QDialog(parent)
{
    setObjectName(QString::number(IDD));
    setWindowTitle("Searching");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QString::number(IDC_TEXT));
    m_text->setReadOnly(true);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QString::number(IDC_PROGRESS));
    m_progress->setRange(0, kTop);
    m_progress->setTextVisible(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSearchNVU::reject);
    layout->addWidget(m_text);
    layout->addWidget(m_progress);
    layout->addWidget(buttons);
    m_timer = new QTimer(this);
    m_timer->setInterval(kStepMs);
    connect(m_timer, &QTimer::timeout, this, &CSearchNVU::Step);
}

CSearchNVU::~CSearchNVU() = default;

void CSearchNVU::SetDone()
{
    m_stop = true;
    m_done = true;
}

bool CSearchNVU::IsDone() const
{
    return m_done.load() || (m_doneCheck && m_doneCheck());
}

int CSearchNVU::NextPosition(int pos, bool& rising)
{
    if (rising && pos >= kTop)
        rising = false;
    else if (!rising && pos <= 0)
        rising = true;
    return rising ? pos + 1 : pos - 1;
}

int CSearchNVU::exec()
{
    m_position = 0;
    m_rising = true;
    m_progress->setValue(0);
    m_text->setText(QString::fromStdString(m_messageText));
    int result;
    // The answer may have come while the owner was still getting ready to
    // show the dialog: it must not be lost.
    if (IsDone()) {
        result = QDialog::Accepted;
    } else {
        m_running = true;
        m_timer->start();
        result = QDialog::exec();
        m_timer->stop();
        m_running = false;
    }
    if (result == QDialog::Accepted)
        m_cancelled = false;
    // Ready for the next wait.
    m_done = false;
    m_stop = false;
    return result;
}

void CSearchNVU::Step()
{
    if (IsDone()) {
        m_timer->stop();
        m_running = false;
        accept();
        return;
    }
    m_progress->setValue(m_position);
    m_position = NextPosition(m_position, m_rising);
}

void CSearchNVU::reject()
{
    m_timer->stop();
    m_running = false;
    m_stop = true;
    m_cancelled = true;
    QDialog::reject();
}

void CSearchNVU::closeEvent(QCloseEvent* event)
{
    m_timer->stop();
    m_running = false;
    m_stop = true;
    QDialog::closeEvent(event);
}

bool CSearchNVU::RunWait(const std::string& text, const std::function<bool()>& done, QWidget* parent)
{
    CSearchNVU dialog(parent);
    dialog.SetMessageText(text);
    dialog.SetDoneCheck(done);
    return dialog.exec() == QDialog::Accepted;
}
