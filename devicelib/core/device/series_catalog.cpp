// The registry of device series known to the library: the seven standard series, plus any series a
// program registers beside them.
#include <algorithm>
#include <mutex>
#include <utility>

#include "connect/standard_probe.h"
#include "device/series_probe.h"

namespace qv6 {
namespace {

struct Entry {
  int order;
  SeriesProbeFactory factory;
};

struct Catalog {
  Catalog() {
    for (const StandardSeries& s : StandardSeriesList()) entries.push_back(Entry{s.order, s.factory});
  }
  std::mutex mutex;
  std::vector<Entry> entries;  // kept sorted by order, stable for equal orders
};

Catalog& TheCatalog() {
  static Catalog catalog;
  return catalog;
}

}  // namespace

void SeriesCatalog::Register(int order, SeriesProbeFactory factory) {
  if (factory == nullptr) return;
  Catalog& c = TheCatalog();
  std::lock_guard lock(c.mutex);
  auto same = [factory](const Entry& e) { return e.factory == factory; };
  if (std::any_of(c.entries.begin(), c.entries.end(), same)) return;
  auto at = std::upper_bound(c.entries.begin(), c.entries.end(), order,
                             [](int o, const Entry& e) { return o < e.order; });
  c.entries.insert(at, Entry{order, factory});
}

void SeriesCatalog::Unregister(SeriesProbeFactory factory) {
  Catalog& c = TheCatalog();
  std::lock_guard lock(c.mutex);
  std::erase_if(c.entries, [factory](const Entry& e) { return e.factory == factory; });
}

std::vector<std::unique_ptr<SeriesProbe>> SeriesCatalog::CreateProbes() {
  std::vector<SeriesProbeFactory> factories;
  {
    Catalog& c = TheCatalog();
    std::lock_guard lock(c.mutex);
    for (const Entry& e : c.entries) factories.push_back(e.factory);
  }
  std::vector<std::unique_ptr<SeriesProbe>> probes;
  for (SeriesProbeFactory f : factories) {
    if (auto probe = f()) probes.push_back(std::move(probe));
  }
  return probes;
}

}  // namespace qv6
