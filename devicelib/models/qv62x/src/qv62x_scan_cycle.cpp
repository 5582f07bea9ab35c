// The QV62x scan cycle: settings before each document, the raw image read, both sides' images built,
// windowed, reduced and cropped, the code line, re-processing with new parameters and the endorsement.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/log.h"
#include "platform/paths.h"
#include "qv6/endorsement/nozzle_columns.h"
#include "qv6/endorsement/printer_string.h"
#include "qv6/later/channel_settings.h"
#include "qv6/later/later_blocks.h"
#include "qv6/qv62x/qv62x_template.h"

namespace qv6 {

using namespace qv62x;
using namespace later;

namespace {

constexpr unsigned kLogScan = 75;
constexpr int kFlagTables = 2;
constexpr int kExposureLimit = 5700;
constexpr int64_t kSensorTopDown = 0x8;
constexpr const char* kSamplesFile = "Qv6MICRSamples.dat";
constexpr char kReject = '@';
constexpr size_t kCodeLineLimit = 64;
constexpr int kSensorDpi = 200;

size_t ModuleField(int side, size_t frontField) {
  return side == 0 ? frontField : frontField + (kImRearResolution - kImFrontResolution);
}

size_t AcqField(int side, size_t frontField) {
  return side == 0 ? frontField : frontField + kImRearAcqDelta;
}

void WriteSamplesFile(const uint8_t* data, size_t length) {
  const std::string path = plat::ResolvePath(kSamplesFile);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(data, 1, length, f);
  std::fclose(f);
}

// A height bound in tenths of a millimetre to a sensor pixel: negative values count from the far end.
int64_t PixelOf(int64_t tenths, int64_t dpi, int64_t n) {
  const int64_t p = std::abs(tenths) * dpi / 254;
  return tenths < 0 ? n - p : p;
}

}  // namespace

// ---- Settings ----

void ScannerQV62xDeviceTemplate::ComputeChannelSettings(int side, int record, int r, int g, int b,
                                                        int contrast) {
  auto module = [&](size_t f) { return static_cast<int>(blocks_.Get(kBlockImageModule, AcqField(side, f))); };
  int exposure = 0, offset = 0, red = 0, green = 0, blue = 0;
  if (r == 33 && g == 34 && b == 33) {
    exposure = std::min(kExposureLimit, contrast * module(kImFrontGainGrey) / 100);
    offset = module(kImFrontOffsetGrey);
    red = module(kImFrontPwmR) / 2;
    green = module(kImFrontPwmG) / 2;
    blue = module(kImFrontPwmB) / 2;
  } else if (r != 0) {
    exposure = module(kImFrontGainR);
    offset = module(kImFrontOffsetR);
    red = module(kImFrontPwmR);
  } else if (g != 0) {
    exposure = module(kImFrontGainG);
    offset = module(kImFrontOffsetG);
    green = module(kImFrontPwmG);
  } else if (b != 0) {
    exposure = module(kImFrontGainB);
    offset = module(kImFrontOffsetB);
    blue = module(kImFrontPwmB);
  }
  const size_t base = (side == 0 ? size_t{kScFrontRecords} : size_t{kScRearRecords}) +
                      static_cast<size_t>(record) * kRecordFields;
  // The record's offset field is 16 bits on the wire: a negative offset travels as its two's complement.
  const int values[] = {exposure, offset & 0xFFFF, red, green, blue};
  for (size_t i = 0; i < kRecordFields; ++i) blocks_.Set(kBlockAcquisition, base + i, values[i]);
}

int ScannerQV62xDeviceTemplate::PrepareScan() {
  raw_.read = false;
  noJam_ = true;
  const bool colour = config_.front.color != 0;
  micr_.Setup(3, 0, 0, 0, colour ? 47400 : 63200, 0, 0.13);
  scanType_ = colour ? 3 : 2;
  scanMode_ = colour ? 1 : 0;
  deviceRate_ = colour ? 100 : 200;
  frontResolution_ = config_.front.resolution;
  ComputeColorRatios(static_cast<unsigned>(config_.front.red), static_cast<unsigned>(config_.front.green),
                     static_cast<unsigned>(config_.front.blue), &ratios_[0], &ratios_[1], &ratios_[2]);
  ComputeColorRatios(static_cast<unsigned>(config_.rear.red), static_cast<unsigned>(config_.rear.green),
                     static_cast<unsigned>(config_.rear.blue), &rearRatios_[0], &rearRatios_[1],
                     &rearRatios_[2]);
  blocks_.Set(kBlockAcquisition, kScRate, colour ? 3 * deviceRate_ : deviceRate_);
  blocks_.Set(kBlockAcquisition, kScChannels, colour ? 3 : 1);
  blocks_.Set(kBlockAcquisition, kScFrontEnable, config_.front.enable);
  blocks_.Set(kBlockAcquisition, kScRearEnable, config_.rear.enable);
  if (!colour) {
    ComputeChannelSettings(0, 0, ratios_[0], ratios_[1], ratios_[2], config_.front.contrast);
    ComputeChannelSettings(1, 0, rearRatios_[0], rearRatios_[1], rearRatios_[2], config_.rear.contrast);
  } else {
    const int single[3][3] = {{100, 0, 0}, {0, 100, 0}, {0, 0, 100}};
    for (int side = 0; side < 2; ++side) {
      for (int r = 0; r < 3; ++r)
        ComputeChannelSettings(side, r, single[r][0], single[r][1], single[r][2], 100);
    }
  }
  const int control = (config_.printerEnable != 0 ? 1 : 0) | ((config_.printerDensity & 7) << 1) |
                      ((config_.printerIntensity & 7) << 4);
  blocks_.Set(kBlockPrinter, 0, control);
  blocks_.Set(kBlockPrinter, 1, 0);
  blocks_.Set(kBlockPrinter, 2, 0);
  blocks_.Set(kBlockSerialPort, qv62x::kSerBaud, config_.baudRate);
  blocks_.Set(kBlockSerialPort, qv62x::kSerParity, config_.parity);
  blocks_.Set(kBlockSerialPort, qv62x::kSerCharLen, config_.charLen);
  blocks_.Set(kBlockSerialPort, qv62x::kSerStopBits, config_.stopBits);
  blocks_.Set(kBlockDoubleFeed, qv62x::kDfDelay, config_.doubleFeedDelay);
  blocks_.Set(kBlockDoubleFeed, qv62x::kDfEnable, config_.doubleFeedEnable);
  if (!SendChangedConfig()) return 0;
  SetImageType(0);
  SetImageType(1);
  return 1;
}

void ScannerQV62xDeviceTemplate::SetImageType(int side) {
  const int s = side != 0 ? 1 : 0;
  // The rear's lines run backwards; the QV702's transport turns both round.
  const bool backward = (s == 1) != reversed_;
  const bool topDown = (blocks_.Get(kBlockImageModule, ModuleField(s, kImFrontSensor)) & kSensorTopDown) != 0;
  imageType_[static_cast<size_t>(s)] =
      kFlagTables | (backward ? kFlagReverseLines : 0) | (topDown ? kFlagReversePixels : 0);
}

int ScannerQV62xDeviceTemplate::PrepareLineLoaders() {
  const int pixels = GoodPixels(1);
  int result = 1;
  for (int s = 0; s < 2; ++s) {
    CLoadScanLines& loader = loaders_[static_cast<size_t>(s)];
    const int good = std::clamp(GoodPixels(s), 0, static_cast<int>(kTableBytes));
    loader.SetPixelsPerLine(pixels);
    loader.SetScanType(3);
    loader.SetCalibratedPixels(good);
    const int base = s == 0 ? kFirstTableTag : kFirstTableTag + 8;
    for (unsigned channel = 0; channel < 4; ++channel) {
      // Kind 2c is channel c's black line, 2c + 1 its white one; only the table's own bytes are copied.
      std::span<const uint8_t> white = Table(base + static_cast<int>(2 * channel));
      std::span<const uint8_t> black = Table(base + static_cast<int>(2 * channel) + 1);
      loader.SetCalibrationLine(black, 2 * channel);
      loader.SetCalibrationLine(white, 2 * channel + 1);
    }
    const std::array<int, 3>& w = s == 0 ? ratios_ : rearRatios_;
    result =
        scanType_ == 2 ? loader.BuildLookupTables(0, w[0], w[1], w[2]) : loader.BuildLookupTables(1, 0, 0, 0);
  }
  ProcessChannelTables(config_.photoOutOffset);
  return result;
}

// ---- Raw data ----

void ScannerQV62xDeviceTemplate::SetRawCounts(uint16_t lines, uint16_t distance, uint16_t leadIn,
                                              uint16_t trailing) {
  blocks_.Set(kBlockStatus, kStLines, lines);
  blocks_.Set(kBlockStatus, kStDistance, distance);
  blocks_.Set(kBlockStatus, kStLeadIn, leadIn);
  blocks_.Set(kBlockStatus, kStTrailing, trailing);
}

int ScannerQV62xDeviceTemplate::ReadRawImageData() {
  if (raw_.read) return 1;
  RawCounts c;
  c.pixels = static_cast<uint64_t>(std::max(GoodPixels(1), 0));
  c.distance = static_cast<uint64_t>(blocks_.Get(kBlockStatus, kStDistance));
  c.leadIn = static_cast<uint64_t>(blocks_.Get(kBlockStatus, kStLeadIn));
  c.lines = static_cast<uint64_t>(blocks_.Get(kBlockStatus, kStLines));
  c.trailing = static_cast<uint64_t>(blocks_.Get(kBlockStatus, kStTrailing));
  if (c.lines == 0 || !c.Acceptable()) return 0;
  // The read arrives in whole packets: the buffer takes the rounded length.
  raw_.bytes.assign(c.BufferBytes(), 0);
  raw_.counts = c;
  if (!commands_.ReadImageData(1, raw_.bytes.data(), c.Bytes())) return 0;
  raw_.read = true;
  return 1;
}

// ---- Images ----

int ScannerQV62xDeviceTemplate::AcquireLines(int side, int mode, int resolution, int greyCode, int bottom,
                                             int top) {
  const int s = side != 0 ? 1 : 0;
  const auto si = static_cast<size_t>(s);
  acquired_[si] = false;
  int lineCount = 0;
  lines_[si] = ExtractSide(raw_, s, mode, LaterSensor(s), &lineCount);
  if (lines_[si].empty() || lineCount == 0) return 0;
  const int p = static_cast<int>(raw_.counts.pixels);
  // The window and the reversed start stay within the P pixels a raw line holds.
  const int n = std::clamp(GoodPixels(s), 0, p);
  const bool topDown = (imageType_[si] & kFlagReversePixels) != 0;
  CLoadScanLines& loader = loaders_[si];
  loader.SetFormatFlags(imageType_[si]);
  loader.SetBitsPerPixel(mode == 0 ? 8 : 24);
  loader.SetResolution(kSensorDpi);
  loader.SetPixelsPerLine(p);
  loader.SetBytesPerRawLine(mode == 0 ? p : 3 * p);
  loader.SetNumberOfLines(lineCount);
  loader.SetLineBuffer(lines_[si].data(), lines_[si].size());
  int result = loader.ApplyLookupTables(topDown ? 1 : 0, 0, 0, n, 0);
  if (!result) return 0;
  const int lineStart = std::min(FindLineStart(s), std::max(n, 1));
  const int lineEnd = std::clamp(FindLineEnd(s), lineStart, std::max(n, 1));
  if (!loader.BuildImage(1, lineStart, lineEnd)) return 0;

  // Height window along the sensor, in tenths of a millimetre: rows first..last, both kept, measured on
  // the module's good pixels (negative positions count from their far end). A start that would lie
  // before the sensor's first pixel starts there.
  const int64_t dpi = blocks_.Get(kBlockImageModule, ModuleField(s, kImFrontResolution));
  const int64_t good = GoodPixels(s);
  int64_t first = PixelOf(bottom, dpi, good) & ~int64_t{1};
  if (first >= good || first < 0) first = 0;
  int64_t last = top == 0 ? good : PixelOf(top, dpi, good);
  last = (last + 1) & ~int64_t{1};
  if (first >= last || last > good) last = good;
  // Rows beyond the image are its last row; a window over every row leaves the image as it is.
  if (first != 0 || last < loader.GetHeight() - 1) {
    loader.Crop(0, 0, static_cast<int>(first), static_cast<int>(last));
  }

  sideResolution_[si] = kSensorDpi;
  if (resolution == 100) {
    loader.HalveSize();
    sideResolution_[si] = 100;
  }
  if (mode == 0 && greyCode == 1) loader.ConvertTo4Bit();
  acquired_[si] = true;
  lines_[si].clear();
  lines_[si].shrink_to_fit();
  return result;
}

void ScannerQV62xDeviceTemplate::CropSide(int side) {
  CLoadScanLines& image = loaders_[static_cast<size_t>(side)];
  CropToHeight(image, FindDocumentHeight(croppers_[static_cast<size_t>(side)], image,
                                         sideResolution_[static_cast<size_t>(side)]));
}

void ScannerQV62xDeviceTemplate::CropFrontImage() {
  CropSide(0);
}

void ScannerQV62xDeviceTemplate::CropRearImage() {
  CropSide(1);
}

void ScannerQV62xDeviceTemplate::CropBothImages() {
  CropBothSides(croppers_[0], loaders_[0], sideResolution_[0], croppers_[1], loaders_[1], sideResolution_[1]);
}

void* ScannerQV62xDeviceTemplate::GetImageBuffer(int side) {
  return loaders_[side != 0 ? 1 : 0].GetDibPtr();
}

int ScannerQV62xDeviceTemplate::GetImages(int mode) {
  g_Log.Write(kLogScan, "Start GetImages\n");
  const std::array<bool, 2> request = reprocess_;
  reprocess_ = {};
  if (!ReadRawImageData()) return 0;
  if (jamCheck_) {
    noJam_ = CheckJam(mode, 8, 4, static_cast<unsigned>(config_.photoOutTrip)) != 0;
    if (!noJam_) return 0;
  }
  if (request[0] || request[1]) {
    // A rebuild with the caller's values: one side, its event, no cropping.
    const int s = request[0] ? 0 : 1;
    if (AcquireLines(s, mode, newImage_[3], newImage_[1], newImage_[6], newImage_[7])) {
      Raise(s == 0 ? 4 : 5, reinterpret_cast<intptr_t>(GetImageBuffer(s)));
    }
    g_Log.Write(kLogScan, "End GetImages\n");
    return 1;
  }
  const bool crop = config_.cropEnable != 0;
  if (config_.front.enable != 0 && !acquired_[0]) {
    if (AcquireLines(0, mode, config_.front.resolution, config_.front.greyCode, config_.front.bottom,
                     config_.front.top) &&
        !crop) {
      Raise(4, reinterpret_cast<intptr_t>(GetImageBuffer(0)));
    }
  }
  if (config_.rear.enable != 0 && !acquired_[1]) {
    if (AcquireLines(1, mode, config_.rear.resolution, config_.rear.greyCode, config_.rear.bottom,
                     config_.rear.top) &&
        !crop) {
      Raise(5, reinterpret_cast<intptr_t>(GetImageBuffer(1)));
    }
  }
  if (crop && !imagesComplete_) {
    if (acquired_[0] && acquired_[1]) {
      CropBothImages();
      imagesComplete_ = true;
      Raise(4, reinterpret_cast<intptr_t>(GetImageBuffer(0)));
      Raise(5, reinterpret_cast<intptr_t>(GetImageBuffer(1)));
    } else if (acquired_[0]) {
      CropFrontImage();
      imagesComplete_ = true;
      Raise(4, reinterpret_cast<intptr_t>(GetImageBuffer(0)));
    } else if (acquired_[1]) {
      CropRearImage();
      imagesComplete_ = true;
      Raise(5, reinterpret_cast<intptr_t>(GetImageBuffer(1)));
    }
  }
  g_Log.Write(kLogScan, "End GetImages\n");
  return 1;
}

int ScannerQV62xDeviceTemplate::ReadNewImage(const std::array<int, 8>& arguments) {
  reprocess_ = {arguments[0] == 0, arguments[0] != 0};
  newImage_ = arguments;
  if (eventMode_ == 0) {
    GetImages(scanMode_);
  } else {
    reprocessPending_ = true;
  }
  return 1;
}

void* ScannerQV62xDeviceTemplate::GetFrontImageDIBPtr() {
  if (!(acquired_[0] && imagesComplete_) && eventMode_ == 0 && ReadStatusBlock() &&
      blocks_.Get(kBlockStatus, kStImageState) == kDataReady) {
    GetImages(scanMode_);
  }
  return acquired_[0] && imagesComplete_ ? GetImageBuffer(0) : nullptr;
}

void* ScannerQV62xDeviceTemplate::GetRearImageDIBPtr() {
  if (!(acquired_[1] && imagesComplete_) && eventMode_ == 0 && ReadStatusBlock() &&
      blocks_.Get(kBlockStatus, kStImageState) == kDataReady) {
    GetImages(scanMode_);
  }
  return acquired_[1] && imagesComplete_ ? GetImageBuffer(1) : nullptr;
}

// ---- Magnetic code line ----

int ScannerQV62xDeviceTemplate::ReadMicr() {
  g_Log.Write(kLogScan, "Start ReadMicr\n");
  const auto count = static_cast<size_t>(std::max<int64_t>(blocks_.Get(kBlockStatus, kStSamples), 0));
  const size_t bytes = std::min(2 * count, kMaxSampleBytes);
  sampleBuffer_.assign(kSampleBufferBytes, 0);
  const int read = commands_.ReadSamples(sampleBuffer_.data(), bytes);
  if (config_.micrSaveSamples != 0) WriteSamplesFile(sampleBuffer_.data(), bytes);
  // The samples travel in host (little-endian) order.
  sampleWords_.resize(bytes / 2);
  for (size_t i = 0; i < sampleWords_.size(); ++i) {
    sampleWords_[i] = static_cast<uint16_t>(sampleBuffer_[2 * i] | (sampleBuffer_[2 * i + 1] << 8));
  }
  samplesRecord_.samples = sampleWords_.data();
  samplesRecord_.byteCount = static_cast<int>(bytes);
  Raise(6, reinterpret_cast<intptr_t>(&samplesRecord_));
  // The reversed transport meets the code line from its other end.
  if (reversed_ && bytes > 3) std::reverse(sampleWords_.begin(), sampleWords_.end());
  if (config_.micrEnable != 0 && bytes > 0) {
    codeLine_ = nullptr;
    if (read) {
      const int font = config_.micrFont == 0 ? 1 : config_.micrFont == 1 ? 2 : 0;
      micr_.DecodeSamples(sampleWords_.data(), static_cast<unsigned>(sampleWords_.size()), font, 0, 0);
      if (const char* line = micr_.GetCodeline(config_.micrSpaces, kReject)) {
        std::fill(codeLineText_.begin(), codeLineText_.end(), '\0');
        std::strncpy(codeLineText_.data(), line, kCodeLineLimit);
        codeLine_ = codeLineText_.data();
        g_Log.WriteFormatted(kLogScan, "%s\n", codeLine_);
      }
    }
    micrDecoded_ = true;
    Raise(3, reinterpret_cast<intptr_t>(codeLine_));
  }
  g_Log.Write(kLogScan, "End ReadMicr\n");
  return read;
}

const char* ScannerQV62xDeviceTemplate::GetMicrCodelinePtr() {
  if (micrDecoded_) return codeLine_;
  if (eventMode_ == 0 && ReadStatusBlock() && blocks_.Get(kBlockStatus, kStMicrState) == kDataReady &&
      ReadMicr()) {
    return codeLine_;
  }
  return nullptr;
}

// ---- Endorsement ----

int ScannerQV62xDeviceTemplate::SetBmpToPrint(const void* bits, int width, int rows, int position1,
                                              int position2, int flags) {
  auto image = endorsement::EndorsementBitmap::FromCaller(bits, width, rows);
  if (!image) return 0;
  // Two bytes a column; more than the upload pipe or the 16-bit length takes is refused before sending.
  const uint64_t bytes = 2 * static_cast<uint64_t>(image->width);
  if (bytes > Qv62xCommands::kUploadLimit) return 0;
  if (flags & 1) SendCommand(6, {});
  std::vector<uint8_t> columns(static_cast<size_t>(bytes), 0);
  endorsement::EncodeNozzleColumns(*image, 0, (flags & endorsement::kFlagInkWhereSet) != 0, columns);
  return commands_.UploadAt(columns.data(), columns.size(), GetPrintParameter(position1, position2));
}

int ScannerQV62xDeviceTemplate::StringToPrint(const char* text, int length, int position1, int position2,
                                              int flags) {
  endorsement::PrinterString printer(config_.printerFont);
  int columns = 0;
  int rows = 0;
  if (!printer.RenderText(text, length, &columns, &rows)) return 0;
  return SetBmpToPrint(printer.bitmap().data(), columns, rows, position1, position2,
                       flags ^ endorsement::kFlagInkWhereSet);
}

}  // namespace qv6
