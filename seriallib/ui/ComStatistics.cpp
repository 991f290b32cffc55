#include "seriallib/ui/ComStatistics.h"

#include "seriallib/Sercor.h"

CComStatistics::CComStatistics(CSercor* port, QWidget* parent)
    : CCounterWindow(
          10131, kSercorCaption,
          {{11019, "Bytes Received", true},
           {11018, "Bytes Sent", true},
           {11021, "Framing Errors", true},
           {11022, "Overrun Errors", true},
           {11020, "Parity Errors", true}},
          [port](std::vector<DWORD>& out) {
              tag_COM_STATISTICS s;
              port->GetStatistics(&s);
              out = {s.BytesReceived, s.BytesSent, s.FramingErrors, s.OverrunErrors, s.ParityErrors};
          },
          [port] { port->ShowStatistics(FALSE); }, parent)
{
    PlaceAtLeftEdge(0);
}
