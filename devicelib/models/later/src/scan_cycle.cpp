// The later-series template's scan cycle: a document's magnetic samples and code line, both sides'
// images fetched, assembled and cropped, and the getters an application polls with when it takes no
// events.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/log.h"
#include "platform/paths.h"
#include "qv6/later/channel_settings.h"
#include "qv6/later/colour_lines.h"
#include "qv6/later/franker.h"
#include "qv6/later/later_device_template.h"
#include "qv6/later/line_edges.h"

namespace qv6 {

using namespace later;

namespace {

constexpr size_t kCodeLineLimit = 64;
constexpr int kFormatForward = 2;
constexpr int kFormatBackward = 1026;
constexpr int kFormatTopDown = 2048;
constexpr int64_t kSensorTopDown = 0x8;
constexpr const char* kSamplesFile = "Qv6MICRSamples.dat";
constexpr char kReject = '@';
constexpr unsigned kLogScan = 75;

// Correction table tags of a side: white and black of channel 0, then of channel 1.
constexpr int kFrontTables[4] = {257, 256, 259, 258};
constexpr int kRearTables[4] = {265, 264, 267, 266};

// Field of the front's module values, moved to the rear's.
size_t ModuleField(int side, size_t frontField) {
  return side == 0 ? frontField : frontField + (kImRearResolution - kImFrontResolution);
}

void WriteSamplesFile(const uint8_t* data, size_t length) {
  const std::string path = plat::ResolvePath(kSamplesFile);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(data, 1, length, f);
  std::fclose(f);
}

}  // namespace

void ScannerQV63xDeviceTemplate::LogStart(ScanStep step, uint8_t sequence) const {
  const bool images = step == ScanStep::kGetImages;
  if (traits_.documentLogLines) {
    g_Log.WriteFormatted(kLogScan,
                         images ? "Start GetImages, ReadDocIDIndex %d\n" : "Start ReadMicr, ReadDocIDIndex %d\n",
                         sequence);
  } else {
    g_Log.Write(kLogScan, images ? "Start GetImages\n" : "Start ReadMicr\n");
  }
}

// ---- Geometry of a side ----

SideGeometry ScannerQV63xDeviceTemplate::Geometry(int side) const {
  auto field = [&](size_t f) {
    return static_cast<int>(blocks_.Get(kBlockImageModule, ModuleField(side, f)));
  };
  SideGeometry g;
  g.resolution = field(kImFrontResolution);
  g.topDown = (field(kImFrontSensor) & kSensorTopDown) != 0;
  g.startPixel = field(kImFrontStartPixel);
  g.goodPixels = field(kImFrontGoodPixels);
  g.totalPixels = field(kImFrontTotalPixels);
  return g;
}

void ScannerQV63xDeviceTemplate::SetImageType(int side) {
  const int s = side != 0 ? 1 : 0;
  const bool backward = SideRunsBackward(s);
  imageType_[static_cast<size_t>(s)] =
      (backward ? kFormatBackward : kFormatForward) | (Geometry(s).topDown ? kFormatTopDown : 0);
}

int ScannerQV63xDeviceTemplate::FindLineStart(int side) const {
  const int* tags = side == 0 ? kFrontTables : kRearTables;
  return later::FindLineStart(CorrectionTable(tags[1]), CorrectionTable(tags[0]), Geometry(side).goodPixels);
}

int ScannerQV63xDeviceTemplate::FindLineEnd(int side) const {
  const int* tags = side == 0 ? kFrontTables : kRearTables;
  return later::FindLineEnd(CorrectionTable(tags[1]), CorrectionTable(tags[0]), Geometry(side).goodPixels);
}

int ScannerQV63xDeviceTemplate::PrepareLineLoaders() {
  for (int s = 0; s < 2; ++s) {
    CLoadScanLines& loader = loaders_[static_cast<size_t>(s)];
    const int good = std::clamp(Geometry(s).goodPixels, 0, CScanLines::kMaxPixels);
    loader.SetCalibratedPixels(good);
    tablesBuiltFor_[static_cast<size_t>(s)].reset();
    const int* tags = s == 0 ? kFrontTables : kRearTables;
    for (unsigned kind = 0; kind < 4; ++kind) {
      // Only the table's own bytes: the rest of the line keeps its white 255 / black 0.
      std::span<const uint8_t> table = CorrectionTable(tags[kind]);
      loader.SetCalibrationLine(table.first(std::min(table.size(), static_cast<size_t>(good))), kind);
    }
  }
  return 1;
}

// ---- Magnetic samples ----

int ScannerQV63xDeviceTemplate::ReadMicr(uint8_t sequence, int sampleCount) {
  LogStart(ScanStep::kReadMicr, sequence);
  const size_t count = std::min(static_cast<size_t>(std::max(sampleCount, 0)), traits_.micrMaxSamples);
  const bool narrow = traits_.micrSampleBytes == 1;
  const size_t wire = narrow ? count : 2 * count;
  const size_t bytes = 2 * count;  // as 16-bit samples
  sampleBuffer_.assign(kSampleBufferBytes, 0);
  const int read = ReadMicrData(sequence, sampleBuffer_.data(), wire);

  // Wide samples travel little-endian; eight-bit ones are the top byte of a sample. The decoder takes
  // host-order words.
  sampleWords_.resize(count);
  for (size_t i = 0; i < count; ++i) {
    sampleWords_[i] = narrow ? static_cast<uint16_t>(sampleBuffer_[i] << 8)
                             : static_cast<uint16_t>(sampleBuffer_[2 * i] | (sampleBuffer_[2 * i + 1] << 8));
  }
  AdjustSamples(sampleWords_);
  if (config_.micrSaveSamples != 0) {
    // The file holds the samples as handed over: 16-bit little-endian.
    std::vector<uint8_t> file(bytes);
    for (size_t i = 0; i < count; ++i) {
      file[2 * i] = static_cast<uint8_t>(sampleWords_[i]);
      file[2 * i + 1] = static_cast<uint8_t>(sampleWords_[i] >> 8);
    }
    WriteSamplesFile(file.data(), file.size());
  }
  samplesRecord_.samples = sampleWords_.data();
  samplesRecord_.byteCount = static_cast<int>(bytes);
  Raise(6, reinterpret_cast<intptr_t>(&samplesRecord_));
  AfterSamples(sampleWords_);
  // A transport that meets the code line from its other end delivers it backwards.
  if (MirroredSides()) std::reverse(sampleWords_.begin(), sampleWords_.end());

  if (config_.micrEnable != 0 && (bytes != 0 || traits_.micrMinSamples > 0)) {
    codeLine_ = nullptr;
    if (static_cast<int64_t>(count) < traits_.micrMinSamples) {
      // Too few samples for a code line: an empty one, not a missing one.
      codeLineText_.fill('\0');
      codeLine_ = codeLineText_.data();
    } else if (read) {
      micr_.DecodeSamples(sampleWords_.data(), static_cast<unsigned>(sampleWords_.size()),
                          micr::DecoderFontFromSetting(config_.micrFont), 0, 0);
      if (const char* line = micr_.GetCodeline(config_.micrSpaces, kReject)) {
        std::fill(codeLineText_.begin(), codeLineText_.end(), '\0');
        std::strncpy(codeLineText_.data(), line, kCodeLineLimit);
        codeLine_ = codeLineText_.data();
        // The smart franker decides from the line before anyone sees it.
        if (traits_.franker) {
          if (auto value = SmartFrankValue(config_.franker, codeLine_)) Frank(*value);
        }
        g_Log.WriteFormatted(kLogScan, "%s\n", codeLine_);
      }
    }
    micrHeld_ = true;
    Raise(3, reinterpret_cast<intptr_t>(codeLine_));
  }
  g_Log.Write(kLogScan, "End ReadMicr\n");
  return read;
}

const char* ScannerQV63xDeviceTemplate::GetMicrCodelinePtr() {
  if (!micrHeld_ && eventMode_ == 0) {
    if (!ReadStatusBlock()) return nullptr;
    auto record = DocumentRecord(expected_);
    if (record && lastMicrSequence_ != expected_ &&
        (blocks_.Get(kBlockStatus, *record + kRecWord) & traits_.documentBits.samplesReady)) {
      if (!ReadMicr(expected_, static_cast<int>(blocks_.Get(kBlockStatus, *record + kRecSamples)))) {
        return nullptr;
      }
      lastMicrSequence_ = expected_;
    }
  }
  return codeLine_;
}

// ---- Images ----

std::optional<ScannerQV63xDeviceTemplate::DocumentExtent> ScannerQV63xDeviceTemplate::DocumentExtentOf(
    uint8_t sequence, int side) const {
  auto record = DocumentRecord(sequence);
  if (!record) return std::nullopt;
  DocumentExtent e;
  e.width = static_cast<int>(blocks_.Get(kBlockStatus, *record + kRecWidth));
  e.firstLine =
      static_cast<int>(blocks_.Get(kBlockStatus, *record + (side == 0 ? kRecFirstFront : kRecFirstRear)));
  e.lineCount = static_cast<int>(blocks_.Get(kBlockStatus, *record + kRecLines));
  return e;
}

int ScannerQV63xDeviceTemplate::AcquireSide(int side, uint8_t sequence, int colourMode, int resolution,
                                            int greyCode, int bottom, int top) {
  const int s = side != 0 ? 1 : 0;
  const auto si = static_cast<size_t>(s);
  (s == 0 ? frontHeld_ : rearHeld_) = false;
  const std::optional<DocumentExtent> extent = DocumentExtentOf(sequence, s);
  if (!extent) return 0;
  const bool half = !traits_.fullWidthTransfer && colourMode == 0 && resolution == 100;
  WindowRequest request;
  request.firstUsable = FindLineStart(s);
  if (traits_.wholeWidthWindow) request.lastUsable = FindLineEnd(s);
  request.width = extent->width;
  request.bottom = bottom;
  request.top = top;
  request.firstLine = extent->firstLine;
  request.lineCount = extent->lineCount;
  request.halfSize = half;
  const SideGeometry geometry = Geometry(s);
  auto window = traits_.wholeWidthWindow    ? ComputeWholeWidthWindow(geometry, request)
                : traits_.fullWidthTransfer ? ComputeFullWidthWindow(geometry, request)
                                            : ComputeAcquisitionWindow(geometry, request);
  lastWindow_[si] = window;
  if (!window) return 0;

  blocks_.Set(kBlockImageTransfer, kTrSequence, sequence);
  blocks_.Set(kBlockImageTransfer, kTrSide, s);
  blocks_.Set(kBlockImageTransfer, kTrHalfSize, half ? 1 : 0);
  blocks_.Set(kBlockImageTransfer, kTrTwo, 2);
  blocks_.Set(kBlockImageTransfer, kTrFirstLine, window->firstLine);
  blocks_.Set(kBlockImageTransfer, kTrEndLine, window->endLine);
  blocks_.Set(kBlockImageTransfer, kTrFirstPixel, window->firstPixel);
  blocks_.Set(kBlockImageTransfer, kTrEndPixel, window->endPixel);
  if (!SendDeviceBlock(kBlockImageTransfer)) return 0;
  raw_[si].resize(window->Bytes());
  int read = commands_.ReadImageData(s, raw_[si].data(), raw_[si].size());
  if (traits_.framedTransfers) {
    // The closing block repeats the opening one with a 0 in place of the sequence number.
    blocks_.Set(kBlockImageTransfer, kTrSequence, 0);
    if (!SendDeviceBlock(kBlockImageTransfer)) read = 0;
  }
  if (!read) return 0;

  sideResolution_[si] = traits_.fullWidthTransfer ? traits_.sensorDpi : resolution == 100 ? 100 : 200;
  if (!BuildSide(s, *window, colourMode, greyCode, resolution)) return 0;
  (s == 0 ? frontHeld_ : rearHeld_) = true;
  return 1;
}

int ScannerQV63xDeviceTemplate::BuildSide(int s, const AcquisitionWindow& window, int colourMode,
                                          int greyCode, int resolution) {
  const auto si = static_cast<size_t>(s);
  CLoadScanLines& loader = loaders_[si];
  const SideGeometry geometry = Geometry(s);
  const bool half = sideResolution_[si] == 100;
  int pixels = window.Pixels();
  int lines = window.Lines();
  std::vector<uint8_t>* data = &raw_[si];
  if (colourMode == 2 && traits_.wholeWidthWindow) {
    // Three plane lines make one 24-bit line, as transferred.
    lines /= 3;
    if (lines <= 0) return 0;
  } else if (colourMode != 0) {
    // Colour raw lines come at 100 per inch: a 300 dpi sensor's groups stand for three lines each.
    const int repeat = traits_.sensorDpi / 100;
    ColourLines expanded =
        ExpandColourLines(raw_[si], lines, pixels, colourMode, half, lines_[si], half ? 1 : repeat);
    if (expanded.lines <= 0) return 0;
    pixels = expanded.pixels;
    lines = expanded.lines;
    data = &lines_[si];
  }
  const int bits = colourMode == 0 ? 8 : 24;
  loader.SetFormatFlags(imageType_[si]);
  loader.SetBitsPerPixel(bits);
  loader.SetResolution(sideResolution_[si]);
  loader.SetBytesPerRawLine(colourMode == 0 ? pixels : 3 * pixels);
  loader.SetNumberOfLines(lines);
  loader.SetLineBuffer(data->data(), data->size());
  loader.SetScanType(colourMode == 0 ? 2 : 3);

  const SideConfig& sc = s == 0 ? config_.front : config_.rear;
  int red = 33, green = 34, blue = 33;
  if (colourMode == 0) {
    ComputeColorRatios(static_cast<unsigned>(sc.red), static_cast<unsigned>(sc.green),
                       static_cast<unsigned>(sc.blue), &red, &green, &blue);
  }
  const std::array<int, 4> tables{colourMode == 0 ? 0 : 1, red, green, blue};
  if (tablesBuiltFor_[si] != tables) {
    if (!loader.BuildLookupTables(tables[0], red, green, blue)) return 0;
    tablesBuiltFor_[si] = tables;
  }

  // The document window in transferred pixels.
  const int step = half ? 2 : 1;
  const int offset = window.WindowOffset(geometry);
  const int count = (window.upper - window.lower) / step;
  const int first = geometry.topDown ? pixels - (offset / step + count - 1) : offset / step + 1;
  // Only the window's pixels have correction tables.
  loader.SetPixelsPerLine(count);
  const int corrected = loader.ApplyLookupTables(geometry.topDown ? 1 : 0, half ? 1 : 0, window.lower,
                                                 window.reversedStart, offset);
  loader.SetPixelsPerLine(pixels);
  if (!corrected) return 0;
  if (!loader.BuildImage(1, first, first + count - 1)) return 0;
  if (traits_.resample != nullptr) {
    const int resampled = traits_.resample(loader, colourMode, resolution);
    if (resampled == 0) return 0;
    sideResolution_[si] = resampled;
  } else if (traits_.fullWidthTransfer) {
    ReduceSide(s, resolution);
  }
  if (colourMode == 0 && greyCode == 1) loader.ConvertTo4Bit();
  return 1;
}

void ScannerQV63xDeviceTemplate::ReduceSide(int s, int resolution) {
  const auto si = static_cast<size_t>(s);
  CLoadScanLines& loader = loaders_[si];
  // The sensor's lines are assembled at its own resolution; the asked one comes from a reduction.
  if (resolution == 100 && loader.ThirdSize()) {
    sideResolution_[si] = 100;
  } else if (resolution == 200 && loader.TwoThirdsSize()) {
    sideResolution_[si] = 200;
  }
}

void ScannerQV63xDeviceTemplate::CropSide(int side) {
  CLoadScanLines& image = loaders_[static_cast<size_t>(side)];
  const unsigned height = FindDocumentHeight(croppers_[static_cast<size_t>(side)], image,
                                             sideResolution_[static_cast<size_t>(side)]);
  CropToHeight(image, height);
}

void ScannerQV63xDeviceTemplate::CropFrontImage() {
  CropSide(0);
}

void ScannerQV63xDeviceTemplate::CropRearImage() {
  CropSide(1);
}

void ScannerQV63xDeviceTemplate::CropBothImages() {
  CropBothSides(croppers_[0], loaders_[0], sideResolution_[0], croppers_[1], loaders_[1], sideResolution_[1]);
}

void* ScannerQV63xDeviceTemplate::GetImageBuffer(int side) {
  return loaders_[side != 0 ? 1 : 0].GetDibPtr();
}

int ScannerQV63xDeviceTemplate::GetImages(uint8_t sequence, int colourMode) {
  LogStart(ScanStep::kGetImages, sequence);
  lastImageSequence_ = sequence;
  const std::array<bool, 2> request = newImageFlags_;
  newImageFlags_ = {};
  const int greyCode = config_.front.greyCode;
  if (request[0] || request[1]) {
    // A new-image request re-acquires the last raw images with its own window and values.
    for (int s = 0; s < 2; ++s) {
      if (!request[static_cast<size_t>(s)]) continue;
      if (AcquireSide(s, sequence, colourMode, newImage_[3], newImage_[1], newImage_[6], newImage_[7])) {
        Raise(s == 0 ? 4 : 5, reinterpret_cast<intptr_t>(GetImageBuffer(s)));
      }
    }
  } else {
    const bool crop = config_.cropEnable != 0;
    bool front = false;
    bool rear = false;
    if (config_.front.enable != 0) {
      front = AcquireSide(0, sequence, colourMode, config_.front.resolution, greyCode, config_.front.bottom,
                          config_.front.top) != 0;
      if (front && !crop) Raise(4, reinterpret_cast<intptr_t>(GetImageBuffer(0)));
    }
    if (config_.rear.enable != 0) {
      rear = AcquireSide(1, sequence, colourMode, config_.rear.resolution, config_.rear.greyCode,
                         config_.rear.bottom, config_.rear.top) != 0;
      if (rear && !crop) Raise(5, reinterpret_cast<intptr_t>(GetImageBuffer(1)));
    }
    // A side the configuration asks for and the scanner did not deliver: the document is incomplete,
    // and the caller must be able to tell (the status words' device error) before it enables the next.
    if ((config_.front.enable != 0 && !front) || (config_.rear.enable != 0 && !rear)) imageMissing_ = true;
    if (crop && !imagesFinal_) {
      if (front && rear) {
        CropBothImages();
        imagesFinal_ = true;
        Raise(4, reinterpret_cast<intptr_t>(GetImageBuffer(0)));
        Raise(5, reinterpret_cast<intptr_t>(GetImageBuffer(1)));
      } else if (front) {
        CropFrontImage();
        imagesFinal_ = true;
        Raise(4, reinterpret_cast<intptr_t>(GetImageBuffer(0)));
      } else if (rear) {
        CropRearImage();
        imagesFinal_ = true;
        Raise(5, reinterpret_cast<intptr_t>(GetImageBuffer(1)));
      }
    }
  }
  g_Log.Write(kLogScan, "End GetImages\n");
  return 1;
}

bool ScannerQV63xDeviceTemplate::CurrentDocumentShows(uint16_t bits) const {
  auto word = DocumentWord(expected_);
  return word && (*word & bits) == bits;
}

int ScannerQV63xDeviceTemplate::ImagesForCurrentDocument() {
  if (!ReadStatusBlock()) return 0;
  if (lastImageSequence_ != expected_ &&
      CurrentDocumentShows(traits_.documentBits.frontReady | traits_.documentBits.rearReady)) {
    GetImages(expected_, colourMode_);
  }
  return 1;
}

void* ScannerQV63xDeviceTemplate::GetFrontImageDIBPtr() {
  if (!(frontHeld_ && imagesFinal_) && eventMode_ == 0) ImagesForCurrentDocument();
  return frontHeld_ && imagesFinal_ ? GetImageBuffer(0) : nullptr;
}

void* ScannerQV63xDeviceTemplate::GetRearImageDIBPtr() {
  if (!(rearHeld_ && imagesFinal_) && eventMode_ == 0) ImagesForCurrentDocument();
  return rearHeld_ && imagesFinal_ ? GetImageBuffer(1) : nullptr;
}

int ScannerQV63xDeviceTemplate::ReadNewImage(const std::array<int, 8>& arguments) {
  newImage_ = arguments;
  newImagePending_ = true;
  // Side first: 0 the front, any other value the rear.
  newImageFlags_ = {arguments[0] == 0, arguments[0] != 0};
  if (eventMode_ == 0 && ReadStatusBlock() &&
      CurrentDocumentShows(traits_.documentBits.frontReady | traits_.documentBits.rearReady)) {
    GetImages(expected_, colourMode_);
  }
  return 1;
}

}  // namespace qv6
