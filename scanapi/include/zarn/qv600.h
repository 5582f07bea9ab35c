// The QV600 back-end: the connection to a QV600-line scanner through the device library, its event
// callbacks and image-callback table, identification, status reads and the scan switch operations.
//
// The callbacks run on the device library's polling thread while the API thread polls the same state, so
// every shared field is atomic; a bit of `documentStatus` is set with release order after the data it
// announces (code line, image pointer) is written, and readers load the bit with acquire order. No API-side
// lock is held while the device library is called (the library holds its own lock while a callback runs).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "zarn/analysis.h"
#include "zarn/device_library.h"

namespace lumivex {
class Micr;
}

namespace zarn {

// Device status word bits.
inline constexpr uint32_t kStPowerOn = 0x2;
inline constexpr uint32_t kStScanning = 0x4;
inline constexpr uint32_t kStError = 0x8;
inline constexpr uint32_t kStFeedSensor = 0x10;
inline constexpr uint32_t kStSyncSensor = 0x20;
inline constexpr uint32_t kStInkJet = 0x40;
inline constexpr uint32_t kStScanEnable = 0x80;
inline constexpr uint32_t kStDoubleFeed = 0x400;
inline constexpr uint32_t kStCoverOff = 0x1000;
inline constexpr uint32_t kStMicrReady = 0x100000;
inline constexpr uint32_t kStFrontReady = 0x200000;
inline constexpr uint32_t kStRearReady = 0x400000;
inline constexpr uint32_t kStEarlyScan = 0x1000000;
inline constexpr uint32_t kStConnected = 0x80000000u;
// Device error word bits.
inline constexpr uint32_t kErSelfTest = 0x1;
inline constexpr uint32_t kErDocInsert = 0x2;
inline constexpr uint32_t kErDocTooLong = 0x4;
inline constexpr uint32_t kErDoubleFeed = 0x40;
inline constexpr uint32_t kErJam = 0x80;
inline constexpr uint32_t kErOther = 0x100;

// iDocumentStatus bits.
inline constexpr uint32_t kDocCodeLine = 1;
inline constexpr uint32_t kDocFront = 2;
inline constexpr uint32_t kDocRear = 4;
inline constexpr uint32_t kDocScanning = 8;

// Results of these calls without a text row of their own, or shared with another meaning.
inline constexpr int kAlreadyInitialised = -114;
inline constexpr int kSelfTestFault = -614;
inline constexpr int kScannerBusyScanning = -622;
inline constexpr int kDeviceErrorRecorded = -644;

inline constexpr size_t kCodeLineSize = 256;
inline constexpr int kImageCallbackSlots = 10;

using ZarnImageCallback = void (*)(uint32_t status);

struct ZarnCallbackEntry {
  uint32_t mask = 0;
  ZarnImageCallback function = nullptr;
  uint32_t tick = 0;
};

struct QV600State {
  std::atomic<int> connection{0};
  std::atomic<bool> connectionOpen{false};  // `connection` is open and not yet closed
  std::atomic<int> enableScan{0};
  std::atomic<int> deviceOnLine{0};
  std::atomic<uint32_t> documentStatus{0};
  std::atomic<int> scannerStatus{0};
  std::atomic<int> errorStatus{0};
  std::atomic<int> documentError{0};
  std::atomic<const void*> dibFront{nullptr};
  std::atomic<const void*> dibBack{nullptr};
  std::atomic<int> krDecodeKept{0};
  std::atomic<int> syncSensorSeen{0};
  std::atomic<int> checkAvailable{0};
  std::atomic<int> enableOK{0};
  std::atomic<int> qv630Fast{0};
  std::atomic<int> qv630Speed{100};
  std::atomic<int> getImageBusy{0};
  std::atomic<int> errorOutstanding{0};
  std::atomic<int> earlyCheckAvailable{0};
  std::atomic<uint32_t> feederClearTick{1};
  std::atomic<uint32_t> rearReadyTick{0};
  // Early scans started for the next document, and those whose document a cycle has taken.
  std::atomic<int> earlyScanIssued{0};
  std::atomic<int> earlyScanUsed{0};
  // Batch endorsement: 0 off, 1 text sent as a string, 2 text rendered as a bitmap.
  std::atomic<int> batchPrintActive{0};

  // Whether a document cycle is collecting its document, and a device error the status change met while
  // none was: the scanner, left enabled between calls, fed a document that failed before the next call.
  // That error is the next cycle's result. Both under `cycleMutex`, which also orders the callback's
  // record of `scannerStatus` against the cycle's start.
  std::mutex cycleMutex;
  bool cycleActive = false;
  int errorBetweenCycles = 0;

  // The code lines, written by the callbacks before bit 1 is published.
  mutable std::mutex codeLineMutex;
  char codeLine[kCodeLineSize] = {};
  char internalKwlMicr[kCodeLineSize] = {};

  // The API's image callbacks, walked on the polling thread.
  mutable std::mutex callbackMutex;
  ZarnCallbackEntry imageCallbacks[kImageCallbackSlots];

  // Per-connection magnetic decoding (opened with the connection, dropped when it closes): the analysis
  // decoder and the second decoder of the samples callback.
  std::unique_ptr<AnalysisState> analysis;
  std::shared_ptr<lumivex::Micr> micr;
};

QV600State& Qv600();
// The current code line (copied under its lock).
std::string Qv600CodeLine();

// ---- Device library binding ---------------------------------------------------------------------------------
// The file the back-end loads ("Qv6Dll.dll" unless set, e.g. by tests).
void SetQv6LibraryFile(const char* fileName);
// Loads the library when it is not loaded yet: 0 or -125 (traced with what is missing).
int LoadQv6Library();
void UnloadQv6Library();
bool Qv6Loaded();
// The resolved exports; only valid after a successful LoadQv6Library.
const Qv6Exports& Qv6();
// The last device error converted to a status code.
int Qv6MappedError();

// ---- Connection -------------------------------------------------------------------------------------------
// One row of the firmware table (the printer-font row shares the layout).
struct FirmwareFileRow {
  int32_t id;
  const char* section;
  char key[40];
  char defaultName[256];
  char value[256];
};
inline constexpr int kFirmwareRows = 7;  // six firmware rows and the printer-font row
// The rows and the end row (id -1).
FirmwareFileRow* QV600FirmwareTable();

// The firmware name derivation: `value` (upper case) rewritten for firmware row `row` (0..5). The caller
// writes no result over 255 characters.
std::string DeriveFirmwareName(const std::string& value, int row);
// The descriptor file name for a configuration folder.
std::string DescriptorFileName(const char* cfgPath);

// The second rename rule, used when the driver file is refreshed: a name of 15 characters or more that ends
// with another model's firmware file name recognised by row `row` gets the row's own file name instead.
std::string RenameFirmwareForRow(const std::string& upperName, int row);

// ---- Driver configuration file ---------------------------------------------------------------------------
struct QV600DriverIniRow {
  int32_t id;
  const char* section;
  char key[40];
  int32_t defaultValue;
  int32_t value;
};
inline constexpr size_t kDriverIniRows = 53;
// The 53 rows and the end row (id -1).
std::span<QV600DriverIniRow> QV600DriverIniTable();
// The file the reload reads (".\qv6cfg.tmp" until the writer names another).
const char* Qv600DriverFileName();
void SetQv600DriverFileName(const char* name);
// Parameters 193 (magnetic gain), 194 (magnetic AGC) and 191 (scan mode) to the device and into the scan
// configuration file (null: the current one; a name under 256 characters becomes the current one). 1.
int funcQV600SetMicrConfig(const char* file, int id, int value);
int SetConfigData();
// Writes both tables into `fileName` (null: ".\qv6cfg.tmp") and reloads the device; -233 when a write
// failed.
int funcKWLWriteIniFileQV600(const char* fileName);
// Refreshes the tables and writes them into the current driver file: 0, or -233 when a write failed.
// The reload writes first, so a scan set-up change reaches the device.
int WriteDriverFileRows();
void ResetDriverFileForTests();

int funcQV600Init(const char* iniPath, const char* cfgPath);
int funcQV600Exit();

// ---- Identification ---------------------------------------------------------------------------------------
inline constexpr size_t kIdentityBlockSize = 256;
int funcMatchIdentityString(const char* text, const char* pattern);
// The `index`-th text (1-based) of an identity block, bounded by the block.
std::string IdentityText(const char* block, size_t size, int index);
int QV600GetScannerType(int* model, int* family);
int QV600GetScannerSerialNumber(char* serial, size_t serialSize, int* documents, int* minutes);
// Copies texts cut to their buffers' room (given with each buffer).
int QV600GetScannerInfo(unsigned char* adapter, unsigned char* target, char* vendor, size_t vendorSize,
                        char* product, size_t productSize, char* release, size_t releaseSize, int show);

// ---- Status and switches ----------------------------------------------------------------------------------
int funcGetStatus(int connection);
int funcQV600Disable();
int funcQV600Update(int flags);
int funcQV600Status();
int funcQV600StatusCheck();
int funcSetUpCallBack(uint32_t mask, ZarnImageCallback function);

// ---- Callbacks (registered by funcQV600Init; public so tests can drive them) -------------------------------
void cbDeviceOnLine(int event, intptr_t value);
void cbDeviceOffLine(int event, intptr_t value);
void cbStatusChange(int event, intptr_t value);
void cbMICR(int event, intptr_t value);
void cbMICRRaw(int event, intptr_t value);
void cbFrontImage(int event, intptr_t value);
void cbRearImage(int event, intptr_t value);

// The merge of the first decoder's line `a` with the second decoder's line `b`; counts repairs and
// characters left unresolved. The result has at most 80 characters.
std::string MergeMicrLines(const char* a, const char* b, int* repaired, int* left);

// The code-line formatting applied by the MICR callbacks: the program installs funcAssembleMICR (the
// formatter lives above this library); unset, lines stay as read.
using CodeLineFormatter = int (*)(char* line, size_t room, const AnalysisState* magnetic);
void SetCodeLineFormatter(CodeLineFormatter formatter);
// The batch endorsement's next print (BatchPrintString), for the early scans the status change starts; the
// endorsement functions install it when they start batch printing.
using BatchPrinter = int (*)(int mode);
void SetBatchPrinter(BatchPrinter printer);

// Restores the back-end's load values (closes nothing; for tests).
void ResetQv600ForTests();
// Opens and drops a connection's decoders.
void OpenConnectionDecoders();
void DropConnectionDecoders();

}  // namespace zarn
