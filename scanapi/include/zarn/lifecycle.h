// Start and shut-down of the Zarn API, its status, version and information calls, and the interfaces of the
// services the lifecycle drives: the QV800 device library search, the scanner statistics and the
// scanner-manager client. Until their owners install them, the QV800 library is not loadable (so a QV600
// scanner is searched for instead), statistics go to the statistics file service and the scanner-manager client
// reports as its settings say.
#pragma once

#include <cstdint>

namespace zarn {

inline constexpr int kApiVersion = 915;
inline constexpr int kSupportedScanners = 2044;

class Qv800Line {
 public:
  virtual ~Qv800Line() = default;
  // Loads the QV800 device library: not negative on success.
  virtual int Load(int kind, const char* dllPath);
  // The family of the SCSI device at adapter/target (negative or 0: none).
  virtual int GetScsiInfo(int adapter, int target);
  // Closes an open QV800 scan: 0, or an error to convert.
  virtual int CloseScan();
  // Unloads the libraries (3: both); 1.
  virtual int Unload(int which);
};

class ScannerStatistics {
 public:
  virtual ~ScannerStatistics() = default;
  virtual int Init(int family);
  virtual int Save(int family);
  virtual void Error(int status);
  virtual void Image(int bits);
};

class ScannerManager {
 public:
  virtual ~ScannerManager() = default;
  virtual int Init();
  virtual void Exit();
};

// Null restores the default.
void InstallQv800Line(Qv800Line* line);
void InstallScannerStatistics(ScannerStatistics* statistics);
void InstallScannerManager(ScannerManager* manager);
Qv800Line& Qv800();
ScannerStatistics& Statistics();
ScannerManager& Manager();

// Installs the QV600 back-end's implementation of the parameter code's hooks.
void InstallQv600Hooks();

// ---- API calls ------------------------------------------------------------------------------------------
int ZARNInit();
int ZARNInitPath(const char* dllPath, const char* iniPath, const char* cfgPath);
int ZARNExit();
int ZarnStatus();
int ZARNSetParamString(int id, const char* text);
char* ZARNGetParamString(int id);
int funcZARNSetAdapterTarget(const char* iniPath, int adapter, int target);
int ZARNDisplayScannerInfo();
int ZARNSetFlag(int value);
int funcGetApiVersion();
int funcGetApiDate(char* buffer, int size);
int funcGetSupportedScanners();
int funcReadScannerConfig(const char* iniPath, const char* cfgPath, int* family, int* adapter, int* target);
int funcReadScannerConfigDefault();

// A QV800 search by SCSI adapter and target of its own (start-up does not use it): the family found, with
// the pair written back, or a negative code. The identity of the pair found is kept.
struct ScsiIdentity {
  int16_t family = 0;
  uint8_t adapter = 0;
  uint8_t target = 0;
  char vendor[8] = {};  // the inquiry's fields as they are, without NULs
  char product[16] = {};
  char revision[6] = {};
};
int funcFindSCSIScanner(int unused, uint8_t* adapter, uint8_t* target);
const ScsiIdentity& FoundScsiScanner();

// The information boxes ("SCSI Information") go to the box a front end installs; none is shown until then.
using InfoBoxHook = void (*)(const char* caption, const char* text);
void SetInfoBoxHook(InfoBoxHook hook);
void ShowInfoBox(const char* caption, const char* text);
// The back-end's beeps (the feeder beep) go the same way: nothing sounds until a front end installs one.
using MessageBeepHook = void (*)(uint32_t type);
void SetMessageBeepHook(MessageBeepHook hook);
void ApiMessageBeep(uint32_t type);

bool ZarnFlag();
void ResetLifecycleForTests();

}  // namespace zarn
