#include "host/sample/fifo_ledger.h"

#include <fmt/format.h>

#include <algorithm>

#include "core/error.h"

namespace qts::host::sample {

void FifoLedger::AddReceipt(const std::string& store, const std::string& good, int64_t lot,
                            int64_t spec_id, int64_t quantity, double cost) {
  if (quantity <= 0) {
    throw Error(kErrInvalidCall, "FifoLedger",
                fmt::format("receipt row {} has no quantity", spec_id));
  }
  queues_[Key(store, good)].receipts.push_back(Receipt{spec_id, lot, quantity, quantity, cost});
  free_[{store, good, lot}] += quantity;
}

int64_t FifoLedger::Free(const std::string& store, const std::string& good, int64_t lot) const {
  auto it = free_.find({store, good, lot});
  return it == free_.end() ? 0 : it->second;
}

int64_t FifoLedger::OldestLot(const std::string& store, const std::string& good) {
  auto it = queues_.find(Key(store, good));
  if (it == queues_.end()) return -1;
  Queue& q = it->second;
  while (q.head < q.receipts.size() && q.receipts[q.head].free == 0) ++q.head;
  return q.head < q.receipts.size() ? q.receipts[q.head].lot : -1;
}

std::vector<FifoLedger::Link> FifoLedger::Consume(const std::string& store, const std::string& good,
                                                  int64_t lot, int64_t quantity) {
  const int64_t free = Free(store, good, lot);
  if (quantity <= 0 || quantity > free) {
    throw Error(kErrInvalidCall, "FifoLedger",
                fmt::format("cannot consume {} of {} lot {} in {}: {} free", quantity, good, lot,
                            store, free));
  }
  Queue& q = queues_[Key(store, good)];
  std::vector<Link> links;
  int64_t left = quantity;
  for (size_t i = q.head; left > 0 && i < q.receipts.size(); ++i) {
    Receipt& r = q.receipts[i];
    if (r.lot != lot || r.free == 0) continue;
    const int64_t take = std::min(left, r.free);
    r.free -= take;
    left -= take;
    links.push_back(Link{r.spec_id, take,
                         r.cost * static_cast<double>(take) / static_cast<double>(r.quantity)});
  }
  free_[{store, good, lot}] -= quantity;
  return links;
}

std::vector<FifoLedger::Lot> FifoLedger::Lots() const {
  std::vector<Lot> lots;
  lots.reserve(free_.size());
  for (const auto& [key, free] : free_) {
    lots.push_back(Lot{std::get<0>(key), std::get<1>(key), std::get<2>(key), free});
  }
  return lots;
}

}  // namespace qts::host::sample
