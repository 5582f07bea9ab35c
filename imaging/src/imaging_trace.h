// Trace lines of the image record operations go to the API log when the trace level allows.
#pragma once

#include "zarn/trace.h"

namespace zc::imaging {

using zarn::TraceAt;

}  // namespace zc::imaging
