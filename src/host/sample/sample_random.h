// The sample generator's random source: splitmix64, fixed here so that a seed gives the same
// book with every compiler and standard library (std:: distributions differ between them).
#ifndef QTS_HOST_SAMPLE_SAMPLE_RANDOM_H_
#define QTS_HOST_SAMPLE_SAMPLE_RANDOM_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qts::host::sample {

class SampleRandom {
 public:
  explicit SampleRandom(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A whole number in [lo, hi]; lo when hi < lo. The slight modulo bias does not matter for
  // sample data and keeps the sequence simple to reproduce.
  int64_t Between(int64_t lo, int64_t hi) {
    if (hi <= lo) return lo;
    return lo + static_cast<int64_t>(Next() % static_cast<uint64_t>(hi - lo + 1));
  }
  // True with probability percent / 100.
  bool Percent(int percent) { return static_cast<int>(Next() % 100) < percent; }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<size_t>(Next() % items.size())];
  }

 private:
  uint64_t state_;
};

}  // namespace qts::host::sample

#endif  // QTS_HOST_SAMPLE_SAMPLE_RANDOM_H_
