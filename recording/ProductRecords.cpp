#include "recording/ProductRecords.h"

#include "platform/ByteWriter.h"
#include "platform/NumberText.h"
#include "recording/RecordTime.h"

#include <cmath>

namespace zv::recording {

std::string CProductRecords::TxtDepthLine(std::uint64_t pingTime, double depth, double frequencyHz)
{
    int khz = 0;
    CNumberText::TruncateToInt(frequencyHz / 1000.0, khz);
    return CNumberText::Format("%s\t\t\t%s\t\t\t,%.2f,%d \r\n", CRecordTime::LocalDate(pingTime).c_str(),
                               CRecordTime::LocalTimeOfDay(pingTime).c_str(), depth, khz);
}

void CProductRecords::BuildDgRecord(const SDgHeader& h, std::span<const std::int16_t> surface,
                                    std::span<const std::int16_t> bottom, CFramedDatagram& out)
{
    // Q1,HHMMSScc, then the binary fields:
    //   0 'Q'  1 '1'+channel  2 ','  3 time  11 ','  12 u32 TVG  16 f32 bottom
    //   20 f32 surface start  24 f32 surface end  28 u32 Ns
    //   32 f32 bottom window start  36 f32 its other end  40 u32 Nb
    out.Reset(kDgHeaderSize + 2 * (surface.size() + bottom.size()));
    CByteWriter w(out.BodyData(), out.BodySize());
    const std::string time = CRecordTime::UtcHundredths(h.pingTime);
    w.U8(0, 'Q');
    w.U8(1, std::uint8_t('1' + h.channel));
    w.U8(2, ',');
    w.Bytes(3, time.data(), 8);
    w.U8(11, ',');
    w.U32(12, h.tvgType);
    w.F32(16, float(h.bottomDepth));
    w.F32(20, float(h.surfaceStart));
    w.F32(24, float(h.surfaceStart + h.surfaceRange));
    w.U32(28, std::uint32_t(surface.size()));
    w.F32(32, float(h.bottomStart));
    w.F32(36, float(h.bottomStart - h.bottomRange));
    w.U32(40, std::uint32_t(bottom.size()));
    w.Array(kDgHeaderSize, surface);
    w.Array(kDgHeaderSize + 2 * surface.size(), bottom);
}

}  // namespace zv::recording
