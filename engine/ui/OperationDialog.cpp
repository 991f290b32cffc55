#include "engine/ui/OperationDialog.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/DialogFields.h"
#include "app/widgets/FolderDlg.h"
#include "app/widgets/SpinButtonDoubleCtrl.h"
#include "base/AppIds.h"
#include "base/StringTable.h"
#include "engine/ui/SimplePingerSettingsDialog.h"
#include "platform/MessageDispatcher.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using widgets::WithId;

namespace {

constexpr int kNormal = 0, kReplay = 1;
constexpr int kMultiPulse = 3, kPinger = 4;

QCheckBox* Check(int id, const char* text, bool on)
{
    auto* box = WithId(new QCheckBox(text), id);
    box->setChecked(on);
    return box;
}

// A titled group of controls, one beside the other or one under the other.
QGroupBox* Group(const char* title, QBoxLayout::Direction direction, std::initializer_list<QWidget*> controls)
{
    auto* box = new QGroupBox(title);
    auto* layout = new QBoxLayout(direction, box);
    for (QWidget* control : controls)
        layout->addWidget(control);
    return box;
}

}  // namespace

COperationDialog::COperationDialog(const SOperationDialogValues& values, IOperationDialogLinks& links, QWidget* parent)
    : QDialog(parent), m_values(values), m_links(links)
{
    const bool pinger = HasPingerButtons();
    setObjectName(QString::number(pinger ? kTemplateWithPinger : kTemplate));
    setWindowTitle(pinger ? "Operation Dialog" : "Operation");
    auto* grid = new QGridLayout(this);

    m_mode = {WithId(new QRadioButton("Normal"), 1031), WithId(new QRadioButton("Replay"), 1038)};
    auto* files = WithId(new QPushButton("Files..."), 1125);
    grid->addWidget(Group("Mode", QBoxLayout::TopToBottom, {m_mode[kNormal], m_mode[kReplay], files}), 0, 0);

    auto* rateBox = new QGroupBox("Ping Rate");
    auto* rateLayout = new QGridLayout(rateBox);
    m_rate = {WithId(new QRadioButton("Maximum"), 1032), WithId(new QRadioButton("Single Step"), 1039),
              WithId(new QRadioButton("Interval:"), 1040)};
    if (pinger) {
        m_rate.push_back(WithId(new QRadioButton("Multi Pulse"), 1033));
        m_rate.push_back(WithId(new QRadioButton("Pinger Mode"), 1034));
    }
    m_interval = WithId(new QLineEdit(widgets::FormatNumber(m_values.interval, 2)), 1119);
    m_spin = WithId(new app::CSpinButtonDoubleCtrl, 1120);
    m_spin->SetBuddy(m_interval);
    m_spin->SetRangeDouble(2, 0.0, SOperationDialogValues::kLargestValue);
    m_intervalUnit = WithId(new QLabel("s"), 1537);
    for (std::size_t i = 0; i < m_rate.size(); ++i)
        rateLayout->addWidget(m_rate[i], int(i), 0);
    rateLayout->addWidget(m_interval, 2, 1);
    rateLayout->addWidget(m_spin, 2, 2);
    rateLayout->addWidget(m_intervalUnit, 2, 3);
    grid->addWidget(rateBox, 0, 1, 2, 1);

    m_externalTrigger = Check(1197, "Extern Trig", m_values.externalTrigger);
    m_sequence = Check(1199, "Sequential ", m_values.sequence);
    grid->addWidget(Group("Trigger", QBoxLayout::TopToBottom, {m_externalTrigger, m_sequence}), 1, 0);

    m_history = Check(1198, "Save", m_values.history);
    m_synchronise = Check(1361, "Synchronize with logfile", m_values.synchronise);
    auto* browse = WithId(new QPushButton("Browse..."), 1164);
    grid->addWidget(Group("History", QBoxLayout::LeftToRight, {m_history, m_synchronise, browse}), 2, 0, 1, 2);

    m_hbx = Check(1535, "HBX", m_values.hbx);
    m_simplePinger = Check(1536, "Simple Pinger", m_values.simplePinger);
    auto* settings = WithId(new QPushButton("Settings"), 1549);
    grid->addWidget(Group("Control", QBoxLayout::LeftToRight, {m_hbx, m_simplePinger, settings}), 3, 0, 1, 2);

    QDialogButtonBox* buttons = widgets::StandardButtons(this, false);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    grid->addWidget(buttons, 4, 0, 1, 2);

    widgets::SetCheckedIndex(m_mode, m_values.mode);
    widgets::SetCheckedIndex(m_rate, m_values.rate);

    connect(files, &QPushButton::clicked, this, &COperationDialog::OnFiles);
    connect(browse, &QPushButton::clicked, this, &COperationDialog::OnBrowse);
    connect(settings, &QPushButton::clicked, this, &COperationDialog::OnSettings);
    connect(m_mode[kNormal], &QRadioButton::clicked, this, [this] { UpdateControls(); });
    connect(m_mode[kReplay], &QRadioButton::clicked, this, [this] {
        // Replay wants files: without a list the file dialog comes at once.
        if (!m_values.files)
            OnFiles();
        UpdateControls();
    });
    for (QCheckBox* box : {m_hbx, m_simplePinger})
        connect(box, &QCheckBox::clicked, this, [this, box] { OnHbxOrSimplePinger(box); });
    UpdateControls();
}

bool COperationDialog::HasPingerButtons() const
{
    return m_values.model == SounderModel::QY310 || m_values.model == SounderModel::QYNVU;
}

int COperationDialog::Mode() const
{
    return widgets::CheckedIndex(m_mode) == kReplay ? kReplay : kNormal;
}

void COperationDialog::SetMode(int mode)
{
    widgets::SetCheckedIndex(m_mode, mode);
}

int COperationDialog::Rate() const
{
    const int checked = widgets::CheckedIndex(m_rate);
    // A rate this template has no button for stays as it was.
    return checked < 0 ? m_values.rate : checked;
}

void COperationDialog::UpdateControls()
{
    const bool normal = Mode() == kNormal;
    const bool installed = m_values.installedChannels > 0;
    m_mode[kNormal]->setEnabled(installed);
    m_externalTrigger->setEnabled(normal);
    m_sequence->setEnabled(normal);
    m_ok->setEnabled(normal ? installed : m_values.files.has_value());

    // HBX and the simple pinger pace the pings themselves.
    const bool ratesFree = !m_hbx->isChecked() && !m_simplePinger->isChecked();
    for (QWidget* w :
         {static_cast<QWidget*>(m_rate[0]), static_cast<QWidget*>(m_rate[1]), static_cast<QWidget*>(m_rate[2]),
          static_cast<QWidget*>(m_interval), static_cast<QWidget*>(m_spin), m_intervalUnit})
        w->setEnabled(ratesFree);
    if (HasPingerButtons()) {
        // Multipulse follows live depths: not in replay.
        m_rate[kMultiPulse]->setEnabled(ratesFree && normal);
        m_rate[kPinger]->setEnabled(ratesFree && m_values.pingerAvailable);
    }
}

void COperationDialog::OnHbxOrSimplePinger(QCheckBox* box)
{
    QCheckBox* other = box == m_hbx ? m_simplePinger : m_hbx;
    if (box->isChecked()) {
        if (!other->isChecked())
            m_links.RememberRate(Rate());
        // Recording stops when HBX takes over.
        if (box == m_hbx && m_links.IsRecording())
            ::PostMessage(::GetMainWindow(), WM_COMMAND, app::cmd::RECORD_TOGGLE, 0);
    } else if (!other->isChecked()) {
        widgets::SetCheckedIndex(m_rate, m_links.RememberedRate());
    }
    UpdateControls();
}

void COperationDialog::OnFiles()
{
    const CReplayFileList* list = m_values.files ? &*m_values.files : nullptr;
    int loop = list ? list->m_loop : 1;
    int saveData = list ? list->m_saveData : 0;
    int changeInstallation = list ? list->m_changeInstallation : 0;
    int changeSvp = m_values.changeSvp ? 1 : 0;
    std::vector<std::string> paths;
    if (m_links.ChooseReplayFiles(this, loop, saveData, changeInstallation, changeSvp, paths)) {
        m_values.newFiles = true;
        CReplayFileList chosen;
        chosen.m_loop = loop;
        chosen.m_saveData = saveData;
        chosen.m_changeInstallation = changeInstallation;
        m_values.changeSvp = changeSvp != 0;
        for (const std::string& path : paths)
            chosen.AddFileByTime(path);
        m_values.files.reset();
        if (!chosen.IsEmpty())
            m_values.files = std::move(chosen);
    }
    if (m_values.files) {
        SetMode(kReplay);
        UpdateControls();
        m_ok->setFocus();
    } else {
        SetMode(m_values.installedChannels > 0 ? kNormal : kReplay);
        UpdateControls();
    }
}

void COperationDialog::OnBrowse()
{
    app::CFolderDlg dialog(this);
    const std::string title = app::Strings().Load(app::ids::SELECT_DIRECTORY);
    dialog.title = title.empty() ? "Unknown Title" : title;
    dialog.allowCreation = true;
    dialog.startPath = m_links.GetHistoryPath();
    dialog.selectedPath = dialog.startPath;
    if (dialog.exec() == QDialog::Accepted)
        m_links.SetHistoryPath(dialog.selectedPath);
}

void COperationDialog::OnSettings()
{
    CSimplePingerSettingsDialog dialog(m_values.simplePingerInterval, m_values.simplePingerPulseLength,
                                       m_values.simplePingerSource, m_values.channelNames, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_values.simplePingerInterval = dialog.Interval();
    m_values.simplePingerPulseLength = dialog.PulseLength();
    m_values.simplePingerSource = dialog.Source();
}

void COperationDialog::accept()
{
    double interval = 0.0;
    if (!widgets::CheckRange(m_interval, 0.0, SOperationDialogValues::kLargestValue, interval))
        return;
    m_values.interval = interval;
    m_values.mode = Mode();
    m_values.rate = Rate();
    m_values.externalTrigger = m_externalTrigger->isChecked();
    m_values.history = m_history->isChecked();
    m_values.synchronise = m_synchronise->isChecked();
    m_values.sequence = m_sequence->isChecked();
    m_values.hbx = m_hbx->isChecked();
    m_values.simplePinger = m_simplePinger->isChecked();
    QDialog::accept();
}
