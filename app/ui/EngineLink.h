// Joins the application object to the engine: operation control and the
// transceiver installation are built here and reached by the application
// through its operation hooks, and operation control reaches the frame, the
// sensors and the power-off through its own hooks.
#pragma once

#include "app/Pelmaris.h"
#include "app/Skjerm.h"

#include <functional>
#include <memory>
#include <mutex>

class CEnvironment;
class CEchoSounder;
class IPingDocuments;
class IPingRecorder;
class COperationControl;
class CTransceiver;
class CTransceiverInstallation;
class CReplayFileList;
class CUnitSearchWait;

namespace zv::recording {
struct SStoreDialogValues;
class CReplayEnvironmentHost;
class CStore;
class CStoreStatusEvents;
}

namespace app {

class CMainFrame;
class CStandardESLayout;

class CEngineLink {
public:
    // Installs the hooks; call before CPelmaris::InitInstance.
    explicit CEngineLink(CPelmaris& app);
    ~CEngineLink();
    CEngineLink(const CEngineLink&) = delete;
    CEngineLink& operator=(const CEngineLink&) = delete;

    COperationControl& Operation() { return *m_operation; }
    CTransceiverInstallation& Installation() { return *m_installation; }
    CEnvironment& Environment() { return *m_environment; }
    // Runs f with the running sounder's recorder, under the lock that keeps
    // the recorder from going meanwhile; false (f not run) when there is none.
    bool WithRecorder(const std::function<void(zv::recording::CStore&)>& f);
    // The screen layout of the running sounder; null while none is shown.
    CStandardESLayout* Layout() const { return m_layout.get(); }
    // Makes the channel frames of a layout; the display installs it.
    FrameFactory frameFactory;
    // The recorder's settings dialog ("Store..."): edits the values, true on
    // OK. The program installs it; empty: the command does nothing.
    std::function<bool(zv::recording::SStoreDialogValues&)> storeDialog;
    // The display's document list of each new sounder; the program installs
    // it before InitInstance. Empty: pings reach no document.
    std::function<std::unique_ptr<IPingDocuments>()> createDocuments;

private:
    void Init();
    // The live transceiver of an installed unit by its type code; null for a
    // type this build cannot run, which refuses the start.
    std::unique_ptr<CTransceiver> CreateTransceiver(int type, int index, HKEY key);
    std::unique_ptr<CTransceiver> CreateReplay(const CReplayFileList* files);
    CMainFrame* Frame() const;
    class LinkedRecorder;
    void OnStore();
    std::unique_ptr<IPingRecorder> CreateRecorder(CEchoSounder& sounder, HKEY key, const std::string& sequenceFile);

    struct Commands : ICommandTarget {
        CEngineLink* link = nullptr;
        bool OnCommand(unsigned id) override;
        bool OnUpdateCommand(CCmdUI& ui) override;
    };

    CPelmaris& m_app;
    Commands m_commands;
    std::unique_ptr<CEnvironment> m_environment;
    std::unique_ptr<CTransceiverInstallation> m_installation;
    // Outlives every replay transceiver: operation control deletes the sounder
    // before this link goes.
    std::unique_ptr<zv::recording::CReplayEnvironmentHost> m_replayHost;
    // Outlives every recorder: its reports go here.
    std::unique_ptr<zv::recording::CStoreStatusEvents> m_storeEvents;
    // The recorder of the running sounder, for callers on any thread.
    std::mutex m_recorderLock;
    zv::recording::CStore* m_recorder = nullptr;
    HWND m_storeRequests = 0;
    std::size_t m_annotationSink = 0;
    std::size_t m_svpSink = 0;
    std::unique_ptr<CStandardESLayout> m_layout;
    // The search dialog of the network transceivers; outlives them, since
    // operation control deletes the sounder first.
    std::unique_ptr<CUnitSearchWait> m_unitSearch;
    std::unique_ptr<COperationControl> m_operation;
};

}  // namespace app
