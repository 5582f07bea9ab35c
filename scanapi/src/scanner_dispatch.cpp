// The calls that go to whichever scanner line the API started: the QV600 line's back-end, or the QV800
// line's outside library (its calls answer -123 while it is not bound).
#include <cstring>

#include "zarn/api_state.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/qv600_services.h"
#include "zarn/qv800.h"
#include "zarn/scan.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {

int funcEjectDocument(int mode, int flag) {
  (void)flag;
  const int family = Api().scannerFamily;
  if (IsQv600Line(family)) {
    funcQV600EjectDocument(mode);
    return 0;
  }
  if (family < 1) return kZarnNotInitialised;
  return Qv800Eject(flag);
}

int funcClearDocument(int mode, int flag) {
  (void)mode;
  (void)flag;
  const int model = Api().scannerModel;
  if (IsQv600Line(Api().scannerFamily) && (model == 230 || model == 440 || model == 240)) {
    return funcQV600ClearDocument();
  }
  return 0;
}

int QV800SetPocket(int pocket) {
  if (ApiTraceLevel() != 0) TraceAt(1, "QV800SetPocket(%d)", pocket);
  const int family = Api().scannerFamily;
  if (IsQv600Line(family) && Api().scannerModel == 440) return VEKSetPocket(pocket);
  if (family == 400 || family == 300 || family == 314) {
    if (int r = Qv800SetPocket(pocket); r != 0) return r;
  }
  return 1;
}

int funcQV800SetPrint(int kind, int value, const char* text) {
  if (!Api().zarnInitialised) return kZarnNotInitialised;
  TraceAt(1, "funcQV800SetPrint(%d,%d,%.255s)", kind, value, text != nullptr ? text : "(null)");
  return Qv800SetPrint(kind, value, text, funcQV600PrintString, funcQV600PrintBMP);
}

}  // namespace zarn
