// Reader of the transceiver list file "TrList.ini": which transceivers and
// transducers can be installed, their channels and constants, and the map
// from an ISA card's code word to its transceiver description.
//
// Layout (CR LF lines; everything before ENDCOMMENTDATA is free comment):
//   DRUMAPPING
//   017: DRU 38 kHz A  \r\n            code, two separators, description, two spare
//   ENDDRUMAPPING
//   TRANSCEIVERDATA
//   <block header line>
//   BEAMTYPE=SPLIT / MARKETSEGMENT=HYDROGRAPHY
//   CHANNEL1 ... KHZ=38 / TRANSDUCER=RM38 ... ENDCHANNEL
//   ENDHXUTRANSCEIVER (ENDDRU.., ENDNVU.., ENDGEO..)
//   ENDTRANSCEIVERDATA
//   TRANSDUCERDATA
//   <transducer name line> FREQUENCY=38000 ... ENDTRANSDUCER
//   ENDTRANSDUCERDATA
// Headers, section words and keys are matched as whole lines or at line
// starts, so that a name that is the prefix of another never finds the
// other's block.
#pragma once

#include "transceivers/TrList.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CTrListFile
{
public:
    enum BuildResult {
        kBuilt = 0,
        kUndocumentedHxu = 1,  // status message "Undocumented HXU transceiver found on network"
        kNotFound = 2,         // message box "Sorry,transceiver description not found!"
    };

    struct CardInfo
    {
        int ioAddress = 0;
        int dmaChannel = 0;
        int irq = 0;
    };

    // Reads the file named by the transceiver list path ("TrList.ini" is
    // appended to a path that ends in a separator). False when it cannot be
    // read; the text is then empty.
    bool LoadTrListText(const std::string& trListPath);
    void SetText(std::string_view fileContents);
    const std::string& GetText() const { return m_text; }
    bool IsLoaded() const { return !m_text.empty(); }

    bool ReadMapping(std::string& code) const;
    bool ReadTransceiverData(const std::string& key, int channelIndex, std::vector<std::string>& transducers,
                             TransceiverType type) const;
    bool ReadTransducerData(const std::string& name, CTrList& entry, std::string* saCorrection = nullptr) const;
    int BuildFromTrList(const std::string& description, std::uint32_t unitAddress, const std::string& information,
                        const std::string& pcAddress, const CardInfo& card,
                        std::vector<std::unique_ptr<CTrList>>& entries) const;

    static TransceiverType TypeFromDescription(const std::string& description);
    static std::string HxuBlockKey(const std::string& description);
    // Number of channel sub-blocks in the block that the key selects, -1 when
    // the block is missing.
    int ChannelCount(const std::string& key, TransceiverType type) const;

private:
    struct Range
    {
        std::size_t begin = std::string::npos;
        std::size_t end = std::string::npos;
        bool valid() const { return begin != std::string::npos && end != std::string::npos; }
    };
    Range Section(std::string_view open, std::string_view close) const;
    Range TransceiverBlock(const std::string& key, TransceiverType type) const;
    Range ChannelBlock(const Range& block, int channelNumber) const;

    std::string m_text;
};
