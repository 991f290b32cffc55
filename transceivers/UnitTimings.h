// The waits of a network unit's driver, in milliseconds, and the length of
// its sample ring; tests shorten them.
#pragma once

#include <string>

struct UnitTimings
{
    int receiveWaitMs = 2000;        // one silent wait for a datagram
    int stepDelayMs = 20;            // between the set-up telegrams
    int setupDelayMs = 1010;         // before "set-up complete"
    int transmitDelayMs = 100;       // between the transmit telegrams
    int ringRetryMs = 20;            // before a full ring is tried again
    int unitWaitMs = 10000;          // the unit's own wait when no operator is asked
    int geoAnswerWaitMs = 5000;      // a GEO unit's answer to "BEGIN"
    int geoStartPauseMs = 1000;      // between its start exchange and its data
    int hxuAnswerWaitMs = 5000;      // an HXU unit's version reply
    int hxuReceiveWaitMs = 1000;     // one silent wait of its receive thread
    int hxuBlockWaitMs = 10000;      // its answer to a code block
    int hxuLastBlockWaitMs = 15000;  // and to the last one
    int hxuDownloadPauseMs = 10000;  // while it takes its new software
    int hxuStartPauseMs = 300;       // after its receive thread started
    // Samples per channel in the ring between the receive and data threads
    // (CSampleRingBuffer); a fuzz run makes one unit an input and takes a
    // short ring that is cheap to make.
    int ringSamples = 1000000;
    // The note of a lost link; empty: none. A relative path is within the
    // data root.
    std::string timeoutLogPath = "DEBUG_TimeOut.txt";
    // The TFTP port of a wide-band unit, for its filters and firmware.
    int tftpPort = 69;
    // The TFTP client's "second", which its resends and time-outs count.
    int tftpSecondMs = 1000;
    // A wide-band unit's restart after new firmware was verified, and the
    // longest wait for its "Programming succeeded." before the alarm.
    int firmwareRestartDelayMs = 1000;
    int firmwareSuccessWaitMs = 300000;
    // A wide-band unit's UDP port, and how long its adapter search listens
    // on each adapter for the unit's answer.
    int unitPort = 12346;
    int adapterWaitMs = 1000;
    // A wide-band unit's connect sequence: the waits after "HD", after
    // "HC" and after "RC#", after each filter upload, before "SYNC", and
    // once the sequence is sent before its samples are taken.
    int nvuHaltWaitMs = 200;
    int nvuHardwareWaitMs = 200;
    int nvuReceiveConfigureWaitMs = 1000;
    int nvuUploadWaitMs = 100;
    int nvuSynchroniseWaitMs = 500;
    int nvuConfiguredWaitMs = 1000;
    // The dump of the last pings' samples a wide-band unit writes on demand;
    // a relative path is within the data root.
    std::string lastPingDumpPath = "DEBUG_SaveLastPingToFile.txt";
};
