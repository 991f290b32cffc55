#include "fuzz/support/ChannelLayoutFile.h"

#include "base/Archive.h"
#include "display/FrameDocuments.h"

CChannelLayoutFile::CChannelLayoutFile(const CSettingsFolder& folder, CChannel* channel, const std::string& version)
    : CSerializeSupport(&folder), m_version(version)
{
    m_depth.SetChannel(channel);
    for (CEchogramDoc& echogram : m_echograms)
        echogram.SetChannel(channel);
    for (CEchoTraceDoc& trace : m_traces)
        trace.SetChannel(channel);
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
    std::vector<CAbstractESDoc*> documents = {&m_depth};
    for (int row = 0; row < 2; ++row) {
        if (m_version == kSecondKind)
            documents.push_back(&m_traces[row]);
        documents.push_back(&m_echograms[row]);
    }
    CFrameDocuments::Serialize(ar, documents);
}
