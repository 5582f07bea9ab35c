// The sorter's pocket selection on the QV600 line. It lives with the API's start and shut-down code,
// because the shut-down sends a QV840's sorter back to its first pocket.
#include "platform/clock.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/qv600_services.h"
#include "zarn/status.h"
#include "zarn/trace.h"
#include "qv600_words.h"

namespace zarn {

using namespace qv600;

int VEKSetPocket(int pocket) {
  QV600State& s = Qv600();
  if (funcTableGetParam(32) == 1 && Qv6().QV6SetDestinationPocket(s.connection.load(), pocket) == 0) {
    return Qv6MappedError();
  }
  uint32_t waited = plat::TicksElapsed(s.rearReadyTick.load(), plat::GetTickCount());
  if (Model() == 440 && funcTableGetParam(185) != 0 && waited < 600) {
    funcLogMessage("Pocket Sleeping!!!!!");
    plat::Sleep(600 - waited);
    waited = 600;
  }
  const Words w = Read();
  TraceAt(1, "SetPocketStatus bReturn %d, dwStatusFlag %x, dwErrorFlag %x, Wait %d", w.ok, w.status, w.error,
          static_cast<int>(waited));
  return Any(w.error, kErJam) ? kDocumentJam : 1;
}

}  // namespace zarn
