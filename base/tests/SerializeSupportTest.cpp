#include "base/SerializeSupport.h"

#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A settings object with a few fields; it can be told to fail half way
// through a save, as a full disk or a bug in a Serialize would.
class CSample : public CSerializeSupport
{
public:
    explicit CSample(const CSettingsFolder& folder) : CSerializeSupport(&folder) {}
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar << m_count << m_name;
            if (m_failWhileStoring)
                throw std::runtime_error("interrupted");
            ar << m_depth;
        } else {
            ar >> m_count >> m_name >> m_depth;
        }
    }
    DWORD m_count = 1;
    std::string m_name = "Default";
    double m_depth = 10.0;
    bool m_failWhileStoring = false;
};

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SerializeSupport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "settings-XXXXXX").string();
        m_dir = mkdtemp(pattern.data());
        folder.Set(m_dir.string() + "/");
        ClearMessageBoxRecord();
    }
    void TearDown() override { fs::remove_all(m_dir); }
    size_t FilesInFolder() const { return static_cast<size_t>(std::distance(fs::directory_iterator(m_dir), {})); }

    fs::path m_dir;
    CSettingsFolder folder;
};

TEST_F(SerializeSupport, SaveAndLoadRoundTripInTheSettingsFolder)
{
    CSample saved(folder);
    saved.m_count = 42;
    saved.m_name = "Survey";
    saved.m_depth = 123.5;
    ASSERT_TRUE(saved.SaveSettings("Echogram.sav"));
    ASSERT_TRUE(fs::exists(m_dir / "Echogram.sav"));
    EXPECT_EQ(fs::file_size(m_dir / "Echogram.sav"), 4u + 1 + 6 + 8) << "no header, fields only";

    CSample loaded(folder);
    ASSERT_TRUE(loaded.LoadSettings("Echogram.sav"));
    EXPECT_EQ(loaded.m_count, 42u);
    EXPECT_EQ(loaded.m_name, "Survey");
    EXPECT_EQ(loaded.m_depth, 123.5);
    EXPECT_TRUE(MessageBoxRecord().empty());
    EXPECT_EQ(FilesInFolder(), 1u) << "no temporary file left behind";

    // A second save replaces the file and keeps its permissions.
    fs::permissions(m_dir / "Echogram.sav", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    saved.m_count = 43;
    ASSERT_TRUE(saved.SaveSettings("Echogram.sav"));
    EXPECT_EQ(fs::status(m_dir / "Echogram.sav").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(loaded.LoadSettings("Echogram.sav"));
    EXPECT_EQ(loaded.m_count, 43u);
}

TEST_F(SerializeSupport, InterruptedSaveKeepsThePreviousFile)
{
    CSample first(folder);
    first.m_count = 7;
    ASSERT_TRUE(first.SaveSettings("Layout.sav"));
    const std::string before = ReadAll(m_dir / "Layout.sav");

    CSample second(folder);
    second.m_count = 8;
    second.m_failWhileStoring = true;
    EXPECT_FALSE(second.SaveSettings("Layout.sav"));
    EXPECT_EQ(ReadAll(m_dir / "Layout.sav"), before);
    EXPECT_EQ(FilesInFolder(), 1u) << "the half-written file is removed";
    ASSERT_EQ(MessageBoxRecord().size(), 1u);
    EXPECT_NE(MessageBoxRecord()[0].text.find("Layout.sav"), std::string::npos);
    EXPECT_EQ(MessageBoxRecord()[0].flags & MB_ICONMASK, MB_ICONEXCLAMATION);
}

TEST_F(SerializeSupport, SavesKilledAtRandomMomentsLeaveAWholeFileAndTheirLeftoversGo)
{
    // The child saves without end, each version one letter repeated 300,000
    // times with its count; a kill at a random moment must leave the last
    // whole version, never a mix or a cut, and a temporary that the next
    // start of the settings folder clears away.
    auto version = [this](DWORD n) {
        CSample s(folder);
        s.m_count = n;
        s.m_name.assign(300000, char('a' + n % 26));
        return s;
    };
    ASSERT_TRUE(version(0).SaveSettings("Frame.ser"));
    std::mt19937 random(4711);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (DWORD n = 1;; ++n)
                version(n).SaveSettings("Frame.ser");
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
        ASSERT_EQ(kill(pid, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);

        CSample loaded(folder);
        ASSERT_TRUE(loaded.LoadSettings("Frame.ser"));
        EXPECT_EQ(loaded.m_name, std::string(300000, char('a' + loaded.m_count % 26)));
        folder.Set(m_dir.string() + "/");
        EXPECT_EQ(FilesInFolder(), 1u);
    }
    EXPECT_TRUE(MessageBoxRecord().empty());
}

TEST_F(SerializeSupport, TruncatedFileIsRefusedAndTheObjectKeepsItsValues)
{
    CSample saved(folder);
    saved.m_count = 99;
    saved.m_name = "Cut";
    saved.m_depth = 1.25;
    ASSERT_TRUE(saved.SaveSettings("Cut.sav"));
    const auto full = fs::file_size(m_dir / "Cut.sav");
    // Cut inside the name and inside the double.
    for (auto keep : {full - 3, full - 8, std::uintmax_t{6}}) {
        fs::resize_file(m_dir / "Cut.sav", keep);
        ClearMessageBoxRecord();
        CSample loaded(folder);
        loaded.m_count = 5;
        loaded.m_name = "Mine";
        loaded.m_depth = 2.0;
        EXPECT_FALSE(loaded.LoadSettings("Cut.sav")) << keep;
        EXPECT_EQ(loaded.m_count, 5u) << keep;
        EXPECT_EQ(loaded.m_name, "Mine") << keep;
        EXPECT_EQ(loaded.m_depth, 2.0) << keep;
        ASSERT_EQ(MessageBoxRecord().size(), 1u);
        EXPECT_NE(MessageBoxRecord()[0].text.find("unexpected format"), std::string::npos)
            << MessageBoxRecord()[0].text;
    }
    UINT prompt = 0;
    const CArchiveException eof(CArchiveException::endOfFile);
    CSerializeSupport::SettingsFileErrorText("x", &eof, FALSE, IDP_SETTINGS_FAILED_TO_OPEN, &prompt);
    EXPECT_EQ(prompt, IDP_SETTINGS_INVALID_FORMAT);
}

TEST_F(SerializeSupport, EmptyMissingAndUnreachableFiles)
{
    CSample object(folder);
    object.m_count = 3;

    // An empty name touches nothing.
    EXPECT_FALSE(object.LoadSettings(""));
    EXPECT_FALSE(object.SaveSettings(""));
    EXPECT_EQ(FilesInFolder(), 0u);

    // A missing file fails silently.
    EXPECT_FALSE(object.LoadSettings("Missing.sav"));
    EXPECT_TRUE(MessageBoxRecord().empty());

    // A file of length zero loads as "nothing changed".
    std::ofstream(m_dir / "Empty.sav").close();
    EXPECT_TRUE(object.LoadSettings("Empty.sav"));
    EXPECT_EQ(object.m_count, 3u);

    // A folder that does not exist gives the path prompt.
    EXPECT_FALSE(object.SaveSettings("NoSuchFolder/Pinger.sav"));
    ASSERT_EQ(MessageBoxRecord().size(), 1u);
    EXPECT_NE(MessageBoxRecord()[0].text.find("folder of the settings file does not exist"), std::string::npos)
        << MessageBoxRecord()[0].text;
    EXPECT_NE(MessageBoxRecord()[0].text.find("NoSuchFolder/Pinger.sav"), std::string::npos);
}

TEST_F(SerializeSupport, PromptsFollowTheCause)
{
    const struct
    {
        int cause;
        BOOL saving;
        UINT prompt;
    } cases[] = {
        {CFileException::fileNotFound, TRUE, IDP_SETTINGS_INVALID_PATH},
        {CFileException::badPath, FALSE, IDP_SETTINGS_INVALID_PATH},
        {CFileException::accessDenied, TRUE, IDP_SETTINGS_ACCESS_WRITE},
        {CFileException::accessDenied, FALSE, IDP_SETTINGS_ACCESS_READ},
        {CFileException::diskFull, TRUE, IDP_SETTINGS_DISK_FULL},
        {CFileException::hardIO, TRUE, IDP_SETTINGS_FAILED_TO_SAVE},
    };
    for (const auto& c : cases) {
        const CFileException e(c.cause, 0, "f");
        UINT prompt = 0;
        EXPECT_FALSE(CSerializeSupport::SettingsFileErrorText(std::string(300, 'p'), &e, c.saving,
                                                              IDP_SETTINGS_FAILED_TO_SAVE, &prompt)
                         .empty());
        EXPECT_EQ(prompt, c.prompt) << c.cause;
    }
    // The path is cut to 260 characters in the text.
    const CFileException e(CFileException::diskFull, 0, "f");
    const std::string text = CSerializeSupport::SettingsFileErrorText(std::string(300, 'p'), &e, TRUE, 0);
    EXPECT_NE(text.find(std::string(260, 'p')), std::string::npos);
    EXPECT_EQ(text.find(std::string(261, 'p')), std::string::npos);
    // Already reported: nothing more to show.
    const CUserException user;
    EXPECT_TRUE(CSerializeSupport::SettingsFileErrorText("x", &user, TRUE, 0).empty());
}

}  // namespace

// A save that fails (at exit, say, where a box may go unseen) also leaves
// the path and the cause in the event log.
TEST_F(SerializeSupport, AFailedSaveIsLoggedWithItsPathAndCause)
{
    const std::string events = (m_dir / "events.log").string();
    setenv("ZELVAR_EVENTLOG_FILE", events.c_str(), 1);
    CSample unreachable(folder);
    EXPECT_FALSE(unreachable.SaveSettings("NoSuchFolder/Layout.sav"));
    CSample interrupted(folder);
    interrupted.m_failWhileStoring = true;
    EXPECT_FALSE(interrupted.SaveSettings("Layout.sav"));
    unsetenv("ZELVAR_EVENTLOG_FILE");
    const std::string text = ReadAll(events);
    for (const std::string& line :
         {"Settings not saved: " + (m_dir / "NoSuchFolder/Layout.sav").string() + ": No such file or directory",
          "Settings not saved: " + (m_dir / "Layout.sav").string() + ": write failed"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
}
