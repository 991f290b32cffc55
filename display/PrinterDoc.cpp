#include "display/PrinterDoc.h"

#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "display/HistoryFolder.h"
#include "display/PrintedEchogram.h"
#include "platform/MessageDispatcher.h"
#include "platform/Paths.h"

#include <algorithm>
#include <filesystem>

namespace {

// The ten values in the order they are written.
struct SValue
{
    const char* name;
    DWORD CPrinterDoc::SSettings::*field;
};
constexpr SValue kValues[] = {
    {"Status", &CPrinterDoc::SSettings::status},
    {"Navigation", &CPrinterDoc::SSettings::navigation},
    {"Annotation", &CPrinterDoc::SSettings::annotation},
    {"ScaleAnnotation", &CPrinterDoc::SSettings::scaleAnnotation},
    {"SounderDetails", &CPrinterDoc::SSettings::sounderDetails},
    {"PrinterOn", &CPrinterDoc::SSettings::printerOn},
    {"OrientationLandscape", &CPrinterDoc::SSettings::orientationLandscape},
    {"NavigationTg", &CPrinterDoc::SSettings::navigationTg},
    {"TextBackground", &CPrinterDoc::SSettings::textBackground},
    {"PrinterEchogramSpeed", &CPrinterDoc::SSettings::printerEchogramSpeed},
};

std::string WithSeparator(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

}  // namespace

CPrinterDoc::CPrinterDoc(const SDisplayContext& context) : m_context(context) {}

CPrinterDoc::~CPrinterDoc()
{
    EndHandOff();
    DetachFromSource();
    // The pages given to the worker are written while the document is whole.
    m_worker.WaitIdle();
}

void CPrinterDoc::SetHistoryPathSource(std::function<std::string()> source)
{
    m_historyPath = std::move(source);
}

void CPrinterDoc::AddPageView(IPrinterPageView* view)
{
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        m_views.push_back(view);
    RefreshJobs();
}

void CPrinterDoc::RemovePageView(IPrinterPageView* view)
{
    std::erase(m_views, view);
    RefreshJobs();
}

void CPrinterDoc::RefreshJobs()
{
    m_jobsRunning.store(std::any_of(m_views.begin(), m_views.end(),
                                    [](const IPrinterPageView* v) { return v->HasPaperJob() || v->HasHistoryJob(); }));
}

std::vector<IPrinterPageView*> CPrinterDoc::Views() const
{
    return m_views;
}

// ---------------------------------------------------------------------------
// Settings

void CPrinterDoc::ResetSettings()
{
    m_settings = SSettings{};
    PublishSwitches();
    WriteSettings();
}

void CPrinterDoc::WriteSettings()
{
    const HKEY root = m_root ? m_root : CRegistrySupport::UserRootKey();
    if (!root)
        return;
    CRegistrySupport reg;
    for (const SValue& v : kValues)
        reg.SetDword(root, kKey, v.name, m_settings.*(v.field));
}

void CPrinterDoc::SetDefaults()
{
    const HKEY root = m_root ? m_root : CRegistrySupport::UserRootKey();
    m_settings = SSettings{};
    if (root) {
        CRegistrySupport reg;
        // A missing value is written with its default; one that cannot be
        // read keeps it.
        for (const SValue& v : kValues) {
            DWORD value = m_settings.*(v.field);
            if (reg.GetDword(root, kKey, v.name, value, TRUE))
                m_settings.*(v.field) = value;
            if (v.field == &SSettings::orientationLandscape)
                GetPrinterDefaults(m_settings.orientationLandscape != 0);
        }
    }
    PublishSwitches();
    RefreshHistoryFolder();
    if (m_settings.printerOn && refreshMainFrame)
        refreshMainFrame();
}

void CPrinterDoc::PublishSwitches()
{
    m_speed.store(m_settings.printerEchogramSpeed);
    m_statusOn.store(m_settings.status != 0);
    m_annotationOn.store(m_settings.annotation != 0);
    m_navigationOn.store(m_settings.navigation != 0);
    m_navigationTg.store(static_cast<int>(m_settings.navigationTg));
}

CPrinterDoc::SSettings CPrinterDoc::GetSettings() const
{
    return m_settings;
}

int CPrinterDoc::SpeedDivisor() const
{
    const DWORD speed = m_speed.load();
    return kSpeeds[speed < kSpeeds.size() ? speed : 0];
}

bool CPrinterDoc::GetPrinterDefaults(bool landscape)
{
    return m_devices && m_devices->GetPrinterDefaults(landscape);
}

// ---------------------------------------------------------------------------
// Pings

void CPrinterDoc::OnSourceUpdate(int flag)
{
    if (!flag)
        return;
    if (m_pingCounter.fetch_add(1) + 1 < SpeedDivisor())
        return;
    m_pingCounter.store(0);
    // Without a job no view copies anything: the ping is not handed over.
    if (!m_jobsRunning.load())
        return;
    // The columns are copied where the echogram views live.
    m_context.ViewUpdates().UpdateViews(*this);
}

// ---------------------------------------------------------------------------
// Jobs

bool CPrinterDoc::IsPaperPrinting() const
{
    return std::any_of(m_views.begin(), m_views.end(), [](const IPrinterPageView* v) { return v->HasPaperJob(); });
}

bool CPrinterDoc::HasPrintingView() const
{
    return std::any_of(m_views.begin(), m_views.end(), [](const IPrinterPageView* v) { return v->HasHistoryJob(); });
}

void CPrinterDoc::StartPrinting()
{
    // Whatever the jobs end as, the ping thread learns it on the way out.
    const SJobsRefresh refresh{*this};
    // The pages to come go where the settings now say.
    RefreshHistoryFolder();
    for (IPrinterPageView* view : Views()) {
        if (!view->IsHistoryView() || view->HasHistoryJob())
            continue;
        if (!view->StartHistoryJob())
            return;
        PostHistoryState(true, GetHistoryFileNumber());
    }
}

void CPrinterDoc::StopPrinting()
{
    // Whatever the jobs end as, the ping thread learns it on the way out.
    const SJobsRefresh refresh{*this};
    for (IPrinterPageView* view : Views()) {
        if (!view->IsHistoryView() || !view->HasHistoryJob())
            continue;
        view->StopHistoryJob();
        PostHistoryState(false, GetHistoryFileNumber());
    }
}

void CPrinterDoc::ApplyPrinterOn()
{
    // Whatever the jobs end as, the ping thread learns it on the way out.
    const SJobsRefresh refresh{*this};
    for (IPrinterPageView* view : Views()) {
        if (view->IsHistoryView())
            continue;
        if (m_settings.printerOn && !view->HasPaperJob()) {
            // A job that cannot start clears the wish in memory; the
            // registry keeps it for the next start.
            if (!view->StartPaperJob()) {
                m_settings.printerOn = 0;
                return;
            }
        } else if (!m_settings.printerOn && view->HasPaperJob()) {
            EndPaperPrinting();
        }
    }
}

void CPrinterDoc::EndPaperPrinting()
{
    // Whatever the jobs end as, the ping thread learns it on the way out.
    const SJobsRefresh refresh{*this};
    for (IPrinterPageView* view : Views())
        if (!view->IsHistoryView() && view->HasPaperJob())
            view->EndPaperJob();
}

void CPrinterDoc::PostHistoryState(bool on, int number)
{
    PostMessage(GetMainWindow(), app::WM_ES_HISTORYMESSAGE, on ? 1 : 0, number);
}

// ---------------------------------------------------------------------------
// Texts

void CPrinterDoc::PrintStatusText(const std::string& text)
{
    if (!m_statusOn.load())
        return;
    for (IPrinterPageView* view : Views())
        view->AddText(text, 0);
}

void CPrinterDoc::PrintAnnotationText(const std::string& text)
{
    if (!m_annotationOn.load())
        return;
    for (IPrinterPageView* view : Views())
        view->AddText(text, 1);
}

void CPrinterDoc::PrintNavigationText(const std::string& text)
{
    const int every = m_navigationTg.load();
    if (!m_navigationOn.load() || every == 0)
        return;
    for (IPrinterPageView* view : Views())
        view->QueueNavigationText(text, every);
}

// ---------------------------------------------------------------------------
// The layout

void CPrinterDoc::ClearViewList()
{
    m_viewList.clear();
    DetachFromSource();
}

void CPrinterDoc::CollectEchogramViews(CESDocList* documents, const std::vector<IPrintedEchogram*>& echograms)
{
    // A layout is collected once: a second call replaces the first.
    m_viewList.clear();
    for (IPrintedEchogram* echogram : echograms)
        if (echogram)
            m_viewList.push_back(SViewAndRange{echogram, {}, {}});
    SetSource(documents);
    AttachToSource();
}

// ---------------------------------------------------------------------------
// "Print..."

bool CPrinterDoc::OnCommand(unsigned id)
{
    if (id != app::cmd::FILE_PRINT)
        return false;
    OnFilePrint();
    return true;
}

bool CPrinterDoc::OnUpdateCommand(app::CCmdUI& ui)
{
    if (ui.id != app::cmd::FILE_PRINT)
        return false;
    ui.Enable(true);
    return true;
}

void CPrinterDoc::OnFilePrint()
{
    if (!m_devices)
        return;
    GetPrinterDefaults(m_settings.orientationLandscape != 0);
    IPrinterDevices::SPrintDialogValues v;
    v.annotation = static_cast<int>(m_settings.annotation);
    v.navigation = static_cast<int>(m_settings.navigation);
    v.status = static_cast<int>(m_settings.status);
    v.print = static_cast<int>(m_settings.printerOn);
    v.navigationTg = static_cast<int>(m_settings.navigationTg);
    v.textBackground = static_cast<int>(m_settings.textBackground);
    v.speed = static_cast<int>(m_settings.printerEchogramSpeed);
    v.scaleAnnotation = static_cast<int>(m_settings.scaleAnnotation);
    v.sounderDetails = static_cast<int>(m_settings.sounderDetails);
    v.landscape = static_cast<int>(m_settings.orientationLandscape);
    const bool ok = m_devices->RunPrintDialog(v);
    // An orientation chosen through the set-up stays, even on Cancel.
    SetOrientation(v.landscape);
    if (!ok)
        return;
    m_settings.annotation = v.annotation ? 1 : 0;
    m_settings.textBackground = v.textBackground == 1 ? 1 : 0;
    m_settings.scaleAnnotation = v.scaleAnnotation ? 1 : 0;
    m_settings.sounderDetails = v.sounderDetails ? 1 : 0;
    m_settings.navigation = v.navigation ? 1 : 0;
    m_settings.status = v.status ? 1 : 0;
    const DWORD speed = v.speed >= 0 && v.speed < static_cast<int>(kSpeeds.size()) ? static_cast<DWORD>(v.speed) : 0;
    if (speed != m_settings.printerEchogramSpeed) {
        m_settings.printerEchogramSpeed = speed;
        m_pingCounter.store(0);
    }
    const DWORD every = static_cast<DWORD>(std::clamp(v.navigationTg, 0, 999));
    if (every != m_settings.navigationTg) {
        m_settings.navigationTg = every;
        for (IPrinterPageView* view : Views())
            view->ResetNavigationCounter();
    }
    PublishSwitches();
    const DWORD print = v.print ? 1 : 0;
    if (print != m_settings.printerOn) {
        m_settings.printerOn = print;
        if (refreshMainFrame)
            refreshMainFrame();
        else
            ApplyPrinterOn();
    }
    WriteSettings();
}

// ---------------------------------------------------------------------------
// History files

void CPrinterDoc::RefreshHistoryFolder()
{
    std::string folder = m_historyPath ? m_historyPath() : std::string();
    if (folder.empty()) {
        // None named: the program folder's "History", if there is one, else
        // the program folder itself. The file system is asked; the
        // process's current folder stays where it is.
        const std::string program = WithSeparator(CPaths::ProgramFolder());
        std::error_code ec;
        folder = std::filesystem::is_directory(program + "History", ec) ? program + "History" : program;
    }
    folder = WithSeparator(folder);
    int number = 0;
    {
        std::lock_guard lk(m_pageLock);
        if (m_folderKnown && folder == m_historyFolder)
            return;
        m_folderKnown = true;
        m_historyFolder = folder;
        CHistoryFolder::SScan scan = CHistoryFolder::Scan(folder, CHistoryFolder::List(folder));
        m_historyFiles = std::move(scan.paths);
        m_newestHistoryFile = scan.newest;
        m_historyFileNumber = scan.nextNumber;
        number = m_historyFileNumber;
    }
    PostHistoryState(false, number);
}

void CPrinterDoc::OpenHistoryDialog()
{
    RefreshHistoryFolder();
    if (!m_devices)
        return;
    std::string folder;
    {
        std::lock_guard lk(m_pageLock);
        folder = m_historyFolder;
    }
    m_devices->RunHistoryDialog([this] { return GetHistoryList(); }, folder);
}

IPrinterDevices::SHistoryFiles CPrinterDoc::GetHistoryList() const
{
    std::lock_guard lk(m_pageLock);
    return {true, m_newestHistoryFile, m_historyFiles};
}

std::string CPrinterDoc::GetHistoryPath()
{
    RefreshHistoryFolder();
    std::lock_guard lk(m_pageLock);
    return m_historyFolder;
}

std::vector<std::string> CPrinterDoc::GetHistoryFiles() const
{
    std::lock_guard lk(m_pageLock);
    return m_historyFiles;
}

int CPrinterDoc::GetHistoryFileNumber() const
{
    std::lock_guard lk(m_pageLock);
    return m_historyFileNumber;
}

int CPrinterDoc::GetNewestHistoryFile() const
{
    std::lock_guard lk(m_pageLock);
    return m_newestHistoryFile;
}

void CPrinterDoc::HistoryFileWritten(const std::string& path, bool saving)
{
    int number = 0;
    {
        std::lock_guard lk(m_pageLock);
        m_historyFiles.push_back(path);
        m_newestHistoryFile = static_cast<int>(m_historyFiles.size());
        number = ++m_historyFileNumber;
    }
    PostHistoryState(saving, number);
}
