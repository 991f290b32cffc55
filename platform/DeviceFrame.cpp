#include "platform/DeviceFrame.h"

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

std::vector<BYTE> CDeviceFrame::EncodeRequest(DWORD op, DWORD code, const BYTE* in, DWORD inLength, DWORD outCapacity)
{
    std::vector<BYTE> out(kRequestHeaderSize + (in != nullptr ? inLength : 0));
    CByteWriter w(out.data(), out.size());
    w.U32(0, op);
    w.U32(4, code);
    w.U32(8, inLength);
    w.U32(12, outCapacity);
    if (in != nullptr)
        w.Bytes(kRequestHeaderSize, in, inLength);
    return out;
}

bool CDeviceFrame::DecodeAnswerHeader(const BYTE* header, DWORD op, DWORD inLength, DWORD outCapacity, Answer& answer)
{
    CByteReader r(header, kAnswerHeaderSize);
    answer.status = r.U32(0);
    answer.count = r.U32(4);
    answer.dataFollows = false;
    if (answer.status != 0)
        return answer.count == 0;
    switch (op) {
    case kControl:
    case kRead:
        if (answer.count > outCapacity)
            return false;
        answer.dataFollows = answer.count > 0;
        return true;
    case kWrite:
        return answer.count <= inLength;
    case kUnload:
        return answer.count == 0;
    default:
        return false;
    }
}
