// The stock that posted receipts brought into a store and outgoing rows have not yet consumed,
// per good and lot, consumed oldest first. The sample generator runs every posted outgoing
// row through it in date order, and writes the links it returns as the book's fix log.
//
// Quantities are whole ten-thousandths of the accounting unit (the four decimal places a book
// keeps), so that the arithmetic is exact.
#ifndef QTS_HOST_SAMPLE_FIFO_LEDGER_H_
#define QTS_HOST_SAMPLE_FIFO_LEDGER_H_

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace qts::host::sample {

class FifoLedger {
 public:
  struct Link {
    int64_t income_spec_id = 0;
    int64_t quantity = 0;  // ten-thousandths
    double cost = 0;       // the consumed share of the receipt row's cost
  };
  struct Lot {
    std::string store;
    std::string good;
    int64_t lot = 0;
    int64_t free = 0;
  };

  // A posted receipt row: `quantity` (> 0) of `good` in `store` and lot `lot` (0: none), with
  // its cost. Receipts must be added in the order they are to be consumed.
  void AddReceipt(const std::string& store, const std::string& good, int64_t lot, int64_t spec_id,
                  int64_t quantity, double cost);
  // The free quantity of `good` of lot `lot` in `store`.
  [[nodiscard]] int64_t Free(const std::string& store, const std::string& good, int64_t lot) const;
  // The lot of the oldest receipt of `good` in `store` that still has a free quantity, or -1
  // when none has.
  [[nodiscard]] int64_t OldestLot(const std::string& store, const std::string& good);
  // Consumes `quantity` of lot `lot`, oldest receipt first, and returns one link per receipt
  // row touched. Raises qts::Error (5) when the free quantity does not cover it, consuming
  // nothing.
  std::vector<Link> Consume(const std::string& store, const std::string& good, int64_t lot,
                            int64_t quantity);
  // Every (store, good, lot) that ever received stock, with its free quantity, ordered.
  [[nodiscard]] std::vector<Lot> Lots() const;

 private:
  struct Receipt {
    int64_t spec_id;
    int64_t lot;
    int64_t quantity;
    int64_t free;
    double cost;
  };
  struct Queue {
    std::vector<Receipt> receipts;
    size_t head = 0;  // receipts before it are fully consumed
  };
  using Key = std::pair<std::string, std::string>;

  std::map<Key, Queue> queues_;
  std::map<std::tuple<std::string, std::string, int64_t>, int64_t> free_;
};

}  // namespace qts::host::sample

#endif  // QTS_HOST_SAMPLE_FIFO_LEDGER_H_
