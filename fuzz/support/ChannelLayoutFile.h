// What a channel frame keeps in its settings file, in the order the frames
// write it: the frame's version text and pane proportions (three for the
// first frame kind, four for the second), then its depth document (which
// carries the channel's bottom detector, slope and colour scale), and its two
// echogram documents, each after its echo trace document (which carries the
// channel's single-target detection) in the second kind. The frames are
// windows; this reads and writes their files where no window can be made,
// with the documents themselves, in the frames' own order and check.
#pragma once

#include "base/SerializeSupport.h"
#include "display/DepthDoc.h"
#include "display/EchoTraceDoc.h"
#include "display/EchogramDoc.h"

#include <string>

class CChannel;

class CChannelLayoutFile : public CSerializeSupport
{
public:
    static constexpr const char* kFirstKind = "CChannelFrame1 Version 0.25";
    static constexpr const char* kSecondKind = "CChannelFrame2 Version 0.25";

    // Its file in the folder given.
    CChannelLayoutFile(const CSettingsFolder& folder, CChannel* channel, const std::string& version = kFirstKind);

    void Serialize(CArchive& ar) override;

    std::string m_version;
    double m_proportions[4] = {0.15, 0.2, 20.0, 0.65};
    CDepthDoc m_depth;
    CEchogramDoc m_echograms[2];
    CEchoTraceDoc m_traces[2];
};
