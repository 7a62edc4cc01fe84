#include "handlers/fuel_write_off.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/convert.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "core/format.h"
#include "core/testing/qts_matchers.h"
#include "db/connection.h"
#include "frame/catalogue.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec_fix_log.h"
#include "host/sample/sample_book.h"
#include "host/schema/schema.h"
#include "host/services/user_defaults.h"
#include "host/services/vehicle.h"
#include "host/ui/operator.h"
#include "host/ui/scripted_operator.h"

namespace qts::handlers {
namespace {

using host::MessageAnswer;

constexpr const char* kCode = "QTS";

Currency Cy(int64_t scaled) { return Currency::FromScaled(scaled); }

// A vehicle's December waybill and what the book says about its fuel.
struct Waybill {
  std::string vehicle;
  int32_t idc = 0;
  int64_t fuel_lot = 0;
  int64_t gas_lot = 0;
  Date begin;
  Date end;
};

// Receipt row -> accounting quantity, in ten-thousandths.
using Quantities = std::map<int64_t, int64_t>;

// The generated small book is made once and copied for every test, so each test starts from
// the same rows and may write freely.
class FuelWriteOffTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    master_ = new std::filesystem::path(std::filesystem::temp_directory_path() /
                                        ("qts_fuel_master_" + std::to_string(::getpid()) + ".db"));
    std::filesystem::remove(*master_);
    auto book = host::AppContext::CreateBook(master_->string(), kCode);
    host::sample::GenerateSampleBook(*book, host::sample::SampleSize::kSmall, 42);
  }
  static void TearDownTestSuite() {
    std::filesystem::remove(*master_);
    delete master_;
    master_ = nullptr;
  }

  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) c = c == '/' ? '_' : c;
    path_ = master_->string() + "." + name + ".db";
    std::filesystem::copy_file(*master_, path_, std::filesystem::copy_options::overwrite_existing);
    book_ = host::AppContext::Open(path_);
    host::UserDefaults defaults;
    defaults.Init(book_);
    defaults.SetDefaultStore("", "KS");
    operator_ = std::make_shared<host::ScriptedOperator>();
    scoped_ = std::make_unique<host::ScopedOperator>(operator_);
  }
  void TearDown() override {
    scoped_.reset();
    book_.reset();
    std::filesystem::remove(path_);
  }

  std::string T(const char* logical) const {
    return "\"" + host::schema::PhysicalName(kCode, logical) + "\"";
  }
  db::Connection& C() { return book_->Connection(); }
  int64_t Int(const std::string& sql) {
    auto s = C().Prepare(sql);
    return s->Step() && !s->IsNull(0) ? s->GetInt64(0) : 0;
  }
  int64_t ScaledSum(const std::string& sql) {
    auto s = C().Prepare(sql);
    return s->Step() && !s->IsNull(0) ? s->GetCurrency(0).Scaled() : 0;
  }

  // The December waybill of the first vehicle that runs on gas too (`with_gas`) or of the
  // first one that does not.
  Waybill December(bool with_gas) {
    auto s = C().Prepare(
        "SELECT v.\"Code\", d.\"IDC\", v.\"LotPropertyID\", v.\"GasLotPropertyID\" FROM " +
        T("REFVehicle") + " v JOIN " + T("TKLTHDocument") + " a ON a.\"VehicleCode\" = v.\"Code\"" +
        " JOIN " + T("THDocument") + " d ON d.\"IDC\" = a.\"DocID\"" +
        " WHERE d.\"DocTypeCode\" = 'TKL' AND d.\"DocumentDate\" >= '2026-12-01' AND " +
        (with_gas ? "v.\"GasLotPropertyID\" <> 0" : "v.\"GasLotPropertyID\" = 0") +
        " ORDER BY v.\"Code\"");
    Waybill w;
    EXPECT_TRUE(s->Step()) << "no December waybill";
    w.vehicle = s->GetText(0);
    w.idc = static_cast<int32_t>(s->GetInt64(1));
    w.fuel_lot = s->GetInt64(2);
    w.gas_lot = s->GetInt64(3);
    host::THDocument doc(book_);
    EXPECT_TRUE(doc.Load(w.idc));
    w.begin = CDate(doc.AddFields().Item("BegPeriod").Value());
    w.end = CDate(doc.AddFields().Item("EndPeriod").Value());
    return w;
  }

  host::THDocumentPtr LoadDoc(int32_t idc) {
    auto doc = std::make_shared<host::THDocument>(book_);
    EXPECT_TRUE(doc->Load(idc));
    return doc;
  }

  // Free quantity of every posted receipt row of `lot`, oldest first, leaving out the links of
  // rows of documents below `parent` (a write-off being redone), read directly from the book.
  std::vector<std::pair<int64_t, int64_t>> FreeReceipts(int64_t lot, int32_t parent) {
    auto s = C().Prepare(
        "SELECT s.\"IDC\", s.\"AmountAccount\", (SELECT SUM(l.\"Amount\") FROM " +
        T("THGoodSpecFixLog") + " l JOIN " + T("THGoodSpec") +
        " o ON o.\"IDC\" = l.\"OutcomeSpecID\" JOIN " + T("THDocument") +
        " od ON od.\"IDC\" = o.\"DocID\" WHERE l.\"IncomeSpecID\" = s.\"IDC\""
        " AND COALESCE(od.\"ParentID\", 0) <> ?2) FROM " +
        T("THGoodSpec") + " s JOIN " + T("THDocument") + " d ON d.\"IDC\" = s.\"DocID\" JOIN " +
        T("THDocType") +
        " t ON t.\"Code\" = d.\"DocTypeCode\" WHERE d.\"IsPosted\" = 1 AND t.\"IsStock\" = 1"
        " AND t.\"IsIncome\" = 1 AND s.\"LotPropertyID\" = ?1"
        " ORDER BY d.\"DocumentDate\", s.\"IDC\"");
    s->BindInt64(1, lot);
    s->BindInt64(2, parent);
    std::vector<std::pair<int64_t, int64_t>> rows;
    while (s->Step()) {
      const int64_t used = s->IsNull(2) ? 0 : s->GetCurrency(2).Scaled();
      const int64_t free = s->GetCurrency(1).Scaled() - used;
      if (free > 0) rows.emplace_back(s->GetInt64(0), free);
    }
    return rows;
  }
  int64_t TotalFree(int64_t lot, int32_t parent = -1) {
    int64_t total = 0;
    for (const auto& [id, free] : FreeReceipts(lot, parent)) total += free;
    return total;
  }
  // What FIFO takes of `quantity` from the receipts of `lot`, oldest first.
  Quantities Fifo(int64_t lot, int64_t quantity, int32_t parent) {
    Quantities taken;
    for (const auto& [id, free] : FreeReceipts(lot, parent)) {
      if (quantity <= 0) break;
      const int64_t part = std::min(free, quantity);
      taken[id] = part;
      quantity -= part;
    }
    return taken;
  }

  // The write-off documents below `parent`.
  std::vector<int32_t> WriteOffs(int32_t parent) {
    auto s = C().Prepare("SELECT \"IDC\" FROM " + T("THDocument") +
                         " WHERE \"ParentID\" = ?1 AND \"DocTypeCode\" = 'MMO' ORDER BY \"IDC\"");
    s->BindInt64(1, parent);
    std::vector<int32_t> ids;
    while (s->Step()) ids.push_back(static_cast<int32_t>(s->GetInt64(0)));
    return ids;
  }
  // Accounting quantity of document `doc` per good.
  std::map<std::string, int64_t> RowsByGood(int32_t doc) {
    auto s = C().Prepare("SELECT \"GoodCode\", SUM(\"AmountAccount\"), COUNT(*) FROM " +
                         T("THGoodSpec") + " WHERE \"DocID\" = ?1 GROUP BY \"GoodCode\"");
    s->BindInt64(1, doc);
    std::map<std::string, int64_t> rows;
    while (s->Step()) {
      rows[s->GetText(0)] = s->GetCurrency(1).Scaled();
      EXPECT_EQ(s->GetInt64(2), 1) << "rows of one good and unit are merged";
    }
    return rows;
  }
  // The links of document `doc`'s rows per receipt row (and, in `per_row`, per outgoing row);
  // every link must be of the fuel write-off's type.
  Quantities LinksOf(int32_t doc, std::map<int64_t, int64_t>* per_row = nullptr) {
    auto s = C().Prepare(
        "SELECT l.\"IncomeSpecID\", l.\"OutcomeSpecID\", l.\"Amount\", l.\"Type\""
        " FROM " +
        T("THGoodSpecFixLog") + " l JOIN " + T("THGoodSpec") +
        " o ON o.\"IDC\" = l.\"OutcomeSpecID\" WHERE o.\"DocID\" = ?1");
    s->BindInt64(1, doc);
    Quantities links;
    while (s->Step()) {
      links[s->GetInt64(0)] += s->GetCurrency(2).Scaled();
      if (per_row) (*per_row)[s->GetInt64(1)] += s->GetCurrency(2).Scaled();
      EXPECT_EQ(s->GetInt64(3), host::kFixLinkFuelWriteOff);
    }
    return links;
  }
  // Receipt rows whose links together exceed the row's accounting quantity.
  int64_t OverConsumedReceipts() {
    return Int("SELECT COUNT(*) FROM " + T("THGoodSpec") +
               " s WHERE s.\"AmountAccount\" + 0.00005 <"
               " (SELECT SUM(l.\"Amount\") FROM " +
               T("THGoodSpecFixLog") + " l WHERE l.\"IncomeSpecID\" = s.\"IDC\")");
  }
  // A fingerprint of the book's documents, rows and links.
  std::vector<int64_t> Fingerprint() {
    return {Int("SELECT COUNT(*) FROM " + T("THDocument")),
            Int("SELECT COUNT(*) FROM " + T("THGoodSpec")),
            ScaledSum("SELECT SUM(\"AmountAccount\") FROM " + T("THGoodSpec")),
            Int("SELECT SUM(\"IDC\") FROM " + T("THGoodSpec")),
            Int("SELECT COUNT(*) FROM " + T("THGoodSpecFixLog")),
            ScaledSum("SELECT SUM(\"Amount\") FROM " + T("THGoodSpecFixLog")),
            Int("SELECT SUM(\"IsPosted\") FROM " + T("THDocument"))};
  }

  // A source list as the host hands it: the vehicle's receipts from `from` to `to` with their
  // free quantity as "AmountAccount" (links of the parent's own write-off left out). The
  // receipt is "SpecID" when `link_direct`, otherwise "ReceiptID" (not linked by the
  // write-off), with the supplier and country when `with_party`.
  host::QueryPtr Sources(const Waybill& w, Date from, Date to, bool link_direct,
                         bool with_party = false) {
    host::Vehicle vehicle;
    vehicle.Init(book_);
    EXPECT_TRUE(vehicle.Load(w.vehicle));
    host::QueryPtr income = vehicle.IncomeSince(Date::FromYmd(2000, 1, 1), w.idc);
    host::QueryPtr q = book_->CreateQuery("");
    q->FromQuery(income, "i");
    host::NamedValueList& f = q->Fields();
    f.KeepOnly({"DocumentDate", "GoodCode", "SubCategory"});
    f.AddColumn(link_direct ? "SpecID" : "ReceiptID", host::Kind::kRowId, "i.SpecID");
    f.AddColumn("AmountAccount", host::Kind::kQuantity, "i.RestAmount");
    if (with_party) {
      f.AddColumn("PartyCode", host::Kind::kCode, "i.Client");
      f.AddColumn("CountryCode", host::Kind::kCode, "i.CountryCode");
    }
    const host::SqlTools& tools = *host::SqlTools::Instance();
    q->AddWhere(tools.JoinConditions(
        host::kJoinAnd,
        {"i.RestAmount > 0", tools.ColumnCondition("i.DocumentDate", host::Kind::kDate,
                                                   host::kOpBetween, Variant(from), Variant(to))}));
    q->OrderBy("i.DocumentDate, i.SpecID");
    q->Open();
    return q;
  }
  // The rest on the period's start (receipts before it, linked directly) and the period's
  // receipts (linked through the receipts since the start, with their party).
  std::pair<host::QueryPtr, host::QueryPtr> Lists(const Waybill& w) {
    return {Sources(w, w.begin, w.end, false, true),
            Sources(w, Date::FromYmd(2000, 1, 1), Date(w.begin.Serial() - 1), true)};
  }

  std::shared_ptr<CFuelWriteOff> Make(int32_t parent) {
    auto fuel = std::make_shared<CFuelWriteOff>();
    fuel->Init(LoadDoc(parent));
    return fuel;
  }
  // Runs a write-off whose document dialog is confirmed unchanged.
  void Run(CFuelWriteOff& fuel, const Waybill& w, int64_t fuel_qty, int64_t gas_qty,
           bool silent = false) {
    auto [in_list, rest_list] = Lists(w);
    operator_->AnswerForm({"frmDocument", true, {}});
    fuel.WriteOff(w.vehicle, Cy(fuel_qty), Cy(gas_qty), in_list, rest_list, silent);
  }
  // The good of lot property `lot`.
  std::string Good(int64_t lot) {
    auto s = C().Prepare("SELECT \"GoodCode\" FROM " + T("STLotProperty") + " WHERE \"IDC\" = ?1");
    s->BindInt64(1, lot);
    EXPECT_TRUE(s->Step()) << lot;
    return s->GetText(0);
  }
  static int Asked(const host::ScriptedOperator& op, int32_t number) {
    int n = 0;
    for (const auto& m : op.Messages()) n += m.request.number == number ? 1 : 0;
    return n;
  }

  static std::filesystem::path* master_;
  std::string path_;
  host::AppContextPtr book_;
  std::shared_ptr<host::ScriptedOperator> operator_;
  std::unique_ptr<host::ScopedOperator> scoped_;
};

std::filesystem::path* FuelWriteOffTest::master_ = nullptr;

TEST_F(FuelWriteOffTest, FuelAndGasAreTakenFromTheOldestReceiptsAndLinkedToThem) {
  const Waybill w = December(true);
  const int64_t fuel_total = TotalFree(w.fuel_lot);
  const int64_t gas_total = TotalFree(w.gas_lot);
  ASSERT_GT(fuel_total, 0);
  ASSERT_GT(gas_total, 0);
  // Most of the fuel (reaching into the December receipts) and a part of the gas, with
  // fractions of a litre.
  const int64_t fuel_qty = fuel_total * 9 / 10 / 10 * 10 + 1230;
  const int64_t gas_qty = gas_total / 3 / 10 * 10 + 50;
  const Quantities want_fuel = Fifo(w.fuel_lot, fuel_qty, w.idc);
  const Quantities want_gas = Fifo(w.gas_lot, gas_qty, w.idc);
  ASSERT_GT(want_fuel.size(), 1u) << "the write-off should span several receipts";

  auto fuel = Make(w.idc);
  Run(*fuel, w, fuel_qty, gas_qty);

  const std::vector<int32_t> docs = WriteOffs(w.idc);
  ASSERT_EQ(docs.size(), 1u);
  const int32_t doc = docs[0];
  EXPECT_EQ(fuel->DocID(), doc);
  host::THDocumentPtr header = LoadDoc(doc);
  EXPECT_EQ(CStr(header->Fields().Item("StoreCode").Value()), "KS");
  EXPECT_EQ(CDate(header->Fields().Item("DocumentDate").Value()).ToIso(), w.end.ToIso());
  EXPECT_EQ(CStr(header->AddFields().Item("VehicleCode").Value()), w.vehicle);
  EXPECT_EQ(CLng(header->Fields().Item("IsPosted").Value()), 0);

  // The rows hold exactly the quantities asked, one row per good.
  const std::map<std::string, int64_t> rows = RowsByGood(doc);
  EXPECT_EQ(rows, (std::map<std::string, int64_t>{{Good(w.fuel_lot), fuel_qty},
                                                  {Good(w.gas_lot), gas_qty}}));
  // The links add up to each row and point at the receipts FIFO would take.
  std::map<int64_t, int64_t> per_row;
  Quantities links = LinksOf(doc, &per_row);
  Quantities want = want_fuel;
  want.insert(want_gas.begin(), want_gas.end());
  EXPECT_EQ(links, want);
  int64_t linked = 0;
  for (const auto& [row, amount] : per_row) linked += amount;
  EXPECT_EQ(linked, fuel_qty + gas_qty);
  EXPECT_EQ(OverConsumedReceipts(), 0);
  EXPECT_EQ(TotalFree(w.fuel_lot), fuel_total - fuel_qty);
  EXPECT_EQ(TotalFree(w.gas_lot), gas_total - gas_qty);
  // New rows carry the vehicle's fuel lot.
  EXPECT_EQ(Int("SELECT COUNT(*) FROM " + T("THGoodSpec") + " WHERE \"DocID\" = " +
                std::to_string(doc) + " AND \"LotPropertyID\" <> " + std::to_string(w.fuel_lot)),
            0);

  // The distribution ran as step processes under message 20215; the dialog was shown.
  int begins = 0;
  for (const auto& e : operator_->ProgressEvents()) {
    if (e.kind != host::ScriptedOperator::ProgressEvent::Kind::kBegin) continue;
    ++begins;
    EXPECT_EQ(e.caption, fuel->Caption());
  }
  EXPECT_GE(begins, 2);
  EXPECT_EQ(operator_->Forms().size(), 1u);
  EXPECT_EQ(operator_->PendingForms(), 0u);
  EXPECT_FALSE(fuel->Caption().empty());
  EXPECT_EQ(operator_->Messages().size(), 0u) << "no question when nothing is replaced";
}

TEST_F(FuelWriteOffTest, ARestThatExactlyCoversTheFuelPassesAndOneHundredthMoreIsRefused) {
  const Waybill w = December(false);
  const int64_t total = TotalFree(w.fuel_lot);
  {
    SCOPED_TRACE("one hundredth more");
    const std::vector<int64_t> before = Fingerprint();
    auto fuel = Make(w.idc);
    auto [in_list, rest_list] = Lists(w);
    fuel->WriteOff(w.vehicle, Cy(total + 100), Cy(0), in_list, rest_list);
    ASSERT_EQ(operator_->Messages().size(), 1u);
    const host::MessageRequest& m = operator_->Messages()[0].request;
    EXPECT_EQ(m.number, kMsgFuelRestShort);
    EXPECT_EQ(m.buttons, host::MessageButtons::kOk);
    const std::string shortage = Format(Variant(Cy(100)), "0.00");
    const std::string asked = Format(Variant(Cy(total + 100)), "0.00");
    const std::string rest = Format(Variant(Cy(total)), "0.00");
    EXPECT_NE(m.text.find(shortage), std::string::npos) << m.text;
    EXPECT_LT(m.text.find(shortage), m.text.find(asked)) << m.text;
    EXPECT_NE(m.text.find(rest, m.text.find(asked) + asked.size()), std::string::npos) << m.text;
    // Only the new, empty document was written; no dialog.
    std::vector<int64_t> after = Fingerprint();
    EXPECT_EQ(after[0], before[0] + 1);
    after[0] = before[0];
    EXPECT_EQ(after, before);
    ASSERT_EQ(WriteOffs(w.idc).size(), 1u);
    EXPECT_TRUE(RowsByGood(WriteOffs(w.idc)[0]).empty());
    EXPECT_TRUE(operator_->Forms().empty());
  }
  {
    SCOPED_TRACE("exactly the rest, into the document left by the refusal");
    auto fuel = Make(w.idc);
    Run(*fuel, w, total, 0);
    ASSERT_EQ(WriteOffs(w.idc).size(), 1u);
    const int32_t doc = WriteOffs(w.idc)[0];
    EXPECT_EQ(RowsByGood(doc), (std::map<std::string, int64_t>{{Good(w.fuel_lot), total}}));
    EXPECT_EQ(TotalFree(w.fuel_lot), 0);
    EXPECT_EQ(OverConsumedReceipts(), 0);
    EXPECT_EQ(Asked(*operator_, kMsgFuelRestShort), 1) << "only the refusal above";
  }
}

TEST_F(FuelWriteOffTest, ASecondRunFindsTheWriteOffAndReplacesItsRowsWhenTheUserAgrees) {
  const Waybill w = December(true);
  auto fuel = Make(w.idc);
  Run(*fuel, w, 1000000, 200000);  // 100 l fuel, 20 gas
  ASSERT_EQ(WriteOffs(w.idc).size(), 1u);
  const int32_t doc = WriteOffs(w.idc)[0];
  const std::vector<int64_t> first = Fingerprint();
  const std::string good = Good(w.fuel_lot);

  {
    SCOPED_TRACE("declined: nothing changes, the dialog is still shown");
    operator_->Answer(kMsgFuelReplaceRows, MessageAnswer::kCancel);
    Run(*fuel, w, 2500000, 0);
    EXPECT_EQ(Fingerprint(), first);
    EXPECT_EQ(Asked(*operator_, kMsgFuelReplaceRows), 1);
    EXPECT_EQ(operator_->Forms().size(), 2u);
  }
  {
    SCOPED_TRACE("agreed, by a new object for the same waybill");
    const Quantities want = Fifo(w.fuel_lot, 2500000, w.idc);
    auto again = Make(w.idc);
    operator_->Answer(kMsgFuelReplaceRows, MessageAnswer::kOk);
    Run(*again, w, 2500000, 0);
    EXPECT_EQ(WriteOffs(w.idc), std::vector<int32_t>{doc});
    EXPECT_EQ(again->DocID(), doc);
    EXPECT_EQ(RowsByGood(doc), (std::map<std::string, int64_t>{{good, 2500000}}));
    EXPECT_EQ(LinksOf(doc), want);
    EXPECT_EQ(OverConsumedReceipts(), 0);
  }
  {
    SCOPED_TRACE("silent: no question");
    const size_t asked = operator_->Messages().size();
    Run(*fuel, w, 1500000, 100000, /*silent=*/true);
    EXPECT_EQ(operator_->Messages().size(), asked);
    EXPECT_EQ(RowsByGood(doc),
              (std::map<std::string, int64_t>{{good, 1500000}, {Good(w.gas_lot), 100000}}));
  }
}

TEST_F(FuelWriteOffTest, ARefusedRedoGivesTheOldRowsAndLinksBack) {
  const Waybill w = December(false);
  auto fuel = Make(w.idc);
  Run(*fuel, w, 1234500, 0);
  const std::vector<int64_t> before = Fingerprint();
  const int32_t doc = WriteOffs(w.idc)[0];
  const Quantities links = LinksOf(doc);

  operator_->Answer(kMsgFuelReplaceRows, MessageAnswer::kOk);
  auto [in_list, rest_list] = Lists(w);
  fuel->WriteOff(w.vehicle, Cy(TotalFree(w.fuel_lot, w.idc) + 100), Cy(0), in_list, rest_list);
  EXPECT_EQ(Asked(*operator_, kMsgFuelRestShort), 1);
  EXPECT_EQ(Fingerprint(), before);
  EXPECT_EQ(LinksOf(doc), links);
  EXPECT_EQ(fuel->DocID(), doc);
}

TEST_F(FuelWriteOffTest, NothingToWriteOffWritesNothing) {
  const Waybill w = December(true);
  const std::vector<int64_t> before = Fingerprint();
  auto fuel = Make(w.idc);
  auto [in_list, rest_list] = Lists(w);
  fuel->WriteOff(w.vehicle, Cy(0), Cy(0), in_list, rest_list);
  EXPECT_EQ(Fingerprint(), before);
  EXPECT_TRUE(operator_->Transcript().empty());
  EXPECT_EQ(fuel->DocID(), 0);
  EXPECT_FALSE(fuel->IsDocPost());
  EXPECT_FALSE(fuel->DelDoc());
  EXPECT_FALSE(fuel->EditDoc());
}

TEST_F(FuelWriteOffTest, BadInputIsRefusedBeforeAnythingIsWritten) {
  const Waybill w = December(true);
  const std::vector<int64_t> before = Fingerprint();
  auto fuel = Make(w.idc);
  auto [in_list, rest_list] = Lists(w);
  EXPECT_QTS_ERROR_FROM(fuel->WriteOff("NO SUCH", Cy(10000), Cy(0), in_list, rest_list),
                        kErrComponent, "CFuelWriteOff", "cannot read vehicle - NO SUCH");

  EXPECT_QTS_ERROR(fuel->WriteOff(w.vehicle, Cy(-10000), Cy(0), in_list, rest_list),
                   kErrInvalidCall);
  EXPECT_QTS_ERROR(fuel->WriteOff(w.vehicle, Cy(10000), Cy(-1), in_list, rest_list),
                   kErrInvalidCall);
  EXPECT_QTS_ERROR(fuel->WriteOff(w.vehicle, Cy(10000), Cy(0), nullptr, rest_list),
                   kErrInvalidCall);
  host::QueryPtr closed = book_->CreateQuery("THGoodSpec");
  EXPECT_QTS_ERROR(fuel->WriteOff(w.vehicle, Cy(10000), Cy(0), in_list, closed), kErrInvalidCall);
  EXPECT_EQ(Fingerprint(), before);
  CFuelWriteOff unbound;
  EXPECT_QTS_ERROR(unbound.DocID(), kErrObjectRequired);
  EXPECT_QTS_ERROR(unbound.Init(nullptr), kErrObjectRequired);
}

// A November waybill already has its (posted) write-off from the sample.
TEST_F(FuelWriteOffTest, DelDocUnpostsAndDeletesThePostedWriteOff) {
  const Waybill dec = December(false);
  const int32_t november = static_cast<int32_t>(
      Int("SELECT d.\"IDC\" FROM " + T("THDocument") + " d JOIN " + T("TKLTHDocument") +
          " a ON a.\"DocID\" = d.\"IDC\" WHERE a.\"VehicleCode\" = '" + dec.vehicle +
          "' AND d.\"DocumentDate\" = '2026-11-30'"));
  ASSERT_NE(november, 0);
  ASSERT_EQ(WriteOffs(november).size(), 1u);
  const int32_t doc = WriteOffs(november)[0];
  const int64_t rest_before = TotalFree(dec.fuel_lot);
  const int64_t written = RowsByGood(doc)[Good(dec.fuel_lot)];
  ASSERT_GT(written, 0);

  auto fuel = Make(november);
  EXPECT_EQ(fuel->DocID(), doc);
  EXPECT_TRUE(fuel->IsDocPost());
  EXPECT_TRUE(fuel->ChangeSpecRec(1, "X", Cy(1)));
  EXPECT_TRUE(fuel->DelDoc());
  EXPECT_TRUE(WriteOffs(november).empty());
  EXPECT_EQ(
      Int("SELECT COUNT(*) FROM " + T("THGoodSpec") + " WHERE \"DocID\" = " + std::to_string(doc)),
      0);
  EXPECT_EQ(TotalFree(dec.fuel_lot), rest_before + written) << "its fuel is free again";
  EXPECT_EQ(fuel->DocID(), 0);
  EXPECT_FALSE(fuel->IsDocPost());
  EXPECT_FALSE(fuel->DelDoc());
}

TEST_F(FuelWriteOffTest, RedoingAPostedWriteOffUnpostsItFirst) {
  const Waybill dec = December(false);
  const int32_t november = static_cast<int32_t>(
      Int("SELECT d.\"IDC\" FROM " + T("THDocument") + " d JOIN " + T("TKLTHDocument") +
          " a ON a.\"DocID\" = d.\"IDC\" WHERE a.\"VehicleCode\" = '" + dec.vehicle +
          "' AND d.\"DocumentDate\" = '2026-11-30'"));
  const int32_t doc = WriteOffs(november)[0];
  Waybill w = dec;
  w.idc = november;
  host::THDocumentPtr parent = LoadDoc(november);
  w.begin = CDate(parent->AddFields().Item("BegPeriod").Value());
  w.end = CDate(parent->AddFields().Item("EndPeriod").Value());
  auto fuel = Make(november);
  operator_->Answer(kMsgFuelReplaceRows, MessageAnswer::kOk);
  Run(*fuel, w, 500000, 0);
  EXPECT_EQ(WriteOffs(november), std::vector<int32_t>{doc});
  EXPECT_FALSE(fuel->IsDocPost());
  EXPECT_EQ(RowsByGood(doc), (std::map<std::string, int64_t>{{Good(w.fuel_lot), 500000}}));
  EXPECT_EQ(LinksOf(doc).size(), Fifo(w.fuel_lot, 500000, november).size());
  EXPECT_EQ(OverConsumedReceipts(), 0);
}

// With the setting TransportAlgoritm 2 a row whose quantity cannot be linked completely is
// reported; the second answer takes the row's links away. The oldest receipt comes through the
// rest list (linked directly), the next one through the receipt list, while the period (moved
// past every receipt) offers nothing to link it to.
class FuelUnlinkedTest : public FuelWriteOffTest,
                         public ::testing::WithParamInterface<MessageAnswer> {};

TEST_P(FuelUnlinkedTest, AnUnlinkedPartIsReportedAndTheSecondAnswerDropsTheRowsLinks) {
  const MessageAnswer answer = GetParam();
  const Waybill w = December(false);
  const auto receipts = FreeReceipts(w.fuel_lot, w.idc);
  ASSERT_GE(receipts.size(), 2u);
  if (host::NamedValue* setting = book_->Settings().Find("TransportAlgoritm")) {
    setting->SetValue(Variant(int32_t{2}));
  } else {
    book_->Settings().Add("TransportAlgoritm", host::Kind::kLongId, Variant(int32_t{2}));
  }
  host::THDocumentPtr parent = LoadDoc(w.idc);
  parent->AddFields().Item("BegPeriod").SetValue(Variant(Date::FromYmd(2030, 1, 1)));
  auto fuel = std::make_shared<CFuelWriteOff>();
  fuel->Init(parent);
  host::QueryPtr rest_list = Sources(w, Date::FromYmd(2000, 1, 1), w.end, true);
  rest_list->AddResultFilter("SpecID = " + std::to_string(receipts[0].first));
  host::QueryPtr in_list = Sources(w, Date::FromYmd(2000, 1, 1), w.end, false);
  in_list->AddResultFilter("ReceiptID = " + std::to_string(receipts[1].first));
  operator_->Answer(kMsgFuelUnlinked, answer);
  operator_->AnswerForm({"frmDocument", true, {}});
  const int64_t qty = receipts[0].second + receipts[1].second;
  const host::RecordsetPtr in_rows = in_list->OpenRecordset();
  fuel->WriteOff(w.vehicle, Cy(qty), Cy(0), in_list, rest_list);
  // The second answer has the source list (the receipt list, walked second) read again.
  EXPECT_EQ(in_list->OpenRecordset() != in_rows, answer != MessageAnswer::kOk);

  EXPECT_EQ(Asked(*operator_, kMsgFuelUnlinked), 1);
  // The lists show what their own filters show again.
  EXPECT_EQ(rest_list->RecordCount(), 1);
  EXPECT_EQ(in_list->RecordCount(), 1);
  const int32_t doc = fuel->DocID();
  EXPECT_EQ(RowsByGood(doc), (std::map<std::string, int64_t>{{Good(w.fuel_lot), qty}}));
  if (answer == MessageAnswer::kOk) {
    EXPECT_EQ(LinksOf(doc), (Quantities{{receipts[0].first, receipts[0].second}}));
  } else {
    EXPECT_TRUE(LinksOf(doc).empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, FuelUnlinkedTest,
                         ::testing::Values(MessageAnswer::kOk, MessageAnswer::kCancel),
                         [](const auto& info) {
                           return std::string(host::AnswerName(info.param));
                         });

TEST_F(FuelWriteOffTest, TheHostCreatesItByProgIdAndCallsItByName) {
  const frame::ClassInfo* cls =
      frame::Catalogue::Instance().FindProgId("QTS_Inventory.CFuelWriteOff");
  ASSERT_NE(cls, nullptr);
  ObjectPtr object = frame::Catalogue::Instance().Create(*cls);
  ASSERT_NE(TryQueryInterface<host::IProcessObject>(object), nullptr);
  ASSERT_NE(TryQueryInterface<IDispatch>(object), nullptr);

  const Waybill w = December(true);
  CallByName(object, "Init", InvokeKind::kMethod, {Variant(ObjectPtr(LoadDoc(w.idc)))});
  EXPECT_EQ(CLng(CallByName(object, "DocID", InvokeKind::kPropertyGet)), 0);
  auto [in_list, rest_list] = Lists(w);
  operator_->AnswerForm({"frmDocument", true, {}});
  CallByName(object, "WriteOff", InvokeKind::kMethod,
             {Variant(w.vehicle), Variant(Cy(100000)), Variant(Cy(0)), Variant(ObjectPtr(in_list)),
              Variant(ObjectPtr(rest_list))});
  ASSERT_EQ(WriteOffs(w.idc).size(), 1u);
  EXPECT_EQ(CLng(CallByName(object, "DocID", InvokeKind::kMethod)), WriteOffs(w.idc)[0]);
  EXPECT_FALSE(CBool(CallByName(object, "IsDocPost", InvokeKind::kMethod)));
  EXPECT_EQ(CStr(CallByName(object, "Caption", InvokeKind::kPropertyGet)),
            std::dynamic_pointer_cast<CFuelWriteOff>(object)->Caption());
  EXPECT_TRUE(CBool(CallByName(object, "DelDoc", InvokeKind::kMethod)));
  EXPECT_TRUE(WriteOffs(w.idc).empty());
  EXPECT_EQ(TotalFree(w.fuel_lot), TotalFree(w.fuel_lot, w.idc)) << "no link is left behind";
}

}  // namespace
}  // namespace qts::handlers
