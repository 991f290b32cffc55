// The echo trace beside an echogram: after every ping it takes the single
// echoes its channel found in that ping, marks the three strongest inside
// the companion echogram's depth window as accepted, links each echo to the
// echo of the previous ping at nearly the same depth, keeps the echoes of
// the last 1000 pings and a sliding TS histogram of the echoes inside the
// window, and has its views updated on the user-interface thread.
//
// The ping thread keeps the history it links against; each ping's echoes
// travel to the views as one shared, unchanging array, together with the
// histogram and the window of that ping, so the views draw the pings they
// were given however far the ping thread has gone on meanwhile.
#pragma once

#include "base/ModalSession.h"
#include "display/AbstractESDoc.h"
#include "display/DisplayContext.h"
#include "engine/ColorScaleSettings.h"
#include "engine/SingleEcho.h"
#include "engine/TSDetection.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class CArchive;
class CEchogramDoc;

// What an echo trace document reads of its channel on every ping; the real
// channel's unless a test puts its own in.
class IEchoTraceChannel
{
public:
    virtual ~IEchoTraceChannel() = default;
    // The ping's single targets; 0 when there is no new table.
    virtual int GetSingleTargets(SingleTargetRecord& record) = 0;
    // Bottom found in this ping, with its depth (m).
    virtual bool GetBottom(double& depth) = 0;
    virtual int GetPingCount() = 0;
    virtual void GetColorScale(CColorScaleSettings& scale) = 0;
    // The beam as the echo trace draws it: type, alongship and athwartship
    // widths (degrees).
    virtual void GetBeam(int& type, double& alongship, double& athwartship) = 0;
    // The channel's single-target detection, whose settings travel with the
    // document's; null for none.
    virtual CTSDetection* GetDetection() = 0;
};

class CEchoTraceDoc : public CAbstractESDoc
{
public:
    static constexpr int kHistoryCapacity = 1000;
    static constexpr int kBins = 24;
    static constexpr int kBlocks = 5;
    static constexpr int kStrongest = 3;
    // TS that masks an echo outside the window when the strongest are chosen.
    static constexpr double kMaskedTs = -100.0;
    // Echoes of two pings closer than this (m) are linked.
    static constexpr double kLinkDistance = 0.5;
    enum Presentation : int { kHistogram = 0, kEchoTrace = 1, kBoth = 2 };
    enum SizeScale : int { kLengthCm = 0, kLengthInch = 1, kWeight = 2, kTs = 3 };

    using EchoArray = std::vector<CSingleEcho>;
    // Counts of 32 bits: a block holds a fifth of up to 2000 pings of up to
    // 99 echoes each.
    struct SHistogram
    {
        std::uint32_t total = 0;
        std::array<std::uint32_t, kBins> bins{};
    };

    explicit CEchoTraceDoc(const SDisplayContext& context = {});
    ~CEchoTraceDoc() override;
    const SDisplayContext& GetContext() const { return m_context; }

    BOOL OnNewDocument() { return 1; }
    void OnSourceUpdate(int flag) override;
    void SetChannel(CChannel* channel) override;
    // The document's channel seen through the interface; a test sets its own.
    void SetEchoTraceChannel(IEchoTraceChannel* channel) { m_access = channel; }
    bool HasChannel() const { return m_access != nullptr; }
    // Presentation 2 (both); size scale length in cm on RM30, else TS.
    void SetDefaults() override;
    // Presentation and size scale, then the channel's single-target
    // detection settings. A load checks every value before it takes any
    // and throws CArchiveException for one out of range.
    void Serialize(CArchive& ar);

    // The echogram of the same row, whose window the histogram counts in.
    void SetCompanion(CEchogramDoc* echogram) { m_companion = echogram; }
    CEchogramDoc* GetCompanion() const { return m_companion; }

    // Upper and lower depth (m) of the companion echogram's window; false
    // when there is none (no companion, or a bottom-referenced echogram
    // without a bottom in this ping). Ping thread.
    bool GetDepthWindow(double& start, double& end);

    // The n records of highest TS, in list order, then null: the first n,
    // each later one replacing the lowest (the first of equals) when it is
    // strictly higher.
    static void SelectStrongest(const TSTarget* records, int count, const TSTarget** list, int n);
    // Counts the ping's echoes between start and end into the sliding
    // histogram and recomputes the sum; resets instead while the companion
    // is frozen, has fewer than 5 columns or the level changed.
    void UpdateHistogram(const SingleTargetRecord& table, double start, double end, double level, double binWidth,
                         SHistogram& sum);

    // The settings dialog on the presentation and size scale: 0 when it
    // could not be shown (or the document went meanwhile), else 1.
    int OnEchoTraceSettings();
    // The dialog the document has open, null when none.
    bool HasOpenDialog() const { return m_openSession != nullptr; }

    // Settings (user-interface thread).
    int m_presentation = kBoth;
    int m_sizeScale = kTs;

    // What one ping leaves for the views.
    struct SShownTrace
    {
        // Counts the document's results from 1; 0: none shown yet.
        std::uint64_t number = 0;
        bool hasChannel = false;
        // The ping's echoes; null for a ping without any.
        std::shared_ptr<const EchoArray> echoes;
        SHistogram histogram;
        bool windowFound = false;
        double start = 0.0;
        double end = 0.0;
        double meanLayerValue = 0.0;
        CColorScaleSettings scale;
        int beamType = 0;
        double beamAlongship = 0.0;
        double beamAthwartship = 0.0;
    };
    // The ping the views show now, and the pings before it as the views
    // got them: slot i of the history, the slot the next ping fills.
    // User-interface thread only.
    const SShownTrace& Shown() const { return m_shown; }
    const std::shared_ptr<const EchoArray>& ShownSlot(int slot) const;
    int ShownWriteIndex() const { return m_shownWriteIndex; }

    // The ping thread's side, for tests.
    int GetWriteIndex() const { return m_writeIndex; }
    const std::shared_ptr<const EchoArray>& GetSlot(int slot) const;
    const SHistogram& GetHistogramSum() const { return m_sum; }
    int GetHistogramCounter() const { return m_counter; }
    double GetHistogramLevel() const { return m_level; }

protected:
    bool QueuesResults() const override { return true; }
    std::uint64_t NewestResult() const override;
    bool TakeResult(std::uint64_t upTo) override;

private:
    const SDisplayContext m_context;
    std::unique_ptr<IEchoTraceChannel> m_ownAccess;
    IEchoTraceChannel* m_access = nullptr;
    CEchogramDoc* m_companion = nullptr;
    CModalSession* m_openSession = nullptr;

    // Ping thread.
    double m_level = -50.0;
    std::array<SHistogram, kBlocks> m_blocks{};
    int m_counter = 0;
    SHistogram m_sum;
    SingleTargetRecord m_table;
    std::array<TSTarget, SingleTargetRecord::kCapacity> m_masked{};
    std::vector<std::shared_ptr<const EchoArray>> m_history;
    int m_writeIndex = 0;

    // Pings' results on their way to the views, and what they show.
    mutable std::mutex m_resultLock;
    std::deque<SShownTrace> m_results;
    std::uint64_t m_resultCount = 0;
    SShownTrace m_shown;
    std::vector<std::shared_ptr<const EchoArray>> m_shownHistory;
    int m_shownWriteIndex = 0;
};

// The echo trace settings dialog, which the user interface provides. It
// runs modally on the caller's values: IDOK, IDCANCEL, -1 when the document
// went away meanwhile, 0 when it could not be made.
class IEchoTraceDialogs
{
public:
    virtual ~IEchoTraceDialogs() = default;
    virtual int RunEchoTraceDialog(CEchoTraceDoc& document, int& presentation, int& sizeScale,
                                   const CModalSession::DialogOpened& opened) = 0;
};
