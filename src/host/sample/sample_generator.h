// The sample generator's working state, shared by its two halves: the references
// (sample_references.cc) and the year of documents (sample_documents.cc).
#ifndef QTS_HOST_SAMPLE_SAMPLE_GENERATOR_H_
#define QTS_HOST_SAMPLE_SAMPLE_GENERATOR_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/connection.h"
#include "host/sample/fifo_ledger.h"
#include "host/sample/sample_book.h"
#include "host/sample/sample_random.h"
#include "host/sample/table_writer.h"

namespace qts::host::sample {

// The goods category of low-value stock, written off when bought.
inline constexpr int kLowValueCategory = 3;

// Ten-thousandths of a unit: the four decimal places a book keeps.
inline constexpr int64_t kQtyScale = 10000;

// How a document type's posted documents move stock.
enum class StockFlow { kNone, kIn, kOut };

// kTradePackaging: packaging bought and sold as goods -- made here or brought in, used once or
// reusable -- kept apart from kPackaging (what products are packed in) so that the packaging
// trade draws from its own goods and stock.
enum class GoodKind {
  kMaterial,
  kMerchandise,
  kMarked,
  kPackaging,
  kFuel,
  kGas,
  kProduct,
  kWork,
  kTradePackaging
};

struct SampleGood {
  std::string code;
  std::string name;
  GoodKind kind = GoodKind::kMaterial;
  std::string unit;      // accounting unit
  std::string alt_unit;  // a second unit, empty when none
  int64_t alt_rate = 1;  // accounting units in one alt_unit
  double price = 0;      // purchase price of one accounting unit, EUR
  int fix_category = 0;
  double weight = 0;      // kg in one accounting unit
  std::string pack_kind;  // packaging: material kind and type
  int pack_type = 0;
  bool reusable = false;      // packaging that goes round (returned by customers)
  bool dom_manufact = false;  // made in the country (REFGood.IsDomManufact)
};

// One operation of a product's manufacturing chart, with its labour norm and its equipment.
struct SampleOperation {
  std::string ass_code;
  std::string work;  // the work kind (a good of kind kWork)
  double rate = 0;   // labour price of one work unit
  double norm = 0;   // work units per product unit
  std::string equipment;
  double use_time = 0;  // equipment hours per product unit
};

struct SampleEquipment {
  double amount = 0;    // value
  double deprec = 0;    // depreciation per hour
  std::string fa_code;  // its fixed-asset object
};

struct SampleVehicle {
  std::string code;
  int64_t fuel_lot = 0;
  std::string fuel_good;
  int64_t gas_lot = 0;  // 0: runs on fuel only
  std::string gas_good;
};

// One planned specification row of a document.
struct SampleRow {
  std::string good;
  std::string unit;
  int64_t amount = 0;          // ten-thousandths, in `unit`
  int64_t amount_account = 0;  // ten-thousandths, in the accounting unit
  double price = 0;            // per `unit`
  int64_t lot = 0;
  int fix_category = 0;
  std::string comment;                  // PISF rows
  std::vector<int64_t> answers;         // content links: rows (IDC) this row answers or holds
  std::vector<int64_t> answered;        // the AmountAccount of each content link
  std::vector<FifoLedger::Link> links;  // posted outgoing rows: the receipts consumed
  // The values of the row's additional fields (after DocID and PosNumb) for the types whose
  // rows are written through `SampleWriters::rows`; empty writes none.
  std::vector<db::Value> fields;
  // Operation documents: the row's sum and cost when they are not quantity times price.
  std::optional<double> summa, cost;
};

struct SampleDoc {
  std::string type;
  std::string name;  // "Name"; "<type> <number>" when empty
  std::string date;
  std::string store;
  std::string department;
  bool posted = true;
  int64_t parent = 0;
  int64_t author = 0;
  std::vector<std::pair<std::string, std::string>> parties;  // role, code
  std::string vat_direction;                                 // PISF, PRSF, TPPR
  std::string vehicle;                                       // MMO, TKL
  std::string period_begin, period_end;                      // TKL
  std::string currency = "EUR";
  std::vector<SampleRow> rows;
};

// One prepared insert per table the generator fills.
struct SampleWriters {
  SampleWriters(db::Connection& c, const std::string& code);
  TableWriter unit, category, fix_category, pack_kind, pack_type, good, good_unit, person, client,
      department, currency, currency_rate, boper, material, price, vehicle, store, lot_property,
      lot, document, spec, fix_log, content, party, assembly, labour, equipment, ac_equipment,
      fa_object, pisf_row, order_spec, post_lot;
  std::map<std::string, std::unique_ptr<TableWriter>> header;  // per document type
  // Additional row fields of the types whose rows carry them, and the columns written.
  std::map<std::string, std::unique_ptr<TableWriter>> rows;
  static std::vector<std::string> RowColumns(const std::string& type);
};

class SampleGenerator {
 public:
  // `per_day`: the documents of each kind per working day (DocumentsPerDay).
  SampleGenerator(db::Connection& connection, std::string code, SampleSize size, uint64_t seed,
                  int per_day);

  void WriteReferences();
  void WriteDocuments();

 private:
  // --- references ---
  void WriteSettings();
  void WriteUnitsAndCategories();
  void WriteGoods();
  // Draws what the good leaves open (packaging type, weight) from `random`.
  void AddGood(const std::string& parent, SampleGood good, int category, int subcategory,
               int tracking, bool dom_manufact, SampleRandom& random);
  void WriteTradePackaging();
  void WritePartiesAndStores();
  void WriteVehicles();
  void WriteCharts();
  int64_t AddLotProperty(const std::string& good, const std::string& name,
                         const std::string& order_info);

  // --- documents ---
  void GenerateDay(int day);
  void Receipt(const std::string& date, const std::string& store, GoodKind kind);
  void FuelReceipt(const std::string& date, const SampleVehicle& vehicle);
  void Sale(const std::string& date);
  void ProductionWriteOff(const std::string& date);
  void Manufacture(const std::string& date);
  void Requirement(const std::string& date);
  void VehicleMonth(const std::string& begin, const std::string& end);
  void DamageWriteOff(const std::string& date);
  void FinishedGoods(const std::string& date);
  void Operations(const std::string& date, int64_t order_id, const SampleDoc& order,
                  const std::vector<int64_t>& order_rows);
  // The packaging trade (goods of kind kTradePackaging): receipts from home and foreign
  // suppliers under VAT direction PVM1, 10, 20 or none, sales as goods under the same, sales of
  // products packed in them, and reusable packaging returned by customers. It is drawn from its
  // own random source and stock, after the rest of the year, so that the other documents are
  // what the seed gave without it. `day_done` is called with each day of the year when it is done.
  void PackagingTrade(const std::function<void(int day)>& day_done);
  void TradeReceipt(const std::string& date, bool imported);
  void TradeSale(const std::string& date);
  void TradeReturn(const std::string& date);
  const SampleGood& TradeGood(bool (*fits)(const SampleGood&));
  // The rate of `currency` on `date` (units per EUR; 1 for EUR).
  double RateOn(const std::string& currency, const std::string& date) const;
  // An outgoing row of `good` from `store`: up to `wanted` of its oldest lot (or of `lot` when
  // it is not negative), capped by what is free. When `consume`, the row takes its quantity
  // from the ledger and keeps the links. False when nothing is free.
  bool TakeRow(const std::string& store, const SampleGood& good, int64_t wanted, int64_t lot,
               bool consume, SampleRow& row);
  void PackagingFor(const SampleDoc& sale, const std::vector<int64_t>& sale_rows,
                    const std::string& date);
  // Writes the document, its rows, additional fields, parties, content links and, for a posted
  // outgoing document, the fix log of its rows; a posted receipt feeds the ledger. Returns
  // the document's IDC; `row_ids` receives the IDC of each row.
  int64_t WriteDoc(SampleDoc& doc, std::vector<int64_t>* row_ids = nullptr);
  void WriteLots();
  std::string NextNumber(const std::string& type);
  const std::string& RandomPerson();
  const SampleGood& RandomGood(GoodKind kind);

  db::Connection& connection_;
  std::string code_;
  SampleSize size_;
  SampleRandom random_;
  SampleRandom pack_random_;  // the packaging trade
  int scale_;                 // documents per working day and kind, about
  std::unique_ptr<SampleWriters> w_;
  FifoLedger ledger_;

  std::vector<SampleGood> goods_;
  std::map<std::string, size_t> good_index_;
  std::map<GoodKind, std::vector<size_t>> goods_by_kind_;
  std::vector<std::string> persons_;
  std::vector<std::string> suppliers_;
  std::vector<std::string> customers_;
  std::vector<std::string> departments_;
  std::vector<std::string> sale_stores_;
  std::map<std::string, int64_t> store_ids_;
  std::vector<SampleVehicle> vehicles_;
  std::map<std::string, std::vector<SampleOperation>> charts_;  // per product
  std::map<std::string, SampleEquipment> equipment_;
  std::map<std::string, std::string> client_country_;
  std::map<std::string, std::map<std::string, double>> rates_;  // currency -> date -> rate
  std::map<std::string, int> numbers_;
  std::map<std::string, StockFlow> flows_;  // per document type
  int64_t next_doc_id_ = 1;
  int64_t next_spec_id_ = 1;
  int64_t next_lot_property_ = 1;
  int64_t next_order_spec_ = 1;
  // Requirement rows not yet answered: IDC, good, quantity (ten-thousandths).
  struct OpenRequirement {
    int64_t spec_id;
    std::string good;
    int64_t left;
  };
  std::vector<OpenRequirement> open_requirements_;
};

}  // namespace qts::host::sample

#endif  // QTS_HOST_SAMPLE_SAMPLE_GENERATOR_H_
