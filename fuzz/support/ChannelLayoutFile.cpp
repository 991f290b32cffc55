#include "fuzz/support/ChannelLayoutFile.h"

#include "base/Archive.h"

CChannelLayoutFile::CChannelLayoutFile(const CSettingsFolder& folder, CChannel* channel, const std::string& version)
    : CSerializeSupport(&folder), m_version(version)
{
    m_depth.SetChannel(channel);
    for (CEchogramDoc& echogram : m_echograms)
        echogram.SetChannel(channel);
}

void CChannelLayoutFile::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << m_version;
    } else {
        ar >> m_version;
        // Another frame kind's file: nothing of it applies, as in the frames.
        if (m_version != kFirstKind && m_version != kSecondKind)
            return;
    }
    const int proportions = m_version == kSecondKind ? 4 : 3;
    for (int i = 0; i < proportions; ++i) {
        if (ar.IsStoring())
            ar << m_proportions[i];
        else
            ar >> m_proportions[i];
    }
    m_depth.Serialize(ar);
    for (CEchogramDoc& echogram : m_echograms)
        echogram.Serialize(ar);
}
