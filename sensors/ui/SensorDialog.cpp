#include "sensors/ui/SensorDialog.h"

#include "app/widgets/DialogExchange.h"
#include "sensors/SerialSensor.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

CSensorDialog::CSensorDialog(CSerialSensor& sensor, const char* title, QWidget* parent)
    : QDialog(parent), m_sensor(sensor)
{
    setWindowTitle(title);
    // From now on the line is shown, and the dialog told of changes.
    m_sensor.Monitor().SetView(this);
    m_sensor.Monitor().SetVisible(true);
}

CSensorDialog::~CSensorDialog()
{
    m_sensor.Monitor().SetVisible(false);
    m_sensor.Monitor().SetView(nullptr);
}

void CSensorDialog::done(int result)
{
    m_sensor.Monitor().SetVisible(false);
    QDialog::done(result);
}

QPlainTextEdit* CSensorDialog::MakeMonitor(int id)
{
    m_monitor = widgets::WithId(new QPlainTextEdit(this), id);
    m_monitor->setReadOnly(true);
    m_monitor->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_monitor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_monitor->setMinimumSize(360, 140);
    m_monitor->setPlainText(QString::fromStdString(m_sensor.Monitor().Text()).remove('\r'));
    return m_monitor;
}

QPushButton* CSensorDialog::MakeClear(int id)
{
    auto* clear = widgets::WithId(new QPushButton("Clear", this), id);
    connect(clear, &QPushButton::clicked, this, [this] {
        m_sensor.Monitor().Clear();
        if (m_monitor)
            m_monitor->clear();
    });
    return clear;
}

QPushButton* CSensorDialog::MakePortButton(int id)
{
    auto* port = widgets::WithId(new QPushButton("RS232...", this), id);
    connect(port, &QPushButton::clicked, this, [this] { m_sensor.ConfigurePort(); });
    return port;
}

void CSensorDialog::OnSensorChanged()
{
    if (!m_monitor)
        return;
    const QString text = QString::fromStdString(m_sensor.Monitor().Text()).remove('\r');
    if (text != m_monitor->toPlainText())
        m_monitor->setPlainText(text);
    // The newest lines in view.
    m_monitor->verticalScrollBar()->setValue(m_monitor->verticalScrollBar()->maximum());
}

void CSensorDialog::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton && (event->buttons() & Qt::LeftButton)) {
        m_sensor.ShowStatistics();
        return;
    }
    QDialog::mouseDoubleClickEvent(event);
}
