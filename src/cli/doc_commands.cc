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
#include "cli/output.h"
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
#include "host/documents/document_list.h"
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

// To the first record; an empty recordset stays at its end (MoveFirst would raise 3021).
void Rewind(host::Recordset& rs) {
  if (rs.RecordCount() > 0) rs.MoveFirst();
}

// A document for people: its header, additional fields and rows.
void ShowDocument(const std::string& path, int32_t idc) {
  auto book = host::AppContext::Open(path);
  auto doc = std::make_shared<host::THDocument>(book);
  if (!doc->Load(idc)) {
    throw Error(kErrInvalidCall, "qts doc", fmt::format("the book has no document {}", idc));
  }
  host::RecordsetPtr rows = DocumentRows(book, idc);
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

// What a change of document `idc` prints: with --json `result` and the document as it then
// stands ("document"), else the document as ShowDocument prints it.
void PrintChanged(const std::string& path, int32_t idc, nlohmann::ordered_json result) {
  if (!JsonOutput()) return ShowDocument(path, idc);
  result["document"] = DocumentJson(host::AppContext::Open(path), idc);
  PrintJson(result);
}

void ListDocuments(const std::string& path, const std::string& type, int limit) {
  auto book = host::AppContext::Open(path);
  if (!type.empty()) {
    // A type the book does not know is a mistake, not a list that happens to be empty.
    host::QueryPtr types = book->CreateQuery("THDocType");
    types->AddWhere(host::SqlTools::Instance()->Condition(types->Fields().Item("Code"),
                                                          host::kOpEqual, Variant(type)));
    types->Open();
    if (types->Eof()) {
      throw Error(kErrInvalidCall, "qts doc",
                  fmt::format("the book has no document type \"{}\"", type));
    }
  }
  host::DocumentFilter filter;
  filter.type = type;
  filter.limit = limit;
  host::RecordsetPtr rs = host::ListDocuments(book, filter);
  if (JsonOutput()) return PrintJson(RowsJson(*rs));
  for (; !rs->Eof(); rs->MoveNext()) {
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
  const Currency value = ParseDecimalOption("qts doc", what, text);
  if (value <= Currency()) Refuse(fmt::format("{} must be greater than 0, not {}", what, text));
  return value;
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
  if (JsonOutput()) {
    nlohmann::ordered_json out;
    out["IDC"] = idc;
    out["document"] = DocumentJson(session.book, idc);
    return PrintJson(out);
  }
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

// Adds the row; returns the row written, as the book now holds it (merged into a row of the
// same item and unit, that row).
nlohmann::ordered_json AddRow(const RowOptions& o) {
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
  if (!JsonOutput()) {
    std::cout << fmt::format("row {}: {} {} {} (accounting quantity +{})\n", spec, o.good,
                             amount.ToString(), unit, CStr(row->Item("AmountAccount").Value()));
  }
  host::QueryPtr written = session.book->CreateQuery("THGoodSpec");
  written->AddWhere("oTable.IDC = " + std::to_string(spec));
  written->Open();
  return RowsJson(*written->OpenRecordset()).at(0);
}

struct PriceOptions {
  std::string book, from = "cost";
  int32_t idc = 0;
  OperatorOptions op;
};

// Prices the rows; returns the document's new total.
Currency Price(const PriceOptions& o) {
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
  const Currency total = engine::CMDocSupport::TotalSum(*rows, "Summa");
  if (!JsonOutput()) {
    std::cout << fmt::format("priced document {} from {}: total {}\n", o.idc, o.from,
                             total.ToString());
  }
  return total;
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
  if (JsonOutput()) return;
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
  if (JsonOutput()) return;
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
  nlohmann::ordered_json out;
  out["IDC"] = idc;
  if (action == "post") {
    service->CloseDoc();
    out["posted"] = true;
    out["links"] = LinksJson(session.book, idc);
  } else if (action == "unpost") {
    service->OpenDoc();
    out["posted"] = false;
    out["links"] = LinksJson(session.book, idc);
  } else {
    db::Transaction transaction(session.book->Connection());
    service->OpenDoc(false);
    if (!doc->Delete(idc)) Refuse(fmt::format("the book has no document {}", idc));
    transaction.Commit();
    out["deleted"] = true;
  }
  if (JsonOutput()) return PrintJson(out);
  const std::string done = action == "post"     ? "posted"
                           : action == "unpost" ? "unposted"
                                                : "deleted";
  std::cout << fmt::format("{} document {}\n", done, idc);
}

// doc show and doc list: reading a book's documents.
void AddReadingCommands(CLI::App* doc) {
  auto* show = doc->add_subcommand("show", "print a document: header, additional fields, rows");
  auto book = std::make_shared<std::string>();
  auto idc = std::make_shared<int32_t>(0);
  show->add_option("IDC", *idc, "the document's identifier")->required();
  show->add_option("--book", *book, kBookHelp)->required();
  AddJsonFlag(*show, "print JSON: fields, addFields, rows");
  show->callback([=] {
    if (JsonOutput()) return PrintJson(DocumentJson(host::AppContext::Open(*book), *idc));
    ShowDocument(*book, *idc);
  });

  auto* list = doc->add_subcommand("list", "list the latest documents, newest first");
  auto list_book = std::make_shared<std::string>();
  auto type = std::make_shared<std::string>();
  auto limit = std::make_shared<int>(20);
  list->add_option("--book", *list_book, kBookHelp)->required();
  list->add_option("--type", *type, "only documents of this type code (e.g. MMO, PISF)");
  list->add_option("--limit", *limit, "at most this many documents")
      ->check(CLI::Range(1, 1000000))
      ->capture_default_str();
  AddJsonFlag(*list, "print JSON: the documents' IDC, type, number, date, store, posted");
  list->callback([=] { ListDocuments(*list_book, *type, *limit); });
}

// doc new, add-row, price, set-amount and fill: making and changing a write-off; each change
// prints the document as it then stands.
void AddEditingCommands(CLI::App* doc) {
  auto* create = doc->add_subcommand("new", "create a document (an item write-off by default)");
  auto n = std::make_shared<NewOptions>();
  create->add_option("--book", n->book, kBookHelp)->required();
  create->add_option("--type", n->type, "the document type code")->capture_default_str();
  create->add_option("--store", n->store, "the store code");
  create->add_option("--date", n->date, "the document date, YYYY-MM-DD (default: today)");
  create->add_option("--parent", n->parent, "the parent document's IDC");
  AddOperatorOptions(*create, n->op);
  AddJsonFlag(*create, "print JSON: the new IDC and the document");
  create->callback([=] { NewDocument(*n); });

  auto* add = doc->add_subcommand(
      "add-row", "add a row to an item write-off; a row of the same item and unit grows instead");
  auto r = std::make_shared<RowOptions>();
  add->add_option("IDC", r->idc, "the write-off")->required();
  add->add_option("--book", r->book, kBookHelp)->required();
  add->add_option("--good", r->good, "the item code")->required();
  add->add_option("--unit", r->unit, "the unit (default: the item's accounting unit)");
  add->add_option("--amount", r->amount, "the quantity, greater than 0")->required();
  AddOperatorOptions(*add, r->op);
  AddJsonFlag(*add, "print JSON: the row written and the document");
  add->callback([=] {
    nlohmann::ordered_json out;
    out["row"] = AddRow(*r);
    PrintChanged(r->book, r->idc, std::move(out));
  });

  auto* price = doc->add_subcommand("price", "price an item write-off's rows");
  auto p = std::make_shared<PriceOptions>();
  price->add_option("IDC", p->idc, "the write-off")->required();
  price->add_option("--book", p->book, kBookHelp)->required();
  price
      ->add_option("--from", p->from,
                   "cost: the cost of the stock written off; orders: the stock order rows")
      ->capture_default_str();
  AddOperatorOptions(*price, p->op);
  AddJsonFlag(*price, "print JSON: the total and the document");
  price->callback([=] {
    nlohmann::ordered_json out;
    out["total"] = host::ToJson(Variant(Price(*p)));
    PrintChanged(p->book, p->idc, std::move(out));
  });

  auto* amount = doc->add_subcommand("set-amount", "change the quantity of a write-off's row");
  auto a = std::make_shared<AmountOptions>();
  amount->add_option("IDC", a->idc, "the write-off")->required();
  amount->add_option("--book", a->book, kBookHelp)->required();
  amount->add_option("--pos", a->position, "the row's position number")->required();
  amount->add_option("--amount", a->amount, "the new quantity, greater than 0")->required();
  AddOperatorOptions(*amount, a->op);
  AddJsonFlag(*amount, "print JSON: the document");
  amount->callback([=] {
    SetAmount(*a);
    PrintChanged(a->book, a->idc, nlohmann::ordered_json::object());
  });

  auto* fill = doc->add_subcommand(
      "fill", "fill an item write-off from a product's bill of materials or routing");
  auto f = std::make_shared<FillOptions>();
  fill->add_option("IDC", f->idc, "the write-off")->required();
  fill->add_option("--book", f->book, kBookHelp)->required();
  fill->add_option("--product", f->product, "the product's item code")->required();
  fill->add_option("--unit", f->unit, "the product's unit (default: its accounting unit)");
  fill->add_option("--amount", f->amount, "how much of the product, greater than 0")->required();
  fill->add_option("--variant", f->variant,
                   "1 materials, 2 priced materials, 3 labour, 4 equipment")
      ->check(CLI::Range(1, 4))
      ->capture_default_str();
  AddOperatorOptions(*fill, f->op);
  AddJsonFlag(*fill, "print JSON: the document");
  fill->callback([=] {
    Fill(*f);
    PrintChanged(f->book, f->idc, nlohmann::ordered_json::object());
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
    cmd->add_option("--book", *path, kBookHelp)->required();
    AddOperatorOptions(*cmd, *op);
    AddJsonFlag(*cmd, name == "delete" ? "print JSON: the IDC deleted"
                                       : "print JSON: the IDC and the document's fix-log links");
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
