#include "app/Skjerm.h"

#include "app/SounderModel.h"

namespace app {

CSkjerm::CSkjerm(SounderModel model) : m_menuId(ModelInfo(model).mainMenu) {}

CSkjerm::~CSkjerm()
{
    // A layout dropped without DeleteLayout still saves what its frames hold.
    if (!m_frames.empty())
        DeleteLayout();
}

int CSkjerm::DeleteLayout()
{
    if (onResetHistory)
        onResetHistory();
    for (auto& frame : m_frames)
        frame->SaveSettings();
    m_frames.clear();
    if (onDisplayedChannelCount)
        onDisplayedChannelCount(0);
    return 0;
}

bool CSkjerm::SetFrameMenus()
{
    for (auto& frame : m_frames)
        frame->SetSharedMenu(m_menuId);
    return true;
}

bool CSkjerm::LoadFrames()
{
    bool all = true;
    for (auto& frame : m_frames)
        all = frame->LoadSettings() && all;
    return all;
}

bool CSkjerm::SaveFrames()
{
    bool all = true;
    for (auto& frame : m_frames)
        all = frame->SaveSettings() && all;  // every frame is tried
    return all;
}

void CSkjerm::RefreshFrames()
{
    for (auto& frame : m_frames)
        frame->ArrangeViews();
}

}  // namespace app
