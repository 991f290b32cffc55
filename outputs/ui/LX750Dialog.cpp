#include "outputs/ui/LX750Dialog.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/DialogFields.h"
#include "app/widgets/SpinButtonDoubleCtrl.h"
#include "base/DepthUnit.h"
#include "display/ui/RangeBottomDialog.h"
#include "display/ui/RangeSurfaceDialog.h"
#include "outputs/ui/DestinationFields.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using widgets::WithId;

namespace outputsui {

namespace {

constexpr double kMaxDistance = 10000.0;

QCheckBox* Check(int id, const QString& text, bool on)
{
    auto* box = WithId(new QCheckBox(text), id);
    box->setChecked(on);
    return box;
}

}  // namespace

CLX750Dialog::CLX750Dialog(const CLX750::DialogValues& values, QWidget* parent) : QDialog(parent), m_values(values)
{
    setWindowTitle("LX750");
    setObjectName("dialog_" + QString::number(kTemplate));
    auto* layout = new QVBoxLayout(this);

    m_destination = new CDestinationFields(values.address, values.port);
    layout->addWidget(m_destination);

    // The vessel log.
    auto* log = new QHBoxLayout;
    log->addWidget(new QLabel("Distance"));
    m_distance = WithId(new QLineEdit(widgets::FormatNumber(values.distance, 1)), 1291);
    auto* spin = WithId(new app::CSpinButtonDoubleCtrl, 1292);
    spin->SetBuddy(m_distance);
    spin->SetRangeDouble(1, 0.0, kMaxDistance);
    log->addWidget(m_distance);
    log->addWidget(spin);
    log->addWidget(new QLabel("nm"));
    log->addStretch();
    layout->addLayout(log);

    // What is sent.
    auto* datagrams = new QGroupBox("Datagrams");
    auto* grid = new QGridLayout(datagrams);
    m_echoTrace = Check(1288, "Echo Trace", values.echoTrace);
    m_echogram = Check(1290, "Echogram", values.echogram);
    m_navigation = Check(1295, "Navigation", values.navigation);
    m_vesselLog = Check(1289, "Vessel Log", values.vesselLog);
    m_parameter = Check(1293, "Parameter", values.parameter);
    grid->addWidget(m_echoTrace, 0, 0);
    grid->addWidget(m_echogram, 0, 1);
    grid->addWidget(m_navigation, 1, 0);
    grid->addWidget(m_vesselLog, 1, 1);
    grid->addWidget(m_parameter, 2, 0);
    layout->addWidget(datagrams);

    // The echogram datagram's two windows.
    auto* echogram = new QGroupBox("Echogram");
    auto* eg = new QGridLayout(echogram);
    QWidget* surfaceRow = nullptr;
    QWidget* bottomRow = nullptr;
    m_surfaceCount = CDestinationFields::EditWithSpin(1301, 1302, 0, 500, values.surfaceCount, surfaceRow);
    m_bottomCount = CDestinationFields::EditWithSpin(1303, 1304, 0, 200, values.bottomCount, bottomRow);
    auto* surfaceRange = WithId(new QPushButton("Surface Range..."), 1296);
    auto* bottomRange = WithId(new QPushButton("Bottom Range..."), 1299);
    connect(surfaceRange, &QPushButton::clicked, this, &CLX750Dialog::OnSurfaceRange);
    connect(bottomRange, &QPushButton::clicked, this, &CLX750Dialog::OnBottomRange);
    eg->addWidget(new QLabel("No. of Surface Values"), 0, 0);
    eg->addWidget(surfaceRow, 0, 1);
    eg->addWidget(surfaceRange, 0, 2);
    eg->addWidget(new QLabel("No. of Bottom Values"), 1, 0);
    eg->addWidget(bottomRow, 1, 1);
    eg->addWidget(bottomRange, 1, 2);
    layout->addWidget(echogram);

    layout->addWidget(widgets::StandardButtons(this, true));
}

void CLX750Dialog::OnSurfaceRange()
{
    CRangeSurfaceDialog dialog(CDepthUnit::FromMeters(m_values.rangeSurface),
                               CDepthUnit::FromMeters(m_values.rangeSurfaceStart), false, false, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_values.rangeSurface = CDepthUnit::ToMeters(dialog.Range());
    m_values.rangeSurfaceStart = CDepthUnit::ToMeters(dialog.Start());
}

void CLX750Dialog::OnBottomRange()
{
    CRangeBottomDialog dialog(CDepthUnit::FromMeters(m_values.rangeBottom),
                              CDepthUnit::FromMeters(m_values.rangeBottom - m_values.rangeBottomStart), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_values.rangeBottom = CDepthUnit::ToMeters(dialog.Range());
    m_values.rangeBottomStart = m_values.rangeBottom - CDepthUnit::ToMeters(dialog.Offset());
}

void CLX750Dialog::accept()
{
    CLX750::DialogValues v = m_values;
    unsigned surface = 0, bottom = 0;
    if (!m_destination->Take(v.address, v.port) || !widgets::TakeUnsigned(m_surfaceCount, 0, 500, surface) ||
        !widgets::TakeUnsigned(m_bottomCount, 0, 200, bottom))
        return;
    // The field shows one decimal: left as it was shown, the log keeps its
    // own value (and the steps it takes while the dialog is open).
    if (m_distance->text() != widgets::FormatNumber(m_values.distance, 1) &&
        !widgets::CheckRange(m_distance, 0.0, kMaxDistance, v.distance))
        return;
    v.surfaceCount = surface;
    v.bottomCount = bottom;
    v.echoTrace = m_echoTrace->isChecked();
    v.echogram = m_echogram->isChecked();
    v.navigation = m_navigation->isChecked();
    v.vesselLog = m_vesselLog->isChecked();
    v.parameter = m_parameter->isChecked();
    m_values = v;
    QDialog::accept();
}

void CLX750Dialog::Run(CLX750& output, QWidget* parent)
{
    const CLX750::DialogValues opened = output.GetDialogValues();
    CLX750Dialog dialog(opened, parent);
    if (dialog.exec() == QDialog::Accepted)
        output.ApplyDialogValues(opened, dialog.Values());
}

}  // namespace outputsui
