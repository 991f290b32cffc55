#include "display/ui/ChannelFrameFactory.h"

#include "display/ui/ChannelFrame1.h"
#include "display/ui/ChannelFrame2.h"
#include "engine/Channel.h"

#include <QMdiArea>
#include <QPointer>

namespace {
// The layout's hold on a frame. The MDI area may take its windows down
// first when the program ends; the frame is then gone and not deleted twice.
class FrameHolder : public app::ILayoutFrame
{
public:
    explicit FrameHolder(CChannelFrameAbstract* frame) : m_frame(frame) {}
    ~FrameHolder() override { delete m_frame.data(); }
    bool SaveSettings() override { return m_frame && m_frame->SaveSettings(); }
    bool LoadSettings() override { return m_frame && m_frame->LoadSettings(); }
    void ArrangeViews() override
    {
        if (m_frame)
            m_frame->ArrangeViews();
    }
    void SetSharedMenu(unsigned menuId) override
    {
        if (m_frame)
            m_frame->SetSharedMenu(menuId);
    }
    void SetDefaults() override
    {
        if (m_frame)
            m_frame->SetDefaults();
    }

private:
    QPointer<CChannelFrameAbstract> m_frame;
};
}  // namespace

app::FrameFactory MakeChannelFrameFactory(ChannelFrameContext context)
{
    return [context](const app::FramePlacement& p) -> std::unique_ptr<app::ILayoutFrame> {
        CChannel* channel = context.channel ? context.channel(p.channelIndex) : nullptr;
        if (!channel)
            return nullptr;
        const int w = p.rect.width, h = p.rect.height;
        CChannelFrameAbstract* frame = nullptr;
        if (p.frameKind == 2)
            frame = new CChannelFrame2(w, h, context.frames);
        else
            frame = new CChannelFrame1(w, h, context.frames);
        auto holder = std::make_unique<FrameHolder>(frame);
        if (QMdiArea* area = context.area ? context.area() : nullptr)
            area->addSubWindow(frame);
        frame->setGeometry(p.rect.x, p.rect.y, w, h);
        if (!frame->OnCreateClient(w, h))
            return nullptr;
        frame->setWindowTitle("Name not set");
        frame->SetSharedMenu(p.menuId);
        // The channel goes in before the documents take pings, so no ping
        // thread ever meets a document half given its channel.
        const bool replaying = context.replaying && context.replaying();
        frame->SetChannel(channel, channel->GetChannelName(), channel->GetChannelName(), replaying);
        if (CESDocList* list = context.documents ? context.documents() : nullptr)
            frame->AttachDocuments(list);
        frame->show();
        if (context.frameMade)
            context.frameMade(*frame);
        return holder;
    };
}
