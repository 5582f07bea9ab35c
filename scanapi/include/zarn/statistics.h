// The per-scanner statistics file "<serial>.VEK": a 227-byte header and five 1552-byte running records
// (record 0 the totals, 1 to 4 the last four runs), older blocks behind it when the API version changed.
// Records are packed little-endian and are encoded field by field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "zarn/lifecycle.h"

namespace zarn {

inline constexpr int kStatHeaderSize = 227;
inline constexpr int kStatRecordSize = 1552;
inline constexpr int kStatRecords = 5;
inline constexpr int kStatBlockSize = kStatHeaderSize + kStatRecords * kStatRecordSize;  // 7987
inline constexpr size_t kStatSerialMax = 67;

struct StatHeader {
  int32_t statisticsLength = 0;
  int32_t currentStatistics = 0;
  int32_t scannerType = 0;
  int32_t apiVersion = 0;
  char apiDate[11] = {};
  char vendor[32] = {};
  char product[32] = {};
  char release[32] = {};
  char initDate[20] = {};
  char serialNumber[68] = {};
  int32_t documentNumber = 0;
  int32_t runTime = 0;
};

struct StatRecord {
  char initTime[24] = {};
  char exitTime[24] = {};
  int32_t colorImages = 0;
  int32_t gray8Images = 0;
  int32_t gray4Images = 0;
  int32_t gray1Images = 0;
  int32_t totalImages = 0;
  int32_t endorsePrints = 0;
  int32_t noFeedErrors = 0;
  int32_t doubleFeedErrors = 0;
  int32_t paperJamErrors = 0;
  int32_t imageTooLongErrors = 0;
  int32_t otherErrors = 0;
  int32_t errorRing[32] = {};
  int32_t micr[4] = {};  // MICR3, MICR2, MICR1, MICR0 in file order
  int32_t density[256] = {};
  int32_t imageQual[64] = {};
};

void EncodeStatHeader(const StatHeader& h, uint8_t* out);  // writes kStatHeaderSize bytes
StatHeader DecodeStatHeader(const uint8_t* in);
void EncodeStatRecord(const StatRecord& r, uint8_t* out);  // writes kStatRecordSize bytes
StatRecord DecodeStatRecord(const uint8_t* in);

// What the statistics need from the scanner and the clock; tests replace it.
class StatisticsDevice {
 public:
  virtual ~StatisticsDevice() = default;
  // 0, or a failure (the caller reports -126).
  virtual int Serial(int family, std::string& serial, int& documents, int& minutes);
  // 0 or the failure code to return.
  virtual int Info(std::string& vendor, std::string& product, std::string& release);
  // The local time as "year:month:day hour:minute:second".
  virtual std::string Now();
  // The folder for the file, as a Windows path ("\" when it cannot be read).
  virtual std::string Folder();
  // The folder the API INI file names for the file (empty: none); tried before Folder().
  virtual std::string ConfiguredFolder();
};

// The file name for a serial number: cut to 67 characters, separators, ':' and control characters as '_'.
std::string StatisticsFileName(const std::string& serial);

class StatisticsFile final : public ScannerStatistics {
 public:
  explicit StatisticsFile(StatisticsDevice* device = nullptr);
  int Init(int family) override;
  int Save(int family) override;
  void Error(int status) override;
  void Image(int bits) override;
  void Micr(int status);
  void Endorse();
  void Density(int bin);

  const std::string& Path() const { return path_; }
  const StatRecord& Run() const { return run_; }

 private:
  StatisticsDevice* device_;
  StatHeader header_;
  StatRecord spare_;
  StatRecord run_;
  std::string path_;
  std::string serial_;  // the serial number and counters read at the start
  int documents_ = 0;
  int minutes_ = 0;
  bool started_ = false;
  bool saved_ = false;
};

// The API's statistics service (the one ZARNInit and ZARNExit drive once installed).
StatisticsFile& StatisticsService();
int funcStatisticsInit(int family);
int funcStatisticsSave(int family);
int funcStatisticsImage(int bitsPerPixel);
int funcStatisticsError(int code);
int funcStatisticsMICR(int status);
int funcStatisticsEndorse();
int funcStatisticsDensity(int bin);
int funcStatisticsToText(const char* statFile, int offset, const char* logName);
int funcStatisticsToXML(const char* statFile, const char* xmlName);

}  // namespace zarn
