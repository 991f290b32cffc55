// The simulated wide-band unit as a program of its own, for demonstrations
// and hand tests. It runs until interrupted, on the unit's port 12346 and a
// TFTP port (69 unless told otherwise) of the address given, and answers a
// unit search's broadcast on the discovery port (12346 unless told
// otherwise; 0 for none).
//
//   zvnvusim [--address a.b.c.d] [--port n] [--tftp-port n] [--discovery-port n]
//            [--channels 1-4]
//            [--int16] [--depth m] [--serial n] [--firmware NAME]
//            [--refuse] [--drop n] [--retrigger n] [--bad-readback]
//            [--break-transfer] [--no-success] [--silent-at-firmware]
//            [--boot] [--boot-destination a.b.c.d]
//
// --boot: "RES" boots the unit by BOOTP (port 68 to port 67 of the boot
// destination, 255.255.255.255 unless told otherwise) and TFTP, after which
// it answers at the address the BOOTP server gave it.
#include "sim/nvu/NvuSimulator.h"
#include "sim/support/SimCommandLine.h"

#include <string>

int main(int argc, char** argv)
{
    CNvuSimulator::Settings s;
    s.discoveryPort = 12346;
    bool int16 = false;
    CSimCommandLine line("zvnvusim");
    line.Address("--address", s.address);
    line.Number("--port", 1, 65535, s.port);
    line.Number("--tftp-port", 1, 65535, s.tftpPort);
    line.Number("--discovery-port", 0, 65535, s.discoveryPort);
    line.Number("--channels", 1, 4, s.channels);
    line.Flag("--int16", int16);
    line.Number("--depth", 0, 1e4, s.bottomDepth);
    line.Number("--serial", 0, 4294967295.0, s.serial);
    line.Option("--firmware", [&s](const std::string& value) {
        s.firmware = value;
        return !value.empty() && value.size() < 200;
    });
    line.Flag("--refuse", s.refuse);
    line.Number("--drop", 0, 1e9, s.dropEvery);
    line.Number("--retrigger", 0, 1e9, s.retriggerEvery);
    line.Flag("--bad-readback", s.badReadBack);
    line.Flag("--break-transfer", s.breakTransfer);
    line.Flag("--no-success", s.noProgrammingSucceeded);
    line.Flag("--silent-at-firmware", s.silentFromFirmwareRequest);
    line.Flag("--boot", s.bootAfterReset);
    line.Address("--boot-destination", s.bootDestination);
    if (!line.Parse(argc, argv))
        return 2;
    s.floatSamples = !int16;
    CNvuSimulator sim(s);
    if (!sim.Start())
        return line.CannotBind(SocketAddress(s.address, s.port).Text());
    CSimCommandLine::RunUntilInterrupted();
    return 0;
}
