#include "recording/ui/ChangeInstall.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/DialogFields.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

using widgets::WithId;

namespace zv::recording {

namespace {

// Control ids of channel k's draught, X, Y and Z, and of its name label.
constexpr int kChannelIds[4][4] = {
    {1480, 1461, 1465, 1469}, {1481, 1462, 1466, 1470}, {1482, 1463, 1467, 1471}, {1483, 1464, 1468, 1472}};
constexpr int kNameIds[4] = {1474, 1475, 1476, 1477};
constexpr int kMotionIds[3] = {1458, 1459, 1460};
constexpr int kFieldWidth = 70;
constexpr int kColumnGap = 20;

QLineEdit* Field(int id, double value)
{
    auto* edit = WithId(new QLineEdit(widgets::FormatNumber(value, 2)), id);
    edit->setFixedWidth(kFieldWidth);
    return edit;
}

}  // namespace

CChangeInstall::CChangeInstall(const SReplayInstallation& block, int applyHeave, int reprocess, int applyAll,
                               QWidget* parent)
    : QDialog(parent),
      m_block(block),
      m_applyHeave(applyHeave),
      m_reprocess(reprocess),
      m_applyAll(applyAll),
      m_applyHeaveBox(WithId(new QCheckBox("Apply Heave"), 1479)),
      m_reprocessBox(WithId(new QCheckBox("Reprocess Heave"), 1478)),
      m_applyAllBox(WithId(new QCheckBox("Apply to all files"), 1485))
{
    setObjectName(QString::number(kTemplate));
    setWindowTitle("Reprocess Heave");
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(kColumnGap);
    const char* rows[] = {"Draught", "X (along)", "Y (athwart)", "Z (down)"};
    grid->addWidget(WithId(new QLabel("Motion"), 1473), 0, 1);
    for (int r = 0; r < 4; ++r)
        grid->addWidget(r == 0 ? WithId(new QLabel(rows[r]), 1484) : new QLabel(rows[r]), r + 1, 0);
    for (int i = 0; i < 3; ++i) {
        const double v = i == 0 ? m_block.motionX : i == 1 ? m_block.motionY : m_block.motionZ;
        m_motion[std::size_t(i)] = Field(kMotionIds[i], v);
        grid->addWidget(m_motion[std::size_t(i)], i + 2, 1);
    }
    const int count = m_block.channelCount;
    for (int k = 0; k < kColumns; ++k) {
        const SReplayInstallation::SChannel& ch = m_block.channels[k];
        auto* name = WithId(new QLabel(QString::fromStdString(ch.name)), kNameIds[k]);
        name->setFixedWidth(kFieldWidth);
        grid->addWidget(name, 0, k + 2);
        const double values[4] = {ch.draught, ch.x, ch.y, ch.z};
        auto& fields = m_channel[std::size_t(k)];
        for (int r = 0; r < 4; ++r) {
            fields[std::size_t(r)] = Field(kChannelIds[k][r], values[r]);
            grid->addWidget(fields[std::size_t(r)], r + 1, k + 2);
        }
        // A column for each replayed channel only; the window is as much
        // narrower as the columns it leaves out.
        if (k >= count) {
            name->hide();
            for (QLineEdit* f : fields)
                f->hide();
        }
    }
    layout->addLayout(grid);
    m_applyHeaveBox->setChecked(m_applyHeave != 0);
    m_reprocessBox->setChecked(m_reprocess != 0);
    m_applyAllBox->setChecked(m_applyAll != 0);
    for (QCheckBox* box : {m_applyHeaveBox, m_reprocessBox, m_applyAllBox})
        layout->addWidget(box);
    layout->addWidget(widgets::StandardButtons(this, false));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CChangeInstall::accept()
{
    double motion[3];
    for (int i = 0; i < 3; ++i)
        if (!widgets::TakeAnyDouble(m_motion[std::size_t(i)], motion[i]))
            return;
    double channels[kColumns][4] = {};
    for (int k = 0; k < kColumns; ++k)
        for (int r = 0; r < 4; ++r)
            if (!widgets::TakeAnyDouble(m_channel[std::size_t(k)][std::size_t(r)], channels[k][r]))
                return;
    m_block.motionX = motion[0];
    m_block.motionY = motion[1];
    m_block.motionZ = motion[2];
    for (int k = 0; k < kColumns; ++k) {
        SReplayInstallation::SChannel& ch = m_block.channels[k];
        ch.draught = channels[k][0];
        ch.x = channels[k][1];
        ch.y = channels[k][2];
        ch.z = channels[k][3];
    }
    m_applyHeave = m_applyHeaveBox->isChecked() ? 1 : 0;
    m_reprocess = m_reprocessBox->isChecked() ? 1 : 0;
    m_applyAll = m_applyAllBox->isChecked() ? 1 : 0;
    QDialog::accept();
}

}  // namespace zv::recording
