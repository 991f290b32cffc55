#include "display/ui/PrintDlg.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/UpDownCtrl.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using widgets::WithId;

CPrintDlg::CPrintDlg(const Values& values, bool hasPrinter, std::function<bool(bool& landscape)> pageSetup,
                     QWidget* parent)
    : QDialog(parent), m_values(values), m_pageSetup(std::move(pageSetup))
{
    setObjectName(QString("dialog_%1").arg(kTemplate));
    setWindowTitle("Printer and History");
    auto* layout = new QVBoxLayout(this);

    auto* print = WithId(new QCheckBox("Print", this), 1237);
    layout->addWidget(print);
    m_checks.emplace_back(print, &Values::print);

    auto* texts = WithId(new QGroupBox("Text to Printer ", this), 1234);
    auto* grid = new QGridLayout(texts);
    auto* status = WithId(new QCheckBox("Status", texts), 1235);
    auto* navigation = WithId(new QCheckBox("Navigation", texts), 1233);
    m_navigationTg = WithId(new QLineEdit(texts), 1241);
    m_navigationTg->setText(QString::number(values.navigationTg));
    auto* spin = WithId(new CUpDownCtrl(texts), 1240);
    // The field holds 0..999, and so does its up-down control.
    spin->SetRange(0, 999);
    connect(spin, &CUpDownCtrl::deltaPos, this,
            [this](int delta) { widgets::StepWholeNumber(m_navigationTg, delta, 0, 999); });
    auto* annotation = WithId(new QCheckBox("Annotation", texts), 1232);
    auto* scale = WithId(new QCheckBox("Scale Annotation", texts), 1236);
    auto* details = WithId(new QCheckBox("Sounder Details", texts), 1434);
    grid->addWidget(status, 0, 0);
    grid->addWidget(navigation, 1, 0);
    grid->addWidget(spin, 1, 1);
    grid->addWidget(m_navigationTg, 1, 2);
    grid->addWidget(annotation, 2, 0);
    grid->addWidget(scale, 3, 0);
    grid->addWidget(details, 4, 0);
    layout->addWidget(texts);
    m_checks.emplace_back(status, &Values::status);
    m_checks.emplace_back(navigation, &Values::navigation);
    m_checks.emplace_back(annotation, &Values::annotation);
    m_checks.emplace_back(scale, &Values::scaleAnnotation);
    m_checks.emplace_back(details, &Values::sounderDetails);

    auto* background = new QGroupBox("Text Background", this);
    auto* backgroundRow = new QHBoxLayout(background);
    m_background = {WithId(new QRadioButton("Opaque", background), 1266),
                    WithId(new QRadioButton("Transparent", background), 1267)};
    for (QRadioButton* b : m_background)
        backgroundRow->addWidget(b);
    widgets::SetCheckedIndex(m_background, values.textBackground);
    layout->addWidget(background);

    auto* speed = new QGroupBox("Echogram Speed", this);
    auto* speedRow = new QHBoxLayout(speed);
    m_speed = {WithId(new QRadioButton("1:1", speed), 1268), WithId(new QRadioButton("1:2", speed), 1011),
               WithId(new QRadioButton("1:3", speed), 1012), WithId(new QRadioButton("1:5", speed), 1013),
               WithId(new QRadioButton("1:10", speed), 1008)};
    for (QRadioButton* b : m_speed)
        speedRow->addWidget(b);
    widgets::SetCheckedIndex(m_speed, values.speed);
    layout->addWidget(speed);

    auto* setup = WithId(new QPushButton("Print Setup..", this), 1209);
    connect(setup, &QPushButton::clicked, this, [this] {
        bool landscape = m_values.landscape != 0;
        if (m_pageSetup && m_pageSetup(landscape))
            m_values.landscape = landscape ? 1 : 0;
    });
    layout->addWidget(setup);
    layout->addWidget(widgets::StandardButtons(this, true));

    for (auto& [box, field] : m_checks)
        box->setChecked(values.*field != 0);
    // Printing and its set-up need a printer.
    print->setEnabled(hasPrinter);
    setup->setEnabled(hasPrinter);
}

void CPrintDlg::accept()
{
    unsigned every = 0;
    if (!widgets::TakeUnsigned(m_navigationTg, 0, 999, every))
        return;
    m_values.navigationTg = static_cast<int>(every);
    for (auto& [box, field] : m_checks)
        m_values.*field = box->isChecked() ? 1 : 0;
    m_values.textBackground = widgets::CheckedIndex(m_background);
    m_values.speed = widgets::CheckedIndex(m_speed);
    QDialog::accept();
}
