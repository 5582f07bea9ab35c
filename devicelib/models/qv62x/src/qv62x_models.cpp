// The QV62x models, their EEPROM image defaults and their registration as model classes.
#include "qv6/qv62x/qv62x_models.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

#include "connect/model_registry.h"
#include "firmware/version_text.h"
#include "identity/identity_block.h"
#include "platform/clock.h"
#include "qv6/later/later_blocks.h"

namespace qv6 {

using namespace qv62x;

namespace {

const char* LoaderOf(Model model) {
  switch (model) {
    case Model::kQv602:
      return "QV602FWLoadertoUpload.bin";
    case Model::kQv702:
      return "QV702FWLoadertoUpload.bin";
    default:
      return "QV620FWLoadertoUpload.bin";
  }
}

constexpr int64_t kDeviceError = 0x8;
constexpr uint64_t kCalibratingVersion = PackVersion(1, 23, 0, 0);

}  // namespace

// ---- EEPROM image ----

DeviceMechFile::Series Qv62xMechFile::SeriesOf(Model model) {
  // Tag and code together spell the model name ("Qv602": tag "Qv60", code '2').
  switch (model) {
    case Model::kQv602:
      return {{'Q', 'v', '6', '0'}, '2', 0x6F00};
    case Model::kQv702:
      return {{'Q', 'v', '7', '0'}, '2', 0x6F00};
    default:
      return {{'Q', 'v', '6', '2'}, '0', 0x6F00};
  }
}

Qv62xMechFile::Qv62xMechFile(EepromAccess& device, Model model)
    : DeviceMechFile(device, SeriesOf(model)), model_(model) {}

bool Qv62xEepromAccess::ReadSerial(std::string* serial) {
  std::array<uint8_t, 256> identity{};
  if (!commands_.Identify(identity.data(), identity.size())) return false;
  CQv6Info info(identity.data(), identity.size());
  *serial = info.serial();
  return true;
}

void Qv62xMechFile::GetDefaultSection(int tag, uint8_t* buffer, size_t length) {
  if (buffer == nullptr) return;
  std::memset(buffer, 0, length);
  if (tag >= 256 && tag <= 271) {
    // White tables (even tags) read 255, black ones 0.
    std::memset(buffer, tag % 2 == 0 ? 0xFF : 0x00, length);
    return;
  }
  if (tag < kBlockImageModule || tag > kBlockPrinterSection) return;
  BlockValues values(Qv62xBlockTable());
  FillMechDefaults(values, model_);
  std::vector<uint8_t> record = EncodePayload(values, static_cast<uint16_t>(tag), ByteOrder::kLittle);
  std::memcpy(buffer, record.data(), std::min(length, record.size()));
}

// ---- Models ----

Qv62xModel::Qv62xModel(DriverDeviceInterface& transport, Model model)
    : Qv62xModelParts(transport, LoaderOf(model), model),
      ScannerQV62xDeviceTemplate(Qv62xModelParts::commands, model),
      model_(model) {
  SetMechFile(&(this->Qv62xModelParts::mechFile));
}

Qv620::Qv620(DriverDeviceInterface& transport) : Qv62xModel(transport, Model::kQv620) {
  // The feeder starts off.
  SendCommand(later::kOpFeed, {0, 0, 0, 0, 0});
}

void Qv620::FixupMechConfig() {
  if (blocks().Get(kBlockTransport, kTsExtraDocSize) == 28)
    blocks().Set(kBlockTransport, kTsExtraDocSize, 50);
  // Images written with the old acceleration table get the current tables.
  if (AccelerationIsTableA(blocks())) {
    SetRamp(blocks(), kMoAccel, MotorTableB());
    SetRamp(blocks(), kMoDecel, MotorTableA());
  }
}

int Qv620::SelfCalib(int skip) {
  if (skip != 0) return 1;
  std::array<uint8_t, 256> identity{};
  if (!ScannerQV62xDeviceTemplate::commands().Identify(identity.data(), identity.size()) ||
      !ReadStatusBlock())
    return 0;
  const uint8_t scanEnable = static_cast<uint8_t>(ScanEnableBit());
  CQv6Info info(identity.data(), identity.size());
  if (ParseVersionText(info.version()) < kCalibratingVersion) return 1;

  PrepareScan();
  SendCommand(later::kOpFeed, {2, 60, 0, 0, 0});
  plat::Sleep(kCalibrationSettleMs);
  // The calibration feed sends 20 lead-in and 80 lines of empty track.
  SetRawCounts(80, 0, 20, 0);
  ForgetRawData();
  const int mode = scanMode();
  int result =
      ReadRawImageData() && AcquireLines(0, mode, 200, 2, 0, 1200) && AcquireLines(1, mode, 200, 2, 0, 1200);
  if (result) {
    // Each image row is one sensor pixel: its mean over the columns is that pixel's empty-track level.
    for (int side = 0; side < 2; ++side) {
      const CLoadScanLines& image = Loader(side);
      const int rows = image.GetHeight();
      const int width = image.GetWidth();
      const int bytes = image.GetBitCount() / 8;
      const uint8_t* bits = image.GetBits();
      if (bits == nullptr || width <= 0) continue;
      for (int y = 0; y < rows && y < static_cast<int>(kPhotoOutBytes); ++y) {
        const uint8_t* row = bits + static_cast<size_t>(y) * static_cast<size_t>(image.GetBytesPerLine());
        for (int c = 0; c < bytes; ++c) {
          uint64_t sum = 0;
          for (int x = 0; x < width; ++x) sum += row[x * bytes + c];
          // 24-bit pixels are blue, green, red; channel 0 is the grey table, 1..3 red, green, blue.
          const int channel = bytes == 1 ? 0 : 3 - c;
          AverageTable(side, channel)[static_cast<size_t>(y)] =
              static_cast<uint8_t>(sum / static_cast<uint64_t>(width));
        }
      }
    }
    ProcessChannelTables(scanConfig().photoOutOffset);
  }
  // Whatever the feed gave, the feeder leaves calibration mode; a failed one keeps the old averages.
  PrepareScan();
  SendCommand(later::kOpFeed, {scanEnable, 0, 0, 0, 0});
  ForgetRawData();
  ForgetAcquired();
  return result ? 1 : 0;
}

Qv702::Qv702(DriverDeviceInterface& transport) : Qv62xModel(transport, Model::kQv702) {
  SetReversedTransport(true);
}

int Qv702::DeviceCommand4() {
  return SendCommand(later::kOpMechLoaded, {});
}

int Qv702::SetDestinationPocket(int pocket) {
  return SendCommand(later::kOpPocket, {static_cast<uint8_t>(pocket != 0 ? 1 : 0), 0});
}

int Qv702::ClearErrors() {
  ForgetMissingImage();
  if (!ReadStatusBlock()) return 0;
  if (blocks().Get(kBlockStatus, kStStatus) & kDeviceError) return SendCommand(later::kOpClearErrors, {});
  return 1;
}

namespace {

constexpr const char* kClasses[] = {"Qv602", "Qv620", "Qv702"};

const ModelRegistration kQv602Class(kClasses[0], &CreateDriverModel<Qv602>);
const ModelRegistration kQv620Class(kClasses[1], &CreateDriverModel<Qv620>);
const ModelRegistration kQv702Class(kClasses[2], &CreateDriverModel<Qv702>);

}  // namespace

std::span<const char* const> Qv62xModelClasses() {
  return kClasses;
}

}  // namespace qv6
