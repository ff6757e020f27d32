// Interleaved pairs: the baseline and the subject run alternately, run by run, so that a busy
// machine slows both sides of a pair alike; each pair gives one ratio subject / baseline, and the
// figure is the median of those ratios with the lowest and highest beside it.
//
// A run can be timed twice: by the wall clock (what a user waits) and by the CPU time of the whole
// process, all threads together (what the work costs). On a machine shared with other work the
// wall clock mostly measures when the scheduler lets the run's threads in; the CPU time does not,
// so its ratio shows an overhead that the wall-clock ratio's spread hides.
#pragma once

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

namespace kuvo_bench {

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The value below which `fraction` of the samples lie (nearest rank).
inline double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t rank = static_cast<size_t>(fraction * static_cast<double>(values.size()) + 0.999999);
  rank = std::min(std::max<size_t>(rank, 1), values.size());
  return values[rank - 1];
}

struct Spread {
  double median = 0;
  double low = 0;
  double high = 0;
};

inline Spread SpreadOf(const std::vector<double>& values) {
  Spread s;
  if (values.empty()) return s;
  s.median = Median(values);
  s.low = *std::min_element(values.begin(), values.end());
  s.high = *std::max_element(values.begin(), values.end());
  return s;
}

struct PairedRatio {
  Spread ratio;          // subject / baseline, per pair
  double baseline_rate;  // medians of the two sides' own figures, for orientation
  double subject_rate;
};

// One pair that is not counted (warm-up), then `pairs` counted pairs, baseline first in each.
inline PairedRatio Interleave(int pairs, const std::function<double()>& baseline,
                              const std::function<double()>& subject) {
  baseline();
  subject();
  std::vector<double> ratios, baselines, subjects;
  for (int i = 0; i < pairs; ++i) {
    baselines.push_back(baseline());
    subjects.push_back(subject());
    ratios.push_back(subjects.back() / baselines.back());
  }
  return {SpreadOf(ratios), Median(baselines), Median(subjects)};
}

struct RunRates {
  double wall = 0;  // units of work per second of wall time
  double cpu = 0;   // units of work per second of the process's CPU time
};

// Started on construction; Rates(units) reads both clocks.
class RunClock {
 public:
  RunClock() : wall_(std::chrono::steady_clock::now()), cpu_(CpuSeconds()) {}
  RunRates Rates(double units) const {
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count();
    const double cpu = CpuSeconds() - cpu_;
    return {units / wall, cpu > 0 ? units / cpu : 0};
  }
  static double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
  }

 private:
  std::chrono::steady_clock::time_point wall_;
  double cpu_;
};

struct PairedRates {
  PairedRatio wall;
  PairedRatio cpu;
};

// As Interleave, for runs timed by both clocks.
inline PairedRates InterleaveRuns(int pairs, const std::function<RunRates()>& baseline,
                                  const std::function<RunRates()>& subject) {
  std::vector<RunRates> b, s;
  const auto next = [](const std::function<RunRates()>& run, std::vector<RunRates>* out) {
    return [&run, out] {
      out->push_back(run());
      return out->back().wall;
    };
  };
  PairedRates rates;
  rates.wall = Interleave(pairs, next(baseline, &b), next(subject, &s));
  // The first pair is the warm-up.
  std::vector<double> ratios, bc, sc;
  for (size_t i = 1; i < b.size() && i < s.size(); ++i) {
    ratios.push_back(s[i].cpu / b[i].cpu);
    bc.push_back(b[i].cpu);
    sc.push_back(s[i].cpu);
  }
  rates.cpu = {SpreadOf(ratios), Median(bc), Median(sc)};
  return rates;
}

}  // namespace kuvo_bench
