#include "display/ui/ScopeDebugDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CScopeDebugDlg::CScopeDebugDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Scope Dialog");
    setModal(true);
}

CScopeDebugDlg::~CScopeDebugDlg() = default;

QCheckBox* CScopeDebugDlg::AddCheck(int id, const char* text, int& flag, bool laysOut)
{
    auto* box = new QCheckBox(QString::fromLatin1(text), this);
    box->setObjectName(QString::number(id));
    int* target = &flag;
    connect(box, &QCheckBox::clicked, this, [this, target, laysOut] {
        *target = *target ? 0 : 1;
        if (laysOut)
            ApplySettings();
    });
    m_checks.push_back({box, target});
    return box;
}

void CScopeDebugDlg::Build()
{
    auto* top = new QVBoxLayout(this);
    auto* notice = new QLabel("You have entered an undocumented dialog containing Zelvar debug tools. Make sure that "
                              "Scope View is selected before clicking the close button.",
                              this);
    notice->setWordWrap(true);
    top->addWidget(notice);

    auto* view = new QGroupBox("View", this);
    auto* viewLayout = new QVBoxLayout(view);
    m_modes = new QButtonGroup(this);
    const struct
    {
        int id;
        const char* text;
        void (CScopeDebugSettings::*select)();
    } modes[] = {{IDC_SCOPE, "Scope", &CScopeDebugSettings::SelectScope},
                 {IDC_DEBUG_ANALOG, "Debug Analog", &CScopeDebugSettings::SelectAnalog},
                 {IDC_DEBUG_NUMERIC, "Debug Numeric", &CScopeDebugSettings::SelectNumeric},
                 {IDC_MOTION, "Motion", &CScopeDebugSettings::SelectMotion}};
    for (const auto& m : modes) {
        auto* radio = new QRadioButton(m.text, view);
        radio->setObjectName(QString::number(m.id));
        m_modes->addButton(radio, m.id);
        viewLayout->addWidget(radio);
        const auto select = m.select;
        connect(radio, &QRadioButton::clicked, this, [this, select] { (this->*select)(); });
    }
    top->addWidget(view);

    auto* grid = new QGridLayout;
    int row = 0;
    auto add = [&](QWidget* w, int column) { grid->addWidget(w, row, column); };
    add(AddCheck(IDC_TEST_TONE, "Test Tone", testTone, false), 0);
    add(AddCheck(IDC_AMPLITUDE, "Amplitude", amplitude, true), 1);
    ++row;
    add(AddCheck(IDC_ALONGSHIP, "Alongship Angle", alongship, true), 0);
    add(AddCheck(IDC_ATHWARTSHIP, "Athwartship Angle", athwartship, true), 1);
    ++row;
    static const char* const adTexts[4] = {"AD Output 1", "AD Output 2", "AD Output 3", "AD Output 4"};
    for (int n = 0; n < 4; ++n) {
        add(AddCheck(IDC_AD1 + n, adTexts[n], adOutput[n], true), n % 2);
        if (n % 2)
            ++row;
    }
    add(AddCheck(IDC_HORIZONTAL_SCALING, "Horizontal Scaling", horizontalScaling, false), 0);
    add(AddCheck(IDC_VERTICAL_SCALING, "Vertical Scaling", verticalScaling, false), 1);
    ++row;
    add(AddCheck(IDC_NVU_ABSOLUTE, "NVU Absolute value", nvuAbsolute, true), 0);
    add(AddCheck(IDC_NVU_REAL, "NVU Real value", nvuReal, true), 1);
    ++row;
    add(AddCheck(IDC_NVU_IMAGINARY, "NVU Imaginary value", nvuImaginary, true), 0);
    // These four columns get their place at the next layout.
    add(AddCheck(IDC_NVU_CURRENT, "NVU Current", nvuCurrent, false), 1);
    ++row;
    add(AddCheck(IDC_NVU_PHASE, "NVU Phase", nvuPhase, false), 0);
    add(AddCheck(IDC_NVU_IMPEDANCE, "NVU Impedance", nvuImpedance, false), 1);
    ++row;
    add(AddCheck(IDC_NVU_16BIT, "NVU 16bit Debug", nvu16Bit, false), 0);
    add(AddCheck(IDC_CANDIDATES, "Add bottom canditates", bottomCandidates, false), 1);
    ++row;
    add(AddCheck(IDC_USE_MAXIMUM, "Max ", useMaximum, false), 0);
    m_maxEdit = new QLineEdit(this);
    m_maxEdit->setObjectName(QString::number(IDC_MAXIMUM));
    add(m_maxEdit, 1);
    ++row;
    add(AddCheck(IDC_USE_MINIMUM, "Min", useMinimum, false), 0);
    m_minEdit = new QLineEdit(this);
    m_minEdit->setObjectName(QString::number(IDC_MINIMUM));
    add(m_minEdit, 1);
    ++row;
    connect(m_maxEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { SetMaximumText(text.toStdString()); });
    connect(m_minEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { SetMinimumText(text.toStdString()); });
    top->addLayout(grid);

    // The kind group shows the kind choice, which its buttons never change:
    // "Power" and "Sv" set the sample kind, "TS" nothing.
    m_kinds = new QButtonGroup(this);
    auto* kinds = new QHBoxLayout;
    const struct
    {
        int id;
        const char* text;
        int kind;
    } kindButtons[] = {{IDC_POWER, "Power", 0}, {IDC_SV, "Sv", 1}, {IDC_TS, "TS", -1}};
    for (const auto& k : kindButtons) {
        auto* radio = new QRadioButton(k.text, this);
        radio->setObjectName(QString::number(k.id));
        m_kinds->addButton(radio, k.id);
        kinds->addWidget(radio);
        const int kind = k.kind;
        connect(radio, &QRadioButton::clicked, this, [this, kind] {
            if (kind >= 0)
                sampleKind = kind;
        });
    }
    top->addLayout(kinds);

    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("2");
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    top->addWidget(cancel);
    m_built = true;
}

void CScopeDebugDlg::DoDataExchange()
{
    if (!m_built)
        Build();
    for (const Check& c : m_checks)
        c.box->setChecked(*c.flag != 0);
    const int kindIds[3] = {IDC_POWER, IDC_SV, IDC_TS};
    if (QAbstractButton* kind = m_kinds->button(kindIds[kindChoice >= 0 && kindChoice < 3 ? kindChoice : 0]))
        kind->setChecked(true);
    int mode = IDC_DEBUG_NUMERIC;
    switch (GetMode()) {
    case Mode::Scope:
        mode = IDC_SCOPE;
        break;
    case Mode::Analog:
        mode = IDC_DEBUG_ANALOG;
        break;
    case Mode::Motion:
        mode = IDC_MOTION;
        break;
    case Mode::Numeric:
        break;
    }
    m_modes->button(mode)->setChecked(true);
    // Opened empty although a value is in force; clearing them changes none.
    const QSignalBlocker maxBlock(m_maxEdit), minBlock(m_minEdit);
    m_maxEdit->clear();
    m_minEdit->clear();
}

int CScopeDebugDlg::DoModal()
{
    DoDataExchange();
    return exec();
}
