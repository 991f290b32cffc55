// F1 in a dialog opens the dialog's help page: dialogs are named
// "dialog_<resource id>", and the help context is 0x20000 plus that id.
#pragma once

#include <QObject>

#include <functional>

namespace app {

class CHelpKeyFilter : public QObject
{
    Q_OBJECT
public:
    explicit CHelpKeyFilter(std::function<void(unsigned context)> showHelp, QObject* parent = nullptr)
        : QObject(parent), m_showHelp(std::move(showHelp))
    {}
    // The help context of a widget's dialog; 0 when it has none.
    static unsigned ContextOf(const QObject* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(unsigned)> m_showHelp;
};

}  // namespace app
