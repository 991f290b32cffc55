// Paper printing end to end through the system's print service: the test
// runs a print server of its own (its own configuration folder, a Unix
// socket named by CUPS_SERVER, HOME in its folder, nothing of the machine's
// print settings read or written) with one queue, the default destination,
// whose backend writes every job to a file. The printing's pages must
// arrive there as PDF that pdfinfo reads.
#include "display/ui/tests/PrintingFixture.h"

#include "display/ui/PaperPrinter.h"
#include "display/ui/PrinterDevices.h"
#include "testsupport/Wait.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";
constexpr const char* kQueue = "ZVTEST";

// The backend: asked without arguments it names its device; a job's file
// (or its standard input) goes to the folder of the device URI.
constexpr const char* kBackend = R"(#!/bin/sh
if [ $# -eq 0 ]; then echo 'direct zvfile "Unknown" "Test queue"'; exit 0; fi
out="${DEVICE_URI#zvfile:}"
if [ -n "$6" ]; then cat "$6" > "$out/job-$1.pdf"; else cat > "$out/job-$1.pdf"; fi
)";

class CPrintServer
{
public:
    explicit CPrintServer(const fs::path& root) : m_root(root)
    {
        for (const char* dir : {"conf", "spool", "tmp", "cache", "state", "log", "serverbin/backend", "jobs", "home"})
            fs::create_directories(root / dir);
        for (const char* dir : {"daemon", "notifier"})
            fs::create_directory_symlink(fs::path("/usr/lib/cups") / dir, root / "serverbin" / dir);
        const fs::path backend = root / "serverbin/backend/zvfile";
        std::ofstream(backend) << kBackend;
        // Owner only: the server runs it as the user it runs as.
        fs::permissions(backend, fs::perms::owner_all, fs::perm_options::replace);
        std::ofstream(root / "conf/cups-files.conf")
            << "ServerRoot " << (root / "conf").string() << "\nRequestRoot " << (root / "spool").string()
            << "\nTempDir " << (root / "tmp").string() << "\nCacheDir " << (root / "cache").string() << "\nStateDir "
            << (root / "state").string() << "\nServerBin " << (root / "serverbin").string()
            << "\nDataDir /usr/share/cups\nAccessLog " << (root / "log/access_log").string() << "\nErrorLog "
            << (root / "log/error_log").string() << "\nPageLog " << (root / "log/page_log").string()
            << "\nFileDevice No\nSandboxing Relaxed\n";
        std::ofstream(root / "conf/cupsd.conf")
            << "Listen " << Socket() << "\nLogLevel info\nDefaultAuthType None\nWebInterface No\nBrowsing No\n"
            << "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
            << "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n";
        QProcessEnvironment env = Environment();
        m_server.setProcessEnvironment(env);
        m_server.start(kCupsd, {"-f", "-c", QString::fromStdString((root / "conf/cupsd.conf").string()), "-s",
                                QString::fromStdString((root / "conf/cups-files.conf").string())});
    }
    ~CPrintServer()
    {
        // Only the server this test started.
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(10000))
                m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
    std::string Socket() const { return (m_root / "cups.sock").string(); }
    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CUPS_SERVER", QString::fromStdString(Socket()));
        env.insert("HOME", QString::fromStdString((m_root / "home").string()));
        return env;
    }
    // A client tool against this server; its exit code.
    int Tool(const QString& program, const QStringList& arguments, std::string* output = nullptr) const
    {
        QProcess process;
        process.setProcessEnvironment(Environment());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        if (!process.waitForFinished(30000))
            return -1;
        if (output)
            *output = process.readAll().toStdString();
        return process.exitCode();
    }
    bool Running() const { return m_server.state() == QProcess::Running; }
    std::string Log() const
    {
        std::ifstream in(m_root / "log/error_log");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    fs::path m_root;
    QProcess m_server;
};

TEST(PrintingCups, PaperPagesArriveAtTheDefaultQueueAsPdf)
{
    if (!fs::exists(kCupsd))
        GTEST_SKIP() << "the print server is not installed (scripts/setup-debian.sh installs it)";
    shelltest::QtApp();
    TempFolder tmp;
    ASSERT_TRUE(tmp.Ok());
    const fs::path root = tmp.File("cups");
    CPrintServer server(root);
    // Before the print support of this process asks for any printer.
    ::setenv("CUPS_SERVER", server.Socket().c_str(), 1);
    ::setenv("HOME", (root / "home").string().c_str(), 1);
    std::string output;
    ASSERT_TRUE(zv::test::WaitUntil(
        [&] { return server.Tool("lpstat", {"-r"}, &output) == 0 && output.find("is running") != std::string::npos; },
        std::chrono::seconds(20)))
        << output << server.Log();
    ASSERT_EQ(server.Tool(
                  "lpadmin",
                  {"-p", kQueue, "-E", "-v", QString::fromStdString("zvfile:" + (root / "jobs").string()), "-m", "raw"},
                  &output),
              0)
        << output << server.Log();
    ASSERT_EQ(server.Tool("lpadmin", {"-d", kQueue}, &output), 0) << output;

    CDefaultPaperPrinter paper;
    ASSERT_TRUE(paper.HasPrinter()) << "the test's queue is the default destination";
    CPrinterDevices devices(paper);
    {
        printingtest::PrintingFixture f(&devices, &paper);
        f.Set("PrinterOn", 1);
        f.printer.SetDefaults();
        ASSERT_TRUE(f.printer.IsPaperPrinting());
        f.Pings(200 + 20);
        f.printer.EndPaperPrinting();
        f.printer.Worker().WaitIdle();
    }
    std::vector<fs::path> jobs;
    ASSERT_TRUE(zv::test::WaitUntil(
        [&] {
            jobs.clear();
            for (const auto& entry : fs::directory_iterator(root / "jobs"))
                if (fs::file_size(entry.path()) > 0)
                    jobs.push_back(entry.path());
            return jobs.size() == 2 && server.Tool("lpstat", {"-o"}, &output) == 0 && output.empty();
        },
        std::chrono::seconds(60)))
        << jobs.size() << " jobs\n"
        << server.Log();
    for (const fs::path& job : jobs) {
        SCOPED_TRACE(job.string());
        QProcess info;
        info.start("pdfinfo", {QString::fromStdString(job.string())});
        ASSERT_TRUE(info.waitForFinished(30000));
        EXPECT_EQ(info.exitCode(), 0);
        const std::string text = info.readAllStandardOutput().toStdString();
        const std::size_t at = text.find("Pages:");
        ASSERT_NE(at, std::string::npos) << text;
        EXPECT_EQ(std::atoi(text.c_str() + at + 6), 1) << text;
    }
}

}  // namespace
