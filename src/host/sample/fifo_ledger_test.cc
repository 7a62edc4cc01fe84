#include "host/sample/fifo_ledger.h"

#include <gtest/gtest.h>

#include "core/error.h"

namespace qts::host::sample {
namespace {

TEST(FifoLedgerTest, ConsumesOldestReceiptsFirstAcrossRows) {
  FifoLedger ledger;
  ledger.AddReceipt("CS", "A", 0, 1, 100, 10.0);
  ledger.AddReceipt("CS", "A", 0, 2, 50, 20.0);
  ledger.AddReceipt("CS", "A", 0, 3, 30, 3.0);
  auto links = ledger.Consume("CS", "A", 0, 120);
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[0].income_spec_id, 1);
  EXPECT_EQ(links[0].quantity, 100);
  EXPECT_DOUBLE_EQ(links[0].cost, 10.0);
  EXPECT_EQ(links[1].income_spec_id, 2);
  EXPECT_EQ(links[1].quantity, 20);
  EXPECT_DOUBLE_EQ(links[1].cost, 8.0);  // 20 of 50 carries 2/5 of 20.0
  EXPECT_EQ(ledger.Free("CS", "A", 0), 60);
  // The rest of row 2, then row 3; exactly what is free is allowed.
  links = ledger.Consume("CS", "A", 0, 60);
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[0].income_spec_id, 2);
  EXPECT_EQ(links[0].quantity, 30);
  EXPECT_EQ(links[1].income_spec_id, 3);
  EXPECT_EQ(links[1].quantity, 30);
  EXPECT_EQ(ledger.Free("CS", "A", 0), 0);
  EXPECT_EQ(ledger.OldestLot("CS", "A"), -1);
}

TEST(FifoLedgerTest, KeepsStoresGoodsAndLotsApart) {
  FifoLedger ledger;
  ledger.AddReceipt("CS", "A", 7, 1, 10, 1.0);
  ledger.AddReceipt("CS", "A", 0, 2, 10, 1.0);
  ledger.AddReceipt("GS", "A", 0, 3, 10, 1.0);
  ledger.AddReceipt("CS", "B", 0, 4, 10, 1.0);
  EXPECT_EQ(ledger.OldestLot("CS", "A"), 7);
  // Lot 0 skips the older row of lot 7.
  auto links = ledger.Consume("CS", "A", 0, 10);
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0].income_spec_id, 2);
  EXPECT_EQ(ledger.Free("CS", "A", 7), 10);
  EXPECT_EQ(ledger.Free("GS", "A", 0), 10);
  EXPECT_EQ(ledger.Free("CS", "B", 0), 10);
  EXPECT_EQ(ledger.Free("KS", "A", 0), 0);
  EXPECT_EQ(ledger.OldestLot("KS", "A"), -1);
  const auto lots = ledger.Lots();
  ASSERT_EQ(lots.size(), 4u);
  EXPECT_EQ(lots[0].store, "CS");
  EXPECT_EQ(lots[0].good, "A");
  EXPECT_EQ(lots[0].lot, 0);
  EXPECT_EQ(lots[0].free, 0);
}

TEST(FifoLedgerTest, RefusesMoreThanIsFreeAndConsumesNothing) {
  FifoLedger ledger;
  ledger.AddReceipt("CS", "A", 0, 1, 10, 1.0);
  ledger.AddReceipt("CS", "A", 3, 2, 10, 1.0);
  // 11 > 10 free in lot 0, although the good has 20 in the store.
  EXPECT_THROW(ledger.Consume("CS", "A", 0, 11), Error);
  EXPECT_THROW(ledger.Consume("CS", "A", 0, 0), Error);
  EXPECT_THROW(ledger.Consume("CS", "X", 0, 1), Error);
  EXPECT_EQ(ledger.Free("CS", "A", 0), 10);
  EXPECT_EQ(ledger.Consume("CS", "A", 0, 10).size(), 1u);
  EXPECT_EQ(ledger.OldestLot("CS", "A"), 3);
}

TEST(FifoLedgerTest, RefusesEmptyReceipt) {
  FifoLedger ledger;
  EXPECT_THROW(ledger.AddReceipt("CS", "A", 0, 1, 0, 0.0), Error);
  EXPECT_EQ(ledger.Free("CS", "A", 0), 0);
}

}  // namespace
}  // namespace qts::host::sample
