// Draws the status bar of the main frame from CStatus: the main row of
// panes and, when the frame is narrow, the second row beneath it.
#pragma once

#include "base/Status.h"

#include <QLabel>
#include <QWidget>

#include <functional>
#include <map>
#include <vector>

class QHBoxLayout;

namespace app {

class CStatusBarWidget : public QWidget, public IStatusOwner
{
    Q_OBJECT
public:
    CStatusBarWidget(CStatus& status, QWidget* parent = nullptr);

    void ShowStatusText(const std::string& text) override;
    void ShowAlarmText(const std::string& text) override;
    void PanesChanged() override;

    // Primary click on a pane (pane id), and secondary click.
    std::function<void(unsigned paneId)> onPaneClicked;

    QLabel* PaneLabel(unsigned id) const;
    QLabel* PrintIndicator() const { return m_print; }
    bool SecondRowVisible() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Rebuild();

    CStatus& m_status;
    QWidget* m_mainRow;
    QWidget* m_secondRow;
    QHBoxLayout* m_mainLayout;
    QHBoxLayout* m_secondLayout;
    QLabel* m_alarm;
    QLabel* m_print;
    std::map<unsigned, QLabel*> m_labels;
    std::string m_messageText;
    std::vector<std::pair<unsigned, bool>> m_placement;  // pane and row, as laid out
    bool m_activityPhase = false;
};

}  // namespace app
