#include "seriallib/ui/ProtStatistics.h"

#include "seriallib/Protocol.h"

namespace {
int DialogOf(int type)
{
    return type == PROT_TRANSMIT ? 10133 : type == PROT_RECEIVE ? 10134 : 10132;
}
const char* TitleOf(int type)
{
    return type == PROT_TRANSMIT  ? "Tx Protocol Statistics"
           : type == PROT_RECEIVE ? "Rx Protocol Statistics"
                                  : "Protocol Statistics";
}
}  // namespace

CProtStatistics::CProtStatistics(CProtocol* protocol, int type, QWidget* parent)
    : CCounterWindow(
          DialogOf(type), TitleOf(type),
          {{11023, "Messages Sent", type != PROT_RECEIVE},
           {11024, "Msg. Received", type != PROT_TRANSMIT},
           {11025, "Start Ch. Errors", type != PROT_TRANSMIT},
           {11026, "End Ch.Errors", type != PROT_TRANSMIT},
           {11027, "Checksum Errors", type != PROT_TRANSMIT},
           // What the bounded transmit queue gave up: the oldest telegrams
           // for room, and those that waited too long for the line.
           {11028, "Dropped, Queue Full", type != PROT_RECEIVE},
           {11029, "Dropped, Too Old", type != PROT_RECEIVE}},
          [protocol](std::vector<DWORD>& out) {
              tag_PROT_STATISTICS s;
              protocol->GetStatistics(&s);
              out = {s.MessagesSent,
                     s.MessagesReceived,
                     s.StartCharErrors,
                     s.EndCharErrors,
                     s.ChecksumErrors,
                     protocol->GetQueueDroppedFull(),
                     protocol->GetQueueDroppedStale()};
          },
          [protocol] { protocol->ShowStatistics(FALSE); }, parent)
{
    PlaceAtLeftEdge(2);
}
