#include "engine/BottomDetector.h"

#include "base/Archive.h"
#include "base/StateFileReport.h"
#include "engine/DetectionDialogs.h"
#include "engine/RawPower.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/DurableFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using rawpower::kDbPerUnit;
using rawpower::kNoEcho;
using rawpower::kUnitsPerDb;
using rawpower::Round;
using rawpower::Saturate16;
using rawpower::Trunc;

namespace {

constexpr std::int16_t kEndMark = -19999;

double Window(double depth)
{
    return std::min(0.3 * depth + 50.0, 500.0);
}
double Upper(double depth, double limit)
{
    return std::min(limit, depth + Window(depth));
}
double Lower(double depth, double limit)
{
    return std::max(limit, depth - Window(depth));
}

#if defined(__SSE2__)
constexpr int kMaskWords = 64;

// Bit k set where words[k] >= t, over 64 words.
[[gnu::always_inline]] inline std::uint64_t AtLeastMask(const std::int16_t* words, int t)
{
    if (t <= -32768)
        return ~std::uint64_t{0};
    if (t > 32767)
        return 0;
    const __m128i below = _mm_set1_epi16(static_cast<short>(t - 1));
    std::uint64_t mask = 0;
    for (int k = 0; k < kMaskWords; k += 16) {
        const __m128i a = _mm_cmpgt_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(words + k)), below);
        const __m128i b = _mm_cmpgt_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(words + k + 8)), below);
        mask |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(a, b)))} << k;
    }
    return mask;
}

// Words whose bit in keep is clear become no echo, over 64 words.
[[gnu::always_inline]] inline void KeepMasked(std::int16_t* words, std::uint64_t keep)
{
    const __m128i bits = _mm_setr_epi16(1, 2, 4, 8, 16, 32, 64, 128);
    const __m128i none = _mm_set1_epi16(kNoEcho);
    for (int k = 0; k < kMaskWords; k += 8) {
        const __m128i m = _mm_set1_epi16(static_cast<short>((keep >> k) & 0xFF));
        const __m128i sel = _mm_cmpeq_epi16(_mm_and_si128(m, bits), bits);
        auto* p = reinterpret_cast<__m128i*>(words + k);
        const __m128i w = _mm_loadu_si128(p);
        _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(sel, w), _mm_andnot_si128(sel, none)));
    }
}
#endif

int ToIndex(std::int64_t v)
{
    return static_cast<int>(std::clamp<std::int64_t>(v, -1, 1 << 30));
}

// A text field is sound when it ends within its bytes.
bool GetText(CByteReader& r, std::size_t at, std::string& s)
{
    s = r.Text(at, CBottomDetector::kTextSize);
    return s.size() < CBottomDetector::kTextSize;
}

std::string SafeFileName(const std::string& name)
{
    std::string s = name;
    for (char& c : s)
        if (std::strchr("/\\:*?\"<>|", c) != nullptr && c != '\0')
            c = '_';
    return s;
}

std::string StripReplay(std::string name)
{
    static const std::string tag = "Replay ";
    const auto pos = name.find(tag);
    if (pos != std::string::npos)
        name.erase(pos, tag.size());
    return name;
}

}  // namespace

CBottomDetector::CBottomDetector(const Construction& c)
    : m_s(kArraySize, kNoEcho),
      m_w(kArraySize, kNoEcho),
      m_sourceName(c.SourceName),
      m_secondName(c.SecondName),
      m_folder(c.UseSettingsFolder ? c.SettingsFolder : std::string()),
      m_external(c.ExternalDepth),
      m_dialogs(c.Dialogs)
{
    const bool deepModel =
        c.Model == SounderModel::QY210 || c.Model == SounderModel::QY310 || c.Model == SounderModel::QYNVU;
    m_backstep = deepModel ? -40.0 : -50.0;
    m_smoothing = c.Model == SounderModel::RM30;
    SetDefaults(c.SampleDistance);
    m_heap.reserve(kArraySize);
    m_spikes.reserve(kMaxSpikeRecords);
    LoadSettingsFile();
}

CBottomDetector::~CBottomDetector()
{
    CModalSession::EndAll(m_dialog);
    SaveSettingsFile();
}

void CBottomDetector::SetDefaults(double d)
{
    m_mode1 = 0;
    m_mode1Text.clear();
    m_mode2 = 0;
    m_mode2Text.clear();
    m_secondLayer = false;
    m_reference.clear();
    m_gain = 0.0;
    const double deepest = 29900.0 * (d > 0.0 ? d : 0.0);
    m_maxDepth = deepest <= 1000.0 ? std::floor(deepest / 100.0) * 100.0 : 1000.0;
    m_minDepth = 0.0;
}

// ---- Settings file ----------------------------------------------------------

std::string CBottomDetector::GetSettingsPath() const
{
    if (m_folder.empty())
        return {};
    return m_folder + SafeFileName(m_sourceName) + "_" + kFileSuffix;
}

std::array<std::uint8_t, CBottomDetector::kFileSize> CBottomDetector::EncodeSettings() const
{
    std::lock_guard lock(m_lock);
    std::array<std::uint8_t, kFileSize> b{};
    CByteWriter w(b);
    w.F64(0, m_maxDepth);
    // A fixed range lowers the maximum, possibly below the minimum; the file
    // must still be taken back whole at the next start, and a minimum at the
    // maximum searches the same empty window.
    w.F64(8, std::min(m_minDepth, m_maxDepth));
    w.Bytes(16, m_reserved.data(), m_reserved.size());
    w.I32(24, m_mode1);
    w.Text(28, kTextSize, m_mode1Text);
    w.I32(48, m_mode2);
    w.Text(52, kTextSize, m_mode2Text);
    w.U32(72, m_secondLayer ? 1u : 0u);
    w.Text(76, kTextSize, m_reference);
    w.F64(96, m_gain);
    return b;
}

bool CBottomDetector::DecodeSettings(const std::uint8_t* b, std::size_t size)
{
    if (b == nullptr || size != kFileSize)
        return false;
    CByteReader r(b, size);
    const double maxDepth = r.F64(0);
    const double minDepth = r.F64(8);
    const std::uint32_t second = r.U32(72);
    const double gain = r.F64(96);
    std::string t1, t2, ref;
    if (!GetText(r, 28, t1) || !GetText(r, 52, t2) || !GetText(r, 76, ref))
        return false;
    if (!std::isfinite(maxDepth) || !(maxDepth > 0.0) || maxDepth > 100000.0)
        return false;
    // A minimum equal to the maximum is what the dialog lets through; it
    // must survive a restart like any other setting.
    if (!std::isfinite(minDepth) || minDepth < 0.0 || minDepth > maxDepth)
        return false;
    if (second > 1 || !std::isfinite(gain) || gain < 0.0 || gain > 5.0)
        return false;

    std::lock_guard lock(m_lock);
    m_maxDepth = maxDepth;
    m_minDepth = minDepth;
    const auto reserved = r.Bytes(16, m_reserved.size());
    std::copy(reserved.begin(), reserved.end(), m_reserved.begin());
    m_mode1 = r.I32(24);
    m_mode1Text = t1;
    m_mode2 = r.I32(48);
    m_mode2Text = t2;
    m_secondLayer = second != 0;
    m_reference = ref;
    m_gain = gain;
    return true;
}

bool CBottomDetector::LoadSettingsFile()
{
    const std::string path = GetSettingsPath();
    if (path.empty())
        return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    // One byte more than the record, so that a longer file is seen as such.
    std::uint8_t buffer[kFileSize + 1];
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
    std::fclose(f);
    return DecodeSettings(buffer, n);
}

bool CBottomDetector::SaveSettingsFile() const
{
    const std::string path = GetSettingsPath();
    if (path.empty())
        return false;
    const auto bytes = EncodeSettings();
    const int error =
        CDurableFile::Replace(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    // Saved at exit, where no one would otherwise hear of a lost file.
    if (error != 0)
        CStateFileReport::NotSaved(path, error);
    return error == 0;
}

void CBottomDetector::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        double maxDepth, minDepth, backstep;
        {
            std::lock_guard lock(m_lock);
            maxDepth = m_maxDepth;
            minDepth = m_minDepth;
            backstep = m_backstep;
        }
        ar << maxDepth << minDepth << backstep;
        return;
    }
    double maxDepth = 0.0, minDepth = 0.0, backstep = 0.0;
    ar >> maxDepth >> minDepth >> backstep;
    std::lock_guard lock(m_lock);
    // A layout from a damaged file must not turn the search range into
    // nonsense; each value is taken only when it makes sense.
    const double newMax = std::isfinite(maxDepth) && maxDepth > 0.0 ? maxDepth : m_maxDepth;
    const double newMin = std::isfinite(minDepth) && minDepth >= 0.0 ? minDepth : m_minDepth;
    // A window whose top lies below its bottom is nonsense too: neither depth.
    if (newMin <= newMax) {
        m_maxDepth = newMax;
        m_minDepth = newMin;
    }
    if (std::isfinite(backstep) && backstep >= -80.0 && backstep <= 0.0)
        m_backstep = backstep;
}

void CBottomDetector::SetDisplayMode(int mode, const std::string& text)
{
    std::lock_guard lock(m_lock);
    m_mode2 = mode;
    m_mode2Text = text.substr(0, kTextSize - 1);
}

void CBottomDetector::SetSecondLayer(bool on, const std::string& reference, double gain)
{
    std::lock_guard lock(m_lock);
    m_secondLayer = on;
    m_reference = reference.substr(0, kTextSize - 1);
    m_gain = std::clamp(gain, 0.0, 5.0);
}

void CBottomDetector::SetSecondLayerOn(bool on)
{
    std::lock_guard lock(m_lock);
    m_secondLayer = on;
}

void CBottomDetector::SetTrackedBottom(double range, double levelDb)
{
    std::lock_guard lock(m_lock);
    m_tracked = range;
    m_level = levelDb;
}

void CBottomDetector::GetBottomSamplesDb(double* out, int n, int first) const
{
    std::lock_guard lock(m_lock);
    for (int j = 0; j < n; ++j) {
        const std::int64_t i = std::int64_t{first} + j;
        out[j] = (i >= 0 && i < kArraySize) ? m_w[static_cast<std::size_t>(i)] * kDbPerUnit : rawpower::kNoEchoDb;
    }
}

// ---- Dialog -----------------------------------------------------------------

void CBottomDetector::GetCandidates(SBottomCandidate (&out)[kMaxCandidates]) const
{
    std::lock_guard lock(m_lock);
    for (int k = 0; k < kCandidateCount; ++k) {
        const Candidate& c = m_candidateSnapshot[static_cast<std::size_t>(k)];
        // Confirmed candidates are the ones with an age; only they are scored.
        out[k] = {c.Age != 0, c.Total, c.Start, {c.LevelScore, c.DepthScore, c.DistanceScore, c.Age}};
    }
}

IBottomDetector::Limits CBottomDetector::GetLimits() const
{
    std::lock_guard lock(m_lock);
    return {m_minDepth, m_maxDepth, m_backstep};
}

bool CBottomDetector::RunDialog(bool& bottomLostWarning, bool& minAlarm, bool& maxAlarm, double& minAlarmDepth,
                                double& maxAlarmDepth)
{
    IDetectionDialogs* dialogs = m_dialogs;
    if (!dialogs)
        return false;

    DialogValues v;
    v.BottomLostWarning = bottomLostWarning;
    v.MinimumDepthAlarm = minAlarm;
    v.MaximumDepthAlarm = maxAlarm;
    v.MinimumAlarmDepth = minAlarmDepth;
    v.MaximumAlarmDepth = maxAlarmDepth;
    {
        std::lock_guard lock(m_lock);
        v.MinimumDepth = m_minDepth;
        v.MaximumDepth = m_maxDepth;
        v.BackstepLevel = m_backstep;
        v.BottomSmoothing = m_smoothing;
        v.AlternativeDetector = m_alternative;
        v.SecondLayer = m_secondLayer;
        v.Reference = m_reference;
        v.Gain = m_gain;
    }
    // The external-depth object is asked without our lock held.
    if (m_external) {
        for (int i = 0; i < kExternalSources; ++i) {
            std::string name;
            double depth = 0.0;
            if (!m_external(i, name, depth))
                continue;
            name = StripReplay(name);
            if (name.empty() || name == StripReplay(m_sourceName))
                continue;
            v.ReferenceChoices.push_back(name);
        }
    }

    CModalSession session(m_dialog);
    const bool confirmed = dialogs->RunBottomDetector(v, session.Opened());
    // Destroyed meanwhile: nothing of this detector may be touched now.
    if (session.OwnerGone())
        return true;
    if (!confirmed)
        return true;

    bottomLostWarning = v.BottomLostWarning;
    minAlarm = v.MinimumDepthAlarm;
    maxAlarm = v.MaximumDepthAlarm;
    minAlarmDepth = v.MinimumAlarmDepth;
    maxAlarmDepth = v.MaximumAlarmDepth;
    {
        std::lock_guard lock(m_lock);
        if (std::isfinite(v.MinimumDepth) && v.MinimumDepth >= 0.0)
            m_minDepth = v.MinimumDepth;
        if (std::isfinite(v.MaximumDepth) && v.MaximumDepth > 0.0)
            m_maxDepth = v.MaximumDepth;
        if (std::isfinite(v.BackstepLevel))
            m_backstep = std::clamp(v.BackstepLevel, -80.0, 0.0);
        m_smoothing = v.BottomSmoothing;
        m_alternative = v.AlternativeDetector;
        m_secondLayer = v.SecondLayer;
        m_reference = v.Reference.substr(0, kTextSize - 1);
        if (std::isfinite(v.Gain))
            m_gain = std::clamp(v.Gain, 0.0, 5.0);
    }
    dialogs->BottomDetectorChanged();
    return true;
}

// ---- Detection ----------------------------------------------------------------

bool CBottomDetector::DetectBottom(const std::int16_t* w, int count, double offset, double pulseLength, double d,
                                   double range, double& depth, double& levelDb, double& nextRange)
{
    std::unique_lock lock(m_lock);
    if (w == nullptr || count <= 0 || !(d > 0.0) || !std::isfinite(offset) || !std::isfinite(range)) {
        depth = m_tracked;
        levelDb = m_level;
        m_tracked = 0.0;
        return false;
    }
    const int n = std::min(count, kArraySize);
    UpdateReferenceDepth();
    if (m_alternative)
        return DetectAlternative(w, n, offset, pulseLength, d, range, depth, levelDb, nextRange);
    return DetectMain(w, n, offset, pulseLength, d, range, depth, levelDb, nextRange);
}

void CBottomDetector::UpdateReferenceDepth()
{
    m_referenceDepth = 0.0;
    if (!m_secondLayer || m_reference.empty() || !m_external)
        return;
    for (int i = 0; i < kExternalSources; ++i) {
        std::string name;
        double depth = 0.0;
        if (m_external(i, name, depth) && name.find(m_reference) != std::string::npos)
            m_referenceDepth = depth;
    }
}

void CBottomDetector::PrepareWorkingArray(const std::int16_t* in, int count, int iStart, int iEnd, double o, double d,
                                          bool smooth, int* largest, int* smallest)
{
    std::int16_t* W = m_w.data();
    std::int16_t* S = m_s.data();
    // Up to and including iEnd: the end sample belongs to this ping, and
    // where the ping is shorter the missing words are no echo.
    const int copied = std::min(count, iEnd + 1);
    std::copy_n(in, copied, W);
    if (copied <= iEnd)
        std::fill(W + copied, W + iEnd + 1, kNoEcho);

    const bool gain = m_secondLayer && !m_reference.empty();
    if (!smooth && !gain && !largest && !smallest) {
        // Nothing changes the words: the smoothed copy is the copy.
        std::copy(W + iStart, W + iEnd + 1, S + iStart);
        return;
    }
    S[iStart] = W[iStart];
    S[iEnd] = W[iEnd];
    const std::int64_t fullGain = 10 * Trunc(m_gain * kUnitsPerDb);
    int hi = -32768;
    int lo = 32767;
    for (int i = iStart + 1; i <= iEnd - 2; ++i) {
        if (smooth) {
            const double p =
                rawpower::RawToLinear(W[i - 1]) + rawpower::RawToLinear(W[i]) + rawpower::RawToLinear(W[i + 1]);
            W[i] = Saturate16(Trunc(rawpower::kUnitsPerDecade * std::log10(p / 3.0)));
        }
        if (gain) {
            const double below = i * d + o - m_referenceDepth;
            if (below > 0.0) {
                const std::int64_t add = below < 10.0 ? Trunc(below * m_gain * kUnitsPerDb) : fullGain;
                W[i] = Saturate16(W[i] + add);
            }
        }
        S[i] = W[i];
        hi = std::max<int>(hi, W[i]);
        lo = std::min<int>(lo, W[i]);
    }
    // The word before the end is not smoothed; keep S whole rather than
    // leave the previous ping's value there.
    if (iEnd - 1 > iStart)
        S[iEnd - 1] = W[iEnd - 1];
    if (largest)
        *largest = hi;
    if (smallest)
        *smallest = lo;
}

int CBottomDetector::SpikeFloor()
{
    // Found with the very comparison it stands for; the product grows with
    // the word, so every word from here on passes it and none below.
    static const int floor = [] {
        int w = -32768;
        while (w < 32767 && !(w * kDbPerUnit >= -70.0))
            ++w;
        return w;
    }();
    return floor;
}

int CBottomDetector::SkipRun(const std::int16_t* words, int i, int end, bool noEcho)
{
    // A ping is mostly long runs: a block whose words all continue the run
    // is passed at once.
#if defined(__SSE2__)
    const __m128i none = _mm_set1_epi16(kNoEcho);
    const auto at = [&](int k) {
        return _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(words + k)), none);
    };
    if (noEcho) {
        while (end - i >= 32) {
            const __m128i all = _mm_and_si128(_mm_and_si128(at(i), at(i + 8)), _mm_and_si128(at(i + 16), at(i + 24)));
            if (_mm_movemask_epi8(all) != 0xFFFF)
                break;
            i += 32;
        }
    } else {
        while (end - i >= 32) {
            const __m128i any = _mm_or_si128(_mm_or_si128(at(i), at(i + 8)), _mm_or_si128(at(i + 16), at(i + 24)));
            if (_mm_movemask_epi8(any) != 0)
                break;
            i += 32;
        }
    }
#else
    constexpr int kBlock = 32;
    while (end - i >= kBlock) {
        int ends = 0;
        for (int k = 0; k < kBlock; ++k)
            ends |= (words[i + k] == kNoEcho) != noEcho;
        if (ends)
            break;
        i += kBlock;
    }
#endif
    while (i < end && (words[i] == kNoEcho) == noEcho)
        ++i;
    return i;
}

int CBottomDetector::EchoTest(std::int16_t* words, int from, int to, int enter, int stay)
{
    int kept = 0;
    bool stayed = false;  // the word before stayed: the next needs only stay
    int i = from;
#if defined(__SSE2__)
    // A block of 64 words at a time, without a branch per word: a word
    // stays when it reaches enter (every such word reaches stay too), or
    // reaches stay after a word that stayed. That is the carry out of each
    // bit of atLeastStay + atLeastEnter: words at enter start a carry, those
    // only at stay pass it on, the others stop it.
    if (stay <= enter) {
        while (to - i >= kMaskWords) {
            const std::uint64_t atEnter = AtLeastMask(words + i, enter);
            const std::uint64_t atStay = AtLeastMask(words + i, stay);
            std::uint64_t sum = 0;
            const bool out1 = __builtin_add_overflow(atStay, atEnter, &sum);
            const bool out2 = __builtin_add_overflow(sum, std::uint64_t{stayed}, &sum);
            const bool carryOut = out1 || out2;
            // Bit k of sum ^ (atStay ^ atEnter) is the carry into bit k: whether
            // word k - 1 stayed.
            const std::uint64_t carriesIn = sum ^ (atStay ^ atEnter);
            const std::uint64_t keep = (carriesIn >> 1) | (std::uint64_t{carryOut} << 63);
            // Most blocks of a ping are wholly cut or wholly kept.
            if (keep == 0) {
                std::fill_n(words + i, kMaskWords, kNoEcho);
            } else if (keep == ~std::uint64_t{0}) {
                kept += kMaskWords;
            } else {
                kept += std::popcount(keep);
                KeepMasked(words + i, keep);
            }
            stayed = carryOut;
            i += kMaskWords;
        }
    }
#endif
    int level = stayed ? stay : enter;
    for (; i < to; ++i) {
        if (words[i] >= level) {
            ++kept;
            level = stay;
        } else {
            words[i] = kNoEcho;
            level = enter;
        }
    }
    return kept;
}

int CBottomDetector::Strongest(const std::int16_t* words, int from, int to, int& index)
{
    index = from;
    int best = -32768;
    int i = from;
#if defined(__SSE2__)
    if (to - i >= 8) {
        __m128i m = _mm_set1_epi16(-32768);
        for (; to - i >= 8; i += 8)
            m = _mm_max_epi16(m, _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + i)));
        m = _mm_max_epi16(m, _mm_shuffle_epi32(m, 0x4E));
        m = _mm_max_epi16(m, _mm_shuffle_epi32(m, 0xB1));
        m = _mm_max_epi16(m, _mm_shufflelo_epi16(m, 0xB1));
        best = static_cast<std::int16_t>(_mm_cvtsi128_si32(m));
    }
#endif
    for (; i < to; ++i)
        best = std::max<int>(best, words[i]);
    i = from;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(best));
    for (; to - i >= 8; i += 8) {
        const __m128i eq = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(words + i)), wanted);
        const int bits = _mm_movemask_epi8(eq);
        if (bits != 0) {
            index = i + std::countr_zero(static_cast<unsigned>(bits)) / 2;
            return best;
        }
    }
#endif
    for (; i < to; ++i) {
        if (words[i] == best) {
            index = i;
            break;
        }
    }
    return best;
}

void CBottomDetector::SearchWindow(double o, double& hi, double& lo, double& nextRange) const
{
    nextRange = m_maxDepth;
    if (m_tracked == 0.0) {
        hi = m_maxDepth - o;
        lo = m_minDepth - o;
        return;
    }
    hi = Upper(m_tracked, m_maxDepth - o);
    lo = Lower(m_tracked, m_minDepth - o);
    if (hi != m_maxDepth - o)
        nextRange = o + hi;
}

bool CBottomDetector::DetectMain(const std::int16_t* in, int count, double o, double tau, double d, double range,
                                 double& depth, double& levelDb, double& nextRange)
{
    double hi, lo;
    SearchWindow(o, hi, lo, nextRange);
    depth = m_tracked;
    levelDb = m_level;
    auto lost = [this]() {
        m_tracked = 0.0;
        return false;
    };
    if (!(hi > 0.0))
        return lost();

    int iEnd = ToIndex(Round(std::min(hi, range) / d));
    int iStart = ToIndex(Round(std::max(lo, 0.0) / d));
    const int n = std::max(ToIndex(Trunc(tau * 750.0 / d + 1.0)), 5);
    iStart = std::max(iStart, 2 * n);
    iEnd = std::min({iEnd, count, kArraySize - 1});
    if (iEnd <= iStart)
        return lost();

    PrepareWorkingArray(in, count, iStart, iEnd, o, d, m_smoothing, nullptr, nullptr);
    std::int16_t* W = m_w.data();
    const std::int16_t* S = m_s.data();

    // Spike removal: the strongest word not yet erased must head an echo of
    // at least n words, else its window is erased and the next strongest is
    // tried. Mostly the strongest word is the bottom's and one scan finds
    // it; after a spike, a heap of (word, first index) visits the words in
    // that order, so a ping full of spikes costs n log n instead of a scan
    // per spike.
    m_spikes.clear();
    m_rejectedSpikes = 0;
    const int floor = SpikeFloor();
    bool accepted = false;
    int P = 0;
    // The strongest word left, v at k: true when it heads an echo.
    const auto heads = [&](int v, int k) {
        const int s = k < n ? 0 : k - n;
        const int e = std::min(s + 2 * n, iEnd);
        const int kept = EchoTest(W, s, e, v - 1024, v - 2048);
        if (static_cast<int>(m_spikes.size()) < kMaxSpikeRecords)
            m_spikes.push_back({static_cast<std::int16_t>(v), s, kept});
        if (kept >= n)
            return true;
        std::fill(W + s, W + e, kNoEcho);
        ++m_rejectedSpikes;
        return false;
    };
    int first = iStart;
    const int strongest = Strongest(W, iStart, iEnd, first);
    if (strongest >= floor && heads(strongest, first)) {
        accepted = true;
        P = strongest;
    } else if (strongest >= floor) {
        m_heap.clear();
        for (int i = iStart; i < iEnd; ++i)
            if (W[i] >= floor)
                m_heap.push_back((static_cast<std::uint32_t>(W[i] + 32768) << 16) |
                                 static_cast<std::uint32_t>(0xFFFF - i));
        std::make_heap(m_heap.begin(), m_heap.end());
        while (!m_heap.empty()) {
            std::pop_heap(m_heap.begin(), m_heap.end());
            const std::uint32_t key = m_heap.back();
            m_heap.pop_back();
            const int v = static_cast<int>(key >> 16) - 32768;
            const int k = 0xFFFF - static_cast<int>(key & 0xFFFF);
            if (W[k] != v)
                continue;  // erased with an earlier spike's window
            if (heads(v, k)) {
                accepted = true;
                P = v;
                break;
            }
        }
    }
    if (!accepted)
        return lost();

    EchoTest(W, iStart, iEnd, P - 1024, P - 2048);
    W[iEnd - 1] = kEndMark;

    // Echo segmentation.
    std::array<Candidate, kCandidateCount> cands{};
    int filled = 0;
    int total = 0;
    int i = SkipRun(W, SkipRun(W, iStart, iEnd, false), iEnd, true);
    while (i < iEnd) {
        const int start = i;
        int j = i;
        int gapStart = j;
        bool runsIn = false;
        for (;;) {
            j = SkipRun(W, j, iEnd, false);
            gapStart = j;
            j = SkipRun(W, j, iEnd, true);
            if (j - gapStart >= n)
                break;
            if (j >= iEnd) {
                runsIn = true;
                break;
            }
        }
        if (runsIn && total > 0)
            break;
        const int end = runsIn ? iEnd - 1 : gapStart;
        const int length = end - start;
        if (length >= n) {
            const std::int16_t peak = *std::max_element(W + start, W + end);
            ++total;
            if (filled < kCandidateCount) {
                cands[static_cast<std::size_t>(filled++)] = Candidate{0, 0, 0, start, peak, length, 0, 0, 0, 0};
            } else {
                auto weakest = std::min_element(cands.begin(), cands.end(),
                                                [](const Candidate& a, const Candidate& b) { return a.Peak < b.Peak; });
                if (weakest->Peak < peak)
                    *weakest = Candidate{0, 0, 0, start, peak, length, 0, 0, 0, 0};
            }
        }
        if (runsIn)
            break;
        i = j;
    }
    if (filled == 0)
        return lost();

    // Track matching.
    const std::int64_t three = Round(3.0 / d);
    const std::int64_t trackedIndex = Round(m_tracked / d);
    for (Track& t : m_tracks) {
        t.Matched = 0;
        if (t.Confidence == 0)
            continue;
        const std::int64_t m = t.Index;
        const std::int64_t tolerance = m / 20 + three;
        int best = -1;
        std::int64_t bestDistance = 0;
        for (int c = 0; c < filled; ++c) {
            Candidate& cand = cands[static_cast<std::size_t>(c)];
            if (cand.Taken)
                continue;
            const std::int64_t dist = std::llabs(std::int64_t{cand.Start} - m);
            if (dist > tolerance)
                continue;
            if (best < 0 || dist < bestDistance) {
                best = c;
                bestDistance = dist;
            }
        }
        for (int c = 0; c < filled; ++c) {
            Candidate& cand = cands[static_cast<std::size_t>(c)];
            if (std::llabs(std::int64_t{cand.Start} - m) <= tolerance)
                cand.Taken = 1;
        }
        if (best < 0)
            continue;
        Candidate& cand = cands[static_cast<std::size_t>(best)];
        if (bestDistance < m / 100 + three / 3)
            t.Confidence = static_cast<std::uint8_t>(std::min(t.Confidence + 2, 9));
        if (t.Confidence >= 5) {
            cand.Age = t.Confidence;
            cand.Distance =
                static_cast<std::int32_t>(std::min<std::int64_t>(std::llabs(cand.Start - trackedIndex), 1 << 30));
        }
        t.Index = cand.Start;
        t.Matched = 1;
    }

    // Scoring of the confirmed candidates.
    int best = -1;
    {
        int pmax = -32768;
        std::array<int, kCandidateCount> starts{};
        std::array<int, kCandidateCount> distances{};
        int confirmed = 0;
        for (int c = 0; c < filled; ++c) {
            const Candidate& cand = cands[static_cast<std::size_t>(c)];
            if (cand.Age == 0)
                continue;
            pmax = std::max<int>(pmax, cand.Peak);
            starts[static_cast<std::size_t>(confirmed)] = cand.Start;
            distances[static_cast<std::size_t>(confirmed)] = cand.Distance;
            ++confirmed;
        }
        // Place in ascending order; equal values take the last place.
        auto rank = [confirmed](const std::array<int, kCandidateCount>& values, int v) {
            int r = -1;
            for (int q = 0; q < confirmed; ++q)
                if (values[static_cast<std::size_t>(q)] <= v)
                    ++r;
            return std::clamp(r, 0, kCandidateCount - 1);
        };
        static constexpr int kDepthScore[kCandidateCount] = {3, 2, 1, 0};
        static constexpr int kDistanceScore[kCandidateCount] = {7, 4, 1, 0};
        const bool secondLayer = m_secondLayer && !m_reference.empty();
        int bestTotal = 15;
        for (int c = 0; c < filled; ++c) {
            Candidate& cand = cands[static_cast<std::size_t>(c)];
            if (cand.Age == 0)
                continue;
            const int levelScore = (pmax > cand.Peak + 1024) ? 0 : (cand.Peak - pmax) * 6 / 1024 + 6;
            const int depthScore = kDepthScore[rank(starts, cand.Start)];
            const int distanceScore = kDistanceScore[rank(distances, cand.Distance)];
            int sum = cand.Age + distanceScore + depthScore + levelScore;
            if (secondLayer) {
                const double r = cand.Start * d + o;
                if (std::fabs(m_referenceDepth - r) < 0.5)
                    sum -= 3;
                else if (r - m_referenceDepth > 0.5)
                    sum += 5;
            }
            cand.LevelScore = static_cast<std::uint8_t>(levelScore);
            cand.DepthScore = static_cast<std::uint8_t>(depthScore);
            cand.DistanceScore = static_cast<std::uint8_t>(distanceScore);
            cand.Total = static_cast<std::uint8_t>(std::clamp(sum, 0, 255));
            if (sum > bestTotal) {
                bestTotal = sum;
                best = c;
            }
        }
    }

    m_candidateSnapshot = cands;
    m_trackSnapshot = m_tracks;

    if (best >= 0) {
        const Candidate& cand = cands[static_cast<std::size_t>(best)];
        const int s = cand.Start;
        int k = s;
        while (k < iEnd && W[k] != cand.Peak)
            ++k;
        m_level = cand.Peak * kDbPerUnit;
        const int B = static_cast<int>(Trunc(m_backstep * kUnitsPerDb));
        int idx = s;
        if (k > 2 * n) {
            int walk = s;
            while (walk > iStart && S[walk] > B)
                --walk;
            idx = walk <= iStart ? s : walk;
        }
        double f = 0.0;
        if (idx <= iStart) {
            idx = iStart;
        } else if (S[idx] < B && B < S[idx + 1]) {
            f = static_cast<double>(S[idx + 1] - B) * d / static_cast<double>(S[idx + 1] - S[idx]);
        }
        m_tracked = (idx + 1) * d - f;
        m_bottomIndexPlusOne = idx + 1;
        m_negatedFraction = -f;
    }

    // Track upkeep.
    for (Track& t : m_tracks)
        if (t.Confidence > 0 && !t.Matched)
            --t.Confidence;
    for (int c = 0; c < filled; ++c) {
        const Candidate& cand = cands[static_cast<std::size_t>(c)];
        if (cand.Taken)
            continue;
        auto slot = std::find_if(m_tracks.begin(), m_tracks.end(), [](const Track& t) { return t.Confidence == 0; });
        if (slot == m_tracks.end())
            break;
        *slot = Track{0, 1, cand.Start};
    }

    if (best < 0)
        return lost();
    depth = m_tracked + o;
    levelDb = m_level;
    nextRange = Upper(m_tracked, m_maxDepth);
    return true;
}

bool CBottomDetector::DetectAlternative(const std::int16_t* in, int count, double o, double tau, double d, double range,
                                        double& depth, double& levelDb, double& nextRange)
{
    double hi, lo;
    SearchWindow(o, hi, lo, nextRange);
    depth = m_tracked;
    levelDb = m_level;
    auto lost = [this]() {
        m_tracked = 0.0;
        return false;
    };
    if (!(hi > 0.0))
        return lost();
    int iEnd = ToIndex(Round(std::min(hi, range) / d));
    int iStart = ToIndex(Round(std::max(lo, 0.0) / d));
    const int n = std::max(ToIndex(Trunc(tau * 750.0 / d + 1.0)), 0);
    iStart = std::max(iStart, n + 2);
    iEnd = std::min({iEnd, count, kArraySize - 1});
    if (iEnd <= iStart + 2)
        return lost();

    int largest = kNoEcho;
    int smallest = kNoEcho;
    PrepareWorkingArray(in, count, iStart, iEnd, o, d, true, &largest, &smallest);
    std::int16_t* W = m_w.data();

    const double L = std::max(-70.0, (largest + smallest) / 2.0 * kDbPerUnit);
    const int Lraw = static_cast<int>(Trunc(L * kUnitsPerDb));
    EchoTest(W, iStart, iEnd, Lraw, Lraw - 512);
    W[iEnd - 1] = kEndMark;
    int i = iStart;
    while (i < iEnd && W[i] != kNoEcho)
        ++i;
    while (i < iEnd && W[i] == kNoEcho)
        ++i;

    // The window is kept in 32-bit indices: 16-bit bounds wrap beyond
    // 32767 samples and turn the window inside out.
    if (m_altWindowStart == m_altWindowEnd) {
        m_altWindowStart = iStart;
        m_altWindowEnd = iEnd;
    } else {
        m_altWindowStart = std::max(m_altWindowStart, iStart);
        m_altWindowEnd = std::min(m_altWindowEnd, iEnd);
    }

    double level = -99.0;
    int state = 3;
    int candidate = 0;
    while (i < iEnd) {
        const int s = i;
        while (i < iEnd && W[i] != kNoEcho)
            ++i;
        const int e = i;
        while (i < iEnd && W[i] == kNoEcho)
            ++i;
        if (e - s <= 2 * n)
            continue;
        if (s < m_altWindowStart) {
            state = 1;
        } else if (m_altWindowStart < s && s < m_altWindowEnd && state != 0) {
            if (state != 1)
                state = 0;
            level = *std::max_element(W + s, W + e) * kDbPerUnit;
            candidate = s;
        } else if (s > m_altWindowEnd && state != 0 && state != 1) {
            state = 2;
        }
    }

    auto setWindow = [this](int index, double t) {
        std::int64_t a, b;
        if (t <= 20.0) {
            a = index - index / 2;
            b = index + index / 2;
        } else {
            a = index - index / 16;
            b = index + index / 8;
        }
        m_altWindowStart = static_cast<std::int32_t>(std::clamp<std::int64_t>(a, 0, kArraySize));
        m_altWindowEnd = static_cast<std::int32_t>(std::clamp<std::int64_t>(b, 0, kArraySize));
    };
    auto reset = [&]() {
        m_tracked = 0.0;
        m_altPrevious = 0;
        m_altMisses = 0;
        m_altWindowStart = iStart;
        m_altWindowEnd = iEnd;
    };

    int index = 0;
    if (state == 0) {
        m_altMisses = 0;
        const int s = candidate;
        // The two words at the echo's leading edge, smoothed again from the
        // ping itself: the echo test above has cut them.
        for (int q = std::max(s - 1, 1); q <= s && q + 1 < count; ++q) {
            const double p =
                rawpower::RawToLinear(in[q - 1]) + rawpower::RawToLinear(in[q]) + rawpower::RawToLinear(in[q + 1]);
            W[q] = Saturate16(Trunc(rawpower::kUnitsPerDecade * std::log10(p / 3.0)));
        }
        double f = 0.0;
        if (s >= 1 && W[s - 1] < Lraw && Lraw < W[s])
            f = static_cast<double>(W[s] - Lraw) * d / static_cast<double>(W[s] - W[s - 1]);
        m_tracked = s * d - f;
        m_level = level;
        index = s;
        setWindow(s, m_tracked);
    } else if (state == 1 || state == 2) {
        index = (state == 1 && candidate != 0) ? candidate : m_altPrevious;
        if (index != 0)
            m_tracked = index * d;
        ++m_altMisses;
        m_level = level;
        if (m_altMisses < 4 && index != 0)
            setWindow(index, m_tracked);
        else {
            reset();
            index = 0;
        }
    } else {
        reset();
    }
    m_altPrevious = index;
    if (m_tracked > 0.0) {
        depth = o + m_tracked;
        levelDb = m_level;
        nextRange = Upper(m_tracked, m_maxDepth);
        return true;
    }
    return lost();
}
