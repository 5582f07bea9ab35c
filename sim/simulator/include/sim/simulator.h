// The simulated scanner as a component. A program or an end-to-end test attaches a simulated scanner of
// a named model with a stack of synthetic cheques behind the driver device the device library opens;
// the simulator writes the model's firmware package for the device library to find, feeds one cheque at
// each start feed, and reports for every fed document, in feed order, its code line and the front and
// rear images a host should hold for it.
//
// Nothing else is needed: this header and the simulator library (which brings the driver devices with
// it). The scanner answers whoever opens its device name in this process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#if defined(ZC_SIMULATOR_BUILD)
#define ZC_SIMULATOR_API __attribute__((visibility("default")))
#else
#define ZC_SIMULATOR_API
#endif

namespace sim {

enum class CodeLineFont { kE13b, kCmc7 };

// What a document does when it is fed.
enum class DocumentFault {
  kNone,
  kJam,         // stops in the transport: the scanner reports a jam and sends no data for it
  kDoubleFeed,  // two sheets together: the scanner reports a double feed and sends no data for it
  kUnplug,      // the scanner disappears from the bus while the document is inside
  kDriverFailure,  // the driver fails the host's fetch of the document's front image, once
};

struct ScheduledFault {
  int document = 0;  // position in the stack, from 0
  DocumentFault fault = DocumentFault::kNone;
};

// A stack of synthetic cheques, deterministic from the seed.
struct DocumentStackSpec {
  int count = 0;
  uint32_t seed = 1;
  bool colour = false;  // tinted security background and blue endorsement ink
  CodeLineFont font = CodeLineFont::kE13b;
  std::vector<ScheduledFault> faults;
};

struct ScannerSpec {
  // The model's short name, without regard to case: QV600, QV605, QV620, QV602, KWL602, QV702, KWL603,
  // QV630, QV840, QV625, QV640, QV9120, RM70, RM70KF, KQV8. Every model feeds documents.
  std::string model = "QV630";
  DocumentStackSpec documents;
  // The scanner runs only its boot loader, so connecting downloads the package's firmware.
  bool bootLoaderOnly = false;
  // Where the firmware package is written (the folder the host looks in); empty: the current directory.
  std::string firmwareFolder;
  // The resolution the host is set to scan at (200 or 100; 300 too for the QV640, RM70, RM70KF and KQV8);
  // the expected images are those of this resolution, but for the RM70 and RM70KF, whose host keeps its
  // sensors' 300 dpi whatever it is set to.
  int hostResolution = 200;
  // The driver device name; empty: the series' usual one ("\\.\KScanDrv-0", "\\.\usbbulk0").
  std::string deviceName;
};

// An image as a host holds it in a packed DIB: `height` rows in storage order (bottom row first), each of
// (width * bitCount + 7) / 8 bytes without padding; 8-bit grey, 4-bit grey of 16 levels (the first series),
// or 24-bit colour as blue, green, red.
struct HostImage {
  int width = 0;
  int height = 0;
  int bitCount = 0;
  int dpi = 0;  // 0 for an image read from a DIB
  std::vector<uint8_t> pixels;
};

// The short names of every model the simulator offers, in catalogue order.
ZC_SIMULATOR_API std::vector<std::string> ModelNames();

// The image a host holds in a packed DIB (a pointer the device library hands over), in the same form.
ZC_SIMULATOR_API HostImage ReadHostImage(const void* packedDib);

struct FedDocumentReport {
  size_t index = 0;      // feed order, from 0
  std::string codeLine;  // as printed, left to right; ' ' an empty position
  DocumentFault fault = DocumentFault::kNone;
  // The images the host should hold once it has fetched both sides; absent while a side is not fetched
  // (and for a jammed or double-fed document, which sends no image).
  std::optional<HostImage> front;
  std::optional<HostImage> rear;
};

class ZC_SIMULATOR_API SimulatedScanner {
 public:
  // Writes the firmware package and attaches the scanner. Null, with the reason in *error, for an unknown
  // model, a host resolution the model's host does not scan at, a fault scheduled outside the stack, or a
  // package that cannot be written.
  static std::unique_ptr<SimulatedScanner> Attach(const ScannerSpec& spec, std::string* error = nullptr);
  // Detaches the scanner if it is still attached.
  ~SimulatedScanner();
  SimulatedScanner(const SimulatedScanner&) = delete;
  SimulatedScanner& operator=(const SimulatedScanner&) = delete;

  // Unplugs the scanner: handles open on it fail, and new opens fail until it is attached again.
  void Detach();
  // Plugs the scanner in again after Detach or an unplug, as it was: its firmware, hopper and fed
  // documents stay.
  void Replug();
  bool Attached() const;
  const std::string& DeviceName() const;
  // The firmware package written at attach (empty for a model without one).
  const std::string& FirmwarePackagePath() const;

  // Documents still in the hopper, and documents fed so far.
  size_t Waiting() const;
  size_t FedCount() const;
  // The document fed `index`-th; nullopt when not fed (or no longer remembered after very long runs).
  // Without `images` its expected images are not made (they cost a rendering of the cheque).
  std::optional<FedDocumentReport> Fed(size_t index, bool images = true) const;

 private:
  struct State;
  explicit SimulatedScanner(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace sim
