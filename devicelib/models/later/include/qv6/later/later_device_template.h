// ScannerQV63xDeviceTemplate: the device template of the QV63x series and the pattern of every later
// series. One object per connected scanner; the connection calls it under its mutex.
//
// It keeps every block's fields (BlockValues over the series' BlockTable), the feed sequence numbers
// that tie start-feed commands to the documents the scanner reports, the serial receive ring, the scan
// configuration and the correction tables, and composes the QV6GetStatus words. What varies between the
// later series is explicit: LaterSeriesTraits carries the data (block layouts, mechanical INI bindings,
// section orders, EEPROM tags); virtual hooks carry the behaviour (status mapping, document acquisition,
// firmware decision, scan preparation, print parameter), and the DeviceModel defaults give the
// "no such operation" answers of series that lack an operation.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

#include "device/device_model.h"
#include "devicelib/core/micr/micr.h"
#include "qv6/image/image_cropping.h"
#include "qv6/image/scan_lines.h"
#include "qv6/later/acquisition_window.h"
#include "qv6/later/device_block.h"
#include "qv6/later/firmware_update.h"
#include "qv6/later/later_blocks.h"
#include "qv6/later/later_commands.h"
#include "qv6/later/mech_ini.h"
#include "qv6/later/scan_config.h"
#include "qv6/later/serial_ring.h"
#include "qv6/later/status_words.h"
#include "qv6/models/mech_file_base.h"

namespace qv6 {

struct LaterSeriesTraits {
  const BlockTable& blocks;
  const std::vector<later::MechIniBinding>& mechIni;
  std::span<const uint16_t> mechTransferOrder;  // blocks sent to / read from the scanner, in order
  std::span<const uint16_t> mechImageOrder;     // records of the EEPROM image, in order
  size_t correctionTableSize;                   // bytes of each of the sixteen tables
  later::ScanConfigRules scanRules{};
  // Raw lines per inch of a grey scan, and the resolution the side's lines are assembled at.
  int sensorDpi = 200;
  // Whole sensor lines are transferred and the document window is cut on the host; the image is then
  // reduced to the asked resolution. Otherwise the scanner sends the window alone, halved for 100 dpi.
  bool fullWidthTransfer = false;
  // Magnetic sample rate of grey and colour mode 1, and of colour mode 2.
  std::array<int, 2> micrRates{63200, 94800};
  // Every scan preparation ends with opcode 7 (besides the one that follows loading the configuration).
  bool configAppliedInPrepare = false;
  bool franker = false;
  // Scan log lines carry the document's sequence number; a status change is not logged.
  bool documentLogLines = false;
  // The firmware update's status texts: "Loading configuration" stays shown once the EEPROM image is read
  // (else it is cleared), and "Download done" closes the update.
  bool keepsConfigurationText = false;
  bool showsDownloadDone = false;

  // Status block (type 2): payload bytes, the first field of each document record, the field of the
  // serial bytes waiting. With a single record the host writes the expected sequence number into it,
  // keeps no idle bit, clears errors without looking at the records and ends a stop with the sent
  // number caught up.
  size_t statusSize = later::kStatusBlockSize;
  std::span<const size_t> statusRecords = later::kStatusRecordsAB;
  size_t serialCountField = later::kSerialCount;
  // The document word's ready bits: magnetic samples, front image, rear image.
  struct DocumentBits {
    uint16_t samplesReady = later::kDocSamplesReady;
    uint16_t frontReady = later::kDocFrontReady;
    uint16_t rearReady = later::kDocRearReady;
  } documentBits{};
  // The double-feed sensor bit each calibration position watches.
  std::array<uint16_t, 2> doubleFeedBits{later::kSensorDoubleFeed0, later::kSensorDoubleFeed1};
  size_t hostBufferSize = 10000;
  // Host-buffer uploads, magnetic sample reads and image transfers are bracketed by a begin block (1, or
  // the sequence number for an image) and an end block (0).
  bool framedTransfers = false;
  // Magnetic samples: bytes per sample on the wire (1: eight bits, widened by a shift of 8), the most
  // read, and the fewest that are decoded (fewer give an empty code line).
  int micrSampleBytes = 2;
  size_t micrMaxSamples = 32718;
  int micrMinSamples = 0;
  // Whole-width transfer (first pixel 0, the record's width) with the crop window cut between the
  // sensor's lit edges; colour arrives as three plane lines per output line.
  bool wholeWidthWindow = false;
  // Resamples a full-width side to the asked resolution; the resolution the image then has, 0 when it
  // failed. Null: the QV64x reduction.
  int (*resample)(CLoadScanLines& image, int colourMode, int resolution) = nullptr;
};

// The series' traits: QV63x; QV9120 (QV63x with a franker); QV64x (300 dpi full-width sensor, franker).
const LaterSeriesTraits& Qv63xSeriesTraits();
const LaterSeriesTraits& Qv9120SeriesTraits();
const LaterSeriesTraits& Qv64xSeriesTraits();

class ScannerQV63xDeviceTemplate : public DeviceModel {
 public:
  static constexpr uint8_t kInitialSequence = 253;
  static constexpr size_t kSampleBufferBytes = 65536;  // the most magnetic sample bytes read at once
  static constexpr size_t kRs232TxMax = 100;
  static constexpr size_t kRs232ReadPiece = 128;
  static constexpr int kCorrectionTables = 16;
  static constexpr int kFirstTableTag = 256;

  ScannerQV63xDeviceTemplate(Qv63xCommands& commands, const LaterSeriesTraits& traits);
  ~ScannerQV63xDeviceTemplate() override = default;

  // The model hands its EEPROM image object over once both exist.
  void SetMechFile(MechFileBaseClass* mechFile) { mechFile_ = mechFile; }

  // ---- DeviceModel ----
  int GetStatus(int* status, int* errors) override;
  int InitDeviceFromFile(const char* file, const char* section) override;
  int SetMechConfig(const char* file, int flag) override;
  int GetMechConfig(const char* file, int flag) override;
  int GetCfgData(int type, void* buffer, int length) override;
  int SetCfgData(int type, const void* data, int length) override;
  int ReadNewImage(const std::array<int, 8>& arguments) override;
  const char* GetMicrCodelinePtr() override;
  void* GetFrontImageDIBPtr() override;
  void* GetRearImageDIBPtr() override;
  int EnableScan(int on) override;
  int EjectDocument(int value) override;
  int ClearPowerOnFlag() override;
  int ClearErrors() override;
  int Rs232Tx(const void* data, int length) override;
  int Rs232Rx(void* buffer, int* count) override;
  int SetBmpToPrint(const void* bits, int width, int rows, int position1, int position2, int flags) override;
  int StringToPrint(const char* text, int length, int position1, int position2, int flags) override;
  int ReadIdentity(uint8_t* buffer, size_t size) override;
  int LinkCheck() override { return ServicePending(); }
  int PollStatus() override;
  int EnableEarlyScan() override;
  int SetDestinationPocket(int pocket) override;
  int SelfCalib(int /*value*/) override { return 1; }
  int GetOperatingMode(int* mode) override;
  int MaintenanceMode(int value) override;
  int SetEventMode(int mode) override;
  // Opcode 12 for the document the host works on; no franker: kNoFranker.
  int Frank(int value) override;
  // Brings the scanner up after detection: the firmware decision with the identity's texts, then the
  // EEPROM image and the mechanical sections (UpdateFirmware).
  int StartUp(const ModelStartUp& start) override;

  // ---- Connection start-up ----
  // Brings the scanner's firmware up to date, then reads its EEPROM image, sends the mechanical sections
  // and reports them loaded (opcode 4). Non-zero when the scanner is ready.
  virtual int UpdateFirmware(const char* firmwareFile, const char* state, const char* version,
                             const char* manufacturer);

  // ---- Operations of the template ----
  int ServicePending();
  // Reads the status block (type 2) into the status fields; 1 when it arrived.
  virtual int ReadStatusBlock();
  int SendDeviceBlock(uint16_t type);
  int ReadDeviceBlock(uint16_t type, size_t length);
  int SendChangedConfig();
  int TransferMechSections(int send);
  int ReadMechImage();
  int WriteMechImage();
  int LoadMechConfigFromIni(const char* file);
  int SaveMechConfigToIni(const char* file);
  virtual int UploadDeviceBuffer();
  int ReadMicrData(uint8_t sequence, uint8_t* buffer, size_t length);

  // ---- Scan cycle ----
  // Loads both scan-line loaders with their side's good pixels and correction tables.
  int PrepareLineLoaders();
  // Output format of a side's scan lines: 2, or 1026 for the side whose lines run backwards, plus 2048
  // for a sensor whose pixels run top-down.
  void SetImageType(int side);
  int imageType(int side) const { return imageType_[side != 0 ? 1 : 0]; }
  // First and last usable pixel of a side (from 1), from its correction tables.
  virtual int FindLineStart(int side) const;
  virtual int FindLineEnd(int side) const;
  // Fetches and assembles one side of the document; 1 when the side is held.
  int AcquireSide(int side, uint8_t sequence, int colourMode, int resolution, int greyCode, int bottom,
                  int top);
  void CropFrontImage();
  void CropRearImage();
  void CropBothImages();
  // The packed DIB of a side, or null.
  void* GetImageBuffer(int side);
  // A side's scan-line loader: its calibration lines and the lookup tables last built from them.
  const CScanLines& scanLines(int side) const { return loaders_[side != 0 ? 1 : 0]; }
  // The window of the last image transfer of a side.
  const std::optional<later::AcquisitionWindow>& lastWindow(int side) const {
    return lastWindow_[side != 0 ? 1 : 0];
  }
  // Raw samples of the last magnetic read, as event 6 hands them over.
  const QV6MicrSamples& micrSamples() const { return samplesRecord_; }
  std::span<const uint8_t> hostBuffer() const { return hostBuffer_; }

  // State visible to the series and to tests.
  BlockValues& blocks() { return blocks_; }
  const BlockValues& blocks() const { return blocks_; }
  const later::ScanConfig& scanConfig() const { return config_; }
  uint8_t sentSequence() const { return sent_; }
  uint8_t expectedSequence() const { return expected_; }
  bool configured() const { return configured_; }
  int colourMode() const { return colourMode_; }
  std::span<const uint8_t> CorrectionTable(int tag) const;

  static uint8_t NextSequence(uint8_t n) { return n >= 255 ? 1 : static_cast<uint8_t>(n + 1); }

 protected:
  // ---- Variation points ----
  // The words the series' status block gives QV6GetStatus.
  virtual later::StatusWords ComposeStatus() const;
  // ComposeStatus with what the host found itself: a document side it could not fetch is a device error.
  later::StatusWords StatusWordsNow() const;
  // Fetches and decodes the document's magnetic samples (events 6 and 3); 1 when they were read.
  virtual int ReadMicr(uint8_t sequence, int sampleCount);
  // Fetches both sides' images of the document (events 4 and 5).
  virtual int GetImages(uint8_t sequence, int colourMode);
  // The firmware decision and download at connection.
  virtual FirmwareOutcome EnsureFirmware(const char* firmwareFile, const char* state, const char* version,
                                         const char* manufacturer);
  // Fills the settings blocks from the scan configuration and sends what changed.
  virtual int PrepareScan();
  // The colour mode and the image acquisition block (type 34) of the scan configuration.
  virtual void PrepareAcquisition();
  // Called after the mechanical sections were read from the EEPROM image.
  virtual void FixupMechConfig() {}
  // The print position among the caller's two.
  virtual int GetPrintParameter(int position1, int position2) = 0;
  // Models whose colour timing is always the alternative one (colour mode 2 for any colour).
  virtual bool AlternativeColourTiming() const { return false; }
  // Models whose transport runs the other way: the sides' line orders swap, the magnetic samples arrive
  // reversed and the endorsement runs forward in the host buffer.
  virtual bool MirroredSides() const { return false; }
  // Whether a side's raw lines arrive from the document's far end (output format 1026): the rear, or the
  // front on a mirrored transport.
  virtual bool SideRunsBackward(int side) const { return (side != 0) != MirroredSides(); }
  // The image module of a side as the series' block 64 describes it.
  later::SideGeometry Geometry(int side) const;
  // Where the document of `sequence` lies in a side's raw lines and how wide the scanner saw it; nullopt
  // when the scanner reports no such document. By default its status record.
  struct DocumentExtent {
    int width = 0;
    int firstLine = 0;
    int lineCount = 0;
  };
  virtual std::optional<DocumentExtent> DocumentExtentOf(uint8_t sequence, int side) const;
  // The magnetic samples as read (host order), before anyone sees them; a series whose scanner sends them
  // in another order or polarity puts them right here.
  virtual void AdjustSamples(std::span<uint16_t> samples) { (void)samples; }
  // Called with the samples once event 6 handed them over, before they are decoded.
  virtual void AfterSamples(std::span<const uint16_t> samples) { (void)samples; }

  Qv63xCommands& commands() { return commands_; }
  const LaterSeriesTraits& traits() const { return traits_; }
  // Where the firmware decision reports (the connection's diagnostics dialog); may be null.
  FirmwareUpdateView* firmwareView() const { return firmwareView_; }
  // A status text for the diagnostics dialog, when there is one.
  void ShowFirmwareStatus(const char* text);
  // The word of the document record (A first, then B) of sequence number n.
  std::optional<uint16_t> DocumentWord(uint8_t n) const;
  std::optional<size_t> DocumentRecord(uint8_t n) const;
  void Raise(int event, intptr_t value);
  // What the status words are composed from, as things stand.
  later::StatusInputs CurrentStatusInputs() const;
  int SendCommand(uint8_t opcode, std::initializer_list<uint8_t> parameters);
  void SetupMicr(int rate);

  later::ScanConfig config_;
  int colourMode_ = 0;
  bool micrHeld_ = false;
  bool frontHeld_ = false;
  bool rearHeld_ = false;
  bool imagesFinal_ = false;
  std::array<bool, 2> newImageFlags_{};
  bool newImagePending_ = false;  // a ReadNewImage request waits for the polling thread
  std::array<int, 8> newImage_{};
  uint8_t lastMicrSequence_ = 0;
  uint8_t lastImageSequence_ = 0;
  // An enabled side of the current document could not be fetched; cleared with the next enable, a
  // change of event mode and ClearErrors.
  bool imageMissing_ = false;

 private:
  int StartFeed();
  int SendFramingBlock(uint16_t type, int value);
  int FillRs232Ring(size_t count);
  void OnStatusChanged();
  int CalibrateDoubleFeed(int sensor, uint8_t* result);
  int CorrectionTag(int type) const;  // 0 for a type that is no table
  size_t ImageModuleBytes() const;
  size_t CorrectionLength(int tag) const;
  int BuildSide(int side, const later::AcquisitionWindow& window, int colourMode, int greyCode,
                int resolution);
  void ReduceSide(int side, int resolution);
  // The opening log line of ReadMicr or GetImages, with the document's sequence number where the series
  // logs it.
  enum class ScanStep { kReadMicr, kGetImages };
  void LogStart(ScanStep step, uint8_t sequence) const;
  void CropSide(int side);
  bool CurrentDocumentShows(uint16_t bits) const;
  int ImagesForCurrentDocument();

  Qv63xCommands& commands_;
  const LaterSeriesTraits& traits_;
  FirmwareUpdateView* firmwareView_ = nullptr;
  MechFileBaseClass* mechFile_ = nullptr;
  BlockValues blocks_;
  int eventMode_ = 0;
  bool configured_ = false;
  uint8_t sent_ = kInitialSequence;
  uint8_t expected_ = kInitialSequence;
  std::array<uint8_t, later::kStatusBlockSize> snapshot_{};
  uint8_t snapshotExpected_ = 0;
  bool haveSnapshot_ = false;
  later::SerialRing ring_;
  std::vector<uint8_t> hostBuffer_;
  std::vector<std::vector<uint8_t>> tables_;
  // The settings blocks as last sent successfully to this scanner (33 to 36).
  // The double-feed block's copy carries the franker settings behind its payload.
  std::array<std::optional<std::vector<uint8_t>>, 4> sentConfig_;
  std::vector<uint8_t> transferBuffer_;

  // Scan cycle: the magnetic decoder and the two sides' loaders and crop searches are this connection's.
  Micr micr_;
  const char* codeLine_ = nullptr;
  std::array<char, 65> codeLineText_{};
  std::vector<uint8_t> sampleBuffer_;
  std::vector<uint16_t> sampleWords_;
  QV6MicrSamples samplesRecord_{};
  std::array<CLoadScanLines, 2> loaders_;
  // What each side's lookup tables were last built for (colour flag and the three weights); reset when new
  // calibration lines are loaded. The tables depend on nothing else, so a side rebuilds them only when the
  // configuration changes, not for every document.
  std::array<std::optional<std::array<int, 4>>, 2> tablesBuiltFor_;
  std::array<CImageCropping, 2> croppers_;
  std::array<int, 2> imageType_{2, 1026};
  std::array<int, 2> sideResolution_{200, 200};
  std::array<std::vector<uint8_t>, 2> raw_;
  std::array<std::vector<uint8_t>, 2> lines_;
  std::array<std::optional<later::AcquisitionWindow>, 2> lastWindow_;
};

}  // namespace qv6
