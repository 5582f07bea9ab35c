#include "api_services.h"
#include "imaging_trace.h"
namespace zc::imaging {
int ApiParam(int) { return 0; }
void TraceText(int, const char*) {}
}
