// The VEKQv5xx series and its one model class, the VEKQv500 (RM 70 and RM 70 KF): the later-series
// template over the VEKQv5xx traits. The scanner numbers no feeds; it reports one document at a time in a
// 15-byte status block of flag bytes and words, scans at 300 lines per inch in grey and in three plane
// lines per group in colour, runs in either direction (the direction bit decides the magnetic samples'
// order and polarity and the sides' line order), and takes its magnetic head's gain from the host.
#pragma once

#include <array>
#include <span>

#include "qv6/later/later_device_template.h"
#include "qv6/qv63x/qv63x_mech_file.h"
#include "qv6/vekqv5xx/vekqv5xx_commands.h"
#include "qv6/vekqv5xx/vekqv5xx_status.h"

namespace qv6 {

const LaterSeriesTraits& VEKQv5xxSeriesTraits();

// The EEPROM image: the QV63x form (tag "Qv63", code 48) with the RM 70's sections 64 to 68.
class VEKQv5xxMechFile : public DeviceMechFile {
 public:
  static constexpr Series kSeries = {{'Q', 'v', '6', '3'}, 48, 0x6F00};
  explicit VEKQv5xxMechFile(EepromAccess& device) : DeviceMechFile(device, kSeries) {}
  void GetDefaultSection(int tag, uint8_t* buffer, size_t length) override;
};
using VEKQv500MechFile = VEKQv5xxMechFile;

class ScannerVEKQv5xxDeviceTemplate : public ScannerQV63xDeviceTemplate {
 public:
  static constexpr size_t kHostColumns = 5000;
  static constexpr uint32_t kFeedWaitMs = 5000;
  static constexpr int kOutputResolution = 300;
  static constexpr int kMicrRate = 70919;

  explicit ScannerVEKQv5xxDeviceTemplate(Qv63xCommands& commands);

  // ---- DeviceModel ----
  int GetStatus(int* status, int* errors) override;
  int InitDeviceFromFile(const char* file, const char* section) override;
  int SetCfgData(int type, const void* data, int length) override;
  int ReadNewImage(const std::array<int, 8>& arguments) override;
  const char* GetMicrCodelinePtr() override;
  void* GetFrontImageDIBPtr() override;
  void* GetRearImageDIBPtr() override;
  int EnableScan(int on) override;
  int EjectDocument(int kind) override;
  int ClearErrors() override;
  int PollStatus() override;
  // The connection does not route these to the series: 1, with nothing sent.
  int EnableEarlyScan() override { return 1; }
  int SetDestinationPocket(int /*pocket*/) override { return 1; }
  int GetOperatingMode(int* mode) override;
  // The series has no maintenance mode.
  int MaintenanceMode(int /*value*/) override { return kNoSuchOperation; }
  int SetEventMode(int mode) override;
  int SetConfig_MicrGain(int gain, int ignored) override;
  int SetConfig_MicrAgc(int enable, int ignored) override;
  int SetConfig_ScanMode(int mode) override;
  int Frank(int value) override;

  // ---- Operations of the series ----
  int ReadStatusBlock() override;
  // A new document resets the gain; then the scan is prepared, the host buffer goes out and the feed
  // starts with the scan mode's parameter.
  int EnableNextScan();
  // Head offset code and potentiometer into block 34's records.
  int ConfigMicrGainOffset();
  int UploadDeviceBuffer() override;

  // State visible to tests.
  uint8_t StatusByte(size_t i) const;
  int scanMode() const { return scanMode_; }
  uint32_t baseGain() const { return baseGain_; }
  uint32_t currentGain() const { return currentGain_; }
  bool agc() const { return agc_; }
  uint8_t potentiometer() const;
  uint32_t documentLength() const { return documentLength_; }
  bool seriesConfigured() const { return configured_; }
  bool colour() const { return colour_; }

 protected:
  later::StatusWords ComposeStatus() const override;
  int GetImages(uint8_t sequence, int colourMode) override;
  int PrepareScan() override;
  bool SideRunsBackward(int side) const override;
  std::optional<DocumentExtent> DocumentExtentOf(uint8_t sequence, int side) const override;
  void AdjustSamples(std::span<uint16_t> samples) override;
  void AfterSamples(std::span<const uint16_t> samples) override;

  // The direction bit value in which the magnetic samples arrive in order (the model's).
  int sampleDirection_ = 0;

 private:
  bool Direction() const;
  bool ImagesSuppressed() const;
  int SendChangedBlocks();
  int FetchMicr();
  int FetchImages();

  int eventMode_ = 0;
  bool configured_ = false;
  int scanMode_ = 0;
  uint32_t baseGain_ = 100;
  uint32_t currentGain_ = 100;
  bool agc_ = false;
  bool colour_ = false;
  int scanResolution_ = 300;  // lines per inch of the scan; never 0, the document length divides by it
  int planeDivisor_ = 2;
  uint32_t documentLength_ = 0;
  // Each document's samples and images are fetched once, however often the status changes after.
  bool samplesFetched_ = false;
  bool imagesFetched_ = false;
  std::array<uint8_t, 15> changeKey_{};
  bool haveKey_ = false;
  // Blocks 33, 34 and 35 as this scanner last received them.
  std::array<std::optional<std::vector<uint8_t>>, 3> sent_;
};

struct VEKQv500Parts {
  explicit VEKQv500Parts(DriverDeviceInterface& transport)
      : commands(transport), eeprom(commands), mechFile(eeprom) {}
  VEKQv500Commands commands;
  CommandsEepromAccess eeprom;
  VEKQv500MechFile mechFile;
};

class VEKQv500 : private VEKQv500Parts, public ScannerVEKQv5xxDeviceTemplate {
 public:
  explicit VEKQv500(DriverDeviceInterface& transport);

  VEKQv500MechFile& eepromImage() { return this->VEKQv500Parts::mechFile; }
  int GetPrintParameter(int /*position1*/, int position2) override { return position2; }
};

// "VEKQv500"; linking this library registers it.
std::span<const char* const> VEKQv5xxModelClasses();

}  // namespace qv6
