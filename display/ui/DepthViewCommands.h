// What the depth view's context-menu commands do to its channel and to the
// echogram documents of its frame.
#pragma once

class CDepthDoc;

class CDepthViewCommands
{
public:
    // Runs command id for the document's channel or its upper or lower
    // echogram; false when there is nothing to run it on (no channel, no
    // such echogram) or the command is not one of these.
    static bool Run(CDepthDoc& doc, unsigned id);
    // Whether Run would run command id for the document now.
    static bool CanRun(const CDepthDoc& doc, unsigned id);
    // The channel's transceiver dialog as a click on the channel's names
    // opens it: the GEO type's own, any other type's channel dialog; false
    // when the channel has none.
    static bool RunTransceiverDialog(CDepthDoc& doc);
};
