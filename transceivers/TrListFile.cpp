#include "transceivers/TrListFile.h"

#include "platform/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool IsEol(char c)
{
    return c == '\r' || c == '\n';
}

std::size_t LineEnd(const std::string& t, std::size_t pos, std::size_t limit)
{
    while (pos < limit && !IsEol(t[pos]))
        ++pos;
    return pos;
}

// First position in [from, to) where `word` stands at the start of a line
// (after blanks); with wholeLine, only blanks may follow it on that line.
std::size_t FindAtLineStart(const std::string& t, std::string_view word, std::size_t from, std::size_t to,
                            bool wholeLine)
{
    if (word.empty() || from >= to)
        return std::string::npos;
    std::size_t pos = from;
    while (pos < to) {
        const std::size_t hit = t.find(word, pos);
        if (hit == std::string::npos || hit + word.size() > to)
            return std::string::npos;
        std::size_t b = hit;
        while (b > 0 && IsBlank(t[b - 1]))
            --b;
        const bool atStart = b == 0 || IsEol(t[b - 1]);
        bool endOk = true;
        if (wholeLine) {
            std::size_t e = hit + word.size();
            while (e < to && IsBlank(t[e]))
                ++e;
            endOk = e >= to || IsEol(t[e]);
        }
        if (atStart && endOk)
            return hit;
        pos = hit + 1;
    }
    return std::string::npos;
}

double LeadingNumber(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    if (i < s.size() && s[i] == '+')
        ++i;
    double v = 0.0;
    const auto r = std::from_chars(s.data() + i, s.data() + s.size(), v);
    // "inf" and "nan" are no decimal numbers of the file.
    return r.ec == std::errc() && std::isfinite(v) ? v : 0.0;
}

std::string Trimmed(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return std::string(s.substr(b, e - b));
}

}  // namespace

bool CTrListFile::LoadTrListText(const std::string& trListPath)
{
    std::string path = trListPath;
    if (!path.empty() && (path.back() == '/' || path.back() == '\\'))
        path += "TrList.ini";
    m_text.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream all;
    all << in.rdbuf();
    if (in.bad())
        return false;
    SetText(all.str());
    return true;
}

void CTrListFile::SetText(std::string_view fileContents)
{
    const std::size_t p = fileContents.find("ENDCOMMENTDATA");
    m_text = p == std::string_view::npos ? std::string() : std::string(fileContents.substr(p));
}

CTrListFile::Range CTrListFile::Section(std::string_view open, std::string_view close) const
{
    Range r;
    const std::size_t o = FindAtLineStart(m_text, open, 0, m_text.size(), true);
    if (o == std::string::npos)
        return r;
    const std::size_t c = FindAtLineStart(m_text, close, o + open.size(), m_text.size(), true);
    if (c == std::string::npos)
        return r;
    r.begin = o + open.size();
    r.end = c;
    return r;
}

bool CTrListFile::ReadMapping(std::string& code) const
{
    if (code.size() != 3)
        return false;
    const Range sec = Section("DRUMAPPING", "ENDDRUMAPPING");
    if (!sec.valid())
        return false;
    const std::size_t hit = FindAtLineStart(m_text, code, sec.begin, sec.end, false);
    if (hit == std::string::npos)
        return false;
    const std::size_t eol = LineEnd(m_text, hit, sec.end);
    const std::size_t from = hit + 5;
    if (eol < from + 2)
        return false;
    code = m_text.substr(from, eol - 2 - from);
    return true;
}

TransceiverType CTrListFile::TypeFromDescription(const std::string& d)
{
    if (d.find("NVU") != std::string::npos)
        return TransceiverType::NVU;
    if (d.find("QY42") != std::string::npos)
        return TransceiverType::QY42;
    if (d.find("GEO") != std::string::npos)
        return TransceiverType::GEO;
    if (d.size() == 3)
        return TransceiverType::DRU;
    return TransceiverType::HXU;
}

std::string CTrListFile::HxuBlockKey(const std::string& d)
{
    // "<header words> <version> <ethernet address>": the block header is the
    // description without its last word and all but the first character of
    // the version word.
    std::size_t end = d.size();
    while (end > 0 && d[end - 1] == ' ')
        --end;
    const std::size_t lastBlank = d.rfind(' ', end == 0 ? 0 : end - 1);
    if (lastBlank == std::string::npos || end == 0)
        return d;
    std::size_t e2 = lastBlank;
    while (e2 > 0 && d[e2 - 1] == ' ')
        --e2;
    if (e2 == 0)
        return d;
    const std::size_t secondBlank = d.rfind(' ', e2 - 1);
    const std::size_t secondWord = secondBlank == std::string::npos ? 0 : secondBlank + 1;
    return d.substr(0, secondWord + 1);
}

CTrListFile::Range CTrListFile::TransceiverBlock(const std::string& key, TransceiverType type) const
{
    Range r;
    const Range sec = Section("TRANSCEIVERDATA", "ENDTRANSCEIVERDATA");
    if (!sec.valid() || key.empty())
        return r;
    const char* close = nullptr;
    switch (type) {
    case TransceiverType::HXU:
        close = "ENDHXUTRANSCEIVER";
        break;
    case TransceiverType::DRU:
        close = "ENDDRUTRANSCEIVER";
        break;
    case TransceiverType::NVU:
    case TransceiverType::QY42:
        close = "ENDNVUTRANSCEIVER";
        break;
    case TransceiverType::GEO:
        close = "ENDGEOTRANSCEIVER";
        break;
    default:
        return r;
    }
    const std::string k = Trimmed(key);
    const std::size_t h = FindAtLineStart(m_text, k, sec.begin, sec.end, true);
    if (h == std::string::npos)
        return r;
    const std::size_t c = FindAtLineStart(m_text, close, h + k.size(), sec.end, true);
    if (c == std::string::npos)
        return r;
    r.begin = h + k.size();
    r.end = c;
    return r;
}

CTrListFile::Range CTrListFile::ChannelBlock(const Range& block, int channelNumber) const
{
    Range r;
    const std::string word = "CHANNEL" + std::to_string(channelNumber);
    const std::size_t h = FindAtLineStart(m_text, word, block.begin, block.end, true);
    if (h == std::string::npos)
        return r;
    const std::size_t e = FindAtLineStart(m_text, "ENDCHANNEL", h + word.size(), block.end, true);
    if (e == std::string::npos)
        return r;
    r.begin = h + word.size();
    r.end = e;
    return r;
}

int CTrListFile::ChannelCount(const std::string& key, TransceiverType type) const
{
    const Range b = TransceiverBlock(key, type);
    if (!b.valid())
        return -1;
    int n = 0;
    for (int ch = 1; ch <= 8; ++ch)
        if (FindAtLineStart(m_text, "CHANNEL" + std::to_string(ch), b.begin, b.end, true) != std::string::npos)
            ++n;
    return n;
}

namespace {

// Value of "KEY=" at a line start inside [from, to): the rest of its line.
bool KeyValue(const std::string& t, std::string_view key, std::size_t from, std::size_t to, std::string& value,
              std::size_t* next = nullptr)
{
    const std::size_t h = FindAtLineStart(t, key, from, to, false);
    if (h == std::string::npos)
        return false;
    const std::size_t v = h + key.size();
    const std::size_t eol = LineEnd(t, v, to);
    value = t.substr(v, eol - v);
    if (next)
        *next = eol;
    return true;
}

int BeamTypeValue(const std::string& v)
{
    return Trimmed(v) == "SPLIT" ? 1 : 0;
}

int MarketSegmentValue(const std::string& v)
{
    const std::string s = Trimmed(v);
    if (s == "HYDROGRAPHY")
        return 1;
    if (s == "SCIENCE")
        return 2;
    return 0;
}

std::vector<std::string> Transducers(const std::string& t, std::size_t from, std::size_t to)
{
    std::vector<std::string> names;
    std::string v;
    std::size_t pos = from, next = 0;
    while (KeyValue(t, "TRANSDUCER=", pos, to, v, &next)) {
        // The line carries one trailing character after the name.
        if (!v.empty())
            v.pop_back();
        names.push_back(v);
        pos = next;
    }
    return names;
}

}  // namespace

bool CTrListFile::ReadTransceiverData(const std::string& key, int channelIndex, std::vector<std::string>& out,
                                      TransceiverType type) const
{
    if (m_text.empty() || channelIndex < 0 || channelIndex > 7)
        return false;
    const Range b = TransceiverBlock(key, type);
    if (!b.valid())
        return false;
    if ((type == TransceiverType::HXU || type == TransceiverType::DRU) && channelIndex >= ChannelCount(key, type))
        return false;
    const Range ch = ChannelBlock(b, channelIndex + 1);
    if (!ch.valid())
        return false;
    for (auto& n : Transducers(m_text, ch.begin, ch.end))
        out.push_back(n);
    return true;
}

bool CTrListFile::ReadTransducerData(const std::string& name, CTrList& e, std::string* saCorrection) const
{
    const Range sec = Section("TRANSDUCERDATA", "ENDTRANSDUCERDATA");
    if (!sec.valid() || name.empty())
        return false;
    const std::string n = Trimmed(name);
    const std::size_t h = FindAtLineStart(m_text, n, sec.begin, sec.end, true);
    if (h == std::string::npos)
        return false;
    const std::size_t end = FindAtLineStart(m_text, "ENDTRANSDUCER", h + n.size(), sec.end, true);
    if (end == std::string::npos)
        return false;
    const std::size_t from = h + n.size();
    std::string v;
    auto num = [&](std::string_view key, double& field) {
        if (KeyValue(m_text, key, from, end, v))
            field = LeadingNumber(v);
    };
    num("FREQUENCY=", e.frequency);
    if (KeyValue(m_text, "BEAMTYPE=", from, end, v))
        e.beamType = BeamTypeValue(v);
    num("EQUIVALENT2WAYBEAMANGLE=", e.twoWayBeamAngle);
    if (KeyValue(m_text, "GAIN=", from, end, v))
        e.gain = Trimmed(v);
    if (saCorrection)
        *saCorrection = KeyValue(m_text, "SACORRECTION=", from, end, v) ? Trimmed(v) : "0.0 0.0 0.0 0.0 0.0";
    num("MAXTXPOWER=", e.txPower);
    num("THREEDBBEAMWIDTHALONGSHIP=", e.beamWidthAlongship);
    num("THREEDBBEAMWIDTHATHWARTSHIP=", e.beamWidthAthwartship);
    num("ANGLESENSITIVITYALONGSHIP=", e.angleSensitivityAlongship);
    num("ANGLESENSITIVITYATHWARTSHIP=", e.angleSensitivityAthwartship);
    num("OFFSETALONGSHIP=", e.offsetAlongship);
    num("OFFSETATHWARTSHIP=", e.offsetAthwartship);
    num("TRANDUCERIMPEDANCE=", e.transducerImpedance);
    return true;
}

int CTrListFile::BuildFromTrList(const std::string& description, std::uint32_t unitAddress,
                                 const std::string& information, const std::string& pcAddress, const CardInfo& card,
                                 std::vector<std::unique_ptr<CTrList>>& entries) const
{
    const TransceiverType type = TypeFromDescription(description);
    std::string id = description;
    std::string key;
    switch (type) {
    case TransceiverType::HXU:
        key = HxuBlockKey(description);
        break;
    case TransceiverType::DRU:
        if (!ReadMapping(id))
            return kNotFound;
        key = id;
        break;
    default:
        key = description;
        break;
    }
    const Range b = TransceiverBlock(key, type);
    if (!b.valid())
        return type == TransceiverType::HXU ? kUndocumentedHxu : kNotFound;

    std::string v;
    const int beamType = KeyValue(m_text, "BEAMTYPE=", b.begin, b.end, v) ? BeamTypeValue(v) : 0;
    const int segment = KeyValue(m_text, "MARKETSEGMENT=", b.begin, b.end, v) ? MarketSegmentValue(v) : 0;

    std::string ethernet, version;
    if (type == TransceiverType::HXU) {
        std::istringstream words(description);
        std::vector<std::string> w{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
        if (!w.empty())
            ethernet = w.back();
        if (w.size() >= 2)
            version = w[w.size() - 2];
    }

    for (int chNo = 1; chNo <= 8; ++chNo) {
        const Range ch = ChannelBlock(b, chNo);
        if (!ch.valid())
            continue;
        auto e = std::make_unique<CTrList>();
        e->channelNo = chNo;
        if (KeyValue(m_text, "KHZ=", ch.begin, ch.end, v)) {
            e->frequencyKHz = LeadingNumber(v);
            e->frequency = e->frequencyKHz * 1000.0;
        }
        std::vector<std::string> choices{"NONE"};
        for (auto& n : Transducers(m_text, ch.begin, ch.end))
            choices.push_back(n);
        e->SetStringList(&choices);
        if (KeyValue(m_text, "SAMPLEINTERVALDEFAULT=", ch.begin, ch.end, v))
            e->sampleInterval = Trimmed(v);
        if (KeyValue(m_text, "BANDWIDTH=", ch.begin, ch.end, v))
            e->bandwidth = LeadingNumber(v);
        if (KeyValue(m_text, "MINMEDMAXTXPOWER=", ch.begin, ch.end, v))
            e->minMedMaxTxPower = Trimmed(v);
        if (KeyValue(m_text, "DRUPOWERTRANSFILENAME=", ch.begin, ch.end, v))
            e->powerTranslationFile = Trimmed(v);
        if (KeyValue(m_text, "MINMEDMAXTXPULSELENGTH=", ch.begin, ch.end, v))
            e->minMedMaxPulseLength = Trimmed(v);
        if (KeyValue(m_text, "SLAVE=", ch.begin, ch.end, v))
            e->slave = Trimmed(v);
        if (KeyValue(m_text, "FPADEC=", ch.begin, ch.end, v))
            e->fpaDec = LeadingNumber(v);
        if (KeyValue(m_text, "FPAFILTERLENGTH=", ch.begin, ch.end, v))
            CNumberText::TruncateToInt(LeadingNumber(v), e->fpaFilterLength);
        e->beamType = beamType;
        e->marketSegment = segment;
        e->transducerName = "NONE";
        e->type = type;
        e->transceiverId = id;
        e->transducerSetting = "HXU";
        if (type == TransceiverType::HXU) {
            e->ethernetAddress = ethernet;
            e->hwVersion = version;
        }
        if (type == TransceiverType::DRU) {
            e->ioAddress = card.ioAddress;
            e->dmaChannel = card.dmaChannel;
            e->irq = card.irq;
        }
        e->unitAddress = unitAddress;
        e->SetInformation(&information);
        e->localPcIp = pcAddress;
        e->installed = 0;
        e->FormatDescription(nullptr, type);
        entries.push_back(std::move(e));
    }
    return kBuilt;
}
