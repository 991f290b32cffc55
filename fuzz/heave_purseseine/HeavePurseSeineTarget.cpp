// The motion sensor's and the net sensors' inputs: telegrams of the motion
// sensor's line in the chosen protocol, analog samples of a unit, net sensor
// sentences and look-ups of the motion at a time, in the order the input
// gives. The first byte is the switches: monitors shown (1), the protocol
// (2 and 4), analog mode instead of the line (8), angle voltages as
// 10 sin(angle) (16), latency (32), the heave at the transducer (64), the
// samples from the chosen unit (128). Each step then begins with a byte:
// its low two bits the kind (0 telegram as a sized piece, 1 analog sample
// of three words, 2 net sensor line up to a line feed, 3 look-up a double
// word of ms back), its upper six how far the time moves on (x 10 ms).
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "sensors/Heave.h"
#include "sensors/PurseSeine.h"
#include "serialcom/device/DepthTelegramSources.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr std::uint64_t kStamp = 134'000'000'000'000'000ULL;
constexpr const char* kUnit = "QY42 unit 1";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    const std::uint8_t flags = in.Byte();
    CLiveSensorHost host;
    CNoDepthTelegramSources sources;
    CHeave heave(host, sources);
    CPurseSeine seine(sources);
    CHeave::Settings s;
    s.Mode = (flags & 0x08) ? CHeave::kModeAnalog : CHeave::kModeSerial;
    s.SerialProtocol = (flags >> 1) & 3;
    s.TransceiverSource = kUnit;
    s.AnalogModePitch = s.AnalogModeRoll = (flags & 0x10) ? CHeave::kTenSine : CHeave::kVoltPerDegree;
    s.UseLatency = (flags & 0x20) ? 1 : 0;
    s.Latency = 120;
    s.CalcRemoteHeave = (flags & 0x40) ? 1 : 0;
    s.SensorAlong = 2.0;
    s.SensorDepth = 1.5;
    heave.StoreSettings(s);
    heave.Monitor().SetVisible((flags & 0x01) != 0);
    seine.Monitor().SetVisible((flags & 0x01) != 0);
    const TransducerOffsets transducer{4.0, -3.0, 1.0};

    std::uint64_t t = kStamp;
    while (!in.Empty()) {
        const std::uint8_t step = in.Byte();
        t += static_cast<std::uint64_t>(step >> 2) * 100'000;
        switch (step & 3) {
        case 0: {
            CTarnMessage message(std::string(in.Sized()), 16);
            message.SetTime(t);
            heave.OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &message, nullptr);
            break;
        }
        case 1: {
            AnalogMotionSample a;
            a.time = t;
            a.heave = static_cast<std::int16_t>(in.Word());
            a.roll = static_cast<std::int16_t>(in.Word());
            a.pitch = static_cast<std::int16_t>(in.Word());
            heave.AddAnalogSamples((flags & 0x80) ? kUnit : "QY42 unit 2", &a, 1);
            break;
        }
        case 2: {
            CTarnMessage message(std::string(in.Until('\n')), 16);
            message.SetTime(t);
            seine.OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &message, nullptr);
            break;
        }
        default: {
            double out[4];
            heave.GetMotionAtTime(t - static_cast<std::uint64_t>(in.Dword()) * 10'000, transducer, out);
            // What the ring holds is bounded: 16-bit words, angles below 328
            // degrees.
            for (double v : out)
                if (!std::isfinite(v) || std::abs(v) > 1000.0)
                    std::abort();
            break;
        }
        }
    }
    int states[INetSensors::kSensors];
    double depths[INetSensors::kSensors];
    seine.StampSensorAt(states, depths, t);
    for (int i = 0; i < INetSensors::kSensors; ++i)
        if (states[i] < INetSensors::kNone || states[i] > INetSensors::kFresh || !std::isfinite(depths[i]))
            std::abort();
    heave.Monitor().Refresh();
    seine.Monitor().Refresh();
    return 0;
}
