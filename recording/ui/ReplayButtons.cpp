#include "recording/ui/ReplayButtons.h"

#include "app/widgets/DialogExchange.h"
#include "base/AppIds.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"
#include "platform/NumberText.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

using widgets::WithId;

namespace zv::recording {

namespace {

constexpr int kIconSize = 24;

QIcon Shown(const QIcon& icon, bool on)
{
    return on ? icon : QIcon(icon.pixmap(kIconSize, QIcon::Disabled));
}

// A round red mark: recording.
QIcon RecIcon()
{
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 0, 0));
    painter.drawEllipse(QRectF(4, 4, kIconSize - 8, kIconSize - 8));
    return QIcon(pixmap);
}

QString TimeOfDay(FileTime time)
{
    SYSTEMTIME st{};
    if (time == 0 || !CFileTime::ToLocalSystemTime(time, st))
        return {};
    return QString::fromStdString(
        CNumberText::Format("%02u:%02u:%02u", unsigned(st.wHour), unsigned(st.wMinute), unsigned(st.wSecond)));
}

void PostToFrame(unsigned command)
{
    ::PostMessage(::GetMainWindow(), WM_COMMAND, command, 0);
}

QToolButton* Button(int id, const QString& text)
{
    auto* button = WithId(new QToolButton, id);
    button->setText(text);
    button->setToolTip(text);
    button->setIconSize(QSize(kIconSize, kIconSize));
    return button;
}

}  // namespace

CReplayButtons::CReplayButtons(QWidget* parent)
    : QDialog(parent),
      m_play(Button(1486, "Play")),
      m_pause(Button(1487, "Pause")),
      m_step(Button(1488, "Step")),
      m_recButton(Button(1989, "REC")),
      m_slider(WithId(new QSlider(Qt::Horizontal), 1503)),
      m_start(WithId(new QLabel, 1513)),
      m_stop(WithId(new QLabel, 1514)),
      m_current(WithId(new QLabel, 1515)),
      m_fileName(WithId(new QLabel, 1516))
{
    setObjectName(QString::number(kTemplate));
    setWindowTitle("Replay Control");
    auto* grid = new QGridLayout(this);
    auto* buttons = new QHBoxLayout;
    for (QToolButton* b : {m_play, m_pause, m_step, m_recButton})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(m_fileName);
    grid->addLayout(buttons, 0, 0, 1, 3);
    grid->addWidget(m_start, 1, 0);
    grid->addWidget(m_current, 1, 1, Qt::AlignHCenter);
    grid->addWidget(m_stop, 1, 2, Qt::AlignRight);
    grid->addWidget(m_slider, 2, 0, 1, 3);
    m_slider->setRange(0, CReplayReader::kPositions - 1);
    m_slider->setValue(0);
    m_slider->setMinimumWidth(300);

    connect(m_play, &QToolButton::clicked, this, &CReplayButtons::OnPlay);
    connect(m_pause, &QToolButton::clicked, this, &CReplayButtons::OnPause);
    connect(m_step, &QToolButton::clicked, this, &CReplayButtons::OnStep);
    connect(m_recButton, &QToolButton::clicked, this, &CReplayButtons::OnRec);
    connect(m_slider, &QSlider::sliderMoved, this, [this](int position) {
        m_dragging = true;
        SetCurrentTime(position, false);
    });
    connect(m_slider, &QSlider::sliderReleased, this, [this] {
        Q_EMIT positionRequested(m_slider->value());
        m_dragging = false;
    });
    ShowPlayState();
    SetRec(false);
}

void CReplayButtons::ShowPlayState()
{
    const QStyle* s = style();
    m_play->setIcon(Shown(s->standardIcon(QStyle::SP_MediaPlay), !m_paused));
    m_pause->setIcon(Shown(s->standardIcon(QStyle::SP_MediaPause), m_paused));
    m_step->setIcon(Shown(s->standardIcon(QStyle::SP_MediaSkipForward), m_paused));
}

void CReplayButtons::SetFile(FileTime start, FileTime stop, const std::string& path)
{
    m_start->setText(TimeOfDay(start));
    m_stop->setText(TimeOfDay(stop));
    const QString file = QString::fromStdString(path);
    m_fileName->setText(QFileInfo(file).fileName());
    m_fileName->setToolTip(file);
}

void CReplayButtons::CopyReplayTable(const std::array<FileTime, CReplayReader::kPositions>& times)
{
    m_times = times;
}

void CReplayButtons::SetCurrentTime(int position, bool fromReplay)
{
    if (m_dragging && fromReplay)
        return;
    const int index = std::clamp(position, 0, CReplayReader::kPositions - 1);
    m_slider->setValue(index);
    m_current->setText(TimeOfDay(m_times[std::size_t(index)]));
}

void CReplayButtons::SetRec(bool on)
{
    m_rec = on;
    m_recButton->setIcon(Shown(RecIcon(), on));
    // The extract takes the pings as they come: no seeking meanwhile.
    m_slider->setEnabled(!on);
}

void CReplayButtons::OnPlay()
{
    Pace(false);
}

void CReplayButtons::OnPause()
{
    Pace(true);
}

void CReplayButtons::Pace(bool paused)
{
    m_paused = paused;
    ShowPlayState();
    PostToFrame(paused ? app::cmd::PAUSE : app::cmd::PLAY);
}

void CReplayButtons::OnStep()
{
    PostToFrame(app::cmd::STEP);
}

void CReplayButtons::OnRec()
{
    PostToFrame(app::cmd::REPLAY_EXTRACT);
    SetRec(!m_rec);
}

void CReplayButtons::closeEvent(QCloseEvent* event)
{
    // Closed, the bar only hides: it keeps the file's times for when it is
    // shown again.
    hide();
    event->ignore();
}

}  // namespace zv::recording
