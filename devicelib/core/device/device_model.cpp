// Event raising shared by every model.
#include "device/device_model.h"

#include "app/log.h"

namespace qv6 {

void DeviceModel::RaiseEvent(int event, intptr_t value, const char* text) const {
  g_Log.Write(kLogEvent, text);
  if (events_ != nullptr) events_->Deliver(event, value);
}

}  // namespace qv6
