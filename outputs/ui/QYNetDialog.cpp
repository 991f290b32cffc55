#include "outputs/ui/QYNetDialog.h"

#include "app/widgets/DialogExchange.h"
#include "base/DepthUnit.h"
#include "base/EchosounderError.h"
#include "display/ui/RangeBottomDialog.h"
#include "display/ui/RangeSurfaceDialog.h"
#include "outputs/ui/DestinationFields.h"

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
#include <QVBoxLayout>

#include <cstdio>

using widgets::WithId;

namespace outputsui {

namespace {

constexpr int kDepthIds[4] = {1292, 1305, 1306, 1307};
constexpr int kNmeaIds[4] = {1318, 1319, 1320, 1321};
constexpr int kEchogramIds[4] = {1354, 1355, 1356, 1357};
// Controls 1005 ("No"), 1006 ("20 log R"), 1009 ("30 log R"), 1010 ("40 log
// R"), 1011 ("From view").
constexpr int kTvgIds[5] = {1005, 1006, 1009, 1010, 1011};

template <typename W>
W* Named(W* widget, int id, const QString& name)
{
    WithId(widget, id);
    widget->setProperty("controlName", name);
    return widget;
}

// A control the dialog expects, found by its resource name; missing, it is
// reported.
template <typename W>
W* Find(QWidget& dialog, const QString& name)
{
    for (W* w : dialog.findChildren<W*>())
        if (w->property("controlName").toString() == name)
            return w;
    ECHOSOUNDER_FATAL_ERROR("Control '%s' not found", name.toUtf8().constData());
}

QCheckBox* Check(int id, const QString& text, std::uint32_t on)
{
    auto* box = WithId(new QCheckBox(text), id);
    box->setChecked(on != 0);
    return box;
}

}  // namespace

int CQYNetDialog::TvgChoice(std::uint32_t stored)
{
    switch (stored) {
    case 0:
        return 0;
    case 2:
        return 3;
    case 4:
        return 2;
    case 5:
        return 4;
    default:
        return 1;
    }
}

std::uint32_t CQYNetDialog::TvgValue(int choice)
{
    constexpr std::uint32_t kValues[5] = {0, 3, 4, 2, 5};
    return choice >= 0 && choice < 5 ? kValues[choice] : 3;
}

CQYNetDialog::CQYNetDialog(const CQYNet::Settings& settings, std::vector<std::string> channels, QWidget* parent)
    : QDialog(parent), m_values(settings), m_channels(std::move(channels))
{
    setWindowTitle("Network Interface");
    setObjectName("dialog_" + QString::number(kTemplate));
    m_channels.resize(std::min<std::size_t>(m_channels.size(), 4));
    const CQYNet::Settings& s = m_values;
    auto* layout = new QVBoxLayout(this);

    // The destination's four numbers.
    std::array<int, 4> address{};
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (std::sscanf(s.DestAddr.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) == 4)
        address = {int(a & 255), int(b & 255), int(c & 255), int(d & 255)};
    auto* top = new QHBoxLayout;
    m_destination = new CDestinationFields(address, s.DestPort);
    top->addWidget(m_destination);
    auto* local = new QGroupBox("Local Computer - Input");
    auto* localLayout = new QHBoxLayout(local);
    QWidget* localRow = nullptr;
    m_localPort = CDestinationFields::EditWithSpin(1288, kLocalPortSpin, 2000, 32767, s.LocalPort, localRow);
    localLayout->addWidget(new QLabel("Port:"));
    localLayout->addWidget(localRow);
    top->addWidget(local);
    layout->addLayout(top);

    auto* middle = new QHBoxLayout;
    auto* depth = new QGroupBox("Depth Output");
    auto* depthLayout = new QVBoxLayout(depth);
    for (int i = 0; i < 4; ++i)
        depthLayout->addWidget(Named(new QCheckBox(QString("Channel%1").arg(i + 1)), kDepthIds[i],
                                     QString("IDC_DEPTH_DATAGRAM%1").arg(i + 1)));
    m_binary = WithId(new QRadioButton("Binary"), 1528);
    m_ascii = WithId(new QRadioButton("ASCII"), 1529);
    auto* format = new QButtonGroup(this);
    format->addButton(m_binary);
    format->addButton(m_ascii);
    (s.ZelvarFormat == 1 ? m_ascii : m_binary)->setChecked(true);
    depthLayout->addWidget(m_binary);
    depthLayout->addWidget(m_ascii);
    m_addFrequency = Check(1518, "Add Frequency, Draft , Svp", s.AddFrequency);
    m_withoutHeave = Check(1581, "Without Heave", s.ZelvarFormatWithoutHeave);
    m_hymas = Check(1572, "Hymas Depth", s.DepthHymas);
    depthLayout->addWidget(m_addFrequency);
    depthLayout->addWidget(m_withoutHeave);
    depthLayout->addWidget(m_hymas);
    middle->addWidget(depth);

    auto* nmea = new QGroupBox("NMEA Format");
    auto* nmeaLayout = new QGridLayout(nmea);
    m_dbs = Check(1563, "DBS", s.DepthNMEADatagramDBS);
    m_dbt = Check(1561, "DBT", s.DepthNMEADatagramDBT);
    m_dpt = Check(1562, "DPT", s.DepthNMEADatagramDPT);
    m_nmeaEnabled = WithId(new QCheckBox("Output Enabled"), 1291);
    nmeaLayout->addWidget(m_nmeaEnabled, 0, 0, 1, 2);
    nmeaLayout->addWidget(m_dbs, 1, 0);
    nmeaLayout->addWidget(m_dbt, 2, 0);
    nmeaLayout->addWidget(m_dpt, 3, 0);
    auto* nmeaGroup = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        auto* r = Named(new QRadioButton(QString("Channel%1").arg(i + 1)), kNmeaIds[i],
                        QString("IDC_NMEA_RADIO%1").arg(i + 1));
        nmeaGroup->addButton(r);
        nmeaLayout->addWidget(r, i + 1, 1);
    }
    middle->addWidget(nmea);

    auto* echogram = new QGroupBox("Echogram Data");
    auto* eg = new QGridLayout(echogram);
    for (int i = 0; i < 4; ++i)
        eg->addWidget(Named(new QCheckBox(QString("Channel%1").arg(i + 1)), kEchogramIds[i],
                            QString("IDC_ECHOGRAM%1").arg(i + 1)),
                      i, 0);
    QWidget* surfaceRow = nullptr;
    QWidget* bottomRow = nullptr;
    m_surfaceCount = CDestinationFields::EditWithSpin(1301, 1302, 0, 500, s.EchogramSurfaceCount, surfaceRow);
    m_bottomCount = CDestinationFields::EditWithSpin(1303, 1304, 0, 200, s.EchogramBottomCount, bottomRow);
    auto* surfaceRange = WithId(new QPushButton("Surface Range..."), 1296);
    auto* bottomRange = WithId(new QPushButton("Bottom Range..."), 1299);
    connect(surfaceRange, &QPushButton::clicked, this, &CQYNetDialog::OnSurfaceRange);
    connect(bottomRange, &QPushButton::clicked, this, &CQYNetDialog::OnBottomRange);
    eg->addWidget(new QLabel("No. of Surface Values"), 4, 0);
    eg->addWidget(surfaceRow, 4, 1);
    eg->addWidget(surfaceRange, 4, 2);
    eg->addWidget(new QLabel("No. of Bottom Values"), 5, 0);
    eg->addWidget(bottomRow, 5, 1);
    eg->addWidget(bottomRange, 5, 2);
    auto* tvg = new QGroupBox("TVG");
    auto* tvgLayout = new QHBoxLayout(tvg);
    const char* tvgTexts[5] = {"No", "20 log R", "30 log R", "40 log R", "From view"};
    auto* tvgGroup = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        m_tvg[static_cast<std::size_t>(i)] = WithId(new QRadioButton(tvgTexts[i]), kTvgIds[i]);
        tvgGroup->addButton(m_tvg[static_cast<std::size_t>(i)]);
        tvgLayout->addWidget(m_tvg[static_cast<std::size_t>(i)]);
    }
    m_tvg[static_cast<std::size_t>(TvgChoice(s.TVGType))]->setChecked(true);
    eg->addWidget(tvg, 6, 0, 1, 3);
    middle->addWidget(echogram);
    layout->addLayout(middle);

    auto* datagrams = new QGroupBox("Datagram Output");
    auto* dgLayout = new QGridLayout(datagrams);
    const std::pair<const char*, int> kinds[] = {
        {"Navigation", 1295},     {"Relay Navigation", 1350}, {"Annotation", 1298},        {"Status", 1294},
        {"Sound Velocity", 1297}, {"Motion Sensor", 1300},    {"Temperature Sensor", 1377}};
    const std::uint32_t on[] = {s.NavigationDatagram,       s.RelayNavigation,  s.AnnotationDatagram,
                                s.StatusDatagram,           s.SoundVelDatagram, s.MotionSensorDatagram,
                                s.TemperatureSensorDatagram};
    for (std::size_t i = 0; i < m_datagrams.size(); ++i) {
        m_datagrams[i] = Check(kinds[i].second, kinds[i].first, on[i]);
        dgLayout->addWidget(m_datagrams[i], int(i / 4), int(i % 4));
    }
    layout->addWidget(datagrams);
    layout->addWidget(widgets::StandardButtons(this, false));

    for (int i = 0; i < 4; ++i) {
        const auto n = static_cast<std::size_t>(i);
        m_depth[n] = Find<QCheckBox>(*this, QString("IDC_DEPTH_DATAGRAM%1").arg(i + 1));
        m_nmeaChannel[n] = Find<QRadioButton>(*this, QString("IDC_NMEA_RADIO%1").arg(i + 1));
        m_echogram[n] = Find<QCheckBox>(*this, QString("IDC_ECHOGRAM%1").arg(i + 1));
        const bool installed = Installed(n);
        if (installed) {
            const QString name = QString::fromStdString(m_channels[n]);
            m_depth[n]->setText(name);
            m_nmeaChannel[n]->setText(name);
            m_echogram[n]->setText(name);
        }
        m_depth[n]->setChecked(installed && s.DepthDatagram[n]);
        m_depth[n]->setEnabled(installed);
        m_echogram[n]->setChecked(installed && s.Echogram[n]);
        m_echogram[n]->setEnabled(installed);
    }
    if (Installed(s.NMEAsource)) {
        m_nmeaChannel[s.NMEAsource]->setChecked(true);
    } else {
        // The chosen channel is gone: back to the first, and no NMEA output.
        m_nmeaChannel[0]->setChecked(true);
        m_dbs->setChecked(false);
        m_dbt->setChecked(false);
        m_dpt->setChecked(false);
    }
    for (QCheckBox* box : {m_nmeaEnabled, m_dbs, m_dbt, m_dpt})
        connect(box, &QCheckBox::clicked, this, [this] { ApplyNmeaRule(); });
    ApplyNmeaRule();
}

void CQYNetDialog::ApplyNmeaRule()
{
    const bool any = m_dbs->isChecked() || m_dbt->isChecked() || m_dpt->isChecked();
    m_nmeaEnabled->setChecked(any);
    for (std::size_t i = 0; i < 4; ++i)
        m_nmeaChannel[i]->setEnabled(any && Installed(i));
}

void CQYNetDialog::OnSurfaceRange()
{
    CRangeSurfaceDialog dialog(CDepthUnit::FromMeters(m_values.EchogramRangeSurface),
                               CDepthUnit::FromMeters(m_values.EchogramRangeSurfaceStart), false, false, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_values.EchogramRangeSurface = CDepthUnit::ToMeters(dialog.Range());
    m_values.EchogramRangeSurfaceStart = CDepthUnit::ToMeters(dialog.Start());
}

void CQYNetDialog::OnBottomRange()
{
    CRangeBottomDialog dialog(CDepthUnit::FromMeters(m_values.EchogramRangeBottom),
                              CDepthUnit::FromMeters(m_values.EchogramRangeBottom - m_values.EchogramRangeBottomStart),
                              this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_values.EchogramRangeBottom = CDepthUnit::ToMeters(dialog.Range());
    m_values.EchogramRangeBottomStart = m_values.EchogramRangeBottom - CDepthUnit::ToMeters(dialog.Offset());
}

void CQYNetDialog::accept()
{
    CQYNet::Settings v = m_values;
    std::array<int, 4> address{};
    unsigned local = 0, surface = 0, bottom = 0;
    if (!m_destination->Take(address, v.DestPort) || !widgets::TakeUnsigned(m_localPort, 2000, 32767, local) ||
        !widgets::TakeUnsigned(m_surfaceCount, 0, 500, surface) ||
        !widgets::TakeUnsigned(m_bottomCount, 0, 200, bottom))
        return;
    char dotted[64];
    std::snprintf(dotted, sizeof dotted, "%d.%d.%d.%d", address[0], address[1], address[2], address[3]);
    v.DestAddr = dotted;
    v.LocalPort = local;
    v.EchogramSurfaceCount = surface;
    v.EchogramBottomCount = bottom;
    for (std::size_t i = 0; i < 4; ++i) {
        v.DepthDatagram[i] = m_depth[i]->isChecked();
        v.Echogram[i] = m_echogram[i]->isChecked();
        if (m_nmeaChannel[i]->isChecked())
            v.NMEAsource = static_cast<std::uint32_t>(i);
    }
    v.ZelvarFormat = m_ascii->isChecked() ? 1 : 0;
    v.AddFrequency = m_addFrequency->isChecked();
    v.ZelvarFormatWithoutHeave = m_withoutHeave->isChecked();
    v.DepthHymas = m_hymas->isChecked();
    v.DepthNMEADatagramDBS = m_dbs->isChecked();
    v.DepthNMEADatagramDBT = m_dbt->isChecked();
    v.DepthNMEADatagramDPT = m_dpt->isChecked();
    for (std::size_t i = 0; i < m_tvg.size(); ++i)
        if (m_tvg[i]->isChecked())
            v.TVGType = TvgValue(static_cast<int>(i));
    std::uint32_t* datagrams[] = {&v.NavigationDatagram,       &v.RelayNavigation,  &v.AnnotationDatagram,
                                  &v.StatusDatagram,           &v.SoundVelDatagram, &v.MotionSensorDatagram,
                                  &v.TemperatureSensorDatagram};
    for (std::size_t i = 0; i < m_datagrams.size(); ++i)
        *datagrams[i] = m_datagrams[i]->isChecked();
    m_values = v;
    QDialog::accept();
}

bool CQYNetDialog::OnNetworkInterface(CQYNet& output, std::vector<std::string> channels, QWidget* parent)
{
    CQYNetDialog dialog(output.GetSettings(), std::move(channels), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    output.ApplySettings(dialog.Values());
    return true;
}

}  // namespace outputsui
