// What the parameter code asks of the scanner back-ends: QV600 driver-file rewrites, MICR set-up,
// disabling and restarting the QV600 back-end, its status check, and the QV800 library's configuration calls.
// The back-ends install their implementation; until then the QV600 calls do nothing (0) and the QV800
// calls report an unbound library (-123).
#pragma once

#include <cstdint>

namespace zarn {

class BackendHooks {
 public:
  virtual ~BackendHooks() = default;

  // QV600 line.
  virtual int RewriteQv600DriverFile();               // the driver configuration file; 0 or a status code
  virtual int Qv600SetMicrConfig(int id, int value);  // parameters 191, 193, 194
  virtual int Qv600Disable();                         // parameter 178
  virtual void Qv600Restart();                        // exit and start again (MICR method switch)
  virtual int Qv600StatusCheck();                     // parameter 169

  // QV800 line. Results: 0 success, a positive device error number (converted by the caller), or a
  // negative status code passed on as it is.
  virtual int Qv800Init(const char* tmpFile, const char* cfgFile, int target, int adapter);
  virtual int Qv800ClearErrors();
  virtual int Qv800SetConfig(int value);
  virtual int Qv800GetScsiInfo(uint8_t* adapter, uint8_t* target);
  virtual int Qv800SetPrint(int kind, int flag, const char* text);
};

// The installed hooks (never null). Installing null restores the unbound defaults.
BackendHooks& Backend();
void InstallBackendHooks(BackendHooks* hooks);

}  // namespace zarn
