#include "program/ProgramCommands.h"

#include "app/ui/FactorySettingsDialog.h"
#include "app/ui/LayoutDialog.h"
#include "app/ui/MainFrame.h"
#include "app/widgets/FolderDlg.h"
#include "program/Program.h"
#include "sensors/ui/AnnotationDialog.h"
#include "transceivers/ui/TrInstModeDialog.h"

#include <QDir>

namespace app {

bool CProgramCommands::OnCommand(unsigned id)
{
    // Of the printing document nothing exists yet; the network output has
    // no menu command; help is the application's.
    return OperationCommand(id) || InstallationCommand(id) || EnvironmentCommand(id) || OutputCommand(id) ||
           SounderCommand(id);
}

bool CProgramCommands::OnUpdateCommand(CCmdUI& ui)
{
    return OperationUpdate(ui) || InstallationUpdate(ui) || EnvironmentUpdate(ui) || OutputUpdate(ui) ||
           SounderUpdate(ui);
}

QWidget* CProgramCommands::DialogParent() const
{
    return m_program.Frame();
}

// ---------------------------------------------------------------------------
// Operation control

bool CProgramCommands::OperationCommand(unsigned id)
{
    switch (id) {
    case cmd::LAYOUT:
        OnLayout();
        return true;
    case cmd::FACTORY_SETTINGS:
        OnFactorySettings();
        return true;
    case cmd::NEW_USER:
        OnUser(true);
        return true;
    case cmd::LOAD_USER:
        OnUser(false);
        return true;
    default:
        return m_program.Operation().OnCommand(id);
    }
}

bool CProgramCommands::OperationUpdate(CCmdUI& ui)
{
    switch (ui.id) {
    case cmd::OPERATION:
    case cmd::LAYOUT:
    case cmd::FACTORY_SETTINGS:
    case cmd::NEW_USER:
    case cmd::LOAD_USER:
    case cmd::PLAY:
    case cmd::PAUSE:
        return true;
    default:
        return false;
    }
}

void CProgramCommands::OnLayout()
{
    COperationControl& operation = m_program.Operation();
    std::array<COperationControl::ChannelDisplay, 8> inForce;
    int arrangement = 0;
    int extra = 0;
    operation.GetChannelDisplays(inForce, arrangement, extra);
    ChannelDisplayTable displays;
    for (std::size_t n = 0; n < displays.size(); ++n)
        displays[n] = {inForce[n].bExists != 0, inForce[n].bShown != 0, inForce[n].sShortChannelID,
                       inForce[n].sLongChannelID};
    CLayoutDialog dialog(displays, arrangement, DialogParent());
    if (dialog.exec() == QDialog::Accepted)
        operation.ApplyLayout(dialog.Arrangement(), dialog.Checked());
}

void CProgramCommands::OnFactorySettings()
{
    CFactorySettingsDialog dialog(DialogParent());
    if (dialog.exec() == QDialog::Accepted)
        COperationControl::PostFactorySettings();
}

void CProgramCommands::OnUser(bool create)
{
    COperationControl& operation = m_program.Operation();
    CFolderDlg dialog(DialogParent());
    dialog.title = create ? "New User" : "Load User";
    dialog.labelText = "Create User";
    dialog.buttonText = "New User";
    dialog.allowCreation = create;
    dialog.startPath = operation.GetProfilesFolder();
    dialog.selectedPath = dialog.startPath;
    QDir().mkpath(QString::fromStdString(dialog.startPath));
    if (dialog.exec() == QDialog::Accepted)
        operation.SelectUserProfile(dialog.selectedPath);
}

// ---------------------------------------------------------------------------
// The transceiver installation

bool CProgramCommands::InstallationCommand(unsigned id)
{
    CTransceiverInstallation& installation = m_program.Installation();
    switch (id) {
    case cmd::TRANSCEIVER: {
        CTrInstModeDialog dialog(DialogParent());
        dialog.exec();
        return true;
    }
    case cmd::INSPECT_INSTALLATION:
        installation.RunInstallation(0);
        return true;
    case cmd::RESTART_FROM_INSTALLATION:
        // The stop before it deleted the sounder; it runs again on what is
        // installed now.
        installation.RunInstallation(1);
        if (installation.GetTransceiverCount() > 0)
            COperationControl::PostRestart();
        return true;
    default:
        return false;
    }
}

bool CProgramCommands::InstallationUpdate(CCmdUI& ui)
{
    return ui.id == cmd::TRANSCEIVER || ui.id == cmd::INSPECT_INSTALLATION || ui.id == cmd::RESTART_FROM_INSTALLATION;
}

// ---------------------------------------------------------------------------
// Environment

bool CProgramCommands::EnvironmentCommand(unsigned id)
{
    if (id != cmd::ENVIRONMENT)
        return false;
    if (m_program.Environment().HasDialog())
        m_program.Environment().OnEnvironment();
    return true;
}

bool CProgramCommands::EnvironmentUpdate(CCmdUI& ui)
{
    if (ui.id != cmd::ENVIRONMENT)
        return false;
    CEnvironment& environment = m_program.Environment();
    ui.Enable(environment.HasDialog() &&
              environment.IsEnvironmentCommandEnabled(m_program.Application().IsReplaying()) != 0);
    return true;
}

// ---------------------------------------------------------------------------
// The post-processing and raw-data outputs

namespace {
bool IsOutputCommand(unsigned id)
{
    return id == cmd::LX750 || id == cmd::RAW_DATA;
}
}  // namespace

bool CProgramCommands::OutputCommand(unsigned id)
{
    return IsOutputCommand(id) && m_program.Application().OnSensorCommand(id);
}

bool CProgramCommands::OutputUpdate(CCmdUI& ui)
{
    return IsOutputCommand(ui.id) && m_program.Application().OnUpdateSensorCommand(ui);
}

// ---------------------------------------------------------------------------
// The running sounder

bool CProgramCommands::SounderCommand(unsigned id)
{
    CEchoSounder* sounder = m_program.Operation().GetEchoSounder();
    if (!sounder)
        return false;
    if (IPingRecorder* recorder = sounder->GetRecorder(); recorder && recorder->OnCommand(id))
        return true;
    switch (id) {
    case cmd::STORE:
        if (!m_program.Application().IsReplaying())
            m_program.SounderHost().OnStore();
        return true;
    case cmd::ECHOGRAM_STORAGE:
        m_program.SounderHost().OnEchogramStorage();
        return true;
    case cmd::EVENT_ANNOTATION:
        m_program.Annotation().OnEvent();
        return true;
    case cmd::ANNOTATION:
        if (!m_program.Application().IsReplaying())
            CAnnotationDialog::Run(m_program.Annotation(), DialogParent());
        return true;
    default:
        return sounder->OnCommand(id);
    }
}

bool CProgramCommands::SounderUpdate(CCmdUI& ui)
{
    CEchoSounder* sounder = m_program.Operation().GetEchoSounder();
    switch (ui.id) {
    case cmd::STORE:
    case cmd::ANNOTATION:
        ui.Enable(sounder && !m_program.Application().IsReplaying());
        return true;
    case cmd::ECHOGRAM_STORAGE:
        ui.Enable(sounder && sounder->GetRecorder());
        return true;
    default:
        return sounder && sounder->OnUpdateCommand(ui);
    }
}

}  // namespace app
