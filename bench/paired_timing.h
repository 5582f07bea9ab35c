// Paired timing of this system's code beside a peer library. Each iteration runs both on the same input,
// alternating which goes first, and times each call by the thread's processor time; a call whose result
// is wrong stops the benchmark with an error. The reported counters are the medians of both times and of
// the per-iteration ratio peer / ours ("speed", above 1 when ours is faster): a ratio taken within one
// iteration holds steady while other work loads the machine, where two separate benchmarks drift apart.
#pragma once

#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zc::bench {

inline int64_t ThreadCpuNanos() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

// `ours` and `peer` run one call each and return whether its result is right; the check may be outside
// the timed part by giving `check_ours` / `check_peer`, which run after the timing stops.
template <class Ours, class CheckOurs, class Peer, class CheckPeer>
void RunPaired(benchmark::State& state, Ours ours, CheckOurs check_ours, Peer peer, CheckPeer check_peer) {
  std::vector<double> ours_ms, peer_ms, speed;
  bool peer_first = false;
  auto timed = [](auto& call) {
    const int64_t t0 = ThreadCpuNanos();
    call();
    return ThreadCpuNanos() - t0;
  };
  for (auto _ : state) {
    int64_t o = 0, p = 0;
    bool ok;
    if (peer_first) {
      p = timed(peer);
      ok = check_peer();
      o = timed(ours);
      ok = check_ours() && ok;
    } else {
      o = timed(ours);
      ok = check_ours();
      p = timed(peer);
      ok = check_peer() && ok;
    }
    if (!ok) {
      state.SkipWithError("a timed call gave a wrong result");
      return;
    }
    peer_first = !peer_first;
    state.SetIterationTime(static_cast<double>(o + p) / 1e9);
    ours_ms.push_back(static_cast<double>(o) / 1e6);
    peer_ms.push_back(static_cast<double>(p) / 1e6);
    speed.push_back(static_cast<double>(p) / static_cast<double>(std::max<int64_t>(o, 1)));
  }
  state.counters["ours_ms"] = Median(ours_ms);
  state.counters["peer_ms"] = Median(peer_ms);
  state.counters["speed"] = Median(speed);
}

}  // namespace zc::bench
