#include "display/DisplayContext.h"

#include "base/AppIds.h"
#include "base/Status.h"
#include "display/AbstractESDoc.h"
#include "platform/MessageDispatcher.h"

void IViewUpdates::UpdateViews(CAbstractESDoc& document)
{
    // Posted: the ping-data thread never waits for a busy user-interface
    // thread, and the queue keeps the documents' updates in ping order.
    if (document.ReserveUpdate())
        PostMessage(GetMainWindow(), app::WM_ES_UPDATEALLVIEWS, 0, 0, document.MakeUpdatePayload());
}

void IEchogramHost::ChannelStatusChanged()
{
    PostMessage(GetMainWindow(), app::WM_ES_UPDATECHANNELSTATUS, 0, 0);
}

void IDepthHost::StatusMessage(unsigned stringId)
{
    app::CStatus::PostStatusMessage(stringId);
}

void IDepthHost::Alarm(unsigned stringId)
{
    app::CStatus::PostAlarm(stringId);
}

// The defaults hold no state: one of each serves every context without the role.
IViewUpdates& SDisplayContext::ViewUpdates() const
{
    static IViewUpdates defaults;
    return viewUpdates ? *viewUpdates : defaults;
}

IEchogramHost& SDisplayContext::EchogramHost() const
{
    static IEchogramHost defaults;
    return echogramHost ? *echogramHost : defaults;
}

IExternalDepthExchange& SDisplayContext::ExternalDepth() const
{
    static IExternalDepthExchange defaults;
    return externalDepth ? *externalDepth : defaults;
}

IDepthHost& SDisplayContext::DepthHost() const
{
    static IDepthHost defaults;
    return depthHost ? *depthHost : defaults;
}
