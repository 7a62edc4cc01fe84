// The sample company's year of documents, generated day by day in date order. Receipts of a
// day come before its outgoing documents, and every posted outgoing row takes its quantity
// from the FIFO ledger when it is made, so the fix log written with it is the FIFO
// consumption of the receipts dated up to the row's date.
#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/rounding.h"
#include "host/sample/sample_generator.h"
#include "host/ui/operator.h"

namespace qts::host::sample {
namespace {

using V = db::Value;

constexpr int kYear = 2026;
constexpr int kDays = 365;

// Cents, half away from zero as the host's RoundCy rounds. Amounts are products and sums of
// binary doubles: a value that is exactly half a cent in decimals (17.64 x 17 / 24 + 7.64 =
// 20.135) may arrive a hair below it, so a millionth of a cent is allowed for.
// Cents, half away from zero, as the host rounds money.
double Round2(double v) { return RoundDecimal(v, 2); }
double Qty(int64_t ten_thousandths) {
  return static_cast<double>(ten_thousandths) / static_cast<double>(kQtyScale);
}

std::chrono::sys_days Day(int day) {
  using namespace std::chrono;
  return sys_days{year{kYear} / January / 1} + days{day};
}

std::string DateText(std::chrono::sys_days d) {
  const std::chrono::year_month_day ymd{d};
  return fmt::format("{:04}-{:02}-{:02}", static_cast<int>(ymd.year()),
                     static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
}

bool IsPersonRole(const std::string& role) { return role != "PAR" && role != "CUST"; }

// Ends the operator's progress however generation ends.
class ProgressScope {
 public:
  ProgressScope(bool shown, int count) : shown_(shown) {
    if (shown_) CurrentOperator().BeginProgress("Generating the sample book", count);
  }
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;
  ~ProgressScope() {
    if (shown_) CurrentOperator().EndProgress();
  }
  void Step(int done) {
    if (shown_) CurrentOperator().Progress(done);
  }

 private:
  bool shown_;
};

// A document number as the sample writes it: six digits per type, short enough for the bar
// code a write-off act carries (5 to 8 characters) and continued by the host's own numbering.
std::string NumberText(int64_t number) { return fmt::format("{:06}", number); }

}  // namespace

SampleGenerator::SampleGenerator(db::Connection& connection, std::string code, SampleSize size,
                                 uint64_t seed, int per_day)
    : connection_(connection),
      code_(std::move(code)),
      size_(size),
      random_(seed),
      pack_random_(seed ^ 0x5A17C0DEB0A7ull),
      scale_(per_day),
      w_(std::make_unique<SampleWriters>(connection, code_)) {}

std::string SampleGenerator::NextNumber(const std::string& type) {
  return NumberText(++numbers_[type]);
}

const std::string& SampleGenerator::RandomPerson() { return random_.Pick(persons_); }

const SampleGood& SampleGenerator::RandomGood(GoodKind kind) {
  return goods_[random_.Pick(goods_by_kind_[kind])];
}

void SampleGenerator::WriteDocuments() {
  // A day of the packaging trade writes about a tenth of the documents of a day of the rest:
  // the bar counts ten steps for the one and one for the other.
  constexpr int kDayWeight = 10;
  ProgressScope progress(size_ == SampleSize::kLarge, kDays * (kDayWeight + 1));
  for (int day = 0; day < kDays; ++day) {
    GenerateDay(day);
    progress.Step((day + 1) * kDayWeight);
  }
  PackagingTrade([&](int day) { progress.Step(kDays * kDayWeight + day + 1); });
  WriteLots();
}

void SampleGenerator::GenerateDay(int day) {
  const std::chrono::sys_days today = Day(day);
  const std::string date = DateText(today);
  const unsigned weekday = std::chrono::weekday{today}.c_encoding();  // 0 Sunday
  const bool working = weekday != 0 && weekday != 6;
  if (weekday == 1) {
    for (const SampleVehicle& v : vehicles_) FuelReceipt(date, v);
  }
  if (working) {
    for (int k = 0; k < scale_; ++k) {
      if (random_.Percent(60)) Receipt(date, "GS", GoodKind::kMaterial);
      if (random_.Percent(70)) Receipt(date, random_.Pick(sale_stores_), GoodKind::kMerchandise);
      if (random_.Percent(15)) Receipt(date, random_.Pick(sale_stores_), GoodKind::kMarked);
      if (random_.Percent(25)) Receipt(date, random_.Pick(sale_stores_), GoodKind::kPackaging);
      if (random_.Percent(25)) Manufacture(date);
      if (random_.Percent(40)) ProductionWriteOff(date);
      Sale(date);
      if (random_.Percent(60)) Sale(date);
      if (random_.Percent(15)) Requirement(date);
      if (random_.Percent(8)) DamageWriteOff(date);
      if (random_.Percent(10)) FinishedGoods(date);
    }
  }
  const std::chrono::year_month_day ymd{today};
  const std::chrono::year_month_day tomorrow{today + std::chrono::days{1}};
  if (tomorrow.month() != ymd.month()) {
    const unsigned month = static_cast<unsigned>(ymd.month());
    VehicleMonth(fmt::format("{:04}-{:02}-01", kYear, month), date);
  }
}

void SampleGenerator::Receipt(const std::string& date, const std::string& store, GoodKind kind) {
  SampleDoc doc;
  doc.type = "PISF";
  doc.date = date;
  doc.store = store;
  doc.department = store == "GS" ? "GAM" : "PRK";
  doc.posted = random_.Percent(97);
  doc.author = random_.Between(1, static_cast<int64_t>(persons_.size()));
  const int64_t direction = random_.Between(0, 9);
  doc.vat_direction = direction < 8 ? "PVM1" : direction == 8 ? "PVM13" : "PVM14";
  doc.parties = {{"PAR", random_.Pick(suppliers_)}, {"DB", RandomPerson()}};
  // Polish suppliers invoice in zloty; some merchandise is bought in dollars.
  if (client_country_[doc.parties.front().second] == "PL") {
    doc.currency = "PLN";
  } else if (kind == GoodKind::kMerchandise && random_.Percent(10)) {
    doc.currency = "USD";
  }
  const double rate = RateOn(doc.currency, date);
  const int64_t rows = random_.Between(3, 12);
  for (int64_t i = 0; i < rows; ++i) {
    const SampleGood& g = RandomGood(kind);
    SampleRow row;
    row.good = g.code;
    const bool in_alt = !g.alt_unit.empty() && random_.Percent(30);
    const int64_t count = in_alt ? random_.Between(1, 5) : random_.Between(10, 500);
    row.unit = in_alt ? g.alt_unit : g.unit;
    row.amount = count * kQtyScale;
    row.amount_account = count * (in_alt ? g.alt_rate : 1) * kQtyScale;
    row.price = Round2(g.price * static_cast<double>(in_alt ? g.alt_rate : 1) *
                       static_cast<double>(random_.Between(90, 110)) / 100.0 * rate);
    row.fix_category = g.fix_category;
    if (kind == GoodKind::kMarked) {
      row.lot = AddLotProperty(g.code, fmt::format("Akcizo ženklų partija {}-{}", date, i + 1), "");
    }
    row.comment = random_.Percent(10) ? "Pristatyta su vėlavimu" : "";
    doc.rows.push_back(std::move(row));
  }
  WriteDoc(doc);
}

void SampleGenerator::FuelReceipt(const std::string& date, const SampleVehicle& vehicle) {
  SampleDoc doc;
  doc.type = "PISF";
  doc.date = date;
  doc.store = "KS";
  doc.department = "TRN";
  doc.author = 5;
  doc.vat_direction = "PVM1";
  doc.parties = {{"PAR", suppliers_.front()}, {"DB", RandomPerson()}};
  auto add = [&](const std::string& good_code, int64_t lot) {
    const SampleGood& g = goods_[good_index_[good_code]];
    SampleRow row;
    row.good = g.code;
    row.unit = g.unit;
    row.amount = row.amount_account = random_.Between(20000, 80000) * 10;  // 200 to 800 l
    row.price = Round2(g.price * static_cast<double>(random_.Between(95, 105)) / 100.0);
    row.lot = lot;
    row.fix_category = g.fix_category;
    doc.rows.push_back(std::move(row));
  };
  add(vehicle.fuel_good, vehicle.fuel_lot);
  if (vehicle.gas_lot != 0) add(vehicle.gas_good, vehicle.gas_lot);
  WriteDoc(doc);
}

bool SampleGenerator::TakeRow(const std::string& store, const SampleGood& good, int64_t wanted,
                              int64_t lot, bool consume, SampleRow& row) {
  if (lot < 0) lot = ledger_.OldestLot(store, good.code);
  if (lot < 0) return false;
  const int64_t quantity = std::min(wanted, ledger_.Free(store, good.code, lot));
  if (quantity <= 0) return false;
  row.good = good.code;
  row.unit = good.unit;
  row.amount = row.amount_account = quantity;
  row.lot = lot;
  row.fix_category = good.fix_category;
  if (consume) row.links = ledger_.Consume(store, good.code, lot, quantity);
  return true;
}

void SampleGenerator::Sale(const std::string& date) {
  SampleDoc doc;
  doc.type = "PRSF";
  doc.date = date;
  doc.store = random_.Pick(sale_stores_);
  doc.department = "PRK";
  doc.posted = random_.Percent(97);
  doc.author = random_.Between(1, static_cast<int64_t>(persons_.size()));
  const std::string customer = random_.Pick(customers_);
  doc.parties = {{"CUST", customer}, {"PAR", customer}, {"CH", RandomPerson()}};
  const int64_t direction = random_.Between(0, 9);
  doc.vat_direction = direction < 8 ? "PVM1" : direction == 8 ? "PVM13" : "PVM15";
  const int64_t rows = random_.Between(2, 10);
  for (int64_t i = 0; i < rows; ++i) {
    SampleRow row;
    // A quarter of the rows spend what a requirement asked for.
    if (!open_requirements_.empty() && random_.Percent(25)) {
      const size_t from = open_requirements_.size() > 50 ? open_requirements_.size() - 50 : 0;
      const size_t at = from + static_cast<size_t>(random_.Between(
                                   0, static_cast<int64_t>(open_requirements_.size() - from) - 1));
      OpenRequirement& req = open_requirements_[at];
      const SampleGood& g = goods_[good_index_[req.good]];
      if (TakeRow(doc.store, g, req.left, -1, doc.posted, row)) {
        req.left -= row.amount_account;
        row.answers.push_back(req.spec_id);
        row.answered.push_back(row.amount_account);
        row.price = Round2(g.price * 1.35);
        if (req.left == 0) open_requirements_.erase(open_requirements_.begin() + at);
        doc.rows.push_back(std::move(row));
      }
      continue;
    }
    const int64_t pick = random_.Between(0, 9);
    const GoodKind kind = pick < 6   ? GoodKind::kMerchandise
                          : pick < 7 ? GoodKind::kMarked
                                     : GoodKind::kProduct;
    const SampleGood& g = RandomGood(kind);
    if (!TakeRow(doc.store, g, random_.Between(1, 60) * kQtyScale, -1, doc.posted, row)) continue;
    row.price = Round2(g.price * static_cast<double>(random_.Between(120, 160)) / 100.0);
    doc.rows.push_back(std::move(row));
  }
  if (doc.rows.empty()) return;
  std::vector<int64_t> row_ids;
  WriteDoc(doc, &row_ids);
  if (doc.posted && random_.Percent(30)) PackagingFor(doc, row_ids, date);
}

// A sale of products in packaging: packaging rows leave the sale's store, each tied by a
// content link to the sales row whose goods it packs.
void SampleGenerator::PackagingFor(const SampleDoc& sale, const std::vector<int64_t>& sale_rows,
                                   const std::string& date) {
  SampleDoc doc;
  doc.type = "TPPR";
  doc.date = date;
  doc.store = sale.store;
  doc.department = "PRK";
  doc.author = sale.author;
  doc.vat_direction = sale.vat_direction;
  doc.parties = {{"CUST", sale.parties.front().second}};
  const size_t count = std::min<size_t>(sale_rows.size(), 3);
  for (size_t i = 0; i < count; ++i) {
    const SampleGood& pack = RandomGood(GoodKind::kPackaging);
    const int64_t wanted =
        std::max<int64_t>(kQtyScale, sale.rows[i].amount_account / 10 / kQtyScale * kQtyScale);
    SampleRow row;
    if (!TakeRow(doc.store, pack, wanted, -1, true, row)) continue;
    row.price = Round2(pack.price * 1.1);
    row.answers.push_back(sale_rows[i]);
    row.answered.push_back(row.amount_account);
    doc.rows.push_back(std::move(row));
  }
  if (!doc.rows.empty()) WriteDoc(doc);
}

void SampleGenerator::ProductionWriteOff(const std::string& date) {
  SampleDoc doc;
  doc.type = "MMO";
  doc.name = "Medžiagos gamybai";
  doc.date = date;
  doc.store = "GS";
  doc.department = "GAM";
  doc.posted = random_.Percent(95);
  doc.author = 7;
  doc.parties = {{"KP", persons_[6]},
                 {"KN1", RandomPerson()},
                 {"KN2", RandomPerson()},
                 {"KN3", persons_[10]},
                 {"AA", persons_[3]}};
  const int64_t rows = random_.Between(2, 8);
  for (int64_t i = 0; i < rows; ++i) {
    const SampleGood& g = RandomGood(GoodKind::kMaterial);
    SampleRow row;
    if (!TakeRow("GS", g, random_.Between(1, 200) * kQtyScale, -1, doc.posted, row)) continue;
    row.price = g.price;
    doc.rows.push_back(std::move(row));
  }
  if (!doc.rows.empty()) WriteDoc(doc);
}

void SampleGenerator::Manufacture(const std::string& date) {
  SampleDoc order;
  order.type = "MO";
  order.date = date;
  order.store = "CS";
  order.department = "GAM";
  order.author = random_.Between(1, static_cast<int64_t>(persons_.size()));
  const std::string customer = random_.Pick(customers_);
  order.parties = {{"CUST", customer}};
  const int64_t products = random_.Between(1, 3);
  for (int64_t i = 0; i < products; ++i) {
    const SampleGood& g = RandomGood(GoodKind::kProduct);
    SampleRow row;
    row.good = g.code;
    row.unit = g.unit;
    row.amount = row.amount_account = random_.Between(1, 40) * kQtyScale;
    row.price = Round2(g.price * 1.4);
    order.rows.push_back(std::move(row));
  }
  const std::string number = NumberText(numbers_[order.type] + 1);  // the number WriteDoc gives
  std::vector<int64_t> order_rows;
  const int64_t order_id = WriteDoc(order, &order_rows);

  SampleDoc receipt;
  receipt.type = "MNFC";
  receipt.date = date;
  receipt.store = "CS";
  receipt.department = "GAM";
  receipt.parent = order_id;
  receipt.author = order.author;
  receipt.parties = {{"CUST", customer}};
  for (const SampleRow& ordered : order.rows) {
    const SampleGood& g = goods_[good_index_[ordered.good]];
    SampleRow row = ordered;
    row.price = Round2(g.price * 0.7);
    row.lot = AddLotProperty(g.code, fmt::format("Užsakymas {}", number),
                             fmt::format("{}:gamybos užsakymas#{}", customer, number));
    receipt.rows.push_back(std::move(row));
  }
  WriteDoc(receipt);
  Operations(date, order_id, order, order_rows);
}

void SampleGenerator::Requirement(const std::string& date) {
  SampleDoc req;
  req.type = "PRS";
  req.date = date;
  req.store = random_.Pick(sale_stores_);
  req.department = "PRK";
  req.author = random_.Between(1, static_cast<int64_t>(persons_.size()));
  const int64_t rows = random_.Between(1, 5);
  for (int64_t i = 0; i < rows; ++i) {
    const SampleGood& g = RandomGood(GoodKind::kMerchandise);
    SampleRow row;
    row.good = g.code;
    row.unit = g.unit;
    row.amount = row.amount_account = random_.Between(10, 100) * kQtyScale;
    row.price = g.price;
    req.rows.push_back(std::move(row));
  }
  std::vector<int64_t> req_ids;
  WriteDoc(req, &req_ids);
  for (size_t i = 0; i < req.rows.size(); ++i) {
    open_requirements_.push_back({req_ids[i], req.rows[i].good, req.rows[i].amount_account});
  }
  if (!random_.Percent(70)) return;
  SampleDoc order;
  order.type = random_.Percent(50) ? "PIS" : "POD";
  order.date = date;
  order.store = req.store;
  order.department = "PRK";
  order.author = req.author;
  order.parties = {{"PAR", random_.Pick(suppliers_)}};
  for (size_t i = 0; i < req.rows.size(); ++i) {
    SampleRow row = req.rows[i];
    row.amount = row.amount_account = std::max<int64_t>(
        kQtyScale, row.amount_account * random_.Between(50, 100) / 100 / kQtyScale * kQtyScale);
    row.answers = {req_ids[i]};
    row.answered = {row.amount_account};
    order.rows.push_back(std::move(row));
  }
  WriteDoc(order);
}

void SampleGenerator::VehicleMonth(const std::string& begin, const std::string& end) {
  const bool last_month = end.substr(5, 2) == "12";
  for (const SampleVehicle& v : vehicles_) {
    SampleDoc period;
    period.type = "TKL";
    period.date = end;
    period.store = "KS";
    period.department = "TRN";
    period.author = 5;
    period.vehicle = v.code;
    period.period_begin = begin;
    period.period_end = end;
    period.parties = {
        {"AA", random_.Pick(std::vector<std::string>{persons_[4], persons_[8], persons_[12]})}};
    const int64_t period_id = WriteDoc(period);
    // The last month's waybills wait for their fuel write-off.
    if (last_month) continue;
    SampleDoc writeoff;
    writeoff.type = "MMO";
    writeoff.date = end;
    writeoff.store = "KS";
    writeoff.department = "TRN";
    writeoff.parent = period_id;
    writeoff.author = 5;
    writeoff.vehicle = v.code;
    writeoff.name = "Kuras pagal kelionės lapą";
    writeoff.parties = {{"KP", persons_[0]},
                        {"KN1", persons_[3]},
                        {"KN2", persons_[15]},
                        {"KN3", persons_[7]},
                        {"AA", period.parties.front().second}};
    auto use = [&](const std::string& good_code, int64_t lot) {
      const SampleGood& g = goods_[good_index_[good_code]];
      SampleRow row;
      if (!TakeRow("KS", g, random_.Between(30000, 150000) * 10, lot, true, row)) return;
      row.price = g.price;
      writeoff.rows.push_back(std::move(row));
    };
    use(v.fuel_good, v.fuel_lot);
    if (v.gas_lot != 0) use(v.gas_good, v.gas_lot);
    if (!writeoff.rows.empty()) WriteDoc(writeoff);
  }
}

void SampleGenerator::DamageWriteOff(const std::string& date) {
  SampleDoc doc;
  doc.type = "MKO";
  doc.name = "Sugadintos prekės";
  doc.date = date;
  doc.store = random_.Pick(sale_stores_);
  doc.department = "PRK";
  doc.posted = random_.Percent(95);
  doc.author = 4;
  doc.parties = {{"KP", persons_[1]},
                 {"KN1", RandomPerson()},
                 {"KN2", RandomPerson()},
                 {"KN3", persons_[5]},
                 {"AA", persons_[3]}};
  const int64_t rows = random_.Between(1, 4);
  for (int64_t i = 0; i < rows; ++i) {
    const SampleGood& g = RandomGood(GoodKind::kMerchandise);
    SampleRow row;
    if (!TakeRow(doc.store, g, random_.Between(1, 10) * kQtyScale, -1, doc.posted, row)) continue;
    row.price = g.price;
    doc.rows.push_back(std::move(row));
  }
  if (!doc.rows.empty()) WriteDoc(doc);
}

void SampleGenerator::FinishedGoods(const std::string& date) {
  SampleDoc doc;
  doc.type = "MFC";
  doc.name = "Pagaminta produkcija";
  doc.date = date;
  doc.store = "CS";
  doc.department = "GAM";
  doc.posted = random_.Percent(97);
  doc.author = 7;
  doc.parties = {{"DB", persons_[3]}, {"CH", persons_[11]}};
  const int64_t rows = random_.Between(1, 3);
  for (int64_t i = 0; i < rows; ++i) {
    const SampleGood& g = RandomGood(GoodKind::kProduct);
    SampleRow row;
    row.good = g.code;
    row.unit = g.unit;
    row.amount = row.amount_account = random_.Between(1, 20) * kQtyScale;
    row.price = Round2(g.price * 0.7);
    row.fix_category = g.fix_category;
    doc.rows.push_back(std::move(row));
  }
  WriteDoc(doc);
}

// The operation documents of a manufacturing order, filled from its products' charts: labour
// ("MNC"), equipment with its fixed-asset object ("MAC") and equipment cost ("MAE").
void SampleGenerator::Operations(const std::string& date, int64_t order_id, const SampleDoc& order,
                                 const std::vector<int64_t>& order_rows) {
  const double sd1 = 1.77;
  const double vsd = 30.98;
  for (const char* type : {"MNC", "MAC", "MAE"}) {
    const int chance = std::string_view(type) == "MNC" ? 60 : 25;
    if (!random_.Percent(chance)) continue;
    SampleDoc doc;
    doc.type = type;
    doc.date = date;
    doc.store = "GS";
    doc.department = "GAM";
    doc.parent = order_id;
    doc.author = 7;
    for (size_t i = 0; i < order.rows.size(); ++i) {
      const SampleRow& ordered = order.rows[i];
      const double quantity = Qty(ordered.amount);
      for (const SampleOperation& op : charts_[ordered.good]) {
        SampleRow row;
        row.good = ordered.good;
        row.unit = ordered.unit;
        row.amount = row.amount_account = ordered.amount;
        const SampleEquipment& eq = equipment_.at(op.equipment);
        const double use_time = std::round(op.use_time * quantity * 10000) / 10000;
        if (doc.type == "MNC") {
          const double norm_sum = std::round(op.norm * quantity * 10000) / 10000;
          const double op_sum = Round2(op.rate * norm_sum);
          row.price = op.rate;
          row.summa = op_sum;
          row.cost = norm_sum;
          row.fields = {order_rows[i],
                        op.ass_code,
                        V(),
                        op.work,
                        V(),
                        V(),
                        0.0,
                        1,
                        op.norm,
                        norm_sum,
                        1.0,
                        0.0,
                        1.0,
                        0.0,
                        sd1,
                        vsd,
                        op_sum,
                        Round2(op_sum * sd1 / 100),
                        Round2(op_sum * vsd / 100)};
        } else if (doc.type == "MAC") {
          row.price = 0;
          row.fields = {order_rows[i], V(), op.ass_code, V(), V(), eq.fa_code, use_time, 0,
                        0.0,           0.0, 0.0,         0.0, 1.0, 0.0,        0.0,      0.0,
                        0.0,           0.0, 0.0};
        } else {
          const double op_sum = Round2(eq.deprec * use_time);
          row.price = eq.deprec;
          row.summa = op_sum;
          row.fields = {order_rows[i], V(),       op.ass_code, V(), op.equipment,
                        V(),           use_time,  0,           0.0, 0.0,
                        0.0,           eq.amount, 1.0,         0.0, 0.0,
                        0.0,           op_sum,    0.0,         0.0};
        }
        doc.rows.push_back(std::move(row));
      }
    }
    if (!doc.rows.empty()) WriteDoc(doc);
  }
}

// The packaging trade, day by day over the year once the other documents are written.
// Each working day brings, about, a receipt from home and one from abroad, a sale or two, and
// now and then packaging a customer returns; half the posted sales are packed in secondary or
// transport packaging of the trade. A large book trades a quarter of its scale.
void SampleGenerator::PackagingTrade(const std::function<void(int)>& day_done) {
  const int rounds = std::max(1, scale_ / 4);
  for (int day = 0; day < kDays; ++day) {
    const std::chrono::sys_days today = Day(day);
    const unsigned weekday = std::chrono::weekday{today}.c_encoding();
    const bool working = weekday != 0 && weekday != 6;
    const std::string date = DateText(today);
    for (int k = 0; working && k < rounds; ++k) {
      if (pack_random_.Percent(40)) TradeReceipt(date, false);
      if (pack_random_.Percent(40)) TradeReceipt(date, true);
      TradeSale(date);
      if (pack_random_.Percent(30)) TradeSale(date);
      if (pack_random_.Percent(12)) TradeReturn(date);
    }
    day_done(day);
  }
}

const SampleGood& SampleGenerator::TradeGood(bool (*fits)(const SampleGood&)) {
  std::vector<size_t> candidates;
  for (size_t i : goods_by_kind_[GoodKind::kTradePackaging]) {
    if (fits(goods_[i])) candidates.push_back(i);
  }
  return goods_[pack_random_.Pick(candidates)];
}

// Traded packaging bought: made here from a supplier at home under the usual direction, or
// brought in from a foreign supplier under 10 or 20 -- now and then with no direction at all.
void SampleGenerator::TradeReceipt(const std::string& date, bool imported) {
  std::vector<std::string> from;
  for (const std::string& s : suppliers_) {
    if ((client_country_[s] != "LT") == imported) from.push_back(s);
  }
  if (from.empty()) return;
  SampleDoc doc;
  doc.type = "PISF";
  doc.date = date;
  doc.store = pack_random_.Pick(sale_stores_);
  doc.department = "PRK";
  doc.author = pack_random_.Between(1, static_cast<int64_t>(persons_.size()));
  doc.parties = {{"PAR", pack_random_.Pick(from)}, {"DB", pack_random_.Pick(persons_)}};
  const int64_t direction = pack_random_.Between(0, 9);
  doc.vat_direction = !imported ? "PVM1" : direction < 5 ? "10" : direction < 9 ? "20" : "";
  const int64_t rows = pack_random_.Between(1, 3);
  for (int64_t i = 0; i < rows; ++i) {
    const SampleGood& g = imported ? TradeGood([](const SampleGood& g) { return !g.dom_manufact; })
                                   : TradeGood([](const SampleGood& g) { return g.dom_manufact; });
    SampleRow row;
    row.good = g.code;
    row.unit = g.unit;
    row.amount = row.amount_account = pack_random_.Between(20, 300) * kQtyScale;
    row.price = Round2(g.price * static_cast<double>(pack_random_.Between(90, 110)) / 100.0);
    row.fix_category = g.fix_category;
    doc.rows.push_back(std::move(row));
  }
  WriteDoc(doc);
}

// Traded packaging sold as goods: at home under the usual direction, abroad under 10 or 20, or
// on an invoice with no direction. Half the posted sales are also packed (a TPPR whose rows of
// secondary or transport packaging answer the sale's rows), under the sale's direction.
void SampleGenerator::TradeSale(const std::string& date) {
  SampleDoc doc;
  doc.type = "PRSF";
  doc.date = date;
  doc.store = pack_random_.Pick(sale_stores_);
  doc.department = "PRK";
  doc.posted = pack_random_.Percent(97);
  doc.author = pack_random_.Between(1, static_cast<int64_t>(persons_.size()));
  const std::string customer = pack_random_.Pick(customers_);
  doc.parties = {{"CUST", customer}, {"PAR", customer}, {"CH", pack_random_.Pick(persons_)}};
  const int64_t direction = pack_random_.Between(0, 19);
  doc.vat_direction = direction < 11 ? "PVM1" : direction < 14 ? "10" : direction < 17 ? "20" : "";
  const int64_t rows = pack_random_.Between(1, 3);
  for (int64_t i = 0; i < rows; ++i) {
    const SampleGood& g = TradeGood([](const SampleGood&) { return true; });
    SampleRow row;
    if (!TakeRow(doc.store, g, pack_random_.Between(2, 40) * kQtyScale, -1, doc.posted, row)) {
      continue;
    }
    row.price = Round2(g.price * 1.3);
    doc.rows.push_back(std::move(row));
  }
  if (doc.rows.empty()) return;
  std::vector<int64_t> row_ids;
  WriteDoc(doc, &row_ids);
  if (!doc.posted || !pack_random_.Percent(50)) return;

  SampleDoc packed;
  packed.type = "TPPR";
  packed.date = date;
  packed.store = doc.store;
  packed.department = "PRK";
  packed.author = doc.author;
  packed.vat_direction = doc.vat_direction;
  packed.parties = {{"CUST", customer}};
  for (size_t i = 0; i < doc.rows.size(); ++i) {
    const SampleGood& pack = TradeGood([](const SampleGood& g) { return g.pack_type >= 2; });
    const int64_t wanted =
        std::max<int64_t>(kQtyScale, doc.rows[i].amount_account / 5 / kQtyScale * kQtyScale);
    SampleRow row;
    if (!TakeRow(packed.store, pack, wanted, -1, true, row)) continue;
    row.price = Round2(pack.price * 1.1);
    row.answers.push_back(row_ids[i]);
    row.answered.push_back(row.amount_account);
    packed.rows.push_back(std::move(row));
  }
  if (!packed.rows.empty()) WriteDoc(packed);
}

// Reusable packaging (jars, bottles, boxes, pallets) a customer sends back: a receipt naming
// the customer as the party it comes from and as the customer.
void SampleGenerator::TradeReturn(const std::string& date) {
  SampleDoc doc;
  doc.type = "PISF";
  doc.date = date;
  doc.store = pack_random_.Pick(sale_stores_);
  doc.department = "PRK";
  doc.author = pack_random_.Between(1, static_cast<int64_t>(persons_.size()));
  doc.vat_direction = "PVM1";
  const std::string customer = pack_random_.Pick(customers_);
  doc.parties = {{"PAR", customer}, {"CUST", customer}, {"DB", pack_random_.Pick(persons_)}};
  const int64_t rows = pack_random_.Between(1, 2);
  for (int64_t i = 0; i < rows; ++i) {
    const SampleGood& g = TradeGood([](const SampleGood& g) { return g.reusable; });
    SampleRow row;
    row.good = g.code;
    row.unit = g.unit;
    row.amount = row.amount_account = pack_random_.Between(1, 20) * kQtyScale;
    row.price = Round2(g.price * 0.5);
    row.fix_category = g.fix_category;
    doc.rows.push_back(std::move(row));
  }
  WriteDoc(doc);
}

double SampleGenerator::RateOn(const std::string& currency, const std::string& date) const {
  if (currency == "EUR") return 1.0;
  const std::map<std::string, double>& by_date = rates_.at(currency);
  auto it = by_date.upper_bound(date);
  if (it == by_date.begin())
    throw Error(kErrInvalidCall, "SampleBook", "no rate of " + currency + " on " + date);
  return std::prev(it)->second;
}

int64_t SampleGenerator::WriteDoc(SampleDoc& doc, std::vector<int64_t>* row_ids) {
  const int64_t id = next_doc_id_++;
  const std::string number = NextNumber(doc.type);
  const StockFlow flow = flows_.at(doc.type);
  const bool moves = doc.posted && flow != StockFlow::kNone;
  const bool income = flow == StockFlow::kIn;
  const bool vat = doc.vat_direction == "PVM1";
  const double rate = RateOn(doc.currency, doc.date);
  auto role = [&](const char* code) -> V {
    for (const auto& [r, p] : doc.parties) {
      if (r == code) return p;
    }
    return V();
  };
  auto row_summa = [](const SampleRow& r) {
    return r.summa ? *r.summa : Round2(Qty(r.amount) * r.price);
  };
  double total = 0;
  for (const SampleRow& r : doc.rows) total += row_summa(r);
  w_->document.Insert({id,
                       doc.type,
                       number,
                       number,
                       doc.name.empty() ? fmt::format("{} {}", doc.type, number) : doc.name,
                       doc.date,
                       doc.parent,
                       doc.currency,
                       doc.store.empty() ? V() : V(doc.store),
                       doc.department,
                       doc.posted ? 1 : 0,
                       0,
                       Round2(total),
                       doc.author,
                       doc.date,
                       doc.period_end.empty() ? doc.date : doc.period_end,
                       role("KP"),
                       role("KN1"),
                       role("KN2"),
                       role("KN3"),
                       role("AA"),
                       role("DB"),
                       role("CH")});
  TableWriter& header = *w_->header.at(doc.type);
  if (doc.type == "PISF" || doc.type == "PRSF" || doc.type == "TPPR") {
    header.Insert({id, doc.vat_direction.empty() ? V() : V(doc.vat_direction)});
  } else if (doc.type == "MMO" || doc.type == "MKO") {
    header.Insert({id, doc.vehicle.empty() ? V() : V(doc.vehicle)});
  } else if (doc.type == "TKL") {
    header.Insert({id, doc.vehicle, doc.period_begin, doc.period_end});
  } else {
    header.Insert({id});
  }
  for (const auto& [r, p] : doc.parties) {
    w_->party.Insert({id, r, p, IsPersonRole(r) ? 2 : 1});
  }
  const std::string supplier_country =
      doc.type == "PISF" && role("PAR").Kind() == db::ValueKind::kText
          ? client_country_[role("PAR").Text()]
          : "LT";
  auto row_writer = w_->rows.find(doc.type);
  int64_t pos = 0;
  for (const SampleRow& r : doc.rows) {
    const int64_t spec_id = next_spec_id_++;
    if (row_ids != nullptr) row_ids->push_back(spec_id);
    ++pos;
    const double summa = row_summa(r);
    double cost = 0;
    if (r.cost) {
      cost = *r.cost;
    } else if (moves && income) {
      // Costs are kept in the accounting currency.
      cost = rate == 1.0 ? summa : Round2(summa / rate);
    } else if (moves) {
      for (const FifoLedger::Link& l : r.links) cost += l.cost;
      cost = Round2(cost);
    }
    w_->spec.Insert({spec_id, id, pos, r.good.empty() ? V() : V(r.good), r.unit, Qty(r.amount),
                     Qty(r.amount_account), r.price, summa, cost,
                     rate == 1.0 ? r.price : std::round(r.price / rate * 10000) / 10000,
                     flow == StockFlow::kNone ? 0.0
                     : income                 ? summa
                                              : -summa,
                     vat ? Round2(summa * 0.21) : 0.0, doc.type + "-1", r.lot, r.fix_category,
                     doc.type == "PACK" ? V() : V(supplier_country), moves && !income ? 1 : 0});
    if (doc.type == "PISF") {
      w_->pisf_row.Insert({id, pos, r.comment.empty() ? V() : V(r.comment)});
    } else if (doc.type == "MMO" || doc.type == "MKO") {
      row_writer->second->Insert(
          {id, pos, r.amount_account == 0 ? 0.0 : Round2(cost / Qty(r.amount_account))});
    } else if (doc.type == "MFC") {
      row_writer->second->Insert({id, pos, summa});
    } else if (row_writer != w_->rows.end() && !r.fields.empty()) {
      std::vector<V> values{id, pos};
      values.insert(values.end(), r.fields.begin(), r.fields.end());
      row_writer->second->Insert(values);
    }
    if (moves && income)
      ledger_.AddReceipt(doc.store, r.good, r.lot, spec_id, r.amount_account, cost);
    if (moves && !income) {
      for (const FifoLedger::Link& l : r.links) {
        w_->fix_log.Insert({r.good, spec_id, l.income_spec_id, Qty(l.quantity), 0});
      }
    }
    if (moves) {
      // The stock order row the stock system made for the row, at its cost price, and the lot
      // it posted.
      const int64_t order_spec = next_order_spec_++;
      const int64_t store_id = store_ids_.at(doc.store);
      const double unit_cost =
          r.amount == 0 ? 0.0 : std::round(cost / Qty(r.amount) * 10000) / 10000;
      w_->order_spec.Insert({order_spec, id, spec_id, spec_id, store_id, r.good, r.unit,
                             Qty(r.amount), Qty(r.amount_account), unit_cost});
      w_->post_lot.Insert(
          {order_spec, r.lot, store_id, r.good, Qty(r.amount), Qty(r.amount_account)});
    }
    for (size_t k = 0; k < r.answers.size(); ++k) {
      w_->content.Insert({spec_id, r.answers[k], r.good, Qty(r.answered[k])});
    }
  }
  return id;
}

void SampleGenerator::WriteLots() {
  for (const FifoLedger::Lot& lot : ledger_.Lots()) {
    const SampleGood& g = goods_[good_index_[lot.good]];
    w_->lot.Insert(
        {lot.good, g.unit, store_ids_.at(lot.store), lot.lot, Qty(lot.free), Qty(lot.free)});
  }
}

}  // namespace qts::host::sample
