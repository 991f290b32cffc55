#include "seriallib/ui/CounterWindow.h"

#include "seriallib/SercorTypes.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

CCounterWindow::CCounterWindow(int dialogId, const char* title, std::vector<Row> rows,
                               std::function<void(std::vector<DWORD>&)> read, std::function<void()> remove,
                               QWidget* parent)
    : QDialog(parent),
      m_Rows(std::move(rows)),
      m_Zero(m_Rows.size(), 0),
      m_Read(std::move(read)),
      m_Remove(std::move(remove))
{
    setObjectName(QString("dialog_%1").arg(dialogId));
    setProperty("controlId", dialogId);
    setWindowTitle(title);
    auto* grid = new QGridLayout(this);
    int line = 0;
    for (const Row& row : m_Rows) {
        auto* value = new QLabel(this);
        value->setObjectName(QString("ctl_%1").arg(row.id));
        value->setProperty("controlId", row.id);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_Values.push_back(value);
        if (!row.shown) {
            value->hide();
            continue;
        }
        grid->addWidget(new QLabel(row.label, this), line, 0);
        grid->addWidget(value, line, 1);
        ++line;
    }
    auto* removeButton = new QPushButton("Remove", this);
    removeButton->setObjectName("ctl_1");
    auto* zero = new QPushButton("Zero Values", this);
    zero->setObjectName("ctl_2");
    grid->addWidget(removeButton, line, 0);
    grid->addWidget(zero, line, 1);
    connect(removeButton, &QPushButton::clicked, this, [this] { m_Remove(); });
    connect(zero, &QPushButton::clicked, this, [this] { ZeroValues(); });

    m_Timer = new QTimer(this);
    connect(m_Timer, &QTimer::timeout, this, [this] { Refresh(); });
    m_Timer->start(500);
    Refresh();
}

std::vector<DWORD> CCounterWindow::ReadCounters() const
{
    std::vector<DWORD> now(m_Rows.size(), 0);
    m_Read(now);
    now.resize(m_Rows.size(), 0);
    return now;
}

void CCounterWindow::Refresh()
{
    const std::vector<DWORD> now = ReadCounters();
    for (std::size_t i = 0; i < m_Rows.size(); ++i)
        m_Values[i]->setText(m_Rows[i].shown ? QString::number(now[i] - m_Zero[i]) : QString());
}

void CCounterWindow::ZeroValues()
{
    m_Zero = ReadCounters();
    Refresh();
}

QString CCounterWindow::ValueText(int id) const
{
    for (std::size_t i = 0; i < m_Rows.size(); ++i)
        if (m_Rows[i].id == id)
            return m_Values[i]->text();
    return {};
}

void CCounterWindow::PlaceAtLeftEdge(int topInHeights)
{
    adjustSize();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    move(area.left(), area.top() + topInHeights * frameGeometry().height());
}

// Escape is the "Zero Values" command, not a way to close the window.
void CCounterWindow::reject()
{
    ZeroValues();
}

void CCounterWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    m_Timer->stop();
    m_Remove();
}
