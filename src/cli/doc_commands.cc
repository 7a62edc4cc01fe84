// qts doc ...: looking at a book's documents and their rows.
#include <fmt/format.h>

#include <cstdint>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/operator_options.h"
#include "core/convert.h"
#include "core/error.h"
#include "db/transaction.h"
#include "engine/doc_engine.h"
#include "handlers/item_write_off.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/data/sql_tools.h"
#include "host/data/variant_json.h"
#include "host/documents/th_document.h"
#include "host/report/report_engine.h"
#include "host/services/document_service.h"
#include "host/services/good_entry.h"
#include "host/ui/operator.h"

namespace qts::cli {

using host::Kind;

namespace {

// The row columns a reader of a document wants first; every other column follows in --json.
const std::vector<std::string> kRowColumns = {"IDC",    "PosNumb", "GoodCode",      "UnitCode",
                                              "Amount", "Price",   "AmountAccount", "Summa"};

std::string TextOf(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return "";
  if (value.Type() == VarType::kDate) return value.AsDate().ToIso();
  return CStr(value);
}

nlohmann::json JsonOf(const host::NamedValueList& list) {
  nlohmann::json out = nlohmann::json::object();
  for (const host::NamedValuePtr& v : list.Entries()) out[v->Name()] = host::ToJson(v->Value());
  return out;
}

// To the first record; an empty recordset stays at its end (MoveFirst would raise 3021).
void Rewind(host::Recordset& rs) {
  if (rs.RecordCount() > 0) rs.MoveFirst();
}

// The document's rows in position order.
host::RecordsetPtr RowsOf(const std::shared_ptr<host::AppContext>& book, int32_t idc) {
  host::QueryPtr q = book->CreateQuery("THGoodSpec");
  q->AddWhere("oTable.DocID = " + std::to_string(idc));
  q->OrderBy("oTable.PosNumb, oTable.IDC");
  q->Open();
  return q->OpenRecordset();
}

void ShowDocument(const std::string& path, int32_t idc, bool json) {
  auto book = host::AppContext::Open(path);
  auto doc = std::make_shared<host::THDocument>(book);
  if (!doc->Load(idc)) {
    throw Error(kErrInvalidCall, "qts doc", fmt::format("the book has no document {}", idc));
  }
  host::RecordsetPtr rows = RowsOf(book, idc);
  if (json) {
    nlohmann::json out;
    out["fields"] = JsonOf(doc->Fields());
    out["addFields"] = JsonOf(doc->AddFields());
    out["rows"] = nlohmann::json::array();
    const size_t columns = rows->Fields().Count();
    for (Rewind(*rows); !rows->Eof(); rows->MoveNext()) {
      nlohmann::json row = nlohmann::json::object();
      for (size_t c = 0; c < columns; ++c)
        row[rows->Fields().Item(c).Name()] = host::ToJson(rows->Value(c));
      out["rows"].push_back(std::move(row));
    }
    std::cout << out.dump(2) << "\n";
    return;
  }
  const host::NamedValueList& f = doc->Fields();
  auto text = [&](const char* name) { return TextOf(f.Item(name).Value()); };
  const Variant& posted = f.Item("IsPosted").Value();
  std::cout << fmt::format("{} {} of {} (IDC {}), store {}, {}\n", text("DocTypeCode"),
                           text("Number"), text("DocumentDate"), idc, text("StoreCode"),
                           posted.IsNull() || CLng(posted) == 0 ? "not posted" : "posted");
  for (const host::NamedValuePtr& v : doc->AddFields().Entries()) {
    if (v->Name() == "DocID") continue;
    std::cout << fmt::format("  {:<20} {}\n", v->Name(), TextOf(v->Value()));
  }
  std::string header;
  for (const std::string& c : kRowColumns) header += fmt::format("{:>14}", c);
  std::cout << header << "\n";
  long count = 0;
  for (Rewind(*rows); !rows->Eof(); rows->MoveNext(), ++count) {
    std::string line;
    for (const std::string& c : kRowColumns) line += fmt::format("{:>14}", TextOf(rows->Value(c)));
    std::cout << line << "\n";
  }
  std::cout << fmt::format("{} row(s)\n", count);
}

void ListDocuments(const std::string& path, const std::string& type, int limit) {
  auto book = host::AppContext::Open(path);
  host::QueryPtr q = book->CreateQuery("THDocument");
  q->Fields().KeepOnly({"IDC", "DocTypeCode", "Number", "DocumentDate", "StoreCode", "IsPosted"});
  if (!type.empty()) {
    q->AddWhere("oTable.DocTypeCode = " +
                host::SqlTools::Instance()->SqlValue(Variant(type), Kind::kCode));
  }
  q->OrderBy("oTable.DocumentDate DESC, oTable.IDC DESC");
  q->SetTop(limit);
  q->Open();
  host::RecordsetPtr rs = q->OpenRecordset();
  for (Rewind(*rs); !rs->Eof(); rs->MoveNext()) {
    std::cout << fmt::format("{:>8}  {:<5} {:<12} {}  {:<6} {}\n", TextOf(rs->Value("IDC")),
                             TextOf(rs->Value("DocTypeCode")), TextOf(rs->Value("Number")),
                             TextOf(rs->Value("DocumentDate")), TextOf(rs->Value("StoreCode")),
                             CLng(rs->Value("IsPosted")) ? "posted" : "not posted");
  }
}

// ---- Work on documents ------------------------------------------------------------------

[[noreturn]] void Refuse(std::string description) {
  throw Error(kErrInvalidCall, "qts doc", std::move(description));
}

// A quantity typed by a person: a decimal number greater than 0 ("12.5" or "12,5").
Currency PositiveAmount(const std::string& text, const char* what) {
  std::string normal = text;
  for (char& c : normal) {
    if (c == ',') c = '.';
  }
  std::optional<Currency> value = Currency::Parse(normal);
  if (!value) Refuse(fmt::format("{} \"{}\" is not a number", what, text));
  if (*value <= Currency()) Refuse(fmt::format("{} must be greater than 0, not {}", what, text));
  return *value;
}

Variant Nvl(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? Variant(int32_t{0}) : value;
}

// One command's session on a book: the book as the host's current book, the operator of the
// command line, and the document when one is named.
struct Session {
  std::shared_ptr<host::AppContext> book;
  std::shared_ptr<host::ReportApp> app;
  std::unique_ptr<host::ScopedClientApplication> scoped_app;
  std::unique_ptr<host::ScopedOperator> scoped_operator;

  Session(const std::string& path, const OperatorOptions& options)
      : book(host::AppContext::Open(path)), app(std::make_shared<host::ReportApp>()) {
    app->SetCurrentBook(book);
    scoped_app = std::make_unique<host::ScopedClientApplication>(app);
    scoped_operator = std::make_unique<host::ScopedOperator>(MakeOperator(options, nullptr));
  }

  host::THDocumentPtr Document(int32_t idc) const {
    auto doc = std::make_shared<host::THDocument>(book);
    if (!doc->Load(idc)) Refuse(fmt::format("the book has no document {}", idc));
    return doc;
  }

  // The write-off handler of document `idc`; only item write-offs are worked on here, and the
  // rows of a posted one change only in price.
  std::shared_ptr<handlers::CItemWriteOff> WriteOff(int32_t idc, bool posted_too = false) const {
    host::THDocumentPtr doc = Document(idc);
    const std::string type = CStr(doc->Fields().Item("DocTypeCode").Value());
    if (type != "MMO" && type != "MKO") {
      Refuse(fmt::format("document {} is a {}, not an item write-off (MMO or MKO)", idc, type));
    }
    if (!posted_too && CLng(Nvl(doc->Fields().Item("IsPosted").Value())) != 0) {
      Refuse(fmt::format("document {} is posted: unpost it first (qts doc unpost {})", idc, idc));
    }
    auto handler = std::make_shared<handlers::CItemWriteOff>();
    handler->Init(doc);
    return handler;
  }

  bool HasStore(const std::string& code) const {
    host::QueryPtr q = book->CreateQuery("STStore");
    q->AddWhere("oTable.Code = " +
                host::SqlTools::Instance()->SqlValue(Variant(code), Kind::kCode));
    q->Open();
    return q->RecordCount() > 0;
  }
};

struct NewOptions {
  std::string book, type = "MMO", store, date;
  int32_t parent = 0;
  OperatorOptions op;
};

void NewDocument(const NewOptions& o) {
  Session session(o.book, o.op);
  if (!o.store.empty() && !session.HasStore(o.store)) {
    Refuse(fmt::format("the book has no store \"{}\"", o.store));
  }
  std::optional<Date> date;
  if (!o.date.empty()) {
    date = Date::ParseIso(o.date);
    if (!date) Refuse(fmt::format("\"{}\" is not a date (YYYY-MM-DD)", o.date));
  }
  if (o.parent != 0) session.Document(o.parent);
  auto doc = std::make_shared<host::THDocument>(session.book);
  doc->Fields().Item("DocTypeCode").SetValue(Variant(o.type));
  doc->InitNew();  // the type's defaults and next number; refuses a type the book does not know
  doc->BeginInsert();
  if (date) doc->Fields().Item("DocumentDate").SetValue(Variant(*date));
  if (!o.store.empty()) doc->Fields().Item("StoreCode").SetValue(Variant(o.store));
  if (o.parent != 0) doc->Fields().Item("ParentID").SetValue(Variant(o.parent));
  const int32_t idc = doc->EndInsert();
  std::cout << fmt::format("created {} {} (IDC {})\n", o.type,
                           CStr(doc->Fields().Item("Number").Value()), idc);
}

// `unit` of item `code` in the session's book, or the item's accounting unit when `unit` is
// empty; refused when the book has no such item or the item no such unit.
std::string ItemUnit(const Session& session, const std::string& code, const std::string& unit) {
  auto good = std::make_shared<host::GoodEntry>();
  good->Init(session.book);
  if (!good->Load(code)) Refuse(fmt::format("the book has no item \"{}\"", code));
  const std::string chosen = unit.empty() ? good->AccountUnit() : unit;
  if (!good->UnitRate(chosen)) {
    Refuse(fmt::format("item \"{}\" has no unit \"{}\"", code, chosen));
  }
  return chosen;
}

struct RowOptions {
  std::string book, good, unit, amount;
  int32_t idc = 0;
  OperatorOptions op;
};

void AddRow(const RowOptions& o) {
  const Currency amount = PositiveAmount(o.amount, "the amount");
  Session session(o.book, o.op);
  const std::string unit = ItemUnit(session, o.good, o.unit);
  auto handler = session.WriteOff(o.idc);
  auto row = std::make_shared<host::NamedValueList>();
  row->Add("GoodCode", Kind::kCode, Variant(o.good));
  row->Add("UnitCode", Kind::kCode, Variant(unit));
  row->Add("Amount", Kind::kQuantity, Variant(amount));
  row->Add("AmountAccount", Kind::kQuantity, Variant(Currency()));
  const int32_t spec = handler->InsertSpecRec(row);
  if (spec == 0) Refuse(fmt::format("no row was written to document {}", o.idc));
  std::cout << fmt::format("row {}: {} {} {} (accounting quantity +{})\n", spec, o.good,
                           amount.ToString(), unit, CStr(row->Item("AmountAccount").Value()));
}

struct PriceOptions {
  std::string book, from = "cost";
  int32_t idc = 0;
  OperatorOptions op;
};

void Price(const PriceOptions& o) {
  Session session(o.book, o.op);
  auto handler = session.WriteOff(o.idc, true);
  if (o.from == "orders") {
    handler->SetPriceByStOrder();
  } else if (o.from == "cost") {
    handler->SetPriceWriteOff();
  } else {
    Refuse(fmt::format("--from takes \"cost\" or \"orders\", not \"{}\"", o.from));
  }
  host::QueryPtr rows = session.book->CreateQuery("THGoodSpec");
  rows->AddWhere("oTable.DocID = " + std::to_string(o.idc));
  rows->Open();
  std::cout << fmt::format("priced document {} from {}: total {}\n", o.idc, o.from,
                           engine::CMDocSupport::TotalSum(*rows, "Summa").ToString());
}

struct AmountOptions {
  std::string book, amount;
  int32_t idc = 0, position = 0;
  OperatorOptions op;
};

void SetAmount(const AmountOptions& o) {
  const Currency amount = PositiveAmount(o.amount, "the amount");
  Session session(o.book, o.op);
  std::shared_ptr<engine::IMMatDocSupport> handler = session.WriteOff(o.idc);
  if (!handler->UpdateAmount(o.position, amount)) {
    Refuse(fmt::format("document {} has no row at position {}", o.idc, o.position));
  }
  std::cout << fmt::format("row at position {} of document {}: amount {}\n", o.position, o.idc,
                           amount.ToString());
}

struct FillOptions {
  std::string book, product, unit, amount;
  int32_t idc = 0, variant = 1;
  OperatorOptions op;
};

void Fill(const FillOptions& o) {
  const Currency amount = PositiveAmount(o.amount, "the amount");
  Session session(o.book, o.op);
  const std::string unit = ItemUnit(session, o.product, o.unit);
  auto handler = session.WriteOff(o.idc);
  handler->MDocSupEngine()->FillSpec(o.product, unit, amount, o.variant);
  std::cout << fmt::format("filled document {} from {} {} {} (variant {})\n", o.idc, o.product,
                           amount.ToString(), unit, o.variant);
}

// Posting, unposting and deleting: `action` is "post", "unpost" or "delete".
void Account(const std::string& path, int32_t idc, const std::string& action,
             const OperatorOptions& op) {
  Session session(path, op);
  host::THDocumentPtr doc = session.Document(idc);
  auto service = std::make_shared<host::DocumentService>();
  service->Init(session.book, doc);
  if (action == "post") {
    service->CloseDoc();
    std::cout << fmt::format("posted document {}\n", idc);
  } else if (action == "unpost") {
    service->OpenDoc();
    std::cout << fmt::format("unposted document {}\n", idc);
  } else {
    db::Transaction transaction(session.book->Connection());
    service->OpenDoc(false);
    if (!doc->Delete(idc)) Refuse(fmt::format("the book has no document {}", idc));
    transaction.Commit();
    std::cout << fmt::format("deleted document {}\n", idc);
  }
}

// doc show and doc list: reading a book's documents.
void AddReadingCommands(CLI::App* doc) {
  auto* show = doc->add_subcommand("show", "print a document: header, additional fields, rows");
  auto book = std::make_shared<std::string>();
  auto idc = std::make_shared<int32_t>(0);
  auto json = std::make_shared<bool>(false);
  show->add_option("IDC", *idc, "the document's identifier")->required();
  show->add_option("--book", *book, "the book file")->required();
  show->add_flag("--json", *json, "print JSON: fields, addFields, rows");
  show->callback([=] { ShowDocument(*book, *idc, *json); });

  auto* list = doc->add_subcommand("list", "list the latest documents, newest first");
  auto list_book = std::make_shared<std::string>();
  auto type = std::make_shared<std::string>();
  auto limit = std::make_shared<int>(20);
  list->add_option("--book", *list_book, "the book file")->required();
  list->add_option("--type", *type, "only documents of this type code (e.g. MMO, PISF)");
  list->add_option("--limit", *limit, "at most this many documents")
      ->check(CLI::Range(1, 1000000))
      ->capture_default_str();
  list->callback([=] { ListDocuments(*list_book, *type, *limit); });
}

// doc new, add-row, price, set-amount and fill: making and changing a write-off; each change
// prints the document as it then stands.
void AddEditingCommands(CLI::App* doc) {
  auto* create = doc->add_subcommand("new", "create a document (an item write-off by default)");
  auto n = std::make_shared<NewOptions>();
  create->add_option("--book", n->book, "the book file")->required();
  create->add_option("--type", n->type, "the document type code")->capture_default_str();
  create->add_option("--store", n->store, "the store code");
  create->add_option("--date", n->date, "the document date, YYYY-MM-DD (default: today)");
  create->add_option("--parent", n->parent, "the parent document's IDC");
  AddOperatorOptions(*create, n->op);
  create->callback([=] { NewDocument(*n); });

  auto* add = doc->add_subcommand(
      "add-row", "add a row to an item write-off; a row of the same item and unit grows instead");
  auto r = std::make_shared<RowOptions>();
  add->add_option("IDC", r->idc, "the write-off")->required();
  add->add_option("--book", r->book, "the book file")->required();
  add->add_option("--good", r->good, "the item code")->required();
  add->add_option("--unit", r->unit, "the unit (default: the item's accounting unit)");
  add->add_option("--amount", r->amount, "the quantity, greater than 0")->required();
  AddOperatorOptions(*add, r->op);
  add->callback([=] {
    AddRow(*r);
    ShowDocument(r->book, r->idc, false);
  });

  auto* price = doc->add_subcommand("price", "price an item write-off's rows");
  auto p = std::make_shared<PriceOptions>();
  price->add_option("IDC", p->idc, "the write-off")->required();
  price->add_option("--book", p->book, "the book file")->required();
  price
      ->add_option("--from", p->from,
                   "cost: the cost of the stock written off; orders: the stock order rows")
      ->capture_default_str();
  AddOperatorOptions(*price, p->op);
  price->callback([=] {
    Price(*p);
    ShowDocument(p->book, p->idc, false);
  });

  auto* amount = doc->add_subcommand("set-amount", "change the quantity of a write-off's row");
  auto a = std::make_shared<AmountOptions>();
  amount->add_option("IDC", a->idc, "the write-off")->required();
  amount->add_option("--book", a->book, "the book file")->required();
  amount->add_option("--pos", a->position, "the row's position number")->required();
  amount->add_option("--amount", a->amount, "the new quantity, greater than 0")->required();
  AddOperatorOptions(*amount, a->op);
  amount->callback([=] {
    SetAmount(*a);
    ShowDocument(a->book, a->idc, false);
  });

  auto* fill = doc->add_subcommand(
      "fill", "fill an item write-off from a product's bill of materials or routing");
  auto f = std::make_shared<FillOptions>();
  fill->add_option("IDC", f->idc, "the write-off")->required();
  fill->add_option("--book", f->book, "the book file")->required();
  fill->add_option("--product", f->product, "the product's item code")->required();
  fill->add_option("--unit", f->unit, "the product's unit (default: its accounting unit)");
  fill->add_option("--amount", f->amount, "how much of the product, greater than 0")->required();
  fill->add_option("--variant", f->variant,
                   "1 materials, 2 priced materials, 3 labour, 4 equipment")
      ->check(CLI::Range(1, 4))
      ->capture_default_str();
  AddOperatorOptions(*fill, f->op);
  fill->callback([=] {
    Fill(*f);
    ShowDocument(f->book, f->idc, false);
  });
}

// doc post, unpost and delete: a stored document's accounting.
void AddAccountingCommands(CLI::App* doc) {
  for (const char* action : {"post", "unpost", "delete"}) {
    const std::string name = action;
    auto* cmd = doc->add_subcommand(
        name, name == "post"     ? "post a document: outgoing rows take their stock first in, "
                                   "first out"
              : name == "unpost" ? "unpost a document: its stock links are taken back"
                                 : "delete a document with its rows (unposted first)");
    auto path = std::make_shared<std::string>();
    auto id = std::make_shared<int32_t>(0);
    auto op = std::make_shared<OperatorOptions>();
    cmd->add_option("IDC", *id, "the document")->required();
    cmd->add_option("--book", *path, "the book file")->required();
    AddOperatorOptions(*cmd, *op);
    cmd->callback([=] { Account(*path, *id, name, *op); });
  }
}

}  // namespace

void AddDocumentCommands(CLI::App& app) {
  auto* doc = app.add_subcommand("doc", "look at a book's documents and their rows");
  doc->require_subcommand(1);
  AddReadingCommands(doc);
  AddEditingCommands(doc);
  AddAccountingCommands(doc);
}

}  // namespace qts::cli
