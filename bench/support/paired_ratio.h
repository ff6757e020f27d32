// Interleaved pairs: the baseline and the subject run alternately, run by run, so that a busy
// machine slows both sides of a pair alike; each pair gives one ratio subject / baseline, and the
// figure is the median of those ratios with the lowest and highest beside it.
#pragma once

#include <algorithm>
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

}  // namespace kuvo_bench
