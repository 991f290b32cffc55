// The program's command targets, in the order in which a menu command and
// its update are offered to them before the application object itself: the
// printing document, operation control, the transceiver installation, the
// environment, the post-processing, network and raw-data outputs, the
// running echo sounder (its recorder, the annotations, its transceivers and
// itself), and help. A target the program does not have yet handles
// nothing, so that its commands are greyed.
#pragma once

#include "base/CommandTarget.h"

class QWidget;

namespace app {

class CProgram;

class CProgramCommands final : public ICommandTarget
{
public:
    explicit CProgramCommands(CProgram& program) : m_program(program) {}

    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

private:
    // Operation control: "Operation...", "Layout...", "Factory Settings",
    // "New User", "Load User", and the replay bar's "Play" and "Pause".
    bool OperationCommand(unsigned id);
    bool OperationUpdate(CCmdUI& ui);
    void OnLayout();
    void OnFactorySettings();
    void OnUser(bool create);
    // The transceiver installation: "Transceiver..." asks how, and the
    // installation runs as inspected (32857) or modified (32858, also the
    // restart after a profile change).
    bool InstallationCommand(unsigned id);
    bool InstallationUpdate(CCmdUI& ui);
    // The environment: "Environment..." while its dialog exists.
    bool EnvironmentCommand(unsigned id);
    bool EnvironmentUpdate(CCmdUI& ui);
    // The post-processing and raw-data outputs: their dialogs' commands, the
    // application's commands of those objects, offered here in their place
    // before the sounder's (the network output has no command).
    bool OutputCommand(unsigned id);
    bool OutputUpdate(CCmdUI& ui);
    // The running sounder.
    bool SounderCommand(unsigned id);
    bool SounderUpdate(CCmdUI& ui);
    QWidget* DialogParent() const;

    CProgram& m_program;
};

}  // namespace app
