// qts doc ...: looking at a book's documents and their rows.
#include <fmt/format.h>

#include <cstdint>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "core/convert.h"
#include "core/error.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/data/sql_tools.h"
#include "host/documents/th_document.h"

namespace qts::cli {
namespace {

// The row columns a reader of a document wants first; every other column follows in --json.
const std::vector<std::string> kRowColumns = {"IDC",    "PosNumb", "GoodCode",      "UnitCode",
                                              "Amount", "Price",   "AmountAccount", "Summa"};

nlohmann::json JsonOf(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
    case VarType::kNull:
    case VarType::kObject:
      return nullptr;
    case VarType::kBoolean:
      return value.AsBool();
    case VarType::kInteger:
    case VarType::kLong:
      return value.AsLong();
    case VarType::kDouble:
      return value.AsDouble();
    case VarType::kCurrency:
      return value.AsCurrency().ToDouble();
    case VarType::kDate:
      return value.AsDate().ToIso();
    case VarType::kString:
      return value.AsString();
  }
  return nullptr;
}

std::string TextOf(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return "";
  if (value.Type() == VarType::kDate) return value.AsDate().ToIso();
  return CStr(value);
}

nlohmann::json JsonOf(const host::NamedValueList& list) {
  nlohmann::json out = nlohmann::json::object();
  for (const host::NamedValuePtr& v : list.Entries()) out[v->Name()] = JsonOf(v->Value());
  return out;
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
    for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
      nlohmann::json row = nlohmann::json::object();
      for (size_t c = 0; c < columns; ++c)
        row[rows->Fields().Item(c).Name()] = JsonOf(rows->Value(c));
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
  for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext(), ++count) {
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
    q->AddWhere("oTable.DocTypeCode = " + host::SqlTools::Instance()->SqlValue(Variant(type), 7));
  }
  q->OrderBy("oTable.DocumentDate DESC, oTable.IDC DESC");
  q->SetTop(limit);
  q->Open();
  host::RecordsetPtr rs = q->OpenRecordset();
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
    std::cout << fmt::format("{:>8}  {:<5} {:<12} {}  {:<6} {}\n", TextOf(rs->Value("IDC")),
                             TextOf(rs->Value("DocTypeCode")), TextOf(rs->Value("Number")),
                             TextOf(rs->Value("DocumentDate")), TextOf(rs->Value("StoreCode")),
                             CLng(rs->Value("IsPosted")) ? "posted" : "not posted");
  }
}

}  // namespace

void AddDocumentCommands(CLI::App& app) {
  auto* doc = app.add_subcommand("doc", "look at a book's documents and their rows");
  doc->require_subcommand(1);

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

}  // namespace qts::cli
