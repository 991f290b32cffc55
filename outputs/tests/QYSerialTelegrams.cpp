// Prints the serial I/O hub's NMEA depth telegrams (DPT, DBT, DBS) for a few
// depths, one a line as "<depth> <transducer depth> <telegram>", for the
// check by Debian's python3-nmea2 (check_hub_nmea2.py).
#include "outputs/QYSerial.h"

#include <cstdio>

namespace {

class CPrintingHub final : public CQYSerial
{
public:
    using CQYSerial::CQYSerial;
    double depth = 0.0;
    double transducer = 0.0;

protected:
    void Transmit(const std::string& text) override { std::printf("%.2f %.2f %s\n", depth, transducer, text.c_str()); }
};

}  // namespace

int main()
{
    const CLiveSensorHost host;
    const CNoDepthTelegramSources sources;
    CPrintingHub hub(host, sources, {});
    CQYSerial::Settings s;
    s.DPTFormat = s.DBTFormat = s.DBSFormat = 1;
    hub.StoreSettings(s);
    std::uint64_t time = 134'000'000'000'000'000ULL;
    for (double depth : {0.0, 2.5, 12.34, 42.5, 999.99, 1234.5, 10500.0}) {
        DepthReport r;
        r.PingTime = time += 10'000'000;
        r.Depth = depth;
        r.DraughtAndOffset = 1.5;
        hub.depth = depth;
        hub.transducer = r.DraughtAndOffset;
        hub.SendDepth(r);
    }
    return 0;
}
