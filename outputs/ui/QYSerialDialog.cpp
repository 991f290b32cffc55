#include "outputs/ui/QYSerialDialog.h"

#include "app/widgets/DialogExchange.h"
#include "base/EchosounderError.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace outputsui {

namespace {

constexpr int kNmeaChannelIds[4] = {1328, 1329, 1330, 1331};
constexpr int kAtlasIds[4] = {1335, 1339, 1346, 1347};
constexpr int kFzIds[4] = {1352, 1353, 1354, 1355};
constexpr int kZelvarIds[4] = {1334, 1336, 1337, 1338};

// A control the dialog builds, named as its resource names it; looked up
// again by that name, and reported when it is missing.
template <typename W>
W* Named(W* widget, int id, const QString& name)
{
    widgets::WithId(widget, id);
    widget->setProperty("controlName", name);
    return widget;
}

template <typename W>
W* Find(QWidget& dialog, const QString& name)
{
    for (W* w : dialog.findChildren<W*>())
        if (w->property("controlName").toString() == name)
            return w;
    ECHOSOUNDER_FATAL_ERROR("Control '%s' not found", name.toUtf8().constData());
}

bool On(const QCheckBox* box)
{
    return box->isChecked();
}

}  // namespace

CQYSerialDialog::CQYSerialDialog(CQYSerial& hub, std::vector<std::string> channels, QWidget* parent)
    : CSensorDialog(hub, "Serial Interface", parent),
      m_hub(hub),
      m_channels(std::move(channels)),
      m_values(hub.GetSettings())
{
    setObjectName("dialog_226");
    m_channels.resize(std::min<std::size_t>(m_channels.size(), 4));
    const CQYSerial::Settings& s = m_values;
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;

    auto* termination = new QGroupBox("Terminator", this);
    auto* termLayout = new QVBoxLayout(termination);
    const std::pair<const char*, int> terms[] = {{"CRLF", 1003}, {"CR", 1004}, {"LF", 1007}};
    auto* termGroup = new QButtonGroup(this);
    for (std::size_t i = 0; i < 3; ++i) {
        m_termination[i] = widgets::WithId(new QRadioButton(terms[i].first, termination), terms[i].second);
        termGroup->addButton(m_termination[i]);
        termLayout->addWidget(m_termination[i]);
    }
    m_termination[s.Termination == 1 ? 1 : s.Termination == 2 ? 2 : 0]->setChecked(true);
    top->addWidget(termination);

    auto* nmea = new QGroupBox("NMEA", this);
    auto* nmeaLayout = new QGridLayout(nmea);
    m_dpt = widgets::WithId(new QCheckBox("DPT", nmea), 1325);
    m_dbs = widgets::WithId(new QCheckBox("DBS", nmea), 1326);
    m_dbt = widgets::WithId(new QCheckBox("DBT", nmea), 1327);
    m_dpt->setChecked(s.DPTFormat);
    m_dbs->setChecked(s.DBSFormat);
    m_dbt->setChecked(s.DBTFormat);
    nmeaLayout->addWidget(m_dpt, 0, 0);
    nmeaLayout->addWidget(m_dbs, 1, 0);
    nmeaLayout->addWidget(m_dbt, 2, 0);
    auto* nmeaGroup = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        auto* b = Named(new QRadioButton(QString("Channel%1").arg(i + 1), nmea), kNmeaChannelIds[i],
                        QString("IDC_NMEA_CHANNEL%1").arg(i + 1));
        nmeaGroup->addButton(b);
        nmeaLayout->addWidget(b, i, 1);
    }
    top->addWidget(nmea);

    auto* perChannel = new QGroupBox("Depth Output", this);
    auto* grid = new QGridLayout(perChannel);
    grid->addWidget(new QLabel("Atlas", perChannel), 0, 0);
    grid->addWidget(new QLabel("FZ", perChannel), 0, 1);
    grid->addWidget(new QLabel("Zelvar", perChannel), 0, 2);
    for (int i = 0; i < 4; ++i) {
        const QString label = QString("Channel%1").arg(i + 1);
        grid->addWidget(
            Named(new QCheckBox(label, perChannel), kAtlasIds[i], QString("IDC_ATLAS_CHANNEL%1").arg(i + 1)), i + 1, 0);
        grid->addWidget(Named(new QCheckBox(label, perChannel), kFzIds[i], QString("IDC_FZ_CHANNEL%1").arg(i + 1)),
                        i + 1, 1);
        grid->addWidget(Named(new QCheckBox(label, perChannel), kZelvarIds[i], QString("IDC_CHANNEL%1").arg(i + 1)),
                        i + 1, 2);
    }
    m_addFrequency = widgets::WithId(new QCheckBox("Add Frequency, Draft , Svp", perChannel), 1518);
    m_hymas = widgets::WithId(new QCheckBox("Hymas Depth", perChannel), 1572);
    m_withoutHeave = widgets::WithId(new QCheckBox("Without Heave", perChannel), 1581);
    m_addFrequency->setChecked(s.AddFrequency);
    m_hymas->setChecked(s.Hymas);
    m_withoutHeave->setChecked(s.ZelvarWithoutHeave);
    grid->addWidget(m_addFrequency, 5, 0, 1, 3);
    grid->addWidget(m_hymas, 6, 0, 1, 3);
    grid->addWidget(m_withoutHeave, 7, 0, 1, 3);
    top->addWidget(perChannel);
    layout->addLayout(top);

    auto* bottom = new QHBoxLayout;
    auto* out = new QGroupBox("Datagram Output", this);
    auto* outLayout = new QVBoxLayout(out);
    const std::pair<const char*, int> outputs[] = {
        {"Motion Sensor", 1340},  {"Navigation", 1341},       {"Annotation", 1342},        {"Status", 1343},
        {"Sound Velocity", 1344}, {"Relay Navigation", 1351}, {"Temperature Sensor", 1377}};
    const std::uint32_t outputValues[] = {s.MotionSensor, s.Navigation,      s.Annotation,       s.Status,
                                          s.SVP,          s.RelayNavigation, s.TemperatureSensor};
    for (std::size_t i = 0; i < m_outputs.size(); ++i) {
        m_outputs[i] = widgets::WithId(new QCheckBox(outputs[i].first, out), outputs[i].second);
        m_outputs[i]->setChecked(outputValues[i]);
        outLayout->addWidget(m_outputs[i]);
    }
    bottom->addWidget(out);

    auto* in = new QGroupBox("Datagram Input", this);
    auto* inLayout = new QVBoxLayout(in);
    const std::pair<const char*, int> inputs[] = {
        {"Annotation", 1348}, {"Sound Velocity", 1349}, {"Remote Control", 1350}};
    const std::uint32_t inputValues[] = {s.AnnotationInput, s.SVPInput, s.RemoteIn};
    for (std::size_t i = 0; i < m_inputs.size(); ++i) {
        m_inputs[i] = widgets::WithId(new QCheckBox(inputs[i].first, in), inputs[i].second);
        m_inputs[i]->setChecked(inputValues[i]);
        inLayout->addWidget(m_inputs[i]);
    }
    bottom->addWidget(in);

    auto* rate = new QVBoxLayout;
    m_decimate = widgets::WithId(new QCheckBox("Maximum Data Output", this), 1332);
    m_decimate->setChecked(s.Decimate);
    rate->addWidget(m_decimate);
    auto* hzRow = new QHBoxLayout;
    m_decimateHz =
        widgets::WithId(new QLineEdit(QString::number(std::clamp<std::uint32_t>(s.DecimateHz, 1, 40)), this), 1512);
    m_decimateHz->setMaximumWidth(50);
    auto* spin = widgets::WithId(new QSpinBox(this), kDecimateSpin);
    // Each press steps the field by one within 1 to 40; the spin box only
    // carries the presses.
    spin->setRange(-1, 1);
    spin->setValue(0);
    spin->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    spin->setMaximumWidth(20);
    connect(spin, &QSpinBox::valueChanged, this, [this, spin](int v) {
        if (v == 0)
            return;
        StepDecimate(v);
        const QSignalBlocker block(spin);
        spin->setValue(0);
    });
    hzRow->addWidget(m_decimateHz);
    hzRow->addWidget(spin);
    hzRow->addWidget(new QLabel("Hz", this));
    rate->addLayout(hzRow);
    auto* port = MakePortButton(1345);
    port->setEnabled(hub.IsOpen());
    rate->addWidget(port);
    rate->addStretch();
    bottom->addLayout(rate);
    layout->addLayout(bottom);
    layout->addWidget(widgets::StandardButtons(this, false));

    // The per-channel controls, found as the resource names them.
    for (int i = 0; i < 4; ++i) {
        m_nmeaChannel[i] = Find<QRadioButton>(*this, QString("IDC_NMEA_CHANNEL%1").arg(i + 1));
        m_atlas[i] = Find<QCheckBox>(*this, QString("IDC_ATLAS_CHANNEL%1").arg(i + 1));
        m_fz[i] = Find<QCheckBox>(*this, QString("IDC_FZ_CHANNEL%1").arg(i + 1));
        m_zelvar[i] = Find<QCheckBox>(*this, QString("IDC_CHANNEL%1").arg(i + 1));
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const bool installed = Installed(i);
        if (installed) {
            const QString name = QString::fromStdString(m_channels[i]);
            for (QAbstractButton* b :
                 std::initializer_list<QAbstractButton*>{m_nmeaChannel[i], m_atlas[i], m_fz[i], m_zelvar[i]})
                b->setText(name);
        }
        m_atlas[i]->setChecked(installed && s.AtlasChannel[i]);
        m_fz[i]->setChecked(installed && s.FZChannel[i]);
        m_zelvar[i]->setChecked(installed && s.ZelvarChannel[i]);
        m_zelvar[i]->setEnabled(installed);
    }
    if (!Installed(s.NMEADestination)) {
        // The chosen NMEA channel is gone: no NMEA telegrams.
        m_dpt->setChecked(false);
        m_dbs->setChecked(false);
        m_dbt->setChecked(false);
    } else {
        m_nmeaChannel[s.NMEADestination]->setChecked(true);
    }
    for (QCheckBox* b : {m_dpt, m_dbs, m_dbt})
        connect(b, &QCheckBox::clicked, this, [this] { ApplyNmeaRule(); });
    for (std::size_t i = 0; i < 4; ++i) {
        connect(m_atlas[i], &QCheckBox::clicked, this, [this] { ApplyAtMostTwo(m_atlas); });
        connect(m_fz[i], &QCheckBox::clicked, this, [this] { ApplyAtMostTwo(m_fz); });
    }
    ApplyNmeaRule();
    ApplyAtMostTwo(m_atlas);
    ApplyAtMostTwo(m_fz);
}

void CQYSerialDialog::ApplyNmeaRule()
{
    const bool any = On(m_dpt) || On(m_dbs) || On(m_dbt);
    for (std::size_t i = 0; i < 4; ++i)
        m_nmeaChannel[i]->setEnabled(any && Installed(i));
}

void CQYSerialDialog::ApplyAtMostTwo(const std::array<QCheckBox*, 4>& boxes)
{
    const auto checked = std::count_if(boxes.begin(), boxes.end(), [](QCheckBox* b) { return b->isChecked(); });
    for (std::size_t i = 0; i < 4; ++i)
        boxes[i]->setEnabled(Installed(i) && (checked < 2 || boxes[i]->isChecked()));
}

void CQYSerialDialog::StepDecimate(int delta)
{
    widgets::StepWholeNumber(m_decimateHz, delta, 1, static_cast<int>(CQYSerial::kMaxDecimateHz));
}

void CQYSerialDialog::accept()
{
    unsigned hz = 0;
    if (!widgets::TakeUnsigned(m_decimateHz, 1, CQYSerial::kMaxDecimateHz, hz))
        return;
    CQYSerial::Settings& s = m_values;
    s.DecimateHz = hz;
    s.Decimate = On(m_decimate);
    s.Termination = m_termination[1]->isChecked() ? 1 : m_termination[2]->isChecked() ? 2 : 0;
    s.DPTFormat = On(m_dpt);
    s.DBSFormat = On(m_dbs);
    s.DBTFormat = On(m_dbt);
    for (std::size_t i = 0; i < 4; ++i) {
        if (m_nmeaChannel[i]->isChecked())
            s.NMEADestination = static_cast<std::uint32_t>(i);
        s.AtlasChannel[i] = On(m_atlas[i]);
        s.FZChannel[i] = On(m_fz[i]);
        s.ZelvarChannel[i] = On(m_zelvar[i]);
    }
    if (!Installed(s.NMEADestination))
        s.NMEADestination = 0;
    s.AddFrequency = On(m_addFrequency);
    s.Hymas = On(m_hymas);
    s.ZelvarWithoutHeave = On(m_withoutHeave);
    std::uint32_t* outputs[] = {&s.MotionSensor, &s.Navigation,      &s.Annotation,       &s.Status,
                                &s.SVP,          &s.RelayNavigation, &s.TemperatureSensor};
    for (std::size_t i = 0; i < m_outputs.size(); ++i)
        *outputs[i] = On(m_outputs[i]);
    s.AnnotationInput = On(m_inputs[0]);
    s.SVPInput = On(m_inputs[1]);
    s.RemoteIn = On(m_inputs[2]);
    CSensorDialog::accept();
}

int CQYSerialDialog::Run(CQYSerial& hub, std::vector<std::string> channels, QWidget* parent)
{
    CQYSerialDialog dialog(hub, std::move(channels), parent);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    hub.StoreSettings(dialog.Values());
    // The line again, with the new termination.
    hub.Close();
    hub.OpenSerialComponent();
    return 1;
}

}  // namespace outputsui
