#include "display/ui/ViewContext.h"

#include <QGuiApplication>
#include <QScreen>

int IViewHost::GetDisplayDepth() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 24;
}

IViewHost& SViewContext::Host() const
{
    // The defaults hold no state: one serves every context without a host.
    static IViewHost defaults;
    return host ? *host : defaults;
}
