#include "sim/dru/DruCodec.h"

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

namespace {

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kAnswerHeaderSize = 8;

}  // namespace

void CDruCodec::Feed(const BYTE* data, std::size_t length)
{
    if (!m_broken)
        m_pending.insert(m_pending.end(), data, data + length);
}

bool CDruCodec::Next(Request& request)
{
    if (m_broken || m_pending.size() < kHeaderSize)
        return false;
    CByteReader header(m_pending.data(), kHeaderSize);
    const DWORD op = header.U32(0);
    const DWORD inLength = header.U32(8);
    const DWORD outCapacity = header.U32(12);
    if (op < kControl || op > kUnload || inLength > kMaxTransfer || outCapacity > kMaxTransfer) {
        m_broken = true;
        m_pending.clear();
        return false;
    }
    if (m_pending.size() - kHeaderSize < inLength)
        return false;
    request.op = op;
    request.code = header.U32(4);
    request.outCapacity = outCapacity;
    request.in.assign(m_pending.begin() + kHeaderSize, m_pending.begin() + kHeaderSize + inLength);
    m_pending.erase(m_pending.begin(), m_pending.begin() + kHeaderSize + inLength);
    return true;
}

std::vector<BYTE> CDruCodec::EncodeAnswer(DWORD status, DWORD count, const BYTE* data)
{
    if (status != 0)
        count = 0;
    std::vector<BYTE> out(kAnswerHeaderSize + (data != nullptr ? count : 0));
    CByteWriter w(out.data(), out.size());
    w.U32(0, status);
    w.U32(4, count);
    if (data != nullptr)
        w.Bytes(kAnswerHeaderSize, data, count);
    return out;
}
