// The first-series models. Qv600: grey images through the second scan-line path, fixed 832-pixel image
// modules. Qv605: the QV600 with configurable sensors, colour images, per-pixel colour tables, light
// coefficients, line doubling for colour at 200 dpi and the intensity-drop correction.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "connect/model_registry.h"
#include "platform/ini.h"
#include "qv6/image/image_cropping.h"
#include "qv6/image/pic_scan_lines.h"
#include "qv6/image/scan_lines.h"
#include "qv6/qv60x/first_template.h"

namespace qv6 {

namespace first {
// Holds a model's command object so it exists before the template that refers to it.
struct CommandsHolder {
  explicit CommandsHolder(std::unique_ptr<Qv600Commands> c) : commandsObject(std::move(c)) {}
  std::unique_ptr<Qv600Commands> commandsObject;
};

// Bytes of one raw line and the raw lines the scanner sends for a window `width` pixels wide.
struct LineGeometry {
  uint32_t bytesPerLine = 0;
  uint32_t lines = 0;
  uint32_t total = 0;  // bytes asked for: bytesPerLine x lines within the model's cap
};
// Raw lines come in whole 64-byte units.
inline constexpr uint32_t RoundUp64(uint32_t v) {
  return (v + 63) / 64 * 64;
}
// QV600 rule: depth codes 0-2, lines from w6 (see GetImages).
LineGeometry Qv600Lines(int width, int depthCode, int resolution, int w6);
// QV605 rule: colour planes, the line count halved for grey at 100 dpi.
LineGeometry Qv605Lines(int width, int depthCode, int resolution, bool greyAt100, int w6);
// The intensity-drop correction of one side's bitmap; x = drop / 1000000 (doubled by the caller).
void CorrectIntensityDrop(CDib& image, double x, bool rear);

inline constexpr uint32_t kQv600ImageCap = 0x3F0000;
inline constexpr uint32_t kQv605ImageCap = 0xFFFFFF;  // what opcode 11 can carry
}  // namespace first

class Qv600 : protected first::CommandsHolder, public ScannerDeviceTemplate {
 public:
  explicit Qv600(ScannerInterface& transport);
  ~Qv600() override = default;

  int InitDeviceFromFile(const char* file, const char* section) override;
  int SetImageType(int side) override;
  void* GetImageBuffer(int side) override;
  int PrepareScan() override;
  int GetImages() override;
  int SendImageSettings() override;
  int TransferMechSections(int write) override;
  int LoadMechConfigFromIni(const char* file) override;
  int SaveMechConfigToIni(const char* file) override;
  size_t BuildDeviceBlock(uint8_t block, std::span<uint8_t> out) override;
  int ParseDeviceBlock(std::span<const uint8_t> reply) override;

  CDib& image(int side) { return *dib_[side != 0 ? 1 : 0]; }
  // Bytes asked for in the last image read of each side.
  uint32_t lastImageRequest() const { return lastRequest_; }

 protected:
  Qv600(std::unique_ptr<Qv600Commands> commands, bool colour);
  // The image path of one side: reads `total` bytes and builds the side's bitmap; 1 when it is held.
  virtual int ReadSide(int side, const first::LineGeometry& geometry, int width);
  virtual first::LineGeometry Lines(int width) const;
  virtual uint32_t ImageCap() const { return first::kQv600ImageCap; }
  virtual size_t SettingsLength() const { return 28; }
  // The keys both models share; on saving, `modelSections` writes the model's own sections behind the
  // image modules, so a new file has its sections in the table's order.
  int CommonMechIni(const char* file, bool save,
                    const std::function<void(plat::IniDocument&)>& modelSections = {});
  // The scan-line assemblers' calibration and scan type, at InitDeviceFromFile.
  virtual void SetUpAssemblers();
  int SideEnabled(bool aux, int side) const;

  std::array<CPICLoadScanLines, 2> loaders_;
  std::array<CDib*, 2> dib_{};
  std::array<CImageCropping, 2> croppers_;
  std::vector<uint8_t> buffer_;
  uint32_t lastRequest_ = 0;
};

class Qv605 : public Qv600 {
 public:
  static constexpr int kColourTables = 12;

  explicit Qv605(ScannerInterface& transport);

  int GetCfgData(int type, void* buffer, int length) override;
  int SetCfgData(int type, const void* data, int length) override;
  int SetImageType(int side) override;
  int PrepareScan() override;
  int TransferMechSections(int write) override;
  int SelectMechImage(int flag) override;
  int LoadMechConfigFromIni(const char* file) override;
  int SaveMechConfigToIni(const char* file) override;
  size_t BuildDeviceBlock(uint8_t block, std::span<uint8_t> out) override;
  int ParseDeviceBlock(std::span<const uint8_t> reply) override;
  int MaxDepthCode() const override { return 3; }

  std::span<const uint8_t> colourTable(int type) const;  // types 13 to 24
  const std::array<uint8_t, 6>& light() const { return light_; }
  const CLoadScanLines& assembler(int side) const { return colourLoaders_[side != 0 ? 1 : 0]; }

 protected:
  int ReadSide(int side, const first::LineGeometry& geometry, int width) override;
  first::LineGeometry Lines(int width) const override;
  uint32_t ImageCap() const override { return first::kQv605ImageCap; }
  size_t SettingsLength() const override { return 32; }
  void SetUpAssemblers() override;

 private:
  Qv605Commands& commands605() { return static_cast<Qv605Commands&>(*commandsObject); }
  size_t TableLength(int index) const;
  int FirstColourPixel(int side) const;
  int BlockResolution() const { return depthCode_ == 3 ? 100 : 200; }

  std::array<CLoadScanLines, 2> colourLoaders_;
  std::array<std::vector<uint8_t>, kColourTables> tables_;
  std::array<uint8_t, 6> light_{255, 255, 255, 255, 255, 255};
};

}  // namespace qv6
