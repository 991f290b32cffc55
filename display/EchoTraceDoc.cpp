#include "display/EchoTraceDoc.h"

#include "base/Archive.h"
#include "display/EchogramDoc.h"
#include "engine/Channel.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <cmath>

namespace {

// The document's view of a real channel.
class CChannelAccess final : public IEchoTraceChannel
{
public:
    explicit CChannelAccess(CChannel& channel) : m_channel(channel) {}
    int GetSingleTargets(SingleTargetRecord& record) override { return m_channel.GetSingleTargets(record); }
    bool GetBottom(double& depth) override { return m_channel.ProcessPing(&depth); }
    int GetPingCount() override { return m_channel.GetPingCount(); }
    void GetColorScale(CColorScaleSettings& scale) override { m_channel.GetColorScale(scale); }
    void GetBeam(int& type, double& alongship, double& athwartship) override
    {
        type = m_channel.GetBeamType();
        alongship = m_channel.GetBeamWidthAlongship();
        athwartship = m_channel.GetBeamWidthAthwartship();
    }
    CTSDetection* GetDetection() override { return &m_channel.GetTSDetection(); }

private:
    CChannel& m_channel;
};

const std::shared_ptr<const CEchoTraceDoc::EchoArray> kNoEchoes;

}  // namespace

CEchoTraceDoc::CEchoTraceDoc(const SDisplayContext& context)
    : m_context(context), m_history(kHistoryCapacity), m_shownHistory(kHistoryCapacity)
{
    CEchoTraceDoc::SetDefaults();
}

CEchoTraceDoc::~CEchoTraceDoc()
{
    // A settings dialog still open ends with -1 and writes nothing back.
    CModalSession::EndAll(m_openSession);
    EndHandOff();
    // An update running on the ping thread is waited for while this is whole.
    DetachFromSource();
}

void CEchoTraceDoc::SetChannel(CChannel* channel)
{
    CAbstractESDoc::SetChannel(channel);
    m_ownAccess = channel ? std::make_unique<CChannelAccess>(*channel) : nullptr;
    m_access = m_ownAccess.get();
}

void CEchoTraceDoc::SetDefaults()
{
    m_presentation = kBoth;
    m_sizeScale = m_context.model == SounderModel::RM30 ? kLengthCm : kTs;
}

bool CEchoTraceDoc::GetDepthWindow(double& start, double& end)
{
    if (!m_companion)
        return false;
    const CEchogramDoc::STraceWindow w = m_companion->GetTraceWindow();
    bool found = true;
    if (w.reference == CEchogramDoc::SURFACE || w.reference == CEchogramDoc::TRAWL) {
        start = w.start;
    } else {
        double bottom = 0.0;
        found = m_access && m_access->GetBottom(bottom);
        start = bottom - w.start;
    }
    end = start + w.range;
    return found;
}

void CEchoTraceDoc::SelectStrongest(const TSTarget* records, int count, const TSTarget** list, int n)
{
    if (count <= n) {
        for (int i = 0; i < count; ++i)
            list[i] = &records[i];
        list[std::max(count, 0)] = nullptr;
        return;
    }
    for (int i = 0; i < n; ++i)
        list[i] = &records[i];
    for (int i = n; i < count; ++i) {
        int lowest = 0;
        for (int k = 1; k < n; ++k)
            if (list[k]->TS < list[lowest]->TS)
                lowest = k;
        if (records[i].TS > list[lowest]->TS)
            list[lowest] = &records[i];
    }
    list[n] = nullptr;
}

void CEchoTraceDoc::UpdateHistogram(const SingleTargetRecord& table, double start, double end, double level,
                                    double binWidth, SHistogram& sum)
{
    const CEchogramDoc::STraceWindow w = m_companion ? m_companion->GetTraceWindow() : CEchogramDoc::STraceWindow{};
    const int n = w.columns / kBlocks;
    if (w.frozen || n == 0 || level != m_level) {
        m_level = level;
        m_counter = 0;
        m_blocks.fill(SHistogram{});
        return;
    }
    ++m_counter;
    int b = m_counter / n;
    if (b >= kBlocks) {
        m_counter = 0;
        b = 0;
    }
    SHistogram& block = m_blocks[static_cast<std::size_t>(b)];
    if (m_counter % n == 0)
        block = SHistogram{};
    // A colour scale without steps has no bins to count into.
    if (binWidth > 0.0) {
        const int count = std::min<int>(table.Count, SingleTargetRecord::kCapacity);
        for (int i = 0; i < count; ++i) {
            const TSTarget& t = table.Targets[static_cast<std::size_t>(i)];
            if (!(t.Range > start && t.Range < end))
                continue;
            const double k = std::trunc((t.TS - level) / binWidth);
            if (!(k >= 0.0 && k < kBins))
                continue;
            ++block.total;
            ++block.bins[static_cast<std::size_t>(k)];
        }
    }
    sum = SHistogram{};
    for (const SHistogram& h : m_blocks) {
        sum.total += h.total;
        for (int i = 0; i < kBins; ++i)
            sum.bins[static_cast<std::size_t>(i)] += h.bins[static_cast<std::size_t>(i)];
    }
}

void CEchoTraceDoc::OnSourceUpdate(int flag)
{
    if (flag == 0 || !m_access)
        return;
    if (m_access->GetSingleTargets(m_table) == 0)
        return;
    const int count = std::min<int>(m_table.Count, SingleTargetRecord::kCapacity);
    double start = 0.0, end = 0.0;
    const bool windowFound = GetDepthWindow(start, end);

    const TSTarget* strongest[kStrongest + 1] = {};
    if (count > kStrongest) {
        std::copy_n(m_table.Targets.begin(), count, m_masked.begin());
        if (windowFound)
            for (int i = 0; i < count; ++i) {
                TSTarget& t = m_masked[static_cast<std::size_t>(i)];
                if (!(t.Range >= start && t.Range <= end))
                    t.TS = kMaskedTs;
            }
        SelectStrongest(m_masked.data(), count, strongest, kStrongest);
    }

    const int previousSlot = m_writeIndex == 0 ? kHistoryCapacity - 1 : m_writeIndex - 1;
    const EchoArray* previous = m_history[static_cast<std::size_t>(previousSlot)].get();

    std::shared_ptr<EchoArray> echoes;
    if (count > 0) {
        double bottom = 0.0;
        if (!m_access->GetBottom(bottom))
            bottom = 0.0;
        const int ping = m_access->GetPingCount();
        echoes = std::make_shared<EchoArray>();
        echoes->reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const TSTarget& t = m_table.Targets[static_cast<std::size_t>(i)];
            CSingleEcho e;
            e.SetDepth(t.Range);
            e.SetTS(t.TS);
            e.SetValue3(t.TSUncompensated);
            e.SetAlongshipAngle(t.AlongAngle);
            e.SetAthwartshipAngle(t.AthwartAngle);
            e.SetValue6(t.Backscattering);
            e.SetPingNumber(ping);
            e.SetBottomDepth(bottom);
            e.SetLink(-1);
            bool accepted = true;
            if (count > kStrongest) {
                const TSTarget* copy = &m_masked[static_cast<std::size_t>(i)];
                accepted = false;
                for (int k = 0; strongest[k]; ++k)
                    if (strongest[k] == copy)
                        accepted = copy->TS > kMaskedTs;
            }
            e.SetAccepted(accepted);
            if (previous) {
                const double d = t.Range;
                const double low = d > kLinkDistance ? d - kLinkDistance : 0.0;
                const double high = d + kLinkDistance;
                for (std::size_t j = 0; j < previous->size(); ++j) {
                    const double pd = (*previous)[j].GetDepth();
                    if (pd >= low && pd <= high)
                        e.SetLink(static_cast<std::int32_t>(j));
                }
            }
            echoes->push_back(e);
        }
    }
    m_history[static_cast<std::size_t>(m_writeIndex)] = echoes;
    m_writeIndex = (m_writeIndex + 1) % kHistoryCapacity;

    SShownTrace result;
    result.hasChannel = true;
    m_access->GetColorScale(result.scale);
    if (windowFound)
        UpdateHistogram(m_table, start, end, result.scale.GetValueBySelector(2), result.scale.GetInterval() * 0.5,
                        m_sum);
    result.echoes = std::move(echoes);
    result.histogram = m_sum;
    result.windowFound = windowFound;
    result.start = start;
    result.end = end;
    // The companion's layer values change only on this thread, in its own
    // update of the same ping list.
    result.meanLayerValue = m_companion ? m_companion->GetMeanLayerValue() : 0.0;
    m_access->GetBeam(result.beamType, result.beamAlongship, result.beamAthwartship);
    {
        std::lock_guard lk(m_resultLock);
        if (m_results.size() >= kMaxWaitingResults)
            m_results.pop_front();
        result.number = ++m_resultCount;
        m_results.push_back(std::move(result));
    }
    m_context.ViewUpdates().UpdateViews(*this);
}

std::uint64_t CEchoTraceDoc::NewestResult() const
{
    std::lock_guard lk(m_resultLock);
    return m_resultCount;
}

bool CEchoTraceDoc::TakeResult(std::uint64_t upTo)
{
    std::lock_guard lk(m_resultLock);
    if (m_results.empty() || m_results.front().number > upTo)
        return false;
    SShownTrace& next = m_results.front();
    // A result dropped on the way leaves its slot as it was: the history
    // the views draw advances by the pings they got.
    m_shownHistory[static_cast<std::size_t>(m_shownWriteIndex)] = next.echoes;
    m_shownWriteIndex = (m_shownWriteIndex + 1) % kHistoryCapacity;
    m_shown = std::move(next);
    m_results.pop_front();
    return true;
}

const std::shared_ptr<const CEchoTraceDoc::EchoArray>& CEchoTraceDoc::ShownSlot(int slot) const
{
    if (slot < 0 || slot >= kHistoryCapacity)
        return kNoEchoes;
    return m_shownHistory[static_cast<std::size_t>(slot)];
}

const std::shared_ptr<const CEchoTraceDoc::EchoArray>& CEchoTraceDoc::GetSlot(int slot) const
{
    if (slot < 0 || slot >= kHistoryCapacity)
        return kNoEchoes;
    return m_history[static_cast<std::size_t>(slot)];
}

int CEchoTraceDoc::OnEchoTraceSettings()
{
    IEchoTraceDialogs* dialogs = m_context.echoTraceDialogs;
    if (!dialogs)
        return 0;
    int presentation = m_presentation;
    int sizeScale = m_sizeScale;
    CModalSession session(m_openSession);
    const int result = dialogs->RunEchoTraceDialog(*this, presentation, sizeScale, session.Opened());
    // The document went while the dialog ran: nothing of it is touched.
    if (session.OwnerGone())
        return 0;
    if (result == -1 || result == 0)
        return 0;
    if (result == IDOK) {
        m_presentation = presentation;
        m_sizeScale = sizeScale;
    }
    return 1;
}

void CEchoTraceDoc::Serialize(CArchive& ar)
{
    CTSDetection* detection = m_access ? m_access->GetDetection() : nullptr;
    if (ar.IsStoring()) {
        // Without a channel the defaults hold the settings' place, so the
        // file's layout is the same either way.
        const CTSDetection::Settings s = detection ? detection->GetSettings() : CTSDetection::Settings{};
        ar << static_cast<LONG>(m_presentation) << static_cast<LONG>(m_sizeScale) << s.MinEchoLength << s.MaxEchoLength
           << s.MaxGainCompensation << s.MaxPhaseDeviation;
        return;
    }
    LONG presentation = 0, sizeScale = 0;
    CTSDetection::Settings s;
    ar >> presentation >> sizeScale >> s.MinEchoLength >> s.MaxEchoLength >> s.MaxGainCompensation >>
        s.MaxPhaseDeviation;
    if (presentation < kHistogram || presentation > kBoth || sizeScale < kLengthCm || sizeScale > kTs ||
        !CTSDetection::IsValid(s))
        throw CArchiveException(CArchiveException::badIndex);
    m_presentation = static_cast<int>(presentation);
    m_sizeScale = static_cast<int>(sizeScale);
    if (detection)
        detection->SetSettings(s);
}
