#include "program/ProgramEngineExtras.h"

#include "base/AppIds.h"
#include "engine/Channel.h"
#include "program/Program.h"
#include "sounder/EchoSounder.h"

namespace app {

bool CProgramEngineExtras::HasExtra(unsigned commandId)
{
    return commandId == cmd::SECOND_LAYER;
}

void CProgramEngineExtras::SetSecondLayer(bool on)
{
    CEchoSounder* sounder = m_program.Operation().GetEchoSounder();
    if (!sounder)
        return;
    for (int i = 0; i < sounder->GetChannelCount(); ++i)
        if (CChannel* c = sounder->GetChannel(i))
            c->SetSecondLayer(on);
}

}  // namespace app
