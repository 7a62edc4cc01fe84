// Sample books: one Lithuanian company's references, a year of documents and the stock facts
// they imply (fix log, lots), generated from a seed. Small books feed tests; large ones (over
// a million specification rows) feed benchmarks. The stock facts follow docs/stock-model.md.
#ifndef QTS_HOST_SAMPLE_SAMPLE_BOOK_H_
#define QTS_HOST_SAMPLE_SAMPLE_BOOK_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qts::host {
class AppContext;
}

namespace qts::host::sample {

enum class SampleSize { kSmall, kLarge };

// "small" or "large" (any case); raises qts::Error (5) naming the text otherwise.
[[nodiscard]] SampleSize ParseSampleSize(std::string_view text);

// Fills the open, empty book of `context` with a sample company. The same size and seed give
// the same rows on every run. Everything is written in one transaction: on failure the book is
// left as it was. A large book reports its progress through the current operator. Raises
// qts::Error (5) when the book already holds goods or documents.
void GenerateSampleBook(AppContext& context, SampleSize size, uint64_t seed);

// What a book holds: rows per table (tables only, in schema order, empty ones left out) and
// documents per type (in type order).
struct BookCounts {
  std::vector<std::pair<std::string, int64_t>> tables;
  std::vector<std::pair<std::string, int64_t>> documents;
};
[[nodiscard]] BookCounts CountBook(AppContext& context);

}  // namespace qts::host::sample

#endif  // QTS_HOST_SAMPLE_SAMPLE_BOOK_H_
