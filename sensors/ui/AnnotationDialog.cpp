#include "sensors/ui/AnnotationDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
QSpinBox* Spin(QWidget* parent, const char* name, int minimum, int maximum, std::uint32_t value)
{
    auto* s = new QSpinBox(parent);
    s->setObjectName(name);
    s->setRange(minimum, maximum);
    s->setValue(static_cast<int>(std::min<std::uint32_t>(value, static_cast<std::uint32_t>(maximum))));
    return s;
}
}  // namespace

CAnnotationDialog::CAnnotationDialog(const CAnnotation::Settings& s, QWidget* parent) : QDialog(parent)
{
    setObjectName("CAnnotationDialog");
    setWindowTitle("Annotation");
    auto* layout = new QVBoxLayout(this);

    auto* textGroup = new QGroupBox("Text", this);
    auto* textLayout = new QVBoxLayout(textGroup);
    m_text = new QLineEdit(textGroup);
    m_text->setObjectName("IDC_ANNOTATION_TEXT");
    m_text->setMaxLength(kMaxText);
    textLayout->addWidget(m_text);
    layout->addWidget(textGroup);

    auto* timeGroup = new QGroupBox("Time", this);
    auto* timeLayout = new QGridLayout(timeGroup);
    m_timer = new QCheckBox("Active", timeGroup);
    m_timer->setObjectName("IDC_TIMER_ACTIVE");
    m_timer->setChecked(s.Timer != 0);
    m_interval = Spin(timeGroup, "IDC_TIMER_INTERVAL", 1, 3600, s.TimerInterval);
    timeLayout->addWidget(m_timer, 0, 0);
    timeLayout->addWidget(m_interval, 0, 1);
    timeLayout->addWidget(new QLabel("s", timeGroup), 0, 2);
    layout->addWidget(timeGroup);

    auto* eventGroup = new QGroupBox("Event", this);
    auto* eventLayout = new QGridLayout(eventGroup);
    m_event = Spin(eventGroup, "IDC_EVENT_NUMBER", 0, 9999, s.EventNumber);
    m_decrease = new QRadioButton("Decrease", eventGroup);
    m_decrease->setObjectName("IDC_EVENT_DECREASE");
    m_increase = new QRadioButton("Increase", eventGroup);
    m_increase->setObjectName("IDC_EVENT_INCREASE");
    (s.EventIncrease ? m_increase : m_decrease)->setChecked(true);
    m_addPosition = new QCheckBox("Add Navigation", eventGroup);
    m_addPosition->setObjectName("IDC_EVENT_ADD_NAVIGATION");
    m_addPosition->setChecked(s.EventAddPosition != 0);
    m_addTime = new QCheckBox("Add Time", eventGroup);
    m_addTime->setObjectName("IDC_EVENT_ADD_TIME");
    m_addTime->setChecked(s.EventAddTime != 0);
    eventLayout->addWidget(m_event, 0, 0);
    eventLayout->addWidget(m_decrease, 0, 1);
    eventLayout->addWidget(m_increase, 0, 2);
    eventLayout->addWidget(m_addPosition, 1, 0);
    eventLayout->addWidget(m_addTime, 1, 1);
    layout->addWidget(eventGroup);

    auto* navGroup = new QGroupBox("Navigation String", this);
    auto* navLayout = new QGridLayout(navGroup);
    m_navigation = new QCheckBox("Show every", navGroup);
    m_navigation->setObjectName("IDC_NAVIGATION_SHOW");
    m_navigation->setChecked(s.Navigation != 0);
    m_navigationInterval = Spin(navGroup, "IDC_NAVIGATION_INTERVAL", 1, 3600, s.NavigationInterval);
    navLayout->addWidget(m_navigation, 0, 0);
    navLayout->addWidget(m_navigationInterval, 0, 1);
    navLayout->addWidget(new QLabel("'th telegram", navGroup), 0, 2);
    layout->addWidget(navGroup);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

CAnnotation::DialogResult CAnnotationDialog::Result() const
{
    CAnnotation::DialogResult r;
    r.text = m_text->text().toStdString();
    r.settings.Timer = m_timer->isChecked() ? 1 : 0;
    r.settings.TimerInterval = static_cast<std::uint32_t>(m_interval->value());
    r.settings.EventNumber = static_cast<std::uint32_t>(m_event->value());
    r.settings.EventIncrease = m_increase->isChecked() ? 1 : 0;
    r.settings.EventAddPosition = m_addPosition->isChecked() ? 1 : 0;
    r.settings.EventAddTime = m_addTime->isChecked() ? 1 : 0;
    r.settings.Navigation = m_navigation->isChecked() ? 1 : 0;
    r.settings.NavigationInterval = static_cast<std::uint32_t>(m_navigationInterval->value());
    return r;
}

int CAnnotationDialog::Run(CAnnotation& annotation, QWidget* parent)
{
    CAnnotationDialog dialog(annotation.GetSettings(), parent);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    annotation.Apply(dialog.Result());
    return 1;
}
