// Start-up of the application object: the model, the settings folders and
// paths, the start request, power-off arming and the file type.
#include "ShellTestSupport.h"
#include "app/DesktopAssociation.h"
#include "app/Pelmaris.h"
#include "base/RegistrySupport.h"
#include "base/StringTable.h"
#include "platform/ChildProcess.h"
#include "platform/FileTime.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace app;
using namespace shelltest;
namespace fs = std::filesystem;

namespace {

class PelmarisStartup : public ::testing::Test
{
protected:
    // A fresh application object with the fake frame.
    std::unique_ptr<CPelmaris> Make()
    {
        auto pelmaris = std::make_unique<CPelmaris>();
        pelmaris->frameFactory = [this](CPelmaris&, unsigned menuId) -> std::unique_ptr<IMainFrame> {
            menu = menuId;
            auto f = std::make_unique<FakeFrame>();
            frame = f.get();
            return f;
        };
        return pelmaris;
    }

    // A user value under the model's root, read without write-back.
    static std::optional<std::string> UserString(const std::string& model, const std::string& sub,
                                                 const std::string& name)
    {
        HKEY key = nullptr;
        std::string path = "Software\\Zelvar\\EchoSounder\\" + model + "\\1.0";
        if (!sub.empty())
            path += "\\" + sub;
        if (RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return std::nullopt;
        char buffer[1024];
        DWORD size = sizeof buffer;
        DWORD type = 0;
        const LONG rc = RegQueryValueEx(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return std::nullopt;
        return std::string(buffer, strnlen(buffer, size));
    }

    static void SetUserDword(const std::string& model, const std::string& sub, const std::string& name, DWORD v)
    {
        HKEY key = nullptr;
        const std::string path = "Software\\Zelvar\\EchoSounder\\" + model + "\\1.0\\" + sub;
        ASSERT_EQ(
            RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        RegSetValueEx(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
        RegCloseKey(key);
    }

    static void SetString(HKEY root, const std::string& path, const std::string& name, const std::string& v)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueEx(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                      static_cast<DWORD>(v.size() + 1));
        RegCloseKey(key);
    }

    ShellEnvironment env;
    FakeFrame* frame = nullptr;
    unsigned menu = 0;
};

TEST_F(PelmarisStartup, ExecutableNameSelectsModelMenuAndRoot)
{
    struct Case
    {
        const char* argv0;
        SounderModel type;
        unsigned menu;
        unsigned channelMenu;
        bool maximised;  // SuspendMaximize missing: only RM30 starts maximised
    };
    for (const Case& c :
         {Case{"/opt/z/qy310", SounderModel::QY310, 140, 252, false}, Case{"RM30", SounderModel::RM30, 131, 0, true},
          Case{"tq30.bin", SounderModel::TQ30, 167, 0, false}, Case{"QY210", SounderModel::QY210, 140, 253, false}}) {
        auto pelmaris = Make();
        ASSERT_TRUE(pelmaris->InitInstance({c.argv0})) << c.argv0;
        EXPECT_EQ(pelmaris->GetSounderType(), c.type) << c.argv0;
        EXPECT_EQ(menu, c.menu) << c.argv0;
        EXPECT_EQ(pelmaris->GetChannelMenuId(), c.channelMenu) << c.argv0;
        ASSERT_TRUE(frame->shownMaximised.has_value());
        EXPECT_EQ(*frame->shownMaximised, c.maximised) << c.argv0;
        EXPECT_EQ(frame->firstLayouts, 1);
        // Values written back under the model's own root.
        EXPECT_EQ(UserString(pelmaris->GetSounderName(), "", "HxuSwPath"), pelmaris->GetProgramFolder());
    }
}

TEST_F(PelmarisStartup, GenericNameWithoutSounderNameRunsAsQY310AndWritesNothing)
{
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"/usr/lib/zelvar/PELMARIS"}));
    EXPECT_EQ(pelmaris->GetSounderType(), SounderModel::QY310);
    EXPECT_EQ(pelmaris->GetSounderName(), "QY310");
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueEx(key, "SounderName", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
        RegCloseKey(key);
    }
}

TEST_F(PelmarisStartup, GenericNameReadsSounderNameInAnyCase)
{
    SetString(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder", "SounderName", "total");
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"pelmaris"}));
    EXPECT_EQ(pelmaris->GetSounderType(), SounderModel::TOTAL);
    EXPECT_TRUE(pelmaris->IsTotalType());
    EXPECT_EQ(pelmaris->GetSounderName(), "TOTAL");
    EXPECT_EQ(menu, 166u);
}

TEST_F(PelmarisStartup, UnknownSounderNameIsAFatalReport)
{
    SetString(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder", "SounderName", "QY999");
    auto pelmaris = Make();
    try {
        pelmaris->InitInstance({"PELMARIS"});
        FAIL() << "no fatal report";
    } catch (const FatalReported& f) {
        EXPECT_NE(f.text.find("Illegal Echosounder Name 'QY999'"), std::string::npos) << f.text;
    }
}

TEST_F(PelmarisStartup, UnknownExecutableNameEndsStartUpWithABox)
{
    auto pelmaris = Make();
    EXPECT_FALSE(pelmaris->InitInstance({"/usr/bin/echosounder"}));
    EXPECT_EQ(frame, nullptr);
    const auto boxes = MessageBoxRecord();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Illegal Echosounder Executable File Name");
    EXPECT_EQ(boxes[0].flags & MB_ICONMASK, MB_ICONSTOP);
}

TEST_F(PelmarisStartup, FrameThatCannotBeCreatedEndsStartUp)
{
    CPelmaris pelmaris;
    pelmaris.frameFactory = [](CPelmaris&, unsigned) { return std::unique_ptr<IMainFrame>(); };
    EXPECT_FALSE(pelmaris.InitInstance({"QY310"}));
    const auto boxes = MessageBoxRecord();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, "create main MDI Frame window failed");
}

TEST_F(PelmarisStartup, RawFileOnCommandLineStartsReplayEvenWithAutoStartSuspended)
{
    SetUserDword("QY310", "Debug", "SuspendAutoStart", 1);
    // A long path is handed over whole.
    const std::string longName = std::string(300, 'r') + ".raw";
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"QY310", "/data/" + longName}));
    frame->Drain();
    const auto starts = frame->Of(WM_ES_OPERATIONCOMMAND);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].wParam, OC_START_REPLAY);
    ASSERT_TRUE(starts[0].files);
    EXPECT_EQ(*starts[0].files, std::vector<std::string>{"/data/" + longName});
    EXPECT_EQ(frame->Of(WM_ES_SHOWREPLAYBUTTONS).size(), 1u);
}

TEST_F(PelmarisStartup, StartRequestWithoutFile)
{
    struct Case
    {
        const char* legend;
        DWORD suspend;
        DWORD dialog;
        int transceivers;
        UINT expected;  // 0: nothing posted
        WPARAM wParam;
    };
    const Case cases[] = {
        {"nothing installed, nothing started", 0, 0, 0, 0, 0},
        {"operation dialog", 0, 1, 0, WM_COMMAND, cmd::OPERATION},
        {"restart with an installed transceiver", 0, 0, 2, WM_ES_OPERATIONCOMMAND, OC_START_NORMAL},
        {"auto start suspended", 1, 0, 2, 0, 0},
    };
    for (const Case& c : cases) {
        SetUserDword("QY310", "Debug", "SuspendAutoStart", c.suspend);
        SetUserDword("QY310", "Debug", "DialogAutoStartMode", c.dialog);
        auto pelmaris = Make();
        FakeOperation operation(*pelmaris);
        operation.transceivers = c.transceivers;
        pelmaris->SetOperation(&operation);
        ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
        frame->Drain();
        std::vector<PostedMessage> started;
        for (const auto& m : frame->messages)
            if (m.message == WM_COMMAND || m.message == WM_ES_OPERATIONCOMMAND)
                started.push_back(m);
        if (c.expected == 0) {
            EXPECT_TRUE(started.empty()) << c.legend;
        } else {
            ASSERT_EQ(started.size(), 1u) << c.legend;
            EXPECT_EQ(started[0].message, c.expected) << c.legend;
            EXPECT_EQ(started[0].wParam, c.wParam) << c.legend;
        }
        if (c.expected == WM_ES_OPERATIONCOMMAND) {
            EXPECT_EQ(frame->Of(WM_ES_HIDEREPLAYBUTTONS).size(), 1u) << c.legend;
        }
    }
}

TEST_F(PelmarisStartup, McuModusChoosesTheSettingsFolder)
{
    SetString(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310\\1.0", "McuModus", "A.B");
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    const fs::path data = env.DataRoot();
    EXPECT_EQ(fs::path(pelmaris->GetSerializePath()), data / "Settings" / "A" / "B" / "");
    EXPECT_TRUE(fs::is_directory(data / "Settings" / "A" / "B"));
    EXPECT_TRUE(fs::is_directory(data / "Settings" / "Default"));
    EXPECT_TRUE(fs::is_directory(data / "Diag"));
    EXPECT_FALSE(fs::exists(data / "Settings" / "Diag"));
}

TEST_F(PelmarisStartup, DamagedSettingsAreSetAsideAndTheProgramStartsWithDefaults)
{
    const std::string hive = RegistryHivePath(HKEY_CURRENT_USER);
    std::ofstream(hive) << "a settings file that is no longer one\n";
    RegistryResetStore();
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));

    // Kept beside the new one, under a name the box gives.
    std::vector<fs::path> kept;
    for (const auto& entry : fs::directory_iterator(fs::path(hive).parent_path()))
        if (entry.path().filename().string().rfind(fs::path(hive).filename().string() + ".damaged-", 0) == 0)
            kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 1u);
    const auto boxes = MessageBoxRecord();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find(hive + ": "), std::string::npos) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find(kept[0].string()), std::string::npos) << boxes[0].text;
    EXPECT_NE(env.EventLog().find("@Text:The settings file cannot be read: " + hive), std::string::npos)
        << env.EventLog();
    // The defaults of this start are in the new hive.
    EXPECT_EQ(UserString("QY310", "", "HxuSwPath"), pelmaris->GetProgramFolder());
}

TEST_F(PelmarisStartup, SettingsFolderThatCannotBeWrittenIsNamedAndTheRunGoesOnInMemory)
{
    const fs::path blocker = env.Root() / "config";
    std::ofstream(blocker) << "a file where the settings folder should be\n";
    ScopedEnv hive("ZELVAR_USER_HIVE", (blocker / "zelvar" / "user.db").c_str());
    RegistryResetStore();
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    const auto boxes = MessageBoxRecord();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find(blocker.string() + ": Not a directory"), std::string::npos) << boxes[0].text;
    EXPECT_NE(env.EventLog().find("Settings cannot be saved: " + blocker.string()), std::string::npos);
    // The run has its settings, written back as ever, and nothing on disk.
    EXPECT_EQ(UserString("QY310", "", "HxuSwPath"), pelmaris->GetProgramFolder());
    EXPECT_TRUE(fs::is_regular_file(blocker));
    RegistryResetStore();
}

TEST_F(PelmarisStartup, StoredFolderWithShellCharactersIsMadeAsItStands)
{
    // The folder comes from the settings; it must never reach a shell.
    const fs::path odd = env.Root() / "odd\"; touch pwned; \"x";
    SetString(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310\\1.0", "SerializePath", odd.string());
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    EXPECT_TRUE(fs::is_directory(odd));
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_EQ(pelmaris->GetSerializePath(), odd.string() + "/");
}

TEST_F(PelmarisStartup, PowerOffArmingByVariable)
{
    struct Case
    {
        const char* argv0;
        const char* variable;
        const char* value;
        bool armed;
    };
    const Case cases[] = {
        {"QY310", "zelvarqy310shutdown", "1", true},
        {"QY310", "zelvarqy310shutdown", "yes", true},
        {"QY310", "zelvarqy310shutdown", "0", false},
        {"QY310", "zelvarqy310shutdown", "no", false},
        {"QY310", "zelvarqy310shutdown", "N", false},
        {"QY310", "zelvarqy310shutdown", "", false},  // empty used to arm it
        {"QY310", "zelvarqy310shutdown", nullptr, false},
        {"RM30", "zelvarrm30shutdown", "1", true},
        {"QY310", "zelvarrm30shutdown", "1", false},   // another model's variable
        {"QYNVU", "zelvarqy310shutdown", "1", false},  // QYNVU has none
    };
    for (const Case& c : cases) {
        ScopedEnv variable(c.variable, c.value);
        auto pelmaris = Make();
        ASSERT_TRUE(pelmaris->InitInstance({c.argv0}));
        EXPECT_EQ(pelmaris->IsPowerOffRequested(), c.armed)
            << c.argv0 << " " << c.variable << "=" << (c.value ? c.value : "(unset)");
    }
}

TEST_F(PelmarisStartup, RawFileTypeIsTakenOnlyWhenNobodyOwnsIt)
{
    {
        auto pelmaris = Make();
        ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
        std::string value;
        CRegistrySupport reg;
        EXPECT_TRUE(reg.GetString(HKEY_CLASSES_ROOT, ".raw", "", value, FALSE));
        EXPECT_EQ(value, "EchoSounderRawData");
        EXPECT_TRUE(reg.GetString(HKEY_CLASSES_ROOT, "EchoSounderRawData\\shell\\open\\ddeexec", "", value, FALSE));
        EXPECT_EQ(value, "[open(\"%1\")]");
        EXPECT_TRUE(reg.GetString(HKEY_CLASSES_ROOT, "EchoSounderRawData\\shell\\open\\command", "", value, FALSE));
        EXPECT_EQ(value, pelmaris->GetProgramFolder() + "QY310 /dde");
        EXPECT_TRUE(fs::exists(env.XdgData() / "mime" / "packages" / "zelvar-echosounder-raw.xml"));
        EXPECT_TRUE(fs::exists(env.XdgData() / "applications" / "zelvar-qy310.desktop"));
    }
    fs::remove_all(env.XdgData());
    SetString(HKEY_CLASSES_ROOT, ".raw", "", "OtherProgram.Raw");
    {
        auto pelmaris = Make();
        ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
        std::string value;
        CRegistrySupport reg;
        EXPECT_TRUE(reg.GetString(HKEY_CLASSES_ROOT, ".raw", "", value, FALSE));
        EXPECT_EQ(value, "OtherProgram.Raw");
        EXPECT_FALSE(fs::exists(env.XdgData() / "applications" / "zelvar-qy310.desktop"));
    }
}

// Stand-ins of the desktop's tools on PATH: each writes its name and
// arguments, one line a call, into the log.
struct DesktopTools
{
    explicit DesktopTools(const fs::path& root) : folder(root / "tools"), log(root / "tools.log")
    {
        fs::create_directories(folder);
        for (const char* tool : {"xdg-mime", "update-mime-database", "update-desktop-database"}) {
            const fs::path script = folder / tool;
            std::ofstream(script) << "#!/bin/sh\necho \"" << tool << " $*\" >> '" << log.string() << "'\n";
            fs::permissions(script, fs::perms::owner_all);
        }
        path.emplace("PATH", (folder.string() + ":" + std::getenv("PATH")).c_str());
    }
    std::vector<std::string> Calls() const
    {
        std::vector<std::string> lines;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    fs::path folder, log;
    std::optional<ScopedEnv> path;
};

std::string FileText(const fs::path& file)
{
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(PelmarisStartup, DesktopEntryOfEachModelRunsThatModelsLink)
{
    const DesktopTools tools(env.Root());
    const fs::path programs = env.Root() / "opt" / "sounder";
    for (const char* model : {"QY310", "RM30"}) {
        SCOPED_TRACE(model);
        auto pelmaris = Make();
        ASSERT_TRUE(pelmaris->InitInstance({(programs / model).string()}));
        const std::string entry = FileText(env.XdgData() / "applications" / CDesktopAssociation::EntryName(model));
        EXPECT_NE(entry.find("\nExec=\"" + (programs / model).string() + "\" %f\n"), std::string::npos) << entry;
        EXPECT_NE(entry.find("\nMimeType=application/x-zelvar-echosounder-raw;\n"), std::string::npos) << entry;
    }
    // The tools take in what changed; the model started last opens the files.
    const std::string mime = (env.XdgData() / "mime").string();
    const std::string apps = (env.XdgData() / "applications").string();
    EXPECT_EQ(tools.Calls(), (std::vector<std::string>{
                                 "update-mime-database " + mime,
                                 "update-desktop-database " + apps,
                                 "xdg-mime default zelvar-qy310.desktop application/x-zelvar-echosounder-raw",
                                 "update-desktop-database " + apps,
                                 "xdg-mime default zelvar-rm30.desktop application/x-zelvar-echosounder-raw",
                             }));
    // Started by name through PATH, the link beside the executable runs.
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    EXPECT_NE(FileText(env.XdgData() / "applications" / "zelvar-qy310.desktop")
                  .find("\nExec=\"" + pelmaris->GetProgramFolder() + "QY310\" %f\n"),
              std::string::npos);
}

TEST(DesktopAssociation, ExecLineQuotesThePathForTheDesktop)
{
    struct Case
    {
        const char* path;
        const char* exec;
        const char* legend;
    };
    const Case cases[] = {
        {"/opt/sounder/QY310", R"("/opt/sounder/QY310" %f)", "plain"},
        {"/home/a b/QY310", R"("/home/a b/QY310" %f)", "blank"},
        {"/x/100%/QY310", R"("/x/100%%/QY310" %f)", "percent is doubled"},
        {"/x/$HOME/QY310", R"("/x/\\$HOME/QY310" %f)", "dollar is escaped in the quotes, then the backslash"},
        {"/x/a\"b/QY310", R"("/x/a\\"b/QY310" %f)", "quote"},
        {"/x/a\\b/QY310", R"("/x/a\\\\b/QY310" %f)", "a backslash becomes four"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CDesktopAssociation::ExecLine(c.path), c.exec) << c.legend;
}

TEST_F(PelmarisStartup, RecordedFilesGetTheirMimeTypeWhereTheDesktopsDatabaseIsInstalled)
{
    if (CChildProcess::Run({"update-mime-database", "-v"}, true) == CChildProcess::kNotStarted)
        GTEST_SKIP() << "update-mime-database is not installed";
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    const std::string globs = FileText(env.XdgData() / "mime" / "globs2");
    EXPECT_NE(globs.find("application/x-zelvar-echosounder-raw:*.raw"), std::string::npos) << globs;
    EXPECT_NE(FileText(env.XdgData() / "mime" / "magic").find("CON0"), std::string::npos);
}

TEST_F(PelmarisStartup, OpenCommandStartsReplayOfItsFileAndRaisesTheWindow)
{
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    frame->Drain();
    frame->messages.clear();
    EXPECT_FALSE(pelmaris->OnDDECommand("[print(\"/r/a.raw\")]"));
    EXPECT_FALSE(frame->openShowMode.has_value());
    EXPECT_TRUE(pelmaris->OnDDECommand("[open(\"/r/a.raw\")]"));
    EXPECT_EQ(frame->openShowMode, SW_SHOWNORMAL);
    EXPECT_EQ(pelmaris->showWindowMode, SW_UNSET);
    frame->Drain();
    const auto starts = frame->Of(WM_ES_OPERATIONCOMMAND);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].wParam, OC_START_REPLAY);
    EXPECT_EQ(*starts[0].files, std::vector<std::string>{"/r/a.raw"});
}

TEST_F(PelmarisStartup, AnnotationReachesFrameAndOutputsAsOneLine)
{
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    RecordingHost host;
    pelmaris->SetHost(&host);
    pelmaris->AddAnnotation("line one\r\nline two\n", 0);
    frame->Drain();
    const auto annotations = frame->Of(WM_ES_ANNOTATION);
    ASSERT_EQ(annotations.size(), 1u);
    EXPECT_EQ(annotations[0].text, "line one  line two ");
    EXPECT_EQ(host.annotations, std::vector<std::string>{"line one  line two "});
}

TEST_F(PelmarisStartup, ResourceLibraryOfEnglishIsNeverLoaded)
{
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    // No language folder exists: English loads anyway, another language
    // fails with the file's path and keeps the language.
    EXPECT_TRUE(pelmaris->LoadResourceDll(2057));
    ClearMessageBoxRecord();
    EXPECT_FALSE(pelmaris->ChangeLanguage(1044));
    EXPECT_EQ(pelmaris->GetLanguage(), 1033u);
    const auto boxes = MessageBoxRecord();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("File not found\n\n"), std::string::npos);
    EXPECT_NE(boxes[0].text.find("1044/Resource.dll"), std::string::npos);
}

TEST_F(PelmarisStartup, LanguageSwitchLoadsTheTableStoresTheIdAndReloadsTheMenu)
{
    const fs::path languages = env.Root() / "Language";
    fs::create_directories(languages / "1044" / "help");
    std::ofstream(languages / "1044" / "Resource.dll") << "45124=Om\nmenu.57664=Om ekkoloddet...\n";
    SetString(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310\\1.0", "LanguagePath", languages.string());
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    ASSERT_TRUE(pelmaris->ChangeLanguage(1044));
    EXPECT_EQ(pelmaris->GetLanguage(), 1044u);
    EXPECT_EQ(frame->menuReloads, 1);
    EXPECT_EQ(Strings().Load(45124), "Om");
    EXPECT_EQ(Strings().MenuText(cmd::ABOUT), "Om ekkoloddet...");
    EXPECT_EQ(pelmaris->HelpFolder(), (languages / "1044" / "help").string());
    DWORD stored = 0;
    CRegistrySupport reg;
    EXPECT_TRUE(reg.GetDword(CRegistrySupport::UserRootKey(), "", "Language", stored, FALSE));
    EXPECT_EQ(stored, 1044u);
    // Back to English: no file needed, and English texts return.
    ASSERT_TRUE(pelmaris->ChangeLanguage(1033));
    EXPECT_EQ(Strings().Load(45124), "About");
    // A next start comes up in the stored language; without its help pages
    // the English ones are used.
    ASSERT_TRUE(pelmaris->ChangeLanguage(1044));
    fs::remove_all(languages / "1044" / "help");
    pelmaris.reset();
    ClearMessageBoxRecord();
    auto next = Make();
    ASSERT_TRUE(next->InitInstance({"QY310"}));
    EXPECT_EQ(next->GetLanguage(), 1044u);
    EXPECT_EQ(next->HelpFolder(), languages.string() + "/1033/help");
    next.reset();
    Strings().UseEnglish();
}

TEST_F(PelmarisStartup, NavigationAgeTimerWarnsOnlyWhenPositionsAreExpectedAndOld)
{
    auto pelmaris = Make();
    for (auto& row : pelmaris->sensorTable)
        if (row.id == SensorId::Navigation)
            row.create = [](CPelmaris&) { return std::make_unique<FakeSensor>(); };
    FakeOperation operation(*pelmaris);
    RecordingHost host;
    host.expectsPositions = true;
    pelmaris->SetOperation(&operation);
    pelmaris->SetHost(&host);
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    alignas(8) static char sounder[8];
    const std::uint64_t now = CFileTime::Now();
    constexpr std::uint64_t kSecond = 10'000'000;
    // Missing positions are alarms (type 1), never passing status messages.
    auto warnings = [&] {
        frame->Drain();
        std::vector<WPARAM> ids;
        for (const auto& m : frame->Of(WM_ES_STATUSMESSAGE)) {
            EXPECT_EQ(m.lParam, 1) << m.wParam;
            ids.push_back(m.wParam);
        }
        frame->messages.clear();
        return ids;
    };
    frame->Drain();
    frame->messages.clear();

    // The times are the decoder's, read through the host.
    host.positionTime = now - 20 * kSecond;
    pelmaris->CheckNavigationTimer();  // no sounder: nothing
    EXPECT_TRUE(warnings().empty());
    operation.sounder = reinterpret_cast<CEchoSounder*>(sounder);
    pelmaris->CheckNavigationTimer();
    EXPECT_EQ(warnings(), std::vector<WPARAM>{ids::NO_VALID_POSITIONS});
    host.otherPositionTime = CFileTime::Now() - kSecond;  // another telegram is there
    pelmaris->CheckNavigationTimer();
    EXPECT_EQ(warnings(), std::vector<WPARAM>{ids::NO_VALID_POSITIONS_OTHER});
    host.positionTime = CFileTime::Now() - 2 * kSecond;  // fresh position
    pelmaris->CheckNavigationTimer();
    EXPECT_TRUE(warnings().empty());
    host.positionTime = now - 20 * kSecond;
    host.expectsPositions = false;
    pelmaris->CheckNavigationTimer();
    EXPECT_TRUE(warnings().empty());
    operation.sounder = nullptr;
}

TEST_F(PelmarisStartup, SensorCommandsOpenOnlyWhatExistsAndHasItsDialog)
{
    auto pelmaris = Make();
    std::vector<std::string> opened;
    for (auto& row : pelmaris->sensorTable) {
        if (row.id == SensorId::Heave)
            row.create = [&](CPelmaris&) { return std::make_unique<FakeSensor>(true, &opened, "heave"); };
        if (row.id == SensorId::Heading)  // exists, but its dialog is not built
            row.create = [&](CPelmaris&) { return std::make_unique<FakeSensor>(false, &opened, "heading"); };
    }
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    struct Case
    {
        unsigned id;
        bool enabled;
    };
    for (const Case& c : {Case{cmd::HEAVE, true}, Case{cmd::HEADING, false}, Case{cmd::NAVIGATION, false}}) {
        CCmdUI ui;
        ui.id = c.id;
        ASSERT_TRUE(pelmaris->RouteUpdate(ui));
        EXPECT_EQ(ui.enabled, c.enabled) << c.id;
        EXPECT_TRUE(pelmaris->RouteCommand(c.id));
    }
    EXPECT_EQ(opened, std::vector<std::string>{"heave"});
    CCmdUI stop;
    stop.id = cmd::STOP_SOUNDER;
    pelmaris->RouteUpdate(stop);
    EXPECT_FALSE(stop.enabled);  // no echo sounder
}

// A sensor object that notes its start and the lists it is handed.
class ListSensor : public CSensorObject
{
public:
    ListSensor(std::vector<std::string>& log, std::string name, long setup = 0)
        : m_log(log), m_name(std::move(name)), m_setup(setup)
    {}
    long Setup() override { return m_setup; }
    void Start() override { m_log.push_back(m_name + " start"); }
    void SetSourceList(const std::vector<std::string>& names) override { Note("sources", names); }
    void SetTransceiverList(const std::vector<std::string>& names) override { Note("transceivers", names); }

private:
    void Note(const char* what, const std::vector<std::string>& names)
    {
        std::string entry = m_name + " " + what + ":";
        for (const auto& n : names)
            entry += " [" + n + "]";
        m_log.push_back(entry);
    }
    std::vector<std::string>& m_log;
    std::string m_name;
    long m_setup;
};

// Each object that offers sources for choice gets its list from the
// installation right after it starts, and again when the installation
// changes; a temperature input whose set-up failed is kept without a list.
TEST_F(PelmarisStartup, SensorObjectsGetTheirListsFromTheInstallation)
{
    auto pelmaris = Make();
    std::vector<std::string> log;
    long temperatureSetup = 0;
    for (auto& row : pelmaris->sensorTable) {
        const std::string name = row.name;
        if (row.id == SensorId::Navigation || row.id == SensorId::PurseSeine || row.id == SensorId::Trawl ||
            row.id == SensorId::Heave || row.id == SensorId::Temperature || row.id == SensorId::HardwareStatus)
            row.create = [&log, name, &temperatureSetup, id = row.id](CPelmaris&) {
                return std::make_unique<ListSensor>(log, name, id == SensorId::Temperature ? temperatureSetup : 0);
            };
    }
    FakeOperation operation(*pelmaris);
    operation.installed = {{"T38", {"T38 38 kHz", "T38 120 kHz"}}, {"T200", {"T200 200 kHz"}}};
    pelmaris->SetOperation(&operation);
    ASSERT_TRUE(pelmaris->InitInstance({"RM30"}));
    const std::string channels = ": [T38 38 kHz] [T38 120 kHz] [T200 200 kHz]";
    const std::string transceivers = ": [T38] [T200]";
    EXPECT_EQ(log, (std::vector<std::string>{
                       "navigation start",
                       "navigation sources" + channels,
                       "purse seine start",
                       "purse seine sources" + channels,
                       "trawl start",
                       "trawl sources" + channels,
                       "heave start",
                       "heave transceivers" + transceivers,
                       "heave sources" + channels,
                       "water temperature start",
                       "water temperature sources" + transceivers,
                       "hardware status start",
                       "hardware status sources" + transceivers,
                   }));

    log.clear();
    operation.installed = {{"T50", {"T50 50 kHz"}}};
    pelmaris->UpdateSourceLists();
    EXPECT_EQ(log, (std::vector<std::string>{
                       "navigation sources: [T50 50 kHz]",
                       "purse seine sources: [T50 50 kHz]",
                       "trawl sources: [T50 50 kHz]",
                       "water temperature sources: [T50]",
                       "hardware status sources: [T50]",
                       "heave transceivers: [T50]",
                       "heave sources: [T50 50 kHz]",
                   }));

    // A second program whose temperature input cannot open its line.
    log.clear();
    temperatureSetup = 1;
    auto second = Make();
    second->sensorTable = pelmaris->sensorTable;
    FakeOperation secondOperation(*second);
    secondOperation.installed = operation.installed;
    second->SetOperation(&secondOperation);
    pelmaris.reset();
    ASSERT_TRUE(second->InitInstance({"RM30"}));
    EXPECT_NE(std::find(log.begin(), log.end(), "water temperature start"), log.end());
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& e) { return e.rfind("water temperature sources", 0) == 0; }),
              0);
}

TEST_F(PelmarisStartup, RefreshMainFrameTellsTheStatusBarWhetherThePrintingDocumentHasViews)
{
    auto pelmaris = Make();
    RecordingHost host;
    pelmaris->SetHost(&host);
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    frame->status = std::make_unique<CStatus>(SounderModel::QY310);
    host.printingViews = true;
    pelmaris->RefreshMainFrame();
    EXPECT_TRUE(frame->status->PrintingIndicator());
    host.printingViews = false;
    pelmaris->RefreshMainFrame();
    EXPECT_FALSE(frame->status->PrintingIndicator());
    // Without a printing document there is nothing to tell.
    frame->status->SetPrintingIndicator(true);
    host.printingViews.reset();
    pelmaris->RefreshMainFrame();
    EXPECT_TRUE(frame->status->PrintingIndicator());
    EXPECT_EQ(host.printingRefreshes, 3);
}

TEST_F(PelmarisStartup, FixedIntervalIsOffUnlessTheUserSettingsTurnItOnWithAUsableTime)
{
    const std::string key = "Software\\Zelvar\\EchoSounder\\QY310\\1.0\\Echogram";
    {
        auto pelmaris = Make();
        ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
        EXPECT_FALSE(pelmaris->fixedInterval) << "off by default";
        EXPECT_EQ(pelmaris->fixedIntervalTime, 1.0);
    }
    struct Case
    {
        const char* legend;
        DWORD on;
        const char* time;
        bool fixed;
        double seconds;
    };
    const Case cases[] = {
        {"switched on", 1, "0.25", true, 0.25},
        {"switched off, the time kept", 0, "0.25", false, 0.25},
        {"only 1 switches it on", 2, "0.25", false, 0.25},
        {"not a number", 1, "fast", false, 1.0},
        {"trailing text", 1, "0.25s", false, 1.0},
        {"no interval", 1, "0", false, 1.0},
        {"negative", 1, "-0.5", false, 1.0},
        {"not finite", 1, "inf", false, 1.0},
        {"not a number either", 1, "nan", false, 1.0},
    };
    for (const Case& c : cases) {
        SetUserDword("QY310", "Echogram", "FixedInterval", c.on);
        SetString(HKEY_CURRENT_USER, key, "FixedIntervalTime", c.time);
        auto pelmaris = Make();
        ASSERT_TRUE(pelmaris->InitInstance({"QY310"})) << c.legend;
        EXPECT_EQ(pelmaris->fixedInterval, c.fixed) << c.legend;
        EXPECT_EQ(pelmaris->fixedIntervalTime, c.seconds) << c.legend;
    }

    // What the wheel sets is there at the next start; an unusable time is
    // refused and the kept one stays.
    {
        auto pelmaris = Make();
        ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
        pelmaris->SetFixedInterval(true, 0.004);
        pelmaris->SetFixedInterval(true, 0.0);
        pelmaris->SetFixedInterval(true, -1.0);
    }
    auto pelmaris = Make();
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    EXPECT_TRUE(pelmaris->fixedInterval);
    EXPECT_EQ(pelmaris->fixedIntervalTime, 0.004);
}

}  // namespace
