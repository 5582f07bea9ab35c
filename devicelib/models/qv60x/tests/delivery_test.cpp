// Every document a first-series scanner feeds reaches the host or is reported, however soon the host
// enables the next one: a document fed before the next poll although its marks look as the last one's
// did, a side left unasked that no longer holds up the feeder, reads the driver loses fetched again, and
// long runs with jams, double feeds, unplugs and lost reads among the documents, each document accounted
// for by its code line.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "device/event_table.h"
#include "qv6/qv60x/qv60x_models.h"
#include "sim/documents/document_stack.h"
#include "sim/qv60x_feed_format.h"
#include "sim_bulk.h"
#include "testkit/support/scratch_dir.h"

namespace qv6::delivery {
namespace {

constexpr uint32_t kApiError = 0x8;
const char* const kDeviceName = "\\\\.\\usbbulk0";

struct Seen {
  std::mutex mutex;
  std::vector<int> events;
  std::string codeLine;
};
Seen& TheSeen() {
  static Seen s;
  return s;
}
void OnEvent(int event, intptr_t value) {
  std::lock_guard lock(TheSeen().mutex);
  TheSeen().events.push_back(event);
  if (event == 3 && value != 0) TheSeen().codeLine = reinterpret_cast<const char*>(value);
}

class FirstSeriesDelivery : public testing::SimBulkTest, public ::testing::WithParamInterface<sim::Model> {
 protected:
  // What one document came to on the host.
  enum class Outcome { kNothing, kDelivered, kError, kLinkLost };
  friend void PrintTo(Outcome o, std::ostream* os) {
    static const char* const kNames[] = {"nothing", "delivered", "error", "link lost"};
    *os << kNames[static_cast<int>(o)];
  }
  struct Result {
    Outcome outcome = Outcome::kNothing;
    std::string codeLine;
    uint32_t status = 0;
  };

  void SetUp() override {
    SimBulkTest::SetUp();
    for (int e = 2; e <= 6; ++e) events_.Set(e, &OnEvent, nullptr);
    events_.SetMode(1);
    Take();
  }
  void TearDown() override {
    model_.reset();
    SimBulkTest::TearDown();
  }

  // The scanner with a hopper of cheques (`faults` per position) and the model connected and set up.
  void Connect(const std::vector<sim::documents::DocumentFaults>& faults, const std::string& keys = "") {
    Attach(GetParam());
    sim::documents::DocumentStack stack(29);
    for (const auto& f : faults) stack.AddCheque(f);
    sim::FeederOptions options;
    options.deviceName = kDeviceName;
    feeder_ = std::make_shared<sim::Qv60xDocumentFeeder>(
        std::move(stack), sim::Qv60xLayout{GetParam() == sim::Model::kQv605}, options);
    device_->SetDocumentSource(feeder_);
    keys_ = keys;
    SetUpModel();
  }
  void SetUpModel() {
    if (GetParam() == sim::Model::kQv605)
      model_ = std::make_unique<Qv605>(transport_);
    else
      model_ = std::make_unique<Qv600>(transport_);
    model_->BindEvents(&events_);
    ASSERT_EQ(model_->StartUp(ModelStartUp{}), 1);
    dir_.Write("scan.ini", "[QV600 CONFIG]\n" + keys_);
    ASSERT_EQ(model_->InitDeviceFromFile(dir_.File("scan.ini").c_str(), nullptr), 1);
    model_->SetEventMode(1);
  }
  // A scanner unplugged and back: a new model over the reopened transport.
  void Reconnect() {
    model_.reset();
    transport_.Close();
    drv::DeviceRegistry::Instance().Attach(kDeviceName, device_);
    ASSERT_EQ(transport_.Open(), 1);
    SetUpModel();
  }
  // One poll tick as the polling thread runs it.
  int Tick() { return model_->LinkCheck() && model_->PollStatus(); }
  // The events since the last call, and the last code line among them.
  std::vector<int> Take(std::string* codeLine = nullptr) {
    std::lock_guard lock(TheSeen().mutex);
    std::vector<int> e;
    e.swap(TheSeen().events);
    if (codeLine != nullptr) *codeLine = TheSeen().codeLine;
    TheSeen().codeLine.clear();
    return e;
  }
  // The code line of the document fed `index`-th; empty when none was.
  std::string CodeLineOf(size_t index) const {
    const auto record = feeder_->feeder().RecordOf(index);
    return record ? record->codeLine : std::string();
  }

  // Polls until the document just enabled comes to something: its images (after its code line), an
  // error the caller sees in the status words, or a lost link. The host takes no time between ticks.
  Result Await(int ticks = 4) {
    Result r;
    bool front = false, rear = false;
    for (int t = 0; t < ticks; ++t) {
      if (!Tick()) {
        r.outcome = Outcome::kLinkLost;
        return r;
      }
      std::string line;
      for (int e : Take(&line)) {
        front = front || e == 4;
        rear = rear || e == 5;
      }
      if (!line.empty()) r.codeLine = line;
      int status = 0, errors = 0;
      if (model_->GetStatus(&status, &errors) != 1) {
        r.outcome = Outcome::kLinkLost;
        return r;
      }
      r.status = static_cast<uint32_t>(status);
      if (r.status & kApiError) {
        r.outcome = Outcome::kError;
        return r;
      }
      if (front && rear && !r.codeLine.empty()) {
        r.outcome = Outcome::kDelivered;
        return r;
      }
    }
    return r;
  }

  EventTable events_;
  zc::testkit::ScratchDir dir_{"qv60x_delivery"};
  std::shared_ptr<sim::Qv60xDocumentFeeder> feeder_;
  std::unique_ptr<ScannerDeviceTemplate> model_;
  std::string keys_;
};

// The host enables the next document as soon as the last one's events came: the scanner takes it in at
// the next status read, and its marks read as the last document's did before that was fetched.
TEST_P(FirstSeriesDelivery, DocumentFedBeforeTheNextPollIsFetched) {
  Connect(std::vector<sim::documents::DocumentFaults>(4));
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(model_->EnableScan(1), 1);
    ASSERT_EQ(Tick(), 1);
    std::string line;
    EXPECT_EQ(Take(&line), (std::vector<int>{6, 3, 4, 5, 2}));
    EXPECT_EQ(line, CodeLineOf(i));
  }
  // Serial bytes after the last document bring status changes but no second delivery.
  const std::vector<uint8_t> serial(3, 'z');
  device_->PushSerialInput(serial);
  ASSERT_EQ(Tick(), 1);
  ASSERT_EQ(Tick(), 1);
  EXPECT_EQ(Take(), (std::vector<int>{2}));
}

// With the rear image off, the rear side is never asked for: the front is fetched once, and the next
// enable still feeds.
TEST_P(FirstSeriesDelivery, SideLeftUnaskedDoesNotStopTheFeeder) {
  Connect(std::vector<sim::documents::DocumentFaults>(3), "REAR_IMG Enable=0\nCROP_IMAGE Enable=0\n");
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(model_->EnableScan(1), 1);
    ASSERT_EQ(Tick(), 1);
    std::string line;
    EXPECT_EQ(Take(&line), (std::vector<int>{6, 3, 4, 2}));
    EXPECT_EQ(line, CodeLineOf(i));
    // A status change later (serial bytes) does not fetch the front again.
    const std::vector<uint8_t> serial(2, 'y');
    device_->PushSerialInput(serial);
    ASSERT_EQ(Tick(), 1);
    EXPECT_EQ(Take(), (std::vector<int>{2}));
  }
  EXPECT_EQ(feeder_->feeder().FedCount(), 3u);
}

// A data phase the driver loses (no bytes, or a read that times out) leaves the data with the scanner:
// the next tick asks again. A lost sample read is reported at once (a code line event without a line).
TEST_P(FirstSeriesDelivery, LostReadsAreAskedAgainAtTheNextTick) {
  Connect(std::vector<sim::documents::DocumentFaults>(2));
  ASSERT_EQ(model_->EnableScan(1), 1);
  device_->FailNextDataIn(11, sim::FirstSeriesDevice::DataInFault::kEmpty);
  ASSERT_EQ(Tick(), 1);
  std::string line;
  EXPECT_EQ(Take(&line), (std::vector<int>{6, 3, 5, 2})) << "the front came empty";
  ASSERT_EQ(Tick(), 1);
  EXPECT_EQ(Take(), (std::vector<int>{4, 2}));
  EXPECT_EQ(line, CodeLineOf(0));

  ASSERT_EQ(model_->EnableScan(1), 1);
  device_->FailNextDataIn(12, sim::FirstSeriesDevice::DataInFault::kTimeOut);
  ASSERT_EQ(Tick(), 1);
  EXPECT_EQ(Take(&line), (std::vector<int>{6, 3, 4, 5, 2}));
  EXPECT_EQ(line, "") << "no code line from a read that timed out";
  ASSERT_EQ(Tick(), 1);
  EXPECT_EQ(Take(&line), (std::vector<int>{6, 3, 2}));
  EXPECT_EQ(line, CodeLineOf(1));
}

// 120 documents, one in ten with a fault (jam, double feed, unplug, or an image or sample read the driver
// loses), the next enabled as soon as the last came to something. Each fed document, in feed order,
// must have been delivered with its own code line, or reported as its fault.
TEST_P(FirstSeriesDelivery, FaultedSoakAccountsForEveryFedDocument) {
  constexpr int kDocuments = 120;
  enum Injected { kNone, kJam, kDoubleFeed, kUnplug, kLostImage, kLostSamples };
  auto injected = [](int i) { return i % 10 == 4 ? static_cast<Injected>(1 + (i / 10) % 5) : kNone; };
  std::vector<sim::documents::DocumentFaults> faults(kDocuments);
  for (int i = 0; i < kDocuments; ++i) {
    faults[static_cast<size_t>(i)].jam = injected(i) == kJam;
    faults[static_cast<size_t>(i)].doubleFeed = injected(i) == kDoubleFeed;
    faults[static_cast<size_t>(i)].unplugMidDocument = injected(i) == kUnplug;
  }
  Connect(faults);

  std::vector<Result> results;
  for (int cycle = 0; cycle < kDocuments + 10 && feeder_->feeder().FedCount() < kDocuments; ++cycle) {
    const size_t fed = feeder_->feeder().FedCount();
    ASSERT_EQ(model_->EnableScan(1), 1);
    const Injected next = injected(static_cast<int>(fed));
    if (next == kLostImage) device_->FailNextDataIn(11, sim::FirstSeriesDevice::DataInFault::kTimeOut);
    if (next == kLostSamples) device_->FailNextDataIn(12, sim::FirstSeriesDevice::DataInFault::kEmpty);
    const Result r = Await();
    if (feeder_->feeder().FedCount() == fed) continue;  // nothing came in
    results.push_back(r);
    if (r.outcome == Outcome::kError) ASSERT_EQ(model_->ClearErrors(), 1);
    if (r.outcome == Outcome::kLinkLost) Reconnect();
  }

  ASSERT_EQ(feeder_->feeder().FedCount(), static_cast<size_t>(kDocuments));
  ASSERT_EQ(results.size(), static_cast<size_t>(kDocuments));
  for (int i = 0; i < kDocuments; ++i) {
    SCOPED_TRACE(i);
    const Result& r = results[static_cast<size_t>(i)];
    switch (injected(i)) {
      case kJam:
        EXPECT_EQ(r.outcome, Outcome::kError);
        EXPECT_EQ(r.status & sim::Qv60xDevice::kJam, sim::Qv60xDevice::kJam);
        break;
      case kDoubleFeed:
        EXPECT_EQ(r.outcome, Outcome::kError);
        EXPECT_EQ(r.status & sim::Qv60xDevice::kDoubleFeed, sim::Qv60xDevice::kDoubleFeed);
        break;
      case kUnplug:
        EXPECT_EQ(r.outcome, Outcome::kLinkLost);
        break;
      default:
        EXPECT_EQ(r.outcome, Outcome::kDelivered);
        EXPECT_EQ(r.codeLine, CodeLineOf(static_cast<size_t>(i)));
        break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Models, FirstSeriesDelivery,
                         ::testing::Values(sim::Model::kQv600, sim::Model::kQv605), [](const auto& info) {
                           return info.param == sim::Model::kQv600 ? "Qv600" : "Qv605";
                         });

}  // namespace
}  // namespace qv6::delivery
