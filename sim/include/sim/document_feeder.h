// DocumentFeeder: the hopper of synthetic cheques behind a simulated scanner, whatever its series. Each
// start feed takes the next document of the stack; the feeder remembers every fed document in feed order
// (code line, faults, colour timing, the transfers the host asked for) and answers the host's requests for
// its raw lines and magnetic samples. A document's faults are the series' to report, except an unplug,
// which takes the scanner off the bus while the document is inside, and a failing front transfer, where
// the driver fails the host's next call after the scanner was asked for the front's lines (the fetch of
// those lines), once.
//
// Memory stays bounded over long runs: the faces of only the last few fed documents are kept (the host
// may fetch a side again); a synthetic cheque older than that is made again from its seed when its
// expected images are asked for, and the small records of at most `keptRecords` documents are kept.
//
// Series plug in at two points:
//   - a FeedFormat says how the series' scanner sees a document and what it sends: the raw-line model of
//     each side, the raw-line bytes of a transfer, the magnetic sample rate and sample bytes, and how a
//     host assembles a side (for the expected images). ContactSensorFormat is the later series' usual one;
//     a series with another raw-line or sample format derives from it or from FeedFormat.
//   - the series' device side maps its own protocol onto Feed, Samples and Image (for the QV63x series:
//     Qv63xDocumentFeeder, which turns the result of a feed into its status record).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/documents/document_scan.h"
#include "sim/documents/document_stack.h"

namespace sim {

class FeedFormat {
 public:
  virtual ~FeedFormat() = default;
  // The raw-line model of each side (front, rear) of `document` fed in `mode`; the scans point into it.
  virtual std::array<documents::SideScan, 2> Scans(const documents::Document& document,
                                                   documents::ColourMode mode) const = 0;
  // The bytes the scanner sends for a transfer of one side's raw lines (empty when refused).
  virtual std::vector<uint8_t> RawLines(const documents::SideScan& scan,
                                        const documents::TransferRequest& request) const = 0;
  // Magnetic samples per second in `mode`, and the document's samples as the scanner sends them.
  virtual int SampleRate(documents::ColourMode mode) const = 0;
  virtual std::vector<uint8_t> SampleBytes(const documents::Document& document,
                                           documents::ColourMode mode) const = 0;
  // How a host working at `dpi` assembles a side the scanner sent.
  virtual documents::HostAssembly HostAssemblyOf(documents::Side side, documents::ColourMode mode,
                                                 int dpi) const = 0;
  // The side a host working at `dpi` holds before cropping: by default the assembly itself.
  virtual documents::ExpectedImage HostImage(const documents::SideScan& scan,
                                             const documents::TransferRequest& request, documents::Side side,
                                             documents::ColourMode mode, int dpi) const;
  // The same for a scanner that sent `depthBits` bits a grey pixel (0: one byte); by default HostImage.
  virtual documents::ExpectedImage HostImageAtDepth(const documents::SideScan& scan,
                                                    const documents::TransferRequest& request,
                                                    documents::Side side, documents::ColourMode mode, int dpi,
                                                    int depthBits) const;
};

// Two contact image sensors across the transport, raw lines of one byte a pixel, magnetic samples as
// 16-bit little-endian words at a rate set by the colour timing. The defaults are the QV63x image modules:
// front bottom-up from pixel 16, rear top-down from pixel 32.
struct ContactSensorLayout {
  bool mirroredSides = false;  // a transport that runs the other way round (the QV840's)
  documents::SensorGeometry front{16, 832, 896, false, 0};
  documents::SensorGeometry rear{32, 832, 896, true, 0};
  int frontLeadLines = 5;  // raw lines before the document reaches each side's sensor
  int rearLeadLines = 12;
  int sampleRate = 63200;            // grey and colour mode 1
  int sampleRateAltTiming = 94800;   // colour mode 2
};

class ContactSensorFormat : public FeedFormat {
 public:
  explicit ContactSensorFormat(ContactSensorLayout layout = {}) : layout_(std::move(layout)) {}

  std::array<documents::SideScan, 2> Scans(const documents::Document& document,
                                           documents::ColourMode mode) const override;
  std::vector<uint8_t> RawLines(const documents::SideScan& scan,
                                const documents::TransferRequest& request) const override;
  int SampleRate(documents::ColourMode mode) const override;
  std::vector<uint8_t> SampleBytes(const documents::Document& document,
                                   documents::ColourMode mode) const override;
  documents::HostAssembly HostAssemblyOf(documents::Side side, documents::ColourMode mode,
                                         int dpi) const override;

  const ContactSensorLayout& layout() const { return layout_; }

 private:
  ContactSensorLayout layout_;
};

struct FeederOptions {
  std::string deviceName = "\\\\.\\KScanDrv-0";  // the name an unplug takes off the bus
  size_t keptDocuments = 2;                      // fed documents whose faces stay in memory
  size_t keptRecords = size_t{1} << 16;          // fed documents remembered at all
};

class DocumentFeeder {
 public:
  // What the feeder remembers of a fed document.
  struct Record {
    size_t index = 0;  // feed order, from 0
    uint8_t sequence = 0;
    std::string codeLine;
    documents::MicrFont font = documents::MicrFont::kE13b;
    documents::DocumentFaults faults;
    documents::ColourMode mode = documents::ColourMode::kGrey;
    int sampleRate = 0;
    int linesPerInch = 0;  // the scanner's raw-line setting for this document; 0: the format's own
    int depthBits = 0;     // bits a grey pixel the scanner sent for this document; 0: one byte
    std::array<std::optional<documents::TransferRequest>, 2> transfers;  // the last one of each side
    int sampleRequests = 0;
    bool frontTransferFailed = false;  // the driver failed the fetch of the front once
    // The channel records the host lit each side with; empty: those a host of the series sets up. The raw
    // lines are read under them, while the expected images keep the series' own, so a host that lights
    // the wrong LEDs shows wrong colours.
    std::array<std::vector<documents::ChannelLight>, 2> hostLights;
  };
  // A fed document with its faces and side models (the scans point into `document`).
  struct Fed : Record {
    documents::Document document;
    std::array<documents::SideScan, 2> scans;
  };
  // What a start feed took in, for the series to report.
  struct Taken {
    size_t index = 0;
    documents::DocumentFaults faults;
    std::array<int, 2> documentLines{};  // raw lines the document covers on each side
    size_t sampleBytes = 0;              // 0 for a document that jams or double-feeds (no data)
  };

  DocumentFeeder(documents::DocumentStack stack, std::shared_ptr<const FeedFormat> format,
                 FeederOptions options = {});
  DocumentFeeder(const DocumentFeeder&) = delete;
  DocumentFeeder& operator=(const DocumentFeeder&) = delete;

  // The document a start feed with `sequence` takes in; nullopt while the hopper is empty. A series whose
  // scanner sets its raw lines per inch apart from the colour mode passes it in `linesPerInch`, one that
  // sends fewer bits a grey pixel than a byte passes them in `depthBits`, one that lights its sensors as
  // the host's channel records say passes them in `hostLights` (front, rear).
  std::optional<Taken> Feed(uint8_t sequence, documents::ColourMode mode, int linesPerInch = 0,
                            int depthBits = 0, std::array<std::vector<documents::ChannelLight>, 2> hostLights = {});
  // The sample bytes of the document last fed with `sequence` (empty when unknown or no longer kept).
  std::vector<uint8_t> Samples(uint8_t sequence);
  // The raw lines of one side (0 front, 1 rear) of the document last fed with `sequence`.
  std::vector<uint8_t> Image(uint8_t sequence, int side, const documents::TransferRequest& request);

  void Push(documents::Document document);
  size_t Waiting() const;
  // Documents fed so far (records of the oldest may have been dropped).
  size_t FedCount() const;
  std::optional<Record> RecordOf(size_t index) const;
  // The document last fed with `sequence`, its faces still kept; false otherwise.
  bool Find(uint8_t sequence, Fed* out) const;
  // The images a host working at `dpi` holds for the document fed `index`-th, both sides cut to the
  // larger document length; nullopt when a side was not transferred or the document is gone.
  std::optional<std::array<documents::ExpectedImage, 2>> ExpectedImages(size_t index, int dpi) const;

  const FeedFormat& format() const { return *format_; }

 private:
  struct Entry {
    Record record;
    // Shared, so that the expected images of a kept document are made without copying its faces.
    std::shared_ptr<const documents::Document> document;  // dropped once older than keptDocuments
    std::vector<uint8_t> samples;                         // its sample bytes, made once at the feed
    uint32_t seed = 0;                             // a synthetic cheque's recipe, to make it again
    std::optional<documents::ChequeOptions> cheque;
  };
  Entry* Newest(uint8_t sequence);
  std::array<documents::SideScan, 2> ScansOf(const documents::Document& document, const Record& record) const;
  const Entry* At(size_t index) const;

  mutable std::mutex mutex_;
  documents::DocumentStack stack_;
  std::shared_ptr<const FeedFormat> format_;
  FeederOptions options_;
  std::deque<Entry> fed_;  // oldest first
  size_t dropped_ = 0;     // records dropped from the front
};

}  // namespace sim
