// "Replay Control" (dialog 259): the replayed file's start, stop and current
// time and its name, a slider through the file, and Play, Pause, Step and
// REC. The main frame makes it on demand and keeps it; the buttons post
// their commands to the main frame, and a slider released asks for a replay
// position, which the program hands to the replay that runs then.
#pragma once

#include "recording/DatagramFormat.h"
#include "recording/ReplayReader.h"

#include <QDialog>

#include <array>
#include <string>

class QLabel;
class QSlider;
class QToolButton;

namespace zv::recording {

class CReplayButtons : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 259;

    explicit CReplayButtons(QWidget* parent = nullptr);

    // The file's start and stop time (local time of day) and its name.
    void SetFile(FileTime start, FileTime stop, const std::string& path);
    void CopyReplayTable(const std::array<FileTime, CReplayReader::kPositions>& times);
    // Moves the slider to a replay position and shows its time. A position
    // from the replay waits while the operator drags the slider; the last
    // one (200, the file's end) shows the last time of the table.
    void SetCurrentTime(int position, bool fromReplay);
    // Whether the recorder stores the replayed pings (REC), as it says.
    void SetRec(bool on);
    bool IsRecOn() const { return m_rec; }

    // The buttons, as clicking them does.
    void OnPlay();
    void OnPause();
    void OnStep();
    void OnRec();

Q_SIGNALS:
    // The slider was let go at a position.
    void positionRequested(int position);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowPlayState();
    void Pace(bool paused);

    // Paused, Pause and Step show their icons as they are and Play greyed;
    // playing, the other way round.
    bool m_paused = false;
    bool m_dragging = false;
    bool m_rec = false;
    std::array<FileTime, CReplayReader::kPositions> m_times{};
    QToolButton* m_play;
    QToolButton* m_pause;
    QToolButton* m_step;
    QToolButton* m_recButton;
    QSlider* m_slider;
    QLabel* m_start;
    QLabel* m_stop;
    QLabel* m_current;
    QLabel* m_fileName;
};

}  // namespace zv::recording
