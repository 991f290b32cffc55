#include "app/ui/QtDispatcherAdapter.h"

#include "platform/MessageDispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <chrono>

namespace app {

CQtDispatcherAdapter::CQtDispatcherAdapter(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CQtDispatcherAdapter::ProcessNow);
    // The hook runs on any thread: it only queues a call onto ours, once
    // until that call has run.
    ::SetWakeHook([this] {
        if (!m_scheduled.exchange(true))
            QMetaObject::invokeMethod(this, "ProcessNow", Qt::QueuedConnection);
    });
    QMetaObject::invokeMethod(this, "ProcessNow", Qt::QueuedConnection);
}

CQtDispatcherAdapter::~CQtDispatcherAdapter()
{
    ::SetWakeHook({});
}

void CQtDispatcherAdapter::ProcessNow()
{
    m_scheduled = false;
    const PendingResult result = ::ProcessPending();
    if (result.quit) {
        QCoreApplication::exit(result.exitCode);
        return;
    }
    if (result.nextTimer) {
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(*result.nextTimer - std::chrono::steady_clock::now());
        m_timer.start(static_cast<int>(std::max<long long>(0, wait.count())));
    } else {
        m_timer.stop();
    }
}

}  // namespace app
