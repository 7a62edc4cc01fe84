// The definition itself: tables, document types with their additional fields, and the
// derived sources of the stock model (see schema.h for the model).
#include <string>
#include <utility>
#include <vector>

#include "host/schema/schema.h"

namespace qts::host::schema {
namespace {

using sql::SqlType;

// Text lengths used throughout.
constexpr int kCodeLen = 30;  // goods, units, stores, persons, clients, equipment, ...
constexpr int kNameLen = 100;
constexpr int kTypeLen = 10;  // document types, role codes, store kinds
constexpr int kNumberLen = 20;
constexpr int kCurrencyLen = 3;

ColumnDef Column(std::string name, SqlType type, int length = 0) {
  ColumnDef c;
  c.name = std::move(name);
  c.type = type;
  c.length = length;
  return c;
}
ColumnDef Id() { return Column("IDC", SqlType::kInteger).NotNull(); }
ColumnDef Int(std::string name) { return Column(std::move(name), SqlType::kInteger); }
// Money and quantities start at 0 so that sums over fresh rows are numbers.
ColumnDef Num(std::string name) { return Column(std::move(name), SqlType::kNumber).Default("0"); }
ColumnDef Text(std::string name, int length) {
  return Column(std::move(name), SqlType::kText, length);
}
ColumnDef Date(std::string name) { return Column(std::move(name), SqlType::kDate); }
ColumnDef Flag(std::string name) { return Int(std::move(name)).Default("0"); }
ColumnDef Code() { return Text("Code", kCodeLen).NotNull(); }
ColumnDef Name() { return Text("Name", kNameLen); }

IndexDef Index(std::vector<std::string> columns) { return IndexDef{std::move(columns), false}; }
IndexDef Unique(std::vector<std::string> columns) { return IndexDef{std::move(columns), true}; }
ForeignKeyDef Fk(std::string column, std::string table, std::string ref_column, bool cascade) {
  return ForeignKeyDef{{std::move(column)}, std::move(table), {std::move(ref_column)}, cascade};
}

// A table whose key is an auto-numbered "IDC" followed by `columns`.
SourceDef Entity(std::string name, std::string meaning, std::vector<ColumnDef> columns) {
  SourceDef s;
  s.name = std::move(name);
  s.kind = SourceKind::kTable;
  s.meaning = std::move(meaning);
  s.columns.push_back(Id());
  for (auto& c : columns) s.columns.push_back(std::move(c));
  s.identity = true;
  s.primary_key = {"IDC"};
  return s;
}
// A reference table: IDC, a unique Code and a Name, then `columns`.
SourceDef Reference(std::string name, std::string meaning, std::vector<ColumnDef> columns,
                    ColumnDef code = Code()) {
  std::vector<ColumnDef> all{std::move(code), Name()};
  for (auto& c : columns) all.push_back(std::move(c));
  SourceDef s = Entity(std::move(name), std::move(meaning), std::move(all));
  s.indexes.push_back(Unique({"Code"}));
  return s;
}

// Additional fields written by the material-document engine into the rows of the types it
// serves (material lists, labour norms, equipment and fixed-asset objects, write-off prices).
std::vector<ColumnDef> MaterialRowFields() {
  return {Int("PrSpecID"),
          Text("AssCode", kCodeLen),
          Text("OpCode", kCodeLen),
          Text("WorkKind", kCodeLen),
          Text("EqCode", kCodeLen),
          Text("FACode", kCodeLen),
          Num("UseTime"),
          Flag("IsOnTimeRate"),
          Num("NormTime"),
          Num("NormTimeSum"),
          Num("AmountForRate"),
          Num("AmountForDRate"),
          Num("DirectCost"),
          Num("InDirectCost"),
          Num("SD1Proc"),
          Num("VSDProc"),
          Num("OpSum"),
          Num("SD1Summa"),
          Num("VSDSumma"),
          Num("WriteOffPrice")};
}

std::vector<DocTypeDef> BuildDocumentTypes() {
  // Flags: IsIncome, IsOrderDirect, Category (0 trade, 1 production, 2 orders, 3 other),
  // IsStock (posted documents of the type move stock).
  auto type = [](std::string code, std::string name, int income, int order_direct, int category,
                 int stock) {
    DocTypeDef t;
    t.code = std::move(code);
    t.name = std::move(name);
    t.is_income = income;
    t.is_order_direct = order_direct;
    t.category = category;
    t.is_stock = stock;
    return t;
  };
  std::vector<DocTypeDef> types;
  auto vat = [] { return Text("VATDirection", kTypeLen); };

  types.push_back(type("PISF", "Purchase invoice", 1, 1, 0, 1));
  types.back().header_fields = {vat()};
  types.back().row_fields = {Text("Comment", 255)};
  types.push_back(type("PRSF", "Sales invoice", 0, 1, 0, 1));
  types.back().header_fields = {vat()};
  types.push_back(type("TPPR", "Sale of products", 0, 0, 1, 1));
  types.back().header_fields = {vat()};

  for (const char* code : {"MMO", "MKO"}) {
    types.push_back(type(code, "Item write-off", 0, 1, 1, 1));
    types.back().header_fields = {Text("VehicleCode", kCodeLen)};
    types.back().row_fields = MaterialRowFields();
  }
  types.push_back(type("MFC", "Finished goods receipt", 1, 1, 1, 1));
  types.back().row_fields = MaterialRowFields();
  types.push_back(type("MNFC", "Manufacturing receipt", 1, 1, 1, 1));
  for (const char* code : {"MNC", "MAC", "MAE"}) {
    types.push_back(type(code, "Operation document", 0, 0, 1, 0));
    types.back().row_fields = MaterialRowFields();
  }
  types.push_back(type("PRS", "Requirement", 0, 0, 2, 0));
  types.push_back(type("PIS", "Order", 0, 0, 2, 0));
  types.push_back(type("POD", "Order", 0, 0, 2, 0));
  types.push_back(type("MO", "Manufacturing order", 0, 0, 2, 0));
  types.push_back(type("PACK", "Packaging declaration", 0, 0, 3, 0));
  types.back().header_fields = {Flag("IsReusablePack")};
  types.back().row_fields = {Text("PackMaterialKind", kCodeLen),
                             Int("PackType"),
                             Num("SaleManufactAmount"),
                             Num("SaleImportAmount"),
                             Num("ExportAmount"),
                             Num("NotSaleAmount"),
                             Num("UsedPackInSaleAmount"),
                             Num("ReturnAmount"),
                             Text("PackMaterial", kNameLen),
                             Text("PackTypeName", kNameLen),
                             Text("UnitName", kNameLen)};
  types.push_back(type("TKL", "Vehicle waybill", 0, 0, 3, 0));
  types.back().header_fields = {Text("VehicleCode", kCodeLen), Date("BegPeriod"),
                                Date("EndPeriod")};
  types.push_back(type("ADA", "Write-off basis", 0, 0, 3, 0));
  types.push_back(type("ITR", "Write-off basis", 0, 0, 3, 0));
  return types;
}

std::vector<SourceDef> BuildTables() {
  std::vector<SourceDef> t;

  // --- Settings ---
  {
    SourceDef s;
    s.name = "Settings";
    s.meaning = "one system setting of the book";
    s.columns = {Text("Name", 50).NotNull(), Text("Kind", 10).NotNull().Default("'text'"),
                 Text("Value", 255)};
    s.primary_key = {"Name"};
    t.push_back(std::move(s));
  }
  {
    SourceDef s;
    s.name = "UserSettings";
    s.meaning = "one saved value of one user (form selections, last persons)";
    s.columns = {Int("UserId").NotNull(), Text("Name", 100).NotNull(), Text("Value", 1000)};
    s.primary_key = {"UserId", "Name"};
    t.push_back(std::move(s));
  }

  // --- References ---
  {
    SourceDef s;
    s.name = "THDocType";
    s.meaning = "a document type and how its documents count";
    s.columns = {
        Text("Code", kTypeLen).NotNull(), Name(),         Flag("IsIncome"), Flag("IsOrderDirect"),
        Int("Category").Default("0"),     Flag("IsStock")};
    s.primary_key = {"Code"};
    t.push_back(std::move(s));
  }
  t.push_back(Reference("REFUnit", "a unit of measure", {}));
  t.push_back(Reference("REFGood", "a good, work kind or goods group",
                        {Text("ParentCode", kCodeLen), Flag("IsGroup"),
                         Int("Category").Default("0"), Int("SubCategory").Default("0"),
                         Flag("IsDomManufact"), Flag("TrackingOff"), Int("TrackingKind")}));
  t.back().indexes.push_back(Index({"ParentCode"}));
  {
    SourceDef s =
        Entity("REFGoodUnit", "a unit a good is counted in, with its rate to the accounting unit",
               {Text("GoodCode", kCodeLen).NotNull(), Text("UnitCode", kTypeLen).NotNull(),
                Num("Rate").Default("1"), Flag("IsAccount"), Num("Weight"), Num("GrossWeight"),
                Text("UnitWeightCode", kTypeLen), Text("PackMaterialKind", kCodeLen),
                Int("PackType"), Flag("IsReusable")});
    // The second index serves the reports' join to a good's accounting unit
    // ("GoodCode = ... AND IsAccount = 1") from the index alone.
    s.indexes = {Unique({"GoodCode", "UnitCode"}), Index({"GoodCode", "IsAccount", "UnitCode"})};
    s.foreign_keys = {Fk("GoodCode", "REFGood", "Code", true)};
    t.push_back(std::move(s));
  }
  t.push_back(Reference("REFGoodCategory", "a goods category", {}, Int("Code").NotNull()));
  t.push_back(Reference("FixCategory", "a write-off (fixing) category", {}, Int("Code").NotNull()));
  t.push_back(Reference("REFPackMaterialKind", "a packaging material kind", {}));
  t.push_back(Reference("REFPackType", "a packaging type (1, 2, 3)", {}, Int("Code").NotNull()));
  t.push_back(Reference(
      "REFPerson", "a person; UserId links a user to the person",
      {Int("UserId"), Text("FirstName", 50), Text("LastName", 50), Text("Position", kNameLen)}));
  t.back().indexes.push_back(Index({"UserId"}));
  t.push_back(Reference("REFClient", "a client or supplier", {Text("CountryCode", kTypeLen)}));
  t.push_back(Reference("REFDepartment", "a department of the enterprise", {}));
  t.push_back(Reference("REFCurrency", "a currency", {}, Text("Code", kCurrencyLen).NotNull()));
  {
    SourceDef s = Entity("REFCurrencyRate", "the rate of a currency from a date on",
                         {Text("CurrencyCode", kCurrencyLen).NotNull(), Date("RateDate").NotNull(),
                          Num("Rate").Default("1")});
    s.indexes = {Unique({"CurrencyCode", "RateDate"})};
    t.push_back(std::move(s));
  }
  t.push_back(Entity("REFDates", "a calendar day; rows 1 and 2 also serve as a row multiplier",
                     {Date("DayDate")}));
  t.push_back(Reference(
      "REFBusinessOperation", "a business operation of a document type",
      {Text("DocTypeCode", kTypeLen), Text("CurrencyCode", kCurrencyLen), Flag("IsDefault")}));
  t.back().indexes.push_back(Index({"DocTypeCode"}));
  {
    SourceDef s =
        Entity("REFGoodMaterial", "a component of a product per one product unit",
               {Text("ProductCode", kCodeLen).NotNull(), Text("ProductUnitCode", kTypeLen),
                Text("GoodCode", kCodeLen).NotNull(), Text("UnitCode", kTypeLen), Num("Amount"),
                Num("DirectCost"), Num("InDirectCost")});
    s.indexes = {Index({"ProductCode"})};
    t.push_back(std::move(s));
  }
  {
    SourceDef s = Entity("REFGoodPrice", "a price of a good of one price kind from a date on",
                         {Text("GoodCode", kCodeLen).NotNull(), Text("UnitCode", kTypeLen),
                          Text("PriceKind", kTypeLen).NotNull(), Date("PriceDate"), Num("Price")});
    s.indexes = {Index({"GoodCode", "PriceKind"})};
    t.push_back(std::move(s));
  }
  t.push_back(Reference("REFVehicle",
                        "a vehicle, the lot property of its fuel and (0: none) of its gas",
                        {Int("LotPropertyID").Default("0"), Text("StoreCode", kCodeLen),
                         Int("GasLotPropertyID").Default("0")}));

  // --- Stock ---
  t.push_back(Reference("STStore", "a store; StoreKind 'ABKR' marks fuel stores",
                        {Text("StoreKind", kTypeLen)}));
  {
    SourceDef s = Entity("STLotProperty", "a lot property; OrderInfo is 'client:text#order'",
                         {Text("GoodCode", kCodeLen), Name(), Text("OrderInfo", kNameLen)});
    t.push_back(std::move(s));
  }
  {
    SourceDef s = Entity(
        "STLot", "a stock lot of a good in a store with its rest",
        {Text("GoodCode", kCodeLen).NotNull(), Text("UnitCode", kTypeLen), Int("StoreId").NotNull(),
         Int("AnalytID").Default("0"), Num("Rest"), Num("RestAccount")});
    s.foreign_keys = {Fk("StoreId", "STStore", "IDC", false)};
    s.indexes = {Index({"GoodCode"}), Index({"StoreId"}), Index({"AnalytID"})};
    t.push_back(std::move(s));
  }

  // --- Documents ---
  {
    SourceDef s = Entity("THDocument", "a document header",
                         {Text("DocTypeCode", kTypeLen).NotNull(),
                          Text("Number", kNumberLen),
                          Text("Code", 50),
                          Name(),
                          Date("DocumentDate"),
                          Int("ParentID").Default("0"),
                          Text("CurrencyCode", kCurrencyLen),
                          Text("StoreCode", kCodeLen),
                          Text("Department", kCodeLen),
                          Flag("IsPosted").NotNull(),
                          Flag("IsClosed"),
                          Num("Summa"),
                          Int("Author"),
                          Date("CommingInForceDate"),
                          Date("TermsOfValidityDate"),
                          Text("PersonHead", kCodeLen),
                          Text("Person1", kCodeLen),
                          Text("Person2", kCodeLen),
                          Text("Person3", kCodeLen),
                          Text("PersonAA", kCodeLen),
                          Text("Gavejas", kCodeLen),
                          Text("Kontrolerius", kCodeLen)});
    s.foreign_keys = {Fk("DocTypeCode", "THDocType", "Code", false)};
    s.indexes = {Unique({"DocTypeCode", "Number"}), Index({"ParentID"}),
                 Index({"DocTypeCode", "DocumentDate"}), Index({"DocumentDate"})};
    t.push_back(std::move(s));
  }
  {
    SourceDef s = Entity("THGoodSpec", "a specification row of a document",
                         {Int("DocID").NotNull(),
                          Int("PosNumb").NotNull(),
                          Text("GoodCode", kCodeLen),
                          Text("UnitCode", kTypeLen),
                          Num("Amount"),
                          Num("AmountAccount"),
                          Num("Price"),
                          Num("Summa"),
                          Num("CostSumm"),
                          Num("PriceNational"),
                          Num("AlgebraicSum"),
                          Num("SummVAT"),
                          Text("BOperCode", kCodeLen),
                          Int("LotPropertyID").Default("0"),
                          Int("FixCategory").Default("0"),
                          Text("CountryCode", kTypeLen),
                          Flag("IsGoodClosed"),
                          Flag("IsTranClosed"),
                          Flag("IsPayClosed"),
                          Flag("IsFixed")});
    s.foreign_keys = {Fk("DocID", "THDocument", "IDC", true)};
    // (DocID, GoodCode) serves the search for a row of the same item in a document, which
    // would otherwise walk the document's rows in position order; LotPropertyID the rests of
    // one lot (a vehicle's fuel).
    s.indexes = {Unique({"DocID", "PosNumb"}), Index({"GoodCode"}), Index({"DocID", "GoodCode"}),
                 Index({"LotPropertyID", "DocID"})};
    t.push_back(std::move(s));
  }
  {
    SourceDef s = Entity("THGoodSpecFixLog",
                         "a link: an outgoing row consumed Amount (accounting units) of an "
                         "incoming row",
                         {Text("GoodCode", kCodeLen), Int("OutcomeSpecID").NotNull(),
                          Int("IncomeSpecID").NotNull(), Num("Amount"), Int("Type").Default("0")});
    s.foreign_keys = {Fk("OutcomeSpecID", "THGoodSpec", "IDC", true),
                      Fk("IncomeSpecID", "THGoodSpec", "IDC", true)};
    s.indexes = {Index({"OutcomeSpecID"}), Index({"IncomeSpecID"})};
    t.push_back(std::move(s));
  }
  {
    // Kept by every writer of links in the writer's own transaction
    // (host/documents/stock_facts.h), so the stock sources read a receipt row's consumption without
    // summing the fix log; `qts book check` recomputes it from the links.
    SourceDef s;
    s.name = "THGoodSpecFixed";
    s.meaning = "a row some link consumes, with the quantity all its links take (accounting units)";
    s.columns = {Int("SpecID").NotNull(), Num("Amount").NotNull()};
    s.primary_key = {"SpecID"};
    s.foreign_keys = {Fk("SpecID", "THGoodSpec", "IDC", true)};
    t.push_back(std::move(s));
  }
  {
    // Kept by every writer of posted rows and headers in the writer's own transaction
    // (host/documents/stock_facts.h), so a stock rest on a date is this total less the few
    // movements dated after it; `qts book check` recomputes it from the rows. A store or good
    // code that is NULL in the rows is kept as '' with its bit in NullCodes (1 the store, 2 the
    // good), so that NULL stays apart from '' and the key stays a plain equality.
    SourceDef s;
    s.name = "STStoreGoodRest";
    s.meaning =
        "per store and good, the posted stock movements of every date: how many rows, how many "
        "with a quantity, and their sum (incoming minus outgoing, accounting units)";
    s.columns = {Text("StoreCode", kCodeLen).NotNull(),
                 Text("GoodCode", kCodeLen).NotNull(),
                 Int("NullCodes").NotNull(),
                 Int("Movements").NotNull(),
                 Int("Valued").NotNull(),
                 Num("Rest").NotNull()};
    s.primary_key = {"StoreCode", "GoodCode", "NullCodes"};
    t.push_back(std::move(s));
  }
  {
    // Kept by every writer of posted rows and headers in the writer's own transaction
    // (host/documents/stock_facts.h), so the fixed rest on a date is this total less the
    // receipts dated after it, corrected by the receipts some link consumes; `qts book check`
    // recomputes it from the rows. A NULL good or fixing category is kept as '' or 0 with its
    // bit in NullCodes (1 the good, 2 the category). Cost is the sum of each receipt's cost
    // share with nothing consumed: its CostSumm, 0 for a receipt of no quantity (0), none for
    // one of no quantity (NULL) or no cost; Costed counts the receipts that have one.
    SourceDef s;
    s.name = "THGoodFixTotal";
    s.meaning =
        "per good and fixing category, the receipt rows of posted incoming stock documents of "
        "every date: how many, how many with a quantity, how many with a cost share, their "
        "accounting quantity and cost";
    s.columns = {Text("GoodCode", kCodeLen).NotNull(),
                 Int("FixCategory").NotNull(),
                 Int("NullCodes").NotNull(),
                 Int("Receipts").NotNull(),
                 Int("Valued").NotNull(),
                 Int("Costed").NotNull(),
                 Num("Amount").NotNull(),
                 Num("Cost").NotNull()};
    s.primary_key = {"GoodCode", "FixCategory", "NullCodes"};
    t.push_back(std::move(s));
  }
  {
    SourceDef s = Entity("THGoodContent",
                         "a content link: row SpecID holds AmountAccount of row CorSpecID (or "
                         "answers it)",
                         {Int("SpecID").NotNull(), Int("CorSpecID").NotNull(),
                          Text("GoodCode", kCodeLen), Num("AmountAccount")});
    s.foreign_keys = {Fk("SpecID", "THGoodSpec", "IDC", true),
                      Fk("CorSpecID", "THGoodSpec", "IDC", true)};
    s.indexes = {Index({"SpecID"}), Index({"CorSpecID"})};
    t.push_back(std::move(s));
  }
  {
    SourceDef s = Entity("THPartyAttribute",
                         "a party or person of a document in a role (PAR, CUST, KP, KN1, AA, "
                         "DB, CH, ...); PartyKind 1 client, 2 person",
                         {Int("DocID").NotNull(), Text("RolePartyCode", kTypeLen).NotNull(),
                          Text("PartyCode", kCodeLen), Int("PartyKind").Default("1")});
    s.foreign_keys = {Fk("DocID", "THDocument", "IDC", true)};
    s.indexes = {Index({"DocID", "RolePartyCode"}), Index({"PartyCode"})};
    t.push_back(std::move(s));
  }
  {
    SourceDef s = Entity("STOrderSpec",
                         "a stock order row; srcSpecID and srcDocSpecID name the document rows "
                         "it was made for",
                         {Int("DocID"), Int("srcSpecID"), Int("srcDocSpecID"), Int("StoreId"),
                          Text("GoodCode", kCodeLen), Text("UnitCode", kTypeLen), Num("Amount"),
                          Num("AmountAccount"), Num("Price")});
    s.indexes = {Index({"srcSpecID"}), Index({"srcDocSpecID"})};
    t.push_back(std::move(s));
  }
  {
    SourceDef s = Entity("STPostLot", "a lot posted by a stock order row",
                         {Int("SpecID").NotNull(), Int("AnalytID").Default("0"), Int("StoreId"),
                          Text("GoodCode", kCodeLen), Num("Amount"), Num("AmountAccount")});
    s.foreign_keys = {Fk("SpecID", "STOrderSpec", "IDC", true)};
    s.indexes = {Index({"SpecID"}), Index({"AnalytID"})};
    t.push_back(std::move(s));
  }

  // --- Manufacturing charts ---
  {
    SourceDef s = Entity("MFAssemblyChart", "an operation of a product's assembly chart",
                         {Text("GoodCode", kCodeLen).NotNull(), Text("AssCode", kCodeLen), Name()});
    s.indexes = {Index({"GoodCode"})};
    t.push_back(std::move(s));
  }
  {
    SourceDef s = Entity(
        "MFACLabour", "a labour norm of an operation; WorkKind is a good code",
        {Int("AssId").NotNull(), Text("WorkKind", kCodeLen), Num("Rate"), Flag("IsOnTimeRate"),
         Num("NormTime"), Num("AmountForRate"), Num("DirectCost"), Num("InDirectCost")});
    s.foreign_keys = {Fk("AssId", "MFAssemblyChart", "IDC", true)};
    s.indexes = {Index({"AssId"})};
    t.push_back(std::move(s));
  }
  t.push_back(Reference("MFEquipment", "an equipment item with its depreciation",
                        {Num("Amount"), Num("DeprecSum")}));
  {
    SourceDef s = Entity("MFACEquipment", "equipment used by an operation",
                         {Int("AssId").NotNull(), Text("EqCode", kCodeLen), Num("DirectCost"),
                          Num("InDirectCost"), Num("UseTime")});
    s.foreign_keys = {Fk("AssId", "MFAssemblyChart", "IDC", true)};
    s.indexes = {Index({"AssId"})};
    t.push_back(std::move(s));
  }
  {
    SourceDef s = Entity("MFEqFAObject", "a fixed-asset object of an equipment item",
                         {Text("EqCode", kCodeLen).NotNull(), Text("FACode", kCodeLen),
                          Text("FAName", kNameLen), Num("UseTime")});
    s.indexes = {Index({"EqCode"})};
    t.push_back(std::move(s));
  }

  // --- Additional fields of each document type ---
  for (const DocTypeDef& type : DocumentTypes()) {
    SourceDef head;
    head.name = type.code + "THDocument";
    head.meaning = "additional header fields of " + type.code + " documents";
    head.columns = {Int("DocID").NotNull()};
    for (const ColumnDef& c : type.header_fields) head.columns.push_back(c);
    head.primary_key = {"DocID"};
    head.foreign_keys = {Fk("DocID", "THDocument", "IDC", true)};
    t.push_back(std::move(head));

    SourceDef rows;
    rows.name = type.code + "THGoodSpec";
    rows.meaning = "additional row fields of " + type.code + " documents";
    rows.columns = {Int("DocID").NotNull(), Int("PosNumb").NotNull()};
    for (const ColumnDef& c : type.row_fields) rows.columns.push_back(c);
    rows.primary_key = {"DocID", "PosNumb"};
    rows.foreign_keys = {
        ForeignKeyDef{{"DocID", "PosNumb"}, "THGoodSpec", {"DocID", "PosNumb"}, true}};
    t.push_back(std::move(rows));
  }
  return t;
}

// --- Derived sources ---

// Receipt rows: rows of posted documents whose type brings stock in.
constexpr std::string_view kReceiptJoin =
    " FROM THGoodSpec s"
    " INNER JOIN THDocument d ON d.IDC = s.DocID"
    " INNER JOIN THDocType t ON t.Code = d.DocTypeCode";
constexpr std::string_view kReceiptWhere =
    " WHERE d.IsPosted = 1 AND t.IsStock = 1 AND t.IsIncome = 1";

// What the links of a receipt row take: all of them together is kept (THGoodSpecFixed, read
// through its key); what those dated after @DateRest take is summed from the documents of the
// period after the date, found through the documents' date index (for one receipt row:
// through the links' IncomeSpecID index). A link whose outgoing document has no date counts as
// after every date, as it never counts as up to one. The documents lead the joins (CROSS JOIN
// keeps the written order on SQLite): left to itself, the planner would rather walk the whole
// fix log in IncomeSpecID order to spare the grouping's sort.
constexpr std::string_view kLaterLinks =
    " FROM THDocument od"
    " CROSS JOIN THGoodSpec o"
    " CROSS JOIN THGoodSpecFixLog l"
    " WHERE o.DocID = od.IDC AND l.OutcomeSpecID = o.IDC"
    " AND (od.DocumentDate > @DateRest OR od.DocumentDate IS NULL)";

// Per receipt row, its free quantity on @DateRest: its accounting quantity minus the links
// dated up to then, that is minus all its links plus those dated later, summed for each
// receipt row through the links' IncomeSpecID index (its callers pick a few rows: one lot),
// unless no document is dated after the date, when there are none to sum.
std::string FreeRestSql() {
  return "SELECT s.IDC AS SpecID, s.DocID, d.DocumentDate, d.StoreCode, s.GoodCode,"
         " s.UnitCode, s.LotPropertyID, s.FixCategory, s.Amount, s.AmountAccount, s.CostSumm,"
         " s.AmountAccount - COALESCE(k.Amount, 0) + CASE WHEN " +
         LaterDocumentsExist("@DateRest") +
         " THEN COALESCE((SELECT SUM(l.Amount)"
         " FROM THGoodSpecFixLog l INNER JOIN THGoodSpec o ON o.IDC = l.OutcomeSpecID"
         " INNER JOIN THDocument od ON od.IDC = o.DocID WHERE l.IncomeSpecID = s.IDC"
         " AND (od.DocumentDate > @DateRest OR od.DocumentDate IS NULL)), 0) ELSE 0 END"
         " AS FreeAmount" +
         std::string(kReceiptJoin) + " LEFT JOIN THGoodSpecFixed k ON k.SpecID = s.IDC" +
         std::string(kReceiptWhere) + " AND d.DocumentDate <= @DateRest";
}

// Without the kept facts: per receipt row, its free quantity on @DateRest from the links
// alone, summed for each row (`per_row`) or once for the whole book and joined.
std::string PlainFreeRestSql(bool per_row) {
  const std::string links =
      " FROM THGoodSpecFixLog l"
      " INNER JOIN THGoodSpec o ON o.IDC = l.OutcomeSpecID"
      " INNER JOIN THDocument od ON od.IDC = o.DocID";
  const std::string head =
      "SELECT s.IDC AS SpecID, s.DocID, d.DocumentDate, d.StoreCode, s.GoodCode,"
      " s.UnitCode, s.LotPropertyID, s.FixCategory, s.Amount, s.AmountAccount, s.CostSumm,";
  const std::string tail = std::string(kReceiptWhere) + " AND d.DocumentDate <= @DateRest";
  if (per_row) {
    return head + " s.AmountAccount - COALESCE((SELECT SUM(l.Amount)" + links +
           " WHERE l.IncomeSpecID = s.IDC AND od.DocumentDate <= @DateRest), 0) AS FreeAmount" +
           std::string(kReceiptJoin) + tail;
  }
  return head + " s.AmountAccount - COALESCE(f.Amount, 0) AS FreeAmount" +
         std::string(kReceiptJoin) + " LEFT JOIN (SELECT l.IncomeSpecID, SUM(l.Amount) AS Amount" +
         links + " WHERE od.DocumentDate <= @DateRest GROUP BY l.IncomeSpecID) f" +
         " ON f.IncomeSpecID = s.IDC" + tail;
}

// Per good and fixing category, the fixed rest on @DateRest from the kept receipt totals
// (THGoodFixTotal: every receipt of every date, each as if nothing consumed it), less the
// receipts dated after the date (or not dated), found through the documents' date index, and
// corrected for the receipts some link consumes (THGoodSpecFixed, read whole): for each, what it
// has free on the date and its share of cost, computed as FreeRestSql and FixRestSql do, in
// place of its whole quantity and cost. All of it goes into one grouping (UNION ALL), the
// shares summed exactly before the one rounding to cents; a kept NULL code is NULL again, and
// NULLs group together as in the receipts. The grouping is the source's own statement and the
// receipts' arm comes first, so its GoodCode is a plain text column (SQLite takes a compound's
// column type from its first arm): a caller that joins it by GoodCode gets an index on it
// rather than reading it whole for every row of its own. A good and category none of whose
// receipts is dated up to the date is left out; a sum none of whose rows has a value is NULL.
std::string KeptFixRestSql() {
  const std::string share(kReceiptShare);
  const std::string free = "(s.AmountAccount - c.Amount + COALESCE(f.Amount, 0))";
  return "SELECT u.GoodCode, u.FixCategory,"
         " CASE WHEN SUM(u.Valued) = 0 THEN NULL ELSE SUM(u.Amount) END AS AmountAccount,"
         " CASE WHEN SUM(u.Costed) = 0 THEN NULL ELSE ROUND(SUM(u.Cost), 2) END AS CostSumm"
         " FROM (SELECT s.GoodCode AS GoodCode, s.FixCategory AS FixCategory, -1 AS Receipts,"
         " CASE WHEN s.AmountAccount IS NULL THEN 0 ELSE -1 END AS Valued, 0 - " +
         std::string(kReceiptCosted) + " AS Costed, 0 - s.AmountAccount AS Amount, 0 - " + share +
         " AS Cost"
         " FROM THDocument d INNER JOIN THDocType t ON t.Code = d.DocTypeCode"
         " CROSS JOIN THGoodSpec s" +
         std::string(kReceiptWhere) +
         " AND s.DocID = d.IDC AND (d.DocumentDate > @DateRest OR d.DocumentDate IS NULL)"
         " UNION ALL SELECT CASE WHEN k.NullCodes = 1 OR k.NullCodes = 3 THEN NULL"
         " ELSE k.GoodCode END, CASE WHEN k.NullCodes >= 2 THEN NULL ELSE k.FixCategory END,"
         " k.Receipts, k.Valued, k.Costed, k.Amount, k.Cost FROM THGoodFixTotal k"
         " UNION ALL SELECT s.GoodCode, s.FixCategory, 0, 0, 0, " +
         free +
         " - s.AmountAccount,"
         " CASE WHEN s.AmountAccount = 0 THEN 0 ELSE s.CostSumm * " +
         free + " / s.AmountAccount END - " + share +
         " FROM THGoodSpecFixed c INNER JOIN THGoodSpec s ON s.IDC = c.SpecID"
         " INNER JOIN THDocument d ON d.IDC = s.DocID"
         " INNER JOIN THDocType t ON t.Code = d.DocTypeCode"
         " LEFT JOIN (SELECT l.IncomeSpecID, SUM(l.Amount) AS Amount" +
         std::string(kLaterLinks) + " GROUP BY l.IncomeSpecID) f ON f.IncomeSpecID = s.IDC" +
         std::string(kReceiptWhere) +
         " AND d.DocumentDate <= @DateRest) u"
         " GROUP BY u.GoodCode, u.FixCategory"
         " HAVING SUM(u.Receipts) > 0 AND @DateRest IS NOT NULL";
}

// Per good and fixing category: the sums over `free_rest` (FreeRestSql).
std::string FixRestSql(const std::string& free_rest) {
  return "SELECT r.GoodCode, r.FixCategory, SUM(r.FreeAmount) AS AmountAccount,"
         " ROUND(SUM(CASE WHEN r.AmountAccount = 0 THEN 0"
         " ELSE r.CostSumm * r.FreeAmount / r.AmountAccount END), 2) AS CostSumm"
         " FROM (" +
         free_rest + ") r GROUP BY r.GoodCode, r.FixCategory";
}

SourceDef Derived(std::string name, SourceKind kind, std::string meaning,
                  std::vector<ColumnDef> columns, std::vector<ParameterDef> parameters,
                  std::string sql, std::string plain_sql = "") {
  SourceDef s;
  s.name = std::move(name);
  s.kind = kind;
  s.meaning = std::move(meaning);
  s.columns = std::move(columns);
  s.parameters = std::move(parameters);
  s.sql = std::move(sql);
  s.plain_sql = std::move(plain_sql);
  return s;
}

std::vector<SourceDef> BuildDerived() {
  std::vector<SourceDef> d;
  const ParameterDef date_rest{"DateRest", SqlType::kDate};

  // Every receipt row with the part of its accounting quantity that no link has consumed yet
  // (links of any date) and the matching share of its cost. Its rows are reached through their
  // documents (CROSS JOIN keeps that order on SQLite): a reader picks receipts by their
  // documents' date or type, as the rest by term does, and left to itself the planner would
  // rather walk every row of the rows table and look up each one's document (the rest by term's
  // statement took about a quarter longer so on the large sample book). A reader after one
  // receipt row by its IDC reads THGoodSpec with THGoodSpecFixed instead.
  d.push_back(Derived(
      "THGoodSpecNotFixed", SourceKind::kView,
      "a receipt row with its accounting quantity not yet consumed by any link",
      {Int("IDC"), Int("DocID"), Int("PosNumb"), Date("DocumentDate"), Text("StoreCode", kCodeLen),
       Text("GoodCode", kCodeLen), Text("UnitCode", kTypeLen), Int("LotPropertyID"),
       Int("FixCategory"), Num("AmountAccount"), Num("CostSumm")},
      {},
      std::string("SELECT s.IDC, s.DocID, s.PosNumb, d.DocumentDate, d.StoreCode, s.GoodCode,"
                  " s.UnitCode, s.LotPropertyID, s.FixCategory,"
                  " s.AmountAccount - COALESCE(k.Amount, 0) AS AmountAccount,"
                  " CASE WHEN s.AmountAccount = 0 THEN 0"
                  " ELSE ROUND(s.CostSumm * (s.AmountAccount - COALESCE(k.Amount, 0))"
                  " / s.AmountAccount, 2) END AS CostSumm"
                  " FROM THDocument d INNER JOIN THDocType t ON t.Code = d.DocTypeCode"
                  " CROSS JOIN THGoodSpec s LEFT JOIN THGoodSpecFixed k ON k.SpecID = s.IDC") +
          std::string(kReceiptWhere) + " AND s.DocID = d.IDC",
      std::string("SELECT s.IDC, s.DocID, s.PosNumb, d.DocumentDate, d.StoreCode, s.GoodCode,"
                  " s.UnitCode, s.LotPropertyID, s.FixCategory,"
                  " s.AmountAccount - COALESCE(f.Amount, 0) AS AmountAccount,"
                  " CASE WHEN s.AmountAccount = 0 THEN 0"
                  " ELSE ROUND(s.CostSumm * (s.AmountAccount - COALESCE(f.Amount, 0))"
                  " / s.AmountAccount, 2) END AS CostSumm") +
          std::string(kReceiptJoin) +
          " LEFT JOIN (SELECT l.IncomeSpecID, SUM(l.Amount) AS Amount"
          " FROM THGoodSpecFixLog l GROUP BY l.IncomeSpecID) f ON f.IncomeSpecID = s.IDC" +
          std::string(kReceiptWhere)));

  // The rows of purchase invoices with their VAT sum and the receipt's row comment.
  d.push_back(Derived(
      "THGoodSpecPISF", SourceKind::kView, "a row of a PISF document with its VAT sum and comment",
      {Int("IDC"), Int("DocID"), Int("PosNumb"), Num("SummVAT"), Text("Comment", 255)}, {},
      "SELECT s.IDC, s.DocID, s.PosNumb, s.SummVAT, a.Comment"
      " FROM THGoodSpec s"
      " INNER JOIN THDocument d ON d.IDC = s.DocID"
      " LEFT JOIN PISFTHGoodSpec a ON a.DocID = s.DocID AND a.PosNumb = s.PosNumb"
      " WHERE d.DocTypeCode = 'PISF'"));

  // Receipt rows dated up to @DateRest with their free quantity on that date: the basis of
  // FIFO consumption (oldest DocumentDate, then SpecID, first).
  d.push_back(Derived(
      "THGoodSpecFreeRest", SourceKind::kParameterised,
      "a receipt row dated up to DateRest with its free quantity on that date",
      {Int("SpecID"), Int("DocID"), Date("DocumentDate"), Text("StoreCode", kCodeLen),
       Text("GoodCode", kCodeLen), Text("UnitCode", kTypeLen), Int("LotPropertyID"),
       Int("FixCategory"), Num("Amount"), Num("AmountAccount"), Num("CostSumm"), Num("FreeAmount")},
      {date_rest}, FreeRestSql(), PlainFreeRestSql(true)));

  // Per good and fixing category: the free quantity of all receipts on @DateRest and the
  // share of their cost that the free quantity still carries.
  d.push_back(Derived(
      "THDocGoodFixRest", SourceKind::kParameterised,
      "per good and fixing category, the free receipt quantity on DateRest and its cost",
      {Text("GoodCode", kCodeLen), Int("FixCategory"), Num("AmountAccount"), Num("CostSumm")},
      {date_rest}, KeptFixRestSql(), FixRestSql(PlainFreeRestSql(false))));

  // Per store and good: posted stock movements dated up to @DateRest, incoming minus outgoing,
  // in accounting units; NULL where none of them has a quantity. The total of every date is
  // kept (STStoreGoodRest); the movements dated after @DateRest (or not dated, which never
  // count as up to a date) are taken off it, found through the documents' date index, so the
  // rest on a recent date reads the few rows of the period after it. Both go into one grouping
  // (UNION ALL) rather than a join of the kept rows to the later ones, which SQLite would walk
  // in full for every kept row.
  d.push_back(Derived(
      "STStoreRest", SourceKind::kParameterised,
      "per store and good, the stock rest on DateRest in accounting units",
      {Int("StoreId"), Text("StoreCode", kCodeLen), Text("GoodCode", kCodeLen), Num("Rest")},
      {date_rest},
      "SELECT st.IDC AS StoreId,"
      " CASE WHEN r.NullCodes = 1 OR r.NullCodes = 3 THEN NULL ELSE r.StoreCode END"
      " AS StoreCode,"
      " CASE WHEN r.NullCodes >= 2 THEN NULL ELSE r.GoodCode END AS GoodCode,"
      " CASE WHEN r.Valued = 0 THEN NULL ELSE r.Rest END AS Rest"
      " FROM (SELECT u.StoreCode, u.GoodCode, u.NullCodes, SUM(u.Movements) AS Movements,"
      " SUM(u.Valued) AS Valued, SUM(u.Rest) AS Rest"
      " FROM (SELECT k.StoreCode, k.GoodCode, k.NullCodes, k.Movements, k.Valued, k.Rest"
      " FROM STStoreGoodRest k"
      " UNION ALL SELECT " +
          std::string(kStoreGoodKey) +
          ", -1 AS Movements, CASE WHEN s.AmountAccount IS NULL THEN 0 ELSE -1 END AS Valued,"
          " CASE WHEN t.IsIncome = 1 THEN 0 - s.AmountAccount ELSE s.AmountAccount END AS Rest"
          " FROM THDocument d INNER JOIN THDocType t ON t.Code = d.DocTypeCode"
          " CROSS JOIN THGoodSpec s"
          " WHERE s.DocID = d.IDC AND d.IsPosted = 1 AND t.IsStock = 1"
          " AND (d.DocumentDate > @DateRest OR d.DocumentDate IS NULL)) u"
          " GROUP BY u.StoreCode, u.GoodCode, u.NullCodes) r"
          " LEFT JOIN STStore st ON st.Code = r.StoreCode AND r.NullCodes <> 1"
          " AND r.NullCodes <> 3"
          " WHERE r.Movements > 0 AND @DateRest IS NOT NULL",
      "SELECT st.IDC AS StoreId, d.StoreCode, s.GoodCode,"
      " SUM(CASE WHEN t.IsIncome = 1 THEN s.AmountAccount ELSE -s.AmountAccount END) AS Rest"
      " FROM THGoodSpec s"
      " INNER JOIN THDocument d ON d.IDC = s.DocID"
      " INNER JOIN THDocType t ON t.Code = d.DocTypeCode"
      " LEFT JOIN STStore st ON st.Code = d.StoreCode"
      " WHERE d.IsPosted = 1 AND t.IsStock = 1 AND d.DocumentDate <= @DateRest"
      " GROUP BY st.IDC, d.StoreCode, s.GoodCode"));

  // Goods and groups below the group @Node, up to eight levels deep (the node itself is not
  // below itself).
  std::string joins;
  std::string parents = "g.ParentCode";
  std::string prev = "g";
  for (int level = 1; level <= 7; ++level) {
    const std::string p = "p" + std::to_string(level);
    joins += " LEFT JOIN REFGood " + p + " ON " + p + ".Code = " + prev + ".ParentCode";
    parents += ", " + p + ".ParentCode";
    prev = p;
  }
  d.push_back(Derived("REFGoodT", SourceKind::kParameterised,
                      "a good or group below the group Node",
                      {Text("Code", kCodeLen), Text("Name", kNameLen), Text("ParentCode", kCodeLen),
                       Int("IsGroup"), Int("Category"), Int("SubCategory")},
                      {ParameterDef{"Node", SqlType::kText}},
                      "SELECT g.Code, g.Name, g.ParentCode, g.IsGroup, g.Category, g.SubCategory"
                      " FROM REFGood g" +
                          joins + " WHERE @Node IN (" + parents + ")"));
  return d;
}

}  // namespace

const std::vector<DocTypeDef>& DocumentTypes() {
  static const std::vector<DocTypeDef> types = BuildDocumentTypes();
  return types;
}

const std::vector<SourceDef>& Sources() {
  static const std::vector<SourceDef> sources = [] {
    std::vector<SourceDef> all = BuildTables();
    for (SourceDef& s : BuildDerived()) all.push_back(std::move(s));
    return all;
  }();
  return sources;
}

}  // namespace qts::host::schema
