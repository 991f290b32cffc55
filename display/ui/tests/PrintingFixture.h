// The printing under test: one echogram view of a channel whose every ping
// has an echo band, a printing document that prints every ping, and its two
// views, with pages as large as a small screen. History files go to a
// folder of the case's own; paper pages to the case's printer.
#pragma once

#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "display/EchogramDoc.h"
#include "display/PrinterDoc.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/tests/TempFolder.h"
#include "display/tests/TestDisplayContext.h"
#include "display/ui/EchogramView.h"
#include "display/ui/PrinterView.h"
#include "engine/Channel.h"
#include "platform/TempHives.h"

#include <QResizeEvent>

#include <memory>

namespace printingtest {

constexpr std::int16_t kWeak = -9000;
constexpr std::int16_t kEcho = -850;  // about -10 dB

// Samples from..to (of the view's 100 rows) are echoes.
class BandChannel : public CStubEchogramChannel
{
public:
    int from = 10, to = 40;
    bool GetPingSamples(std::int16_t* out, int n, double, double, int, int) override
    {
        for (int i = 0; i < n; ++i)
            out[i] = i >= from && i <= to ? kEcho : kWeak;
        return true;
    }
};

// The colour scale starts at -20 dB in steps of 2.5 dB: the echo shows at
// level 5. No bottom, no slope.
struct LevelChannel : IEchogramViewChannel
{
    void GetColorScale(CColorScaleSettings& scale) override
    {
        for (int selector = 0; selector <= 4; ++selector)
            scale.SetValueBySelector(selector, -20.0);
        scale.SetInterval(2.5);
    }
    bool GetDepth(double&) override { return false; }
    bool IsSkipping() override { return false; }
    void SetSlopeHistorySize(int) override {}
    int GetSlopeHalfPointCount() override { return 0; }
    void UpdateSlopeValidity(bool) override {}
    bool GetSlopeAngle(double&) override { return false; }
    bool GetSecondSide(const std::string&, std::vector<std::int16_t>&) override { return false; }
    std::uint64_t GetPingTime() override { return 0; }
    double GetSoundVelocity() override { return 1500.0; }
};

class PrintingFixture
{
public:
    // The view is 200 x 100: the paper page is 200 x 100, the history page
    // 100 x 128 (its header below).
    static constexpr int kScreenWidth = 200, kScreenHeight = 100;

    explicit PrintingFixture(IPrinterDevices* devices = nullptr, IPaperPrinter* paper = nullptr)
    {
        shelltest::QtApp();
        CChannel::Construction cc;
        cc.SourceName = "T38 38 kHz";
        channel = std::make_unique<CChannel>(cc);
        echogram.SetChannel(channel.get());
        echogram.SetEchogramChannel(&band);
        echogram.m_range = 100.0;
        echogram.m_start = 0.0;
        echogram.m_rangeReference = CEchogramDoc::SURFACE;
        program.updateViews = [](CAbstractESDoc& d) { d.UpdateAllViews(); };
        view = std::make_unique<CEchogramView>(&echogram);
        view->SetChannelAccess(&levels);
        view->resize(kScreenWidth, kScreenHeight);
        QResizeEvent event(QSize(kScreenWidth, kScreenHeight), QSize());
        QApplication::sendEvent(view.get(), &event);
        view->OnInitialUpdate();

        root = reg.OpenKey(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310\\1.0", TRUE);
        printer.SetRootKey(root);
        printer.SetDevices(devices);
        printer.SetHistoryPathSource([this] { return folder.File("history"); });
        printer.refreshMainFrame = [this] { printer.ApplyPrinterOn(); };
        paperView = std::make_unique<CPrinterView>(printer, false, QSize(kScreenWidth, kScreenHeight), paper);
        historyView = std::make_unique<CPrinterView>(printer, true, QSize(kScreenWidth, kScreenHeight));
        printer.CollectEchogramViews(nullptr, {view.get()});
    }
    ~PrintingFixture()
    {
        paperView.reset();
        historyView.reset();
    }

    void Set(const char* name, DWORD value) { reg.SetDword(root, "Printer", name, value); }
    void Pings(int n)
    {
        for (int i = 0; i < n; ++i) {
            echogram.OnSourceUpdate(1);
            printer.OnSourceUpdate(1);
        }
    }

    CTempHives hives;
    CRegistrySupport reg;
    HKEY root = 0;
    TempFolder folder;
    CTestDisplayContext program;
    BandChannel band;
    LevelChannel levels;
    std::unique_ptr<CChannel> channel;
    CEchogramDoc echogram{program.Context()};
    std::unique_ptr<CEchogramView> view;
    CPrinterDoc printer{program.Context()};
    std::unique_ptr<CPrinterView> paperView, historyView;
};

}  // namespace printingtest
