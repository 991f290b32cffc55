// Writes the seed corpora of the driver fuzz targets with our own encoders:
//   fuzz_driver_seeds <fuzz folder>
// Requests are made by the program's side of the device frames and answers
// by the simulated card's, so each target starts from what the other side
// really sends.
#include "platform/DeviceFrame.h"
#include "sim/dru/DruCodec.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void Write(const std::filesystem::path& folder, int n, const std::vector<BYTE>& bytes)
{
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / ("seed-" + std::to_string(n)), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<BYTE> Text(const std::string& text)
{
    return {text.begin(), text.end()};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_driver_seeds <fuzz folder>\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];

    // device_answer: op, in length, out capacity, then the card's answer.
    struct Answer
    {
        BYTE op;
        WORD inLength;
        WORD outCapacity;
        std::vector<BYTE> answer;
    };
    const BYTE id[2] = {0x01, 0x00};
    const BYTE inUse[4] = {0x00, 0x00, 0x00, 0x10};
    const Answer answers[] = {
        {CDeviceFrame::kControl, 0, 2, CDruCodec::EncodeAnswer(0, 2, id)},
        {CDeviceFrame::kControl, 0, 4, CDruCodec::EncodeAnswer(0, 4, inUse)},
        {CDeviceFrame::kWrite, 7, 0, CDruCodec::EncodeAnswer(0, 7)},
        {CDeviceFrame::kRead, 0, 1208, CDruCodec::EncodeAnswer(ERROR_NOT_READY, 0)},
        {CDeviceFrame::kUnload, 0, 0, CDruCodec::EncodeAnswer(0, 0)},
    };
    int n = 0;
    for (const Answer& a : answers) {
        std::vector<BYTE> seed = {a.op, static_cast<BYTE>(a.inLength), static_cast<BYTE>(a.inLength >> 8),
                                  static_cast<BYTE>(a.outCapacity), static_cast<BYTE>(a.outCapacity >> 8)};
        seed.insert(seed.end(), a.answer.begin(), a.answer.end());
        Write(root / "device_answer" / "corpus", ++n, seed);
    }

    // dru_request: options byte, then what the program sends.
    const BYTE command[7] = {8, 36, 20, 3, 188, 90, 12};
    std::vector<BYTE> check;
    for (DWORD code : {CDruCodec::kReadStatus32, CDruCodec::kReadCardId, CDruCodec::kReadStatus8}) {
        const DWORD size = code == CDruCodec::kReadStatus32 ? 4 : code == CDruCodec::kReadCardId ? 2 : 1;
        const auto r = CDeviceFrame::EncodeRequest(CDeviceFrame::kControl, code, nullptr, 0, size);
        check.insert(check.end(), r.begin(), r.end());
    }
    const std::vector<std::vector<BYTE>> requests = {
        check,
        CDeviceFrame::EncodeRequest(CDeviceFrame::kWrite, 0, command, 7, 0),
        CDeviceFrame::EncodeRequest(CDeviceFrame::kRead, 0, nullptr, 0, 4 * 604),
    };
    n = 0;
    for (const auto& r : requests) {
        std::vector<BYTE> seed = {0x03};
        seed.insert(seed.end(), r.begin(), r.end());
        Write(root / "dru_request" / "corpus", ++n, seed);
    }
    std::vector<BYTE> unload = {0x80};
    const auto u = CDeviceFrame::EncodeRequest(CDeviceFrame::kUnload, 0, nullptr, 0, 0);
    unload.insert(unload.end(), u.begin(), u.end());
    Write(root / "dru_request" / "corpus", ++n, unload);

    // fenvoil_command_line: NUL-separated words.
    n = 0;
    for (const std::string& line :
         {std::string("io=210\0dma=6\0irq=9", 18), std::string("default"), std::string("remove"), std::string("-?"),
          std::string("io=0x2A0"), std::string("irq=4294967296"), std::string("io=1\0io=2", 9)}) {
        Write(root / "fenvoil_command_line" / "corpus", ++n, Text(line));
    }
    return 0;
}
