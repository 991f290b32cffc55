#include "recording/ui/StoreDialog.h"

#include "app/widgets/DialogExchange.h"
#include "base/AppIds.h"
#include "base/StringTable.h"
#include "platform/NumberText.h"
#include "recording/ui/StoreRanges.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

using widgets::WithId;

namespace zv::recording {

namespace {

constexpr int kEchogramIds[4] = {1354, 1355, 1356, 1357};
constexpr int kOutIds[4] = {1358, 1359, 1360, 1361};
constexpr int kXyzIds[4] = {1362, 1363, 1364, 1365};
constexpr int kNmeaChannelIds[4] = {1567, 1037, 1038, 1039};

QCheckBox* Check(int id, const QString& text, bool on)
{
    auto* box = WithId(new QCheckBox(text), id);
    box->setChecked(on);
    return box;
}

}  // namespace

QLineEdit* CStoreDialog::EditWithSpin(int editId, int spinId, int lo, int hi, unsigned value, QWidget*& row)
{
    row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* edit = WithId(new QLineEdit(QString::number(value)), editId);
    auto* spin = WithId(new QSpinBox, spinId);
    spin->setRange(lo, hi);
    spin->setValue(std::clamp(int(value), lo, hi));
    spin->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    spin->setMaximumWidth(20);
    connect(spin, &QSpinBox::valueChanged, edit, [edit](int v) { edit->setText(QString::number(v)); });
    layout->addWidget(edit);
    layout->addWidget(spin);
    return edit;
}

CStoreDialog::CStoreDialog(const SStoreDialogValues& values, QWidget* parent) : QDialog(parent), m_values(values)
{
    setWindowTitle("Store");
    setObjectName(QString::number(kTemplate));
    const SStoreSettings& s = m_values.settings;
    auto* grid = new QGridLayout(this);

    // Raw files: what they are called and how large they grow.
    auto* raw = new QGroupBox("Raw data");
    auto* rawGrid = new QGridLayout(raw);
    m_saveRaw = Check(1151, "Save Raw Data", s.saveRawData != 0);
    m_localTime = Check(1153, "Local Time", s.localTime != 0);
    QWidget* lineRow = nullptr;
    m_line = EditWithSpin(1157, 1158, 0, 9999, s.lineNumber, lineRow);
    m_lineDirection = {WithId(new QRadioButton("Decrease"), 1314), WithId(new QRadioButton("Increase"), 1315)};
    widgets::SetCheckedIndex(m_lineDirection, s.lineIncrease ? 1 : 0);
    m_folder = WithId(new QLineEdit(QString::fromStdString(s.filePath)), 1163);
    auto* browse = WithId(new QPushButton("Browse..."), 1164);
    connect(browse, &QPushButton::clicked, this, &CStoreDialog::OnBrowse);
    m_mb = WithId(new QLineEdit(QString::number(m_values.maxFileSizeMb)), 1160);
    m_slider = WithId(new QSlider(Qt::Horizontal), 1159);
    m_slider->setRange(0, int(SStoreDialogValues::kSliderMb.size()) - 1);
    m_slider->setValue(SStoreDialogValues::SliderPosition(m_values.maxFileSizeMb));
    connect(m_slider, &QSlider::valueChanged, this, &CStoreDialog::OnSlider);
    auto* least = WithId(new QLabel("1"), 1173);
    auto* most = WithId(new QLabel("1000"), 1174);
    auto* size = WithId(new QLabel(QString::fromStdString(CNumberText::Format("%6f", m_values.rawFileMb))), 1175);
    rawGrid->addWidget(m_saveRaw, 0, 0);
    rawGrid->addWidget(m_localTime, 0, 1);
    rawGrid->addWidget(new QLabel("Line number"), 1, 0);
    rawGrid->addWidget(lineRow, 1, 1);
    rawGrid->addWidget(m_lineDirection[0], 2, 0);
    rawGrid->addWidget(m_lineDirection[1], 2, 1);
    rawGrid->addWidget(new QLabel("Folder"), 3, 0);
    rawGrid->addWidget(m_folder, 3, 1);
    rawGrid->addWidget(browse, 3, 2);
    rawGrid->addWidget(new QLabel("Maximum file size (MB)"), 4, 0);
    rawGrid->addWidget(m_mb, 4, 1);
    rawGrid->addWidget(least, 5, 0);
    rawGrid->addWidget(m_slider, 5, 1);
    rawGrid->addWidget(most, 5, 2);
    rawGrid->addWidget(new QLabel("Current size (MB)"), 6, 0);
    rawGrid->addWidget(size, 6, 1);
    grid->addWidget(raw, 0, 0, 1, 2);
    if (m_values.locked) {
        // Logging or replay writes the files: their names and size stay.
        for (QWidget* w :
             std::initializer_list<QWidget*>{m_slider, m_saveRaw, m_localTime, m_line, lineRow, m_mb, least, most,
                                             m_folder, browse, m_lineDirection[0], m_lineDirection[1]})
            w->setEnabled(false);
    }

    // Per channel: echogram storage, out file, xyz product, depth telegram.
    auto* channels = new QGroupBox("Channels");
    auto* chGrid = new QGridLayout(channels);
    chGrid->addWidget(new QLabel("Echogram"), 0, 0);
    chGrid->addWidget(new QLabel("Out"), 0, 1);
    chGrid->addWidget(new QLabel("Xyz"), 0, 2);
    chGrid->addWidget(new QLabel("NMEA depth"), 0, 3);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& slot = m_values.channels[i];
        const QString name = slot.present ? QString::fromStdString(slot.name) : QString("Channel%1").arg(i + 1);
        m_echogram[i] = Check(kEchogramIds[i], name, s.echogram[i] != 0);
        m_out[i] = Check(kOutIds[i], name, s.out[i] != 0);
        m_xyz[i] = Check(kXyzIds[i], name, s.xyz[i] != 0);
        m_nmeaChannel.push_back(WithId(new QRadioButton(name), kNmeaChannelIds[i]));
        for (QWidget* w : std::initializer_list<QWidget*>{m_echogram[i], m_out[i], m_xyz[i], m_nmeaChannel[i]})
            w->setEnabled(slot.present);
        chGrid->addWidget(m_echogram[i], int(i) + 1, 0);
        chGrid->addWidget(m_out[i], int(i) + 1, 1);
        chGrid->addWidget(m_xyz[i], int(i) + 1, 2);
        chGrid->addWidget(m_nmeaChannel[i], int(i) + 1, 3);
    }
    widgets::SetCheckedIndex(m_nmeaChannel, int(s.nmeaChannel));
    grid->addWidget(channels, 1, 0, 1, 2);

    // Echogram storage.
    auto* echogram = new QGroupBox("Echogram storage");
    auto* egGrid = new QGridLayout(echogram);
    QWidget* surfaceRow = nullptr;
    QWidget* bottomRow = nullptr;
    m_surfaceCount = EditWithSpin(1301, 1302, 0, 10000, s.echogramSurfaceCount, surfaceRow);
    m_bottomCount = EditWithSpin(1303, 1304, 0, 2000, s.echogramBottomCount, bottomRow);
    auto* surfaceRange = WithId(new QPushButton("Surface Range..."), 1296);
    auto* bottomRange = WithId(new QPushButton("Bottom Range..."), 1299);
    connect(surfaceRange, &QPushButton::clicked, this, &CStoreDialog::OnSurfaceRange);
    connect(bottomRange, &QPushButton::clicked, this, &CStoreDialog::OnBottomRange);
    m_tvg = {WithId(new QRadioButton("No"), 1005), WithId(new QRadioButton("20 log R"), 1006),
             WithId(new QRadioButton("30 log R"), 1009), WithId(new QRadioButton("40 log R"), 1010)};
    // A TVG type no radio stands for leaves all four clear.
    for (QRadioButton* r : m_tvg)
        r->setAutoExclusive(false);
    widgets::SetCheckedIndex(m_tvg, m_values.tvgIndex);
    for (QRadioButton* r : m_tvg)
        connect(r, &QRadioButton::toggled, this, [this, r](bool on) {
            if (on)
                for (QRadioButton* other : m_tvg)
                    if (other != r)
                        other->setChecked(false);
        });
    egGrid->addWidget(new QLabel("Surface samples"), 0, 0);
    egGrid->addWidget(surfaceRow, 0, 1);
    egGrid->addWidget(surfaceRange, 0, 2);
    egGrid->addWidget(new QLabel("Bottom samples"), 1, 0);
    egGrid->addWidget(bottomRow, 1, 1);
    egGrid->addWidget(bottomRange, 1, 2);
    for (std::size_t i = 0; i < m_tvg.size(); ++i)
        egGrid->addWidget(m_tvg[i], 2, int(i));
    grid->addWidget(echogram, 2, 0, 1, 2);

    // Products.
    m_txt = Check(1517, "Save Text Data", s.txt != 0);
    m_geo = Check(1518, "Save GeoRef Data", s.geoRef != 0);
    m_xtf = Check(1519, "Save XTF Data", s.saveXtfData != 0);
    m_nmeaDepth = Check(1566, "Add NMEA depth", s.addNmeaDepth != 0);
    grid->addWidget(m_txt, 3, 0);
    grid->addWidget(m_geo, 3, 1);
    grid->addWidget(m_xtf, 4, 0);
    grid->addWidget(m_nmeaDepth, 4, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    WithId(buttons->button(QDialogButtonBox::Ok), 1);
    WithId(buttons->button(QDialogButtonBox::Cancel), 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &CStoreDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CStoreDialog::reject);
    grid->addWidget(buttons, 5, 0, 1, 2);
}

void CStoreDialog::OnSlider(int position)
{
    if (position >= 0 && position < int(SStoreDialogValues::kSliderMb.size()))
        m_mb->setText(QString::number(SStoreDialogValues::kSliderMb[std::size_t(position)]));
}

void CStoreDialog::OnBrowse()
{
    std::string title = app::Strings().Load(app::ids::SELECT_DIRECTORY);
    if (title.empty())
        title = "Unknown Title";
    const QString folder = QFileDialog::getExistingDirectory(this, QString::fromStdString(title), m_folder->text());
    if (!folder.isEmpty())
        m_folder->setText(folder);
}

void CStoreDialog::OnSurfaceRange()
{
    SStoreSettings& s = m_values.settings;
    EditStoreSurfaceRange(this, s.echogramRangeSurface, s.echogramRangeSurfaceStart);
}

void CStoreDialog::OnBottomRange()
{
    SStoreSettings& s = m_values.settings;
    EditStoreBottomRange(this, s.echogramRangeBottom, s.echogramRangeBottomStart);
}

void CStoreDialog::accept()
{
    unsigned line = 0, mb = 0, surface = 0, bottom = 0;
    if (!widgets::TakeUnsigned(m_line, 0, 9999, line) ||
        !widgets::TakeUnsigned(m_mb, SStoreDialogValues::kMinMb, SStoreDialogValues::kMaxMb, mb) ||
        !widgets::TakeUnsigned(m_surfaceCount, 0, 10000, surface) ||
        !widgets::TakeUnsigned(m_bottomCount, 0, 2000, bottom))
        return;
    SStoreSettings& s = m_values.settings;
    s.saveRawData = m_saveRaw->isChecked() ? 1 : 0;
    s.localTime = m_localTime->isChecked() ? 1 : 0;
    s.lineNumber = line;
    s.lineIncrease = widgets::CheckedIndex(m_lineDirection) == 1 ? 1 : 0;
    s.filePath = m_folder->text().toStdString();
    m_values.maxFileSizeMb = mb;
    s.echogramSurfaceCount = surface;
    s.echogramBottomCount = bottom;
    for (std::size_t i = 0; i < 4; ++i) {
        s.echogram[i] = m_echogram[i]->isChecked() ? 1 : 0;
        s.out[i] = m_out[i]->isChecked() ? 1 : 0;
        s.xyz[i] = m_xyz[i]->isChecked() ? 1 : 0;
    }
    const int channel = widgets::CheckedIndex(m_nmeaChannel);
    s.nmeaChannel = channel < 0 ? 0 : std::uint32_t(channel);
    m_values.tvgIndex = widgets::CheckedIndex(m_tvg);
    s.txt = m_txt->isChecked() ? 1 : 0;
    s.geoRef = m_geo->isChecked() ? 1 : 0;
    s.saveXtfData = m_xtf->isChecked() ? 1 : 0;
    s.addNmeaDepth = m_nmeaDepth->isChecked() ? 1 : 0;
    QDialog::accept();
}

}  // namespace zv::recording
