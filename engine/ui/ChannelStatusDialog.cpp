#include "engine/ui/ChannelStatusDialog.h"

#include "platform/NumberText.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct SRow
{
    const char* name;  // object name of the field, with the column number after it
    const char* label;
    const char* unit;
};
constexpr SRow kRowNames[] = {
    {"name", "", ""},
    {"draught", "Draught", "m"},
    {"pulselength", "Pulselength", "ms"},
    {"power", "Power", "W"},
    {"mindepth", "Min Depth", "m"},
    {"maxdepth", "Max Depth", "m"},
    {"backstep", "BackStep", "dB"},
    {"tvg", "TVG type", ""},
};

constexpr int kTvg20 = 3, kTvg30 = 4;

QString Text(const std::string& s)
{
    return QString::fromStdString(s);
}

// "%d" of a value truncated; a recorded value beyond any whole number shows
// as its limit.
std::string Whole(double v)
{
    if (!std::isfinite(v))
        return "0";
    const double limited =
        std::clamp(v, double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max()));
    return CNumberText::Format("%d", static_cast<int>(limited));
}

}  // namespace

CChannelStatusDialog::CChannelStatusDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QString::number(kTemplate));
    setWindowTitle("Channel Status");
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(12);
    for (int r = 0; r < kRows; ++r) {
        grid->addWidget(new QLabel(kRowNames[r].label), r, 0);
        grid->addWidget(new QLabel(kRowNames[r].unit), r, 1);
        for (int k = 0; k < kColumns; ++k) {
            auto* field = new QLabel;
            field->setObjectName(QString("%1_%2").arg(kRowNames[r].name).arg(k + 1));
            field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            field->setMinimumWidth(70);
            if (r > 0)
                field->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            grid->addWidget(field, r, k + 2);
            m_fields[std::size_t(k)][std::size_t(r)] = field;
        }
    }
}

QLabel* CChannelStatusDialog::Field(const char* row, int column) const
{
    return findChild<QLabel*>(QString("%1_%2").arg(row).arg(column));
}

void CChannelStatusDialog::SetChannelIds(const std::array<std::string, kChannels>& shortIds, bool replaying)
{
    m_ids = shortIds;
    m_replaying = replaying;
}

void CChannelStatusDialog::SetChannelCount(int count)
{
    // Every refresh comes here: only a new count changes the window, and
    // then only its width, so a height the operator set stays.
    if (count == m_count && m_laidOut)
        return;
    m_count = count;
    m_laidOut = true;
    // A column for each channel shown, and the window only as wide as those.
    for (int k = 0; k < kColumns; ++k)
        for (QLabel* field : m_fields[std::size_t(k)])
            field->setVisible(k < count);
    const int keptHeight = isVisible() ? height() : 0;
    adjustSize();
    if (keptHeight > height())
        resize(width(), keptHeight);
}

void CChannelStatusDialog::SetChannel(int index, const CChannel::StatusValues& values)
{
    if (index >= 0 && index < kChannels)
        m_values[std::size_t(index)] = values;
}

void CChannelStatusDialog::Refresh()
{
    // More channels than columns: the first four are shown.
    for (int k = std::min(m_count, kColumns); k >= 1; --k)
        UpdateOneChannel(k);
}

void CChannelStatusDialog::UpdateOneChannel(int column)
{
    const std::size_t c = std::size_t(column - 1);
    const CChannel::StatusValues& v = m_values[c];
    std::string name = m_ids[c];
    // Replayed channels' ids may or may not carry the word.
    const std::string replay = "Replay ";
    if (m_replaying && name.rfind(replay, 0) == 0)
        name.erase(0, replay.size());
    const auto& f = m_fields[c];
    f[0]->setText(Text(name));
    f[1]->setText(Text(CNumberText::Format(" %4.1f", v.Draught)));
    f[2]->setText(Text(CNumberText::Format("%5.3f", v.PulseLength * 1000.0)));
    f[3]->setText(Text(Whole(v.Power)));
    f[4]->setText(Text(CNumberText::Format("%.1f", v.MinimumDepth)));
    f[5]->setText(Text(CNumberText::Format("%.1f", v.MaximumDepth)));
    f[6]->setText(Text(Whole(v.BackStep)));
    const bool first = column == 1;
    f[7]->setText(v.TvgType == kTvg20   ? (first ? "20logR" : "20 log R")
                  : v.TvgType == kTvg30 ? (first ? "30logR" : "30 log R")
                                        : "No TVG");
}

void CChannelStatusDialog::closeEvent(QCloseEvent* event)
{
    QDialog::closeEvent(event);
    Q_EMIT closed();
}
