#include "app/ui/HelpKeyFilter.h"

#include "app/Help.h"

#include <QDialog>
#include <QKeyEvent>
#include <QWidget>

namespace app {

unsigned CHelpKeyFilter::ContextOf(const QObject* object)
{
    for (const QObject* o = object; o; o = o->parent()) {
        if (!qobject_cast<const QDialog*>(o))
            continue;
        const QString name = o->objectName();
        if (!name.startsWith("dialog_"))
            return 0;
        bool ok = false;
        const unsigned id = name.mid(7).toUInt(&ok);
        return ok ? CHelp::kContextBase + id : 0;
    }
    return 0;
}

bool CHelpKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        if (const unsigned context = ContextOf(watched)) {
            if (m_showHelp)
                m_showHelp(context);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace app
