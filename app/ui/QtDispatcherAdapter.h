// Delivers the message dispatcher's messages and timers of the
// user-interface thread on the Qt event loop: the dispatcher's wake hook
// schedules a pass, and a single-shot timer waits for the next dispatcher
// timer.
#pragma once

#include <QObject>
#include <QTimer>

#include <atomic>

namespace app {

class CQtDispatcherAdapter : public QObject
{
    Q_OBJECT
public:
    // Installs itself as the wake hook of the calling thread.
    explicit CQtDispatcherAdapter(QObject* parent = nullptr);
    ~CQtDispatcherAdapter() override;

    // Delivers what is due now; also run by the wake hook.
    Q_INVOKABLE void ProcessNow();

private:
    QTimer m_timer;
    std::atomic<bool> m_scheduled{false};
};

}  // namespace app
