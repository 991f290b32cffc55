#include "sensors/ui/EnvironmentDialog.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/DialogFields.h"
#include "app/widgets/SpinButtonDoubleCtrl.h"
#include "platform/NumberText.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

using widgets::WithId;

namespace {

QString Text(double value)
{
    return QString::fromStdString(CNumberText::Format("%.1f", value));
}

// An edit with its spin control, in one row.
QLineEdit* SpinEdit(QWidget* parent, QLayout* row, int editId, int spinId, double value, double lo, double hi)
{
    auto* edit = WithId(new QLineEdit(Text(value), parent), editId);
    auto* spin = WithId(new app::CSpinButtonDoubleCtrl(parent), spinId);
    spin->SetBuddy(edit);
    spin->SetRangeDouble(1, lo, hi);
    row->addWidget(edit);
    row->addWidget(spin);
    return edit;
}

}  // namespace

DWORD CEnvironmentDialog::FormatFromExtension(const std::string& extension)
{
    if (extension == "cal" || extension == "calc")
        return CSvpProfile::FormatCalc;
    if (extension == "ksi")
        return CSvpProfile::FormatS10;
    return CSvpProfile::FormatAsvp;
}

CEnvironmentDialog::CEnvironmentDialog(SEnvironmentDialogValues& values, Live live, QWidget* parent)
    : QDialog(parent), m_out(values), m_values(values), m_live(std::move(live))
{
    setWindowTitle("Environment");
    setObjectName("dialog_Environment");
    auto* layout = new QVBoxLayout(this);

    auto* water = new QGroupBox("Water", this);
    auto* waterRow = new QHBoxLayout(water);
    m_fresh = WithId(new QRadioButton("Fresh Water", water), IdFresh);
    m_salt = WithId(new QRadioButton("Salt Water", water), IdSalt);
    waterRow->addWidget(m_fresh);
    waterRow->addWidget(m_salt);
    m_salinity = SpinEdit(water, waterRow, IdSalinity, IdSalinitySpin, m_values.salinity, 0.0, 100.0);
    waterRow->addWidget(new QLabel("ppt", water));
    (m_values.waterType == 0 ? m_fresh : m_salt)->setChecked(true);
    layout->addWidget(water);

    auto* temperature = new QGroupBox("Temperature", this);
    auto* tempRow = new QHBoxLayout(temperature);
    m_tempConstant = WithId(new QRadioButton("Constant", temperature), IdTempConstant);
    m_tempSensor = WithId(new QRadioButton("From sensor", temperature), IdTempSensor);
    tempRow->addWidget(m_tempConstant);
    m_temperature =
        SpinEdit(temperature, tempRow, IdTemperature, IdTemperatureSpin, m_values.temperatureConstant, -4.0, 40.0);
    tempRow->addWidget(m_tempSensor);
    m_sensorValue = WithId(new QLabel(Text(m_values.temperatureSensor), temperature), IdSensorValue);
    tempRow->addWidget(m_sensorValue);
    if (m_values.sensorAvailable)
        m_sensor = m_values.temperatureSensor;
    (m_values.temperatureType == 1 && m_values.sensorAvailable ? m_tempSensor : m_tempConstant)->setChecked(true);
    layout->addWidget(temperature);

    auto* velocity = new QGroupBox("Sound velocity", this);
    auto* grid = new QGridLayout(velocity);
    const char* names[] = {"Constant", "Salinity/Temp.", "Real time", "From File"};
    const int ids[] = {IdSvpConstant, IdSvpComputed, IdSvpRealTime, IdSvpFile};
    for (int i = 0; i < 4; ++i) {
        m_svp[i] = WithId(new QRadioButton(names[i], velocity), ids[i]);
        grid->addWidget(m_svp[i], i, 0);
    }
    auto* constantRow = new QHBoxLayout;
    m_velocity = SpinEdit(velocity, constantRow, IdVelocity, IdVelocitySpin, m_values.constantVelocity, 1400.0, 2000.0);
    grid->addLayout(constantRow, 0, 1);
    m_computed = WithId(new QLabel(QString::fromStdString(m_values.computedVelocityText), velocity), IdComputedValue);
    grid->addWidget(m_computed, 1, 1);
    m_probe = WithId(new QLabel(QString::fromStdString(m_values.probeVelocityText), velocity), IdProbeValue);
    grid->addWidget(m_probe, 2, 1);
    auto* fileRow = new QHBoxLayout;
    m_file = WithId(new QPushButton(QString::fromStdString(FileButtonText()), velocity), IdFileButton);
    m_edit = WithId(new QPushButton("Edit...", velocity), IdEdit);
    fileRow->addWidget(m_file);
    fileRow->addWidget(m_edit);
    grid->addLayout(fileRow, 3, 1);
    m_svp[m_values.svpType <= CEnvironment::SvpTypeProfile ? m_values.svpType : 0]->setChecked(true);
    layout->addWidget(velocity);
    layout->addWidget(widgets::StandardButtons(this, false));

    for (QRadioButton* button : {m_fresh, m_salt, m_tempConstant, m_tempSensor, m_svp[0], m_svp[1], m_svp[2], m_svp[3]})
        connect(button, &QRadioButton::toggled, this, [this] {
            UpdateEnables();
            Recompute();
        });
    for (QLineEdit* edit : {m_salinity, m_temperature})
        connect(edit, &QLineEdit::textChanged, this, [this] { Recompute(); });
    connect(m_file, &QPushButton::clicked, this, [this] { ChooseFile(); });
    connect(m_edit, &QPushButton::clicked, this, [this] { EditProfile(); });

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, [this] { Refresh(); });
    m_timer->start(kRefreshMs);
    UpdateEnables();
    Recompute();
}

std::string CEnvironmentDialog::FileButtonText() const
{
    return m_values.fileName.empty() ? "NONE" : m_values.fileName;
}

void CEnvironmentDialog::UpdateEnables()
{
    m_salinity->setEnabled(m_salt->isChecked());
    m_tempSensor->setEnabled(m_sensor.has_value() || m_tempSensor->isChecked());
    m_temperature->setEnabled(!m_tempSensor->isChecked());
    m_sensorValue->setEnabled(m_tempSensor->isChecked());
    m_velocity->setEnabled(m_svp[0]->isChecked());
    m_computed->setEnabled(m_svp[1]->isChecked());
    m_probe->setEnabled(m_svp[2]->isChecked());
    m_file->setEnabled(m_svp[3]->isChecked());
    m_edit->setEnabled(static_cast<bool>(m_live.editProfile) && !m_svp[2]->isChecked());
}

double CEnvironmentDialog::Temperature() const
{
    if (m_tempSensor->isChecked() && m_sensor)
        return *m_sensor;
    double typed = 0.0;
    // A typed temperature counts up to 40 degrees C; beyond, the last one
    // taken stands.
    if (CNumberText::TryParseDouble(m_temperature->text().toStdString(), typed) && typed <= kMaxTypedTemperature)
        return typed;
    return m_values.temperatureConstant;
}

double CEnvironmentDialog::Salinity() const
{
    if (!m_salt->isChecked())
        return 0.0;
    double salinity = m_values.salinity;
    CNumberText::TryParseDouble(m_salinity->text().toStdString(), salinity);
    return salinity;
}

void CEnvironmentDialog::Recompute()
{
    m_computed->setText(Text(CEnvironment::ComputeVelocity(Temperature(), Salinity())));
}

void CEnvironmentDialog::Refresh()
{
    if (m_live.sensorTemperature) {
        const auto t = m_live.sensorTemperature();
        if (t && *t <= 30.0) {
            m_sensor = *t;
            m_sensorValue->setText(Text(*t));
        }
    }
    if (m_live.probeVelocity)
        m_probe->setText(Text(m_live.probeVelocity()));
    UpdateEnables();
    Recompute();
}

void CEnvironmentDialog::ChooseFile()
{
    std::string path;
    if (m_live.chooseFile) {
        path = m_live.chooseFile(m_values.folder);
    } else {
        path = QFileDialog::getOpenFileName(this, QString(), QString::fromStdString(m_values.folder),
                                            "All files (*.*);;Svp files (*.svp *.asvp)")
                   .toStdString();
    }
    if (path.empty())
        return;
    const QFileInfo info(QString::fromStdString(path));
    m_values.fileName = info.fileName().toStdString();
    m_values.extension = info.suffix().toStdString();
    m_values.folder = (info.absolutePath() + "/").toStdString();
    m_values.format = FormatFromExtension(m_values.extension);
    m_file->setText(QString::fromStdString(FileButtonText()));
}

void CEnvironmentDialog::EditProfile()
{
    SSvpEditRequest request;
    if (m_svp[0]->isChecked()) {
        double v = m_values.constantVelocity;
        CNumberText::TryParseDouble(m_velocity->text().toStdString(), v);
        request.velocity = v;
        request.curveName = "Constant";
    } else if (m_svp[1]->isChecked()) {
        request.velocity = CEnvironment::ComputeVelocity(Temperature(), Salinity());
        request.curveName = "ComputedConst";
    } else if (m_svp[3]->isChecked()) {
        request.kind = 1;
        request.curveName = m_values.fileName;
        request.fileName = m_values.fileName;
        request.folder = m_values.folder;
        request.format = CSvpProfile::FormatAsvp;
    } else {
        return;  // the probe's velocity has no profile to edit
    }
    m_live.editProfile(request);
    if (!request.stored)
        return;
    m_values.fileName = request.fileName;
    m_values.folder = request.folder;
    m_values.format = CSvpProfile::FormatAsvp;
    m_values.extension = "asvp";
    m_file->setText(QString::fromStdString(FileButtonText()));
}

void CEnvironmentDialog::accept()
{
    // The fields within their spin ranges, or the dialog stays open.
    SEnvironmentDialogValues v = m_values;
    if (!widgets::CheckRange(m_salinity, 0.0, 100.0, v.salinity) ||
        !widgets::CheckRange(m_temperature, -4.0, kMaxTypedTemperature, v.temperatureConstant) ||
        !widgets::CheckRange(m_velocity, 1400.0, 2000.0, v.constantVelocity))
        return;
    v.waterType = m_salt->isChecked() ? 1 : 0;
    v.temperatureType = m_tempSensor->isChecked() ? 1 : 0;
    for (DWORD i = 0; i < 4; ++i)
        if (m_svp[i]->isChecked())
            v.svpType = i;
    m_out = v;
    QDialog::accept();
}

BOOL CEnvironmentDialog::Run(SEnvironmentDialogValues& values, Live live, QWidget* parent)
{
    CEnvironmentDialog dialog(values, std::move(live), parent);
    return dialog.exec() == QDialog::Accepted ? TRUE : FALSE;
}
