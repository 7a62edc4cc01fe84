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

// How many documents of each kind a sample book writes per working day, about: 1 for a small
// book, 160 for a large one, times `scale` (the references and the fixed monthly documents stay
// as they are, so a book of scale 2 holds about twice the rows of scale 1). Raises qts::Error
// (5) unless that is a whole number from 1 to 8 times the large book's: a large book takes 0.25,
// 0.5, 1, 2 and so on up to 8, a small one whole numbers.
[[nodiscard]] int DocumentsPerDay(SampleSize size, double scale);

// Fills the open, empty book of `context` with a sample company of `size` times `scale`
// (DocumentsPerDay). The same size, scale and seed give the same rows on every run.
// Everything is written in one transaction: on failure the book is left as it was. A large
// book reports its progress through the current operator. Raises qts::Error (5) when the book
// already holds goods or documents, or for a scale DocumentsPerDay refuses (before anything is
// written).
void GenerateSampleBook(AppContext& context, SampleSize size, uint64_t seed, double scale = 1);

// What a book holds: rows per table (tables only, in schema order, empty ones left out) and
// documents per type (in type order).
struct BookCounts {
  std::vector<std::pair<std::string, int64_t>> tables;
  std::vector<std::pair<std::string, int64_t>> documents;
};
[[nodiscard]] BookCounts CountBook(AppContext& context);

}  // namespace qts::host::sample

#endif  // QTS_HOST_SAMPLE_SAMPLE_BOOK_H_
