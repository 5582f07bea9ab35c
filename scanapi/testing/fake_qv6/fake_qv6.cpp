// The scripted fake device library (see fake_qv6_control.h).
#include <atomic>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fake_qv6_control.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "qv6/qv6dll.h"

namespace zarn::fake {
namespace {

constexpr int kSlots = 32;
constexpr int kEvents = 7;
constexpr uint32_t kPollMs = 2;

std::atomic<int> g_lastError{0};

// One document's buffers; kept one generation after the next document replaces them.
struct Delivered {
  std::string codeLine;
  std::vector<uint8_t> front, rear;
};

struct Connection {
  int index = 0;
  plat::RecursiveMutex mutex;
  QV6EventCallback events[kEvents] = {};
  bool connected = false;
  bool scanning = false;
  bool stop = false;
  uint64_t connectAt = 0;  // platform ms; UINT64_MAX never
  uint64_t scanSince = 0;
  std::shared_ptr<Delivered> current, previous;
  std::thread thread;
};

class Fake final : public FakeQv6Control {
 public:
  // ---- script ----
  void Reset() override {
    CloseAll();
    std::lock_guard<std::mutex> lock(m_);
    documents_.clear();
    failures_.clear();
    log_.clear();
    connectDelay_ = 0;
    openFailure_ = 0;
    status_ = 0;
    error_ = 0;
    identity_.clear();
    operatingMode_ = 0;
    delivered_ = 0;
  }
  void QueueDocument(const FakeDocument& d) override {
    std::lock_guard<std::mutex> lock(m_);
    documents_.push_back(d);
  }
  void SetConnectDelay(int ms) override {
    std::lock_guard<std::mutex> lock(m_);
    connectDelay_ = ms;
  }
  void SetOpenFailure(int lastError) override {
    std::lock_guard<std::mutex> lock(m_);
    openFailure_ = lastError;
  }
  void SetStatusWords(uint32_t status, uint32_t error) override {
    std::lock_guard<std::mutex> lock(m_);
    status_ = (status & ~QV6_STATUS_CONNECTED) | (status_ & QV6_STATUS_CONNECTED);
    error_ = error;
  }
  void SetIdentity(const std::vector<uint8_t>& block) override {
    std::lock_guard<std::mutex> lock(m_);
    identity_ = block;
  }
  void SetOperatingMode(int mode) override {
    std::lock_guard<std::mutex> lock(m_);
    operatingMode_ = mode;
  }
  void FailExport(const std::string& name, int lastError) override {
    std::lock_guard<std::mutex> lock(m_);
    failures_[name] = lastError;
  }
  void ClearFailures() override {
    std::lock_guard<std::mutex> lock(m_);
    failures_.clear();
  }
  void Disconnect() override {
    for (Connection* c : OpenConnections()) {
      std::lock_guard<plat::RecursiveMutex> lock(c->mutex);
      if (!c->connected) continue;
      c->connected = false;
      {
        std::lock_guard<std::mutex> g(m_);
        status_ &= ~QV6_STATUS_CONNECTED;
      }
      Fire(*c, QV6_EVENT_DISCONNECTED, 0);
    }
  }
  std::vector<std::string> CallLog() const override {
    std::lock_guard<std::mutex> lock(m_);
    return log_;
  }
  void ClearCallLog() override {
    std::lock_guard<std::mutex> lock(m_);
    log_.clear();
  }
  int DocumentsDelivered() const override { return delivered_.load(); }
  uint32_t LastEventThread() const override { return lastEventThread_.load(); }

  // ---- exports ----
  // Logs the call; false (with the last error set) when the script makes it fail.
  bool Enter(const char* name, const std::string& args) {
    std::lock_guard<std::mutex> lock(m_);
    log_.push_back(std::string(name) + "(" + args + ")");
    auto f = failures_.find(name);
    if (f != failures_.end()) {
      g_lastError = f->second;
      return false;
    }
    g_lastError = 0;
    return true;
  }

  Connection* Find(int index) {
    std::lock_guard<std::mutex> lock(m_);
    if (index < 1 || index > kSlots) {
      g_lastError = -2;
      return nullptr;
    }
    auto it = connections_.find(index);
    if (it == connections_.end()) {
      g_lastError = -5;
      return nullptr;
    }
    return it->second.get();
  }

  int Open() {
    std::unique_lock<std::mutex> lock(m_);
    if (openFailure_ != 0) {
      g_lastError = openFailure_;
      return 0;
    }
    int index = 1;
    while (index <= kSlots && connections_.count(index) != 0) ++index;
    if (index > kSlots) {
      g_lastError = -3;
      return 0;
    }
    auto c = std::make_unique<Connection>();
    c->index = index;
    c->connectAt = connectDelay_ < 0 ? UINT64_MAX : plat::NowMs() + static_cast<uint64_t>(connectDelay_);
    Connection* raw = c.get();
    connections_[index] = std::move(c);
    lock.unlock();
    raw->thread = std::thread([this, raw] { Poll(*raw); });
    return index;
  }

  bool Close(int index) {
    std::unique_ptr<Connection> c;
    {
      std::lock_guard<std::mutex> lock(m_);
      auto it = connections_.find(index);
      if (it == connections_.end()) {
        g_lastError = index < 1 || index > kSlots ? -2 : -5;
        return false;
      }
      c = std::move(it->second);
      connections_.erase(it);
    }
    Stop(*c);
    return true;
  }

  void Words(uint32_t* status, uint32_t* error) {
    std::lock_guard<std::mutex> lock(m_);
    *status = status_;
    *error = error_;
  }
  void ClearErrorWord() {
    std::lock_guard<std::mutex> lock(m_);
    error_ = 0;
  }
  void ClearPowerOn() {
    std::lock_guard<std::mutex> lock(m_);
    status_ &= ~0x1u;
  }
  std::vector<uint8_t> Identity() {
    std::lock_guard<std::mutex> lock(m_);
    return identity_;
  }
  int OperatingMode() {
    std::lock_guard<std::mutex> lock(m_);
    return operatingMode_;
  }

  ~Fake() { CloseAll(); }

 private:
  std::vector<Connection*> OpenConnections() {
    std::lock_guard<std::mutex> lock(m_);
    std::vector<Connection*> out;
    for (auto& [index, c] : connections_) out.push_back(c.get());
    return out;
  }

  void CloseAll() {
    std::map<int, std::unique_ptr<Connection>> all;
    {
      std::lock_guard<std::mutex> lock(m_);
      all.swap(connections_);
    }
    for (auto& [index, c] : all) Stop(*c);
  }

  void Stop(Connection& c) {
    {
      std::lock_guard<plat::RecursiveMutex> lock(c.mutex);
      c.stop = true;
    }
    if (c.thread.joinable()) c.thread.join();
  }

  // Caller holds the connection mutex.
  void Fire(Connection& c, int event, intptr_t value) {
    lastEventThread_ = plat::GetCurrentThreadId();
    if (c.events[event] != nullptr) c.events[event](event, value);
  }

  void Poll(Connection& c) {
    for (;;) {
      {
        std::lock_guard<plat::RecursiveMutex> lock(c.mutex);
        if (c.stop) return;
        if (!c.connected && c.connectAt != UINT64_MAX && plat::NowMs() >= c.connectAt) {
          c.connected = true;
          {
            std::lock_guard<std::mutex> g(m_);
            status_ |= QV6_STATUS_CONNECTED;
          }
          Fire(c, QV6_EVENT_CONNECTED, 0);
        }
        if (c.connected && c.scanning) DeliverNext(c);
      }
      plat::Sleep(kPollMs);
    }
  }

  // Caller holds the connection mutex.
  void DeliverNext(Connection& c) {
    FakeDocument doc;
    {
      std::lock_guard<std::mutex> lock(m_);
      if (documents_.empty()) return;
      if (plat::NowMs() < c.scanSince + documents_.front().delayMs) return;
      doc = documents_.front();
      documents_.pop_front();
    }
    // Like the scanners it stands in for, one enable feeds one document.
    c.scanning = false;
    auto d = std::make_shared<Delivered>();
    d->codeLine = doc.codeLine;
    d->front = doc.frontDib;
    d->rear = doc.rearDib;
    c.previous = c.current;
    c.current = d;
    if (!doc.samples.empty() && c.events[QV6_EVENT_MICR_SAMPLES] != nullptr) {
      QV6MicrSamples s{doc.samples.data(), static_cast<int>(doc.samples.size() * sizeof(uint16_t))};
      Fire(c, QV6_EVENT_MICR_SAMPLES, reinterpret_cast<intptr_t>(&s));
    }
    if (c.events[QV6_EVENT_MICR] != nullptr) {
      Fire(c, QV6_EVENT_MICR, reinterpret_cast<intptr_t>(d->codeLine.c_str()));
    }
    if (!d->front.empty()) Fire(c, QV6_EVENT_FRONT_IMAGE, reinterpret_cast<intptr_t>(d->front.data()));
    if (!d->rear.empty()) Fire(c, QV6_EVENT_REAR_IMAGE, reinterpret_cast<intptr_t>(d->rear.data()));
    for (auto [status, error] : doc.statusWords) {
      SetStatusWords(status, error);
      Fire(c, QV6_EVENT_STATUS, 0);
    }
    ++delivered_;
  }

  mutable std::mutex m_;
  std::map<int, std::unique_ptr<Connection>> connections_;
  std::deque<FakeDocument> documents_;
  std::map<std::string, int> failures_;
  std::vector<std::string> log_;
  int connectDelay_ = 0;
  int openFailure_ = 0;
  uint32_t status_ = 0;
  uint32_t error_ = 0;
  std::vector<uint8_t> identity_;
  int operatingMode_ = 0;
  std::atomic<int> delivered_{0};
  std::atomic<uint32_t> lastEventThread_{0};

 public:
  // Accessors for the exports below.
  void SetScanning(Connection& c, bool on) {
    std::lock_guard<plat::RecursiveMutex> lock(c.mutex);
    if (on && !c.scanning) c.scanSince = plat::NowMs();
    c.scanning = on;
  }
  static const void* Dib(const std::vector<uint8_t>& bytes) { return bytes.empty() ? nullptr : bytes.data(); }
};

Fake& TheFake() {
  static Fake fake;
  return fake;
}

std::string Args(std::initializer_list<std::string> parts) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : ",") + p;
  return out;
}
std::string S(const char* text) { return text != nullptr ? std::string("\"") + text + "\"" : "null"; }
std::string N(long long v) { return std::to_string(v); }
// A print bitmap by its first two bytes, so a test sees where the caller's pixels start.
std::string Bits(const void* bits) {
  if (bits == nullptr) return "null";
  const auto* b = static_cast<const uint8_t*>(bits);
  char text[16];
  std::snprintf(text, sizeof text, "bits:%02x%02x", b[0], b[1]);
  return text;
}

// The shape of most exports: log, honour a scripted failure, need an open connection, then act.
template <class Act>
int WithConnection(const char* name, const std::string& args, int index, Act act) {
  Fake& f = TheFake();
  if (!f.Enter(name, args)) return 0;
  Connection* c = f.Find(index);
  if (c == nullptr) return 0;
  std::lock_guard<plat::RecursiveMutex> lock(c->mutex);
  return act(*c);
}

}  // namespace
}  // namespace zarn::fake

using zarn::fake::Bits;
using zarn::fake::Args;
using zarn::fake::Connection;
using zarn::fake::N;
using zarn::fake::S;
using zarn::fake::TheFake;
using zarn::fake::WithConnection;

extern "C" {

QV6_API zarn::fake::FakeQv6Control* FakeQv6GetControl() { return &TheFake(); }

QV6_API int QV6GetLastError(void) { return zarn::fake::g_lastError.load(); }

QV6_API int QV6OpenConnection(int eventMode, int messageId, int threadId) {
  if (!TheFake().Enter("QV6OpenConnection", Args({N(eventMode), N(messageId), N(threadId)}))) return 0;
  return TheFake().Open();
}

QV6_API int QV6CloseConnection(int index) {
  if (!TheFake().Enter("QV6CloseConnection", N(index))) return 0;
  return TheFake().Close(index) ? 1 : 0;
}

QV6_API int QV6InitDeviceFromFile(int index, const char* iniFile, const char* section) {
  return WithConnection("QV6InitDeviceFromFile", Args({N(index), S(iniFile), S(section)}), index,
                        [](Connection&) { return 1; });
}

QV6_API int QV6GetStatus(int index, int* status, int* errors) {
  return WithConnection("QV6GetStatus", N(index), index, [&](Connection&) {
    uint32_t s = 0, e = 0;
    TheFake().Words(&s, &e);
    if (status != nullptr) *status = static_cast<int>(s);
    if (errors != nullptr) *errors = static_cast<int>(e);
    return 1;
  });
}

QV6_API int QV6GetInfo(int index, char* buffer, int size) {
  return WithConnection("QV6GetInfo", Args({N(index), N(size)}), index, [&](Connection&) {
    if (buffer == nullptr || size <= 0) return 0;
    std::memset(buffer, 0, static_cast<size_t>(size));
    const std::vector<uint8_t> id = TheFake().Identity();
    std::memcpy(buffer, id.data(), std::min(id.size(), static_cast<size_t>(size)));
    return 1;
  });
}

QV6_API int QV6EnableScan(int index) {
  return WithConnection("QV6EnableScan", N(index), index, [](Connection& c) {
    TheFake().SetScanning(c, true);
    return 1;
  });
}

QV6_API int QV6DisableScan(int index) {
  return WithConnection("QV6DisableScan", N(index), index, [](Connection& c) {
    TheFake().SetScanning(c, false);
    return 1;
  });
}

QV6_API int QV6EnableEarlyScan(int index) {
  return WithConnection("QV6EnableEarlyScan", N(index), index, [](Connection& c) {
    TheFake().SetScanning(c, true);
    return 1;
  });
}

QV6_API void* QV6GetFrontImageDIBPtr(int index) {
  const void* dib = nullptr;
  int ok = WithConnection("QV6GetFrontImageDIBPtr", N(index), index, [&](Connection& c) {
    dib = c.current ? zarn::fake::Fake::Dib(c.current->front) : nullptr;
    return dib != nullptr ? 1 : 0;
  });
  if (ok == 0 && zarn::fake::g_lastError == 0) zarn::fake::g_lastError = -1;
  return const_cast<void*>(dib);
}

QV6_API void* QV6GetRearImageDIBPtr(int index) {
  const void* dib = nullptr;
  int ok = WithConnection("QV6GetRearImageDIBPtr", N(index), index, [&](Connection& c) {
    dib = c.current ? zarn::fake::Fake::Dib(c.current->rear) : nullptr;
    return dib != nullptr ? 1 : 0;
  });
  if (ok == 0 && zarn::fake::g_lastError == 0) zarn::fake::g_lastError = -1;
  return const_cast<void*>(dib);
}

QV6_API const char* QV6GetMicrCodelinePtr(int index) {
  const char* line = nullptr;
  int ok = WithConnection("QV6GetMicrCodelinePtr", N(index), index, [&](Connection& c) {
    line = c.current ? c.current->codeLine.c_str() : nullptr;
    return line != nullptr ? 1 : 0;
  });
  if (ok == 0 && zarn::fake::g_lastError == 0) zarn::fake::g_lastError = -1;
  return line;
}

QV6_API int QV6UpdateFirmw(int index, const char* file) {
  return WithConnection("QV6UpdateFirmw", Args({N(index), S(file)}), index, [](Connection&) { return 1; });
}

QV6_API int QV6EjectDocument(int index, int value) {
  return WithConnection("QV6EjectDocument", Args({N(index), N(value)}), index, [](Connection&) { return 1; });
}

QV6_API int QV6SetBmpToPrint(int index, const void* bits, int width, int rows, int position, int flags) {
  return WithConnection("QV6SetBmpToPrint",
                        Args({N(index), Bits(bits), N(width), N(rows), N(position),
                              N(flags)}),
                        index, [](Connection&) { return 1; });
}

QV6_API int QV6StringToPrint(int index, const char* text, int length, int position, int flags) {
  return WithConnection("QV6StringToPrint", Args({N(index), S(text), N(length), N(position), N(flags)}), index,
                        [](Connection&) { return 1; });
}

QV6_API int QV6SetEventFunction(int index, int event, QV6EventCallback fn) {
  return WithConnection("QV6SetEventFunction", Args({N(index), N(event), fn != nullptr ? "fn" : "null"}), index,
                        [&](Connection& c) {
                          if (event < 0 || event >= zarn::fake::kEvents) {
                            zarn::fake::g_lastError = -1;
                            return 0;
                          }
                          const bool announce = event == QV6_EVENT_CONNECTED && c.connected &&
                                                c.events[event] == nullptr && fn != nullptr;
                          c.events[event] = fn;
                          // As the device library does: a device already connected announces itself at
                          // once to a newly set connect function, on the caller's thread.
                          if (announce) fn(QV6_EVENT_CONNECTED, 0);
                          return 1;
                        });
}

QV6_API int QV6ClearPowerOnFlag(int index) {
  return WithConnection("QV6ClearPowerOnFlag", N(index), index, [](Connection&) {
    TheFake().ClearPowerOn();
    return 1;
  });
}

QV6_API int QV6SetEnv(const char* descriptorIni, const char* section) {
  TheFake().Enter("QV6SetEnv", Args({S(descriptorIni), S(section)}));
  zarn::fake::g_lastError = 0;
  return 1;
}

QV6_API int QV6ClearErrors(int index, int unused) {
  return WithConnection("QV6ClearErrors", Args({N(index), N(unused)}), index, [](Connection&) {
    TheFake().ClearErrorWord();
    return 1;
  });
}

QV6_API int QV6SetDestinationPocket(int index, int pocket) {
  return WithConnection("QV6SetDestinationPocket", Args({N(index), N(pocket)}), index,
                        [](Connection&) { return 1; });
}

QV6_API int QV6GetOperatingMode(int index, int* mode) {
  return WithConnection("QV6GetOperatingMode", N(index), index, [&](Connection&) {
    if (mode != nullptr) *mode = TheFake().OperatingMode();
    return 1;
  });
}

QV6_API int QV6MaintenanceMode(int index, int value) {
  return WithConnection("QV6MaintenanceMode", Args({N(index), N(value)}), index, [](Connection&) { return 1; });
}

QV6_API int QV6SetConfig_MicrGain(int index, int a, int b) {
  return WithConnection("QV6SetConfig_MicrGain", Args({N(index), N(a), N(b)}), index,
                        [](Connection&) { return 1; });
}

QV6_API int QV6SetConfig_MicrAgc(int index, int a, int b) {
  return WithConnection("QV6SetConfig_MicrAgc", Args({N(index), N(a), N(b)}), index,
                        [](Connection&) { return 1; });
}

QV6_API int QV6SetConfig_ScanMode(int index, int mode) {
  return WithConnection("QV6SetConfig_ScanMode", Args({N(index), N(mode)}), index, [](Connection&) { return 1; });
}

QV6_API int QV6Frank(int index, int value, int unused1, int unused2) {
  return WithConnection("QV6Frank", Args({N(index), N(value), N(unused1), N(unused2)}), index,
                        [](Connection&) { return 1; });
}

}  // extern "C"
