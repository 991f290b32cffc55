#include "sensors/ui/AdvancedNavigationDialog.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/DialogFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox* Spin(QWidget* parent, const char* name, int lo, int hi, DWORD value)
{
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(lo, hi);
    spin->setValue(static_cast<int>(std::min<DWORD>(value, static_cast<DWORD>(hi))));
    return spin;
}

QLineEdit* Number(QWidget* parent, const char* name, double value, int decimals)
{
    auto* edit = new QLineEdit(widgets::FormatNumber(value, decimals), parent);
    edit->setObjectName(name);
    return edit;
}

}  // namespace

CAdvancedNavigationDialog::CAdvancedNavigationDialog(const CNavigation::Settings& s, QWidget* parent)
    : QDialog(parent), m_settings(s)
{
    setObjectName("dialog_220");
    setWindowTitle("Advanced Navigation");
    auto* layout = new QGridLayout(this);

    auto* sentenceGroup = new QGroupBox("NMEA Position Sentence", this);
    auto* sentenceLayout = new QVBoxLayout(sentenceGroup);
    for (std::size_t i = 0; i < std::size(CNavigation::kSentences); ++i) {
        auto* button = new QRadioButton(CNavigation::kSentences[i].name, sentenceGroup);
        button->setObjectName(QString("IDC_SENTENCE_") + QString(CNavigation::kSentences[i].name).remove(','));
        sentenceLayout->addWidget(button);
        m_sentences.push_back(button);
        connect(button, &QRadioButton::clicked, this, [this, i] { SelectSentence(static_cast<int>(i)); });
    }
    widgets::SetCheckedIndex(m_sentences, static_cast<int>(s.NavigationSentence));
    layout->addWidget(sentenceGroup, 0, 0, 2, 1);

    auto* asciiGroup = new QGroupBox("ASCII Setup", this);
    auto* asciiForm = new QFormLayout(asciiGroup);
    m_sequence = new QLineEdit(QString::fromStdString(s.StartSequence), asciiGroup);
    m_sequence->setObjectName("IDC_EDIT_SEQUENCE");
    m_sequence->setMaxLength(10);
    asciiForm->addRow("Start Sequence", m_sequence);
    m_fields = Spin(asciiGroup, "IDC_EDIT_NO_OF_FIELDS", 0, 99, s.NoOfFields);
    asciiForm->addRow("No. of Fields", m_fields);
    m_startField = Spin(asciiGroup, "IDC_EDIT_START_FIELD", 1, 99, std::max<DWORD>(s.StartField, 1));
    asciiForm->addRow("Start Field Number", m_startField);
    m_separator = new QComboBox(asciiGroup);
    m_separator->setObjectName("IDC_COMBO_SEPARATOR");
    m_separator->setEditable(true);
    m_separator->addItems({",", ";", ":", " "});
    m_separator->lineEdit()->setMaxLength(6);
    m_separator->setEditText(QString::fromStdString(s.FieldSeparator));
    asciiForm->addRow("Field Separator", m_separator);
    auto* terminatorRow = new QHBoxLayout;
    for (const char* name : {"CRLF", "CR", "LF"}) {
        auto* button = new QRadioButton(name, asciiGroup);
        button->setObjectName(QString("IDC_TERMINATOR_") + name);
        terminatorRow->addWidget(button);
        m_terminator.push_back(button);
    }
    widgets::SetCheckedIndex(m_terminator, static_cast<int>(s.AsciiProtocol));
    asciiForm->addRow("Terminator", terminatorRow);
    layout->addWidget(asciiGroup, 0, 1);

    auto* positionGroup = new QGroupBox("Position QA", this);
    auto* positionLayout = new QVBoxLayout(positionGroup);
    m_checkForPos = new QCheckBox("Give warning if position is missing", positionGroup);
    m_checkForPos->setObjectName("IDC_CHECK_FOR_POS");
    m_checkForPos->setChecked(s.CheckForPos != 0);
    positionLayout->addWidget(m_checkForPos);
    layout->addWidget(positionGroup, 1, 1);

    auto* ggaGroup = new QGroupBox("GGA QA", this);
    auto* ggaForm = new QFormLayout(ggaGroup);
    m_quality = Spin(ggaGroup, "IDC_EDIT_GGA_QI", 0, 8, s.GGA_QI);
    ggaForm->addRow("GPS Quality indicator", m_quality);
    m_satellites = Spin(ggaGroup, "IDC_EDIT_GGA_SATELLITES", 0, 99, s.GGA_NoOfSat);
    ggaForm->addRow("Minimum Number of satellites", m_satellites);
    m_dilution = Number(ggaGroup, "IDC_EDIT_GGA_HORDIL", s.GGA_HorDil, 1);
    ggaForm->addRow("Horizontal dilution", m_dilution);
    layout->addWidget(ggaGroup, 2, 0);

    auto* antennaGroup = new QGroupBox("Antenna", this);
    auto* antennaForm = new QFormLayout(antennaGroup);
    m_height = Number(antennaGroup, "IDC_EDIT_ANTENNA_HEIGHT", s.AntennaHeight, 2);
    antennaForm->addRow("Height (z) [m]", m_height);
    layout->addWidget(antennaGroup, 2, 1);

    layout->addWidget(widgets::StandardButtons(this, false), 3, 0, 1, 2);

    // Sentences for NMEA input, the line's layout for ASCII input.
    const bool nmea = s.NavigationProtocol == CNavigation::kProtocolNmea;
    for (QRadioButton* button : m_sentences)
        button->setEnabled(nmea);
    for (QWidget* w : std::initializer_list<QWidget*>{m_sequence, m_fields, m_startField, m_separator})
        w->setEnabled(!nmea);
    for (QRadioButton* button : m_terminator)
        button->setEnabled(!nmea);
}

void CAdvancedNavigationDialog::SelectSentence(int sentence)
{
    m_settings = CNavigation::ApplySentence(m_settings, static_cast<DWORD>(sentence));
    m_sequence->setText(QString::fromStdString(m_settings.StartSequence));
    m_separator->setEditText(QString::fromStdString(m_settings.FieldSeparator));
    m_startField->setValue(static_cast<int>(m_settings.StartField));
    m_fields->setValue(static_cast<int>(m_settings.NoOfFields));
}

void CAdvancedNavigationDialog::accept()
{
    double dilution = 0.0, height = 0.0;
    if (!widgets::TakeAnyDouble(m_dilution, dilution) || !widgets::TakeAnyDouble(m_height, height))
        return;
    m_settings.GGA_HorDil = dilution;
    m_settings.AntennaHeight = height;
    QDialog::accept();
}

CNavigation::Settings CAdvancedNavigationDialog::Result() const
{
    CNavigation::Settings s = m_settings;
    const int sentence = widgets::CheckedIndex(m_sentences);
    if (sentence >= 0)
        s.NavigationSentence = static_cast<DWORD>(sentence);
    s.StartSequence = m_sequence->text().toStdString();
    s.NoOfFields = static_cast<DWORD>(m_fields->value());
    s.StartField = static_cast<DWORD>(m_startField->value());
    s.FieldSeparator = m_separator->currentText().toStdString();
    const int terminator = widgets::CheckedIndex(m_terminator);
    if (terminator >= 0)
        s.AsciiProtocol = static_cast<DWORD>(terminator);
    s.CheckForPos = m_checkForPos->isChecked() ? 1 : 0;
    s.GGA_QI = static_cast<DWORD>(m_quality->value());
    s.GGA_NoOfSat = static_cast<DWORD>(m_satellites->value());
    return s;
}
