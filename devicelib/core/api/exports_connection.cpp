// Exports without a device operation of their own: release text, last error, environment, opening and
// closing connections, the firmware update through a temporary device, and the developer self-test.
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "api/export_frame.h"
#include "api/release_text.h"
#include "diag/diagnostic_popup.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "qv6/qv6dll.h"

using namespace qv6;

extern "C" {

const char* QV6GetDllRelease(void) {
  App();
  return ReleaseText();
}

int QV6GetLastError(void) {
  return LastError();
}

int QV6SetEnv(const char* descriptorIni, const char* section) {
  App();
  g_Log.WriteFormatted(kLogApi, "IN QV6SetEnv(%.999s, %.99s)\n", TraceText(descriptorIni),
                       TraceText(section));
  SetDescriptorNames(descriptorIni, section);
  SetLastError(0);
  g_Log.WriteFormatted(kLogApi, "OUT QV6SetEnv=%d\n", 1);
  return 1;
}

int QV6OpenConnection(int eventMode, int messageId, int threadId) {
  CQv6DllApp& app = App();
  g_Log.WriteFormatted(kLogApi, "IN QV6OpenConnection(%d, %d, 0x%X)\n", eventMode, messageId,
                       static_cast<unsigned>(threadId));
  SetLastError(kErrDevice);
  int index = 0;
  try {
    DescriptorNames names = DefaultDescriptorNames();
    SetLastError(kErrNoSlot);
    std::shared_ptr<Qv6Device> device;
    try {
      device = std::make_shared<Qv6Device>();
    } catch (const std::bad_alloc&) {
      device = nullptr;
    }
    if (!device) {
      SetLastError(kErrNotCreated);
    } else if ((index = app.connections().Add(device)) != 0) {
      bool started = false;
      if (eventMode == QV6_EVENT_MODE_CALLBACKS || eventMode == QV6_EVENT_MODE_MESSAGES) {
        started = device->OpenConnection(eventMode, static_cast<uint32_t>(messageId),
                                         static_cast<uint32_t>(threadId), names.file, names.section) != 0;
      } else {
        device->SetDescriptor(names.file, names.section);
        started = device->Connect() != 0;
      }
      if (started) {
        SetLastError(0);
      } else {
        // A connection that cannot run is no connection: free its slot.
        device->CloseConnection();
        app.connections().Remove(index);
        index = 0;
        SetLastError(kErrNotCreated);
      }
    }
  } catch (...) {
    g_Log.Write(kLogApi, "EXCEPTION\n");
    return 0;
  }
  g_Log.WriteFormatted(kLogApi, "OUT QV6OpenConnection=%d\n", index);
  return index;
}

int QV6CloseConnection(int index) {
  g_Log.WriteFormatted(kLogApi, "IN QV6CloseConnection(%d)\n", index);
  return IntExport(index, "OUT QV6CloseConnection=%d\n", [index](Qv6Device& device) {
    // Outside the connection's own callbacks the polling threads are waited for, so nothing of the
    // connection runs once this returns; inside one (the mutex held) the tick ends first.
    if (device.mutex().HeldByCurrentThread()) {
      device.CloseConnection();
    } else {
      device.Shutdown();
    }
    // The device goes when its last user lets go: here, or after a running export or poll tick.
    App().connections().Remove(index);
    return 1;
  });
}

int QV6UpdateFirmw(int index, const char* file) {
  App();
  g_Log.WriteFormatted(kLogApi, "IN QV6UpdateFirmw(%d, %.999s)\n", index, TraceText(file));
  SetLastError(kErrDevice);
  int result = 0;
  try {
    std::FILE* f = file != nullptr ? plat::OpenFile(file, "rb") : nullptr;
    if (f == nullptr) {
      SetLastError(kErrFileOpen);
    } else {
      std::vector<uint8_t> image;
      bool haveImage = false;
      long length = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1;
      if (length >= 0) {
        try {
          image.resize(static_cast<size_t>(length));
          haveImage = true;
        } catch (const std::bad_alloc&) {
          SetLastError(kErrNoMemory);
        }
      }
      if (haveImage) {
        std::fseek(f, 0, SEEK_SET);
        image.resize(image.empty() ? 0 : std::fread(image.data(), 1, image.size(), f));
      }
      std::fclose(f);
      std::shared_ptr<Qv6Device> device;
      if (haveImage) {
        try {
          device = std::make_shared<Qv6Device>();
        } catch (const std::bad_alloc&) {
          SetLastError(kErrNoMemory);
        }
      }
      if (device) {
        result = device->UpdateFirmw(image.data(), image.size());
        if (result == 0) {
          plat::Sleep(4000);
          result = device->UpdateFirmw(image.data(), image.size());
        }
        if (result != 0) SetLastError(0);
      }
    }
  } catch (...) {
    g_Log.Write(kLogApi, "EXCEPTION\n");
    return 0;
  }
  g_Log.WriteFormatted(kLogApi, "OUT QV6UpdateFirmw=%d\n", result);
  return result;
}

int QvUnitTest(void) {
  App();
  return qv6::RunDiagnosticSelfTest();
}

}  // extern "C"
