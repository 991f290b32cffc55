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

void IEchogramMarkSources::GetNetSensors(int states[INetSensors::kSensors], double depths[INetSensors::kSensors]) const
{
    for (int i = 0; i < INetSensors::kSensors; ++i) {
        states[i] = INetSensors::kNone;
        depths[i] = 0.0;
    }
}

const IEchogramMarkSources& SViewContext::MarkSources() const
{
    static const IEchogramMarkSources defaults;
    return markSources ? *markSources : defaults;
}

IEchogramViewEnvironment& SViewContext::EchogramEnvironment() const
{
    static IEchogramViewEnvironment defaults;
    return echogramEnvironment ? *echogramEnvironment : defaults;
}
