#include "host/documents/th_document.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <utility>

#include "core/convert.h"
#include "core/text.h"
#include "db/connection.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/documents/stock_facts.h"
#include "sql/translator.h"

namespace qts::host {
namespace {

constexpr std::string_view kSource = "THDocument";

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "n + 1" of a decimal text, keeping at least its width with leading zeros.
std::string Increment(const std::string& number) {
  std::string digits = number;
  int i = static_cast<int>(digits.size()) - 1;
  for (; i >= 0; --i) {
    if (digits[i] == '9') {
      digits[i] = '0';
    } else {
      ++digits[i];
      break;
    }
  }
  if (i < 0) digits.insert(digits.begin(), '1');
  return digits;
}

}  // namespace

// The additional-field table of one document type; layout null when the type has none.
struct THDocument::AddTable {
  std::unique_ptr<TableLayout> layout;
  std::string select_sql;
  std::string insert_sql;
  std::string update_sql;
};

THDocument::THDocument(AppContextPtr application)
    : application_(std::move(application)),
      fields_(std::make_shared<NamedValueList>()),
      add_fields_(std::make_shared<NamedValueList>()) {}

THDocument::~THDocument() = default;

void THDocument::EnsureLayout() {
  if (header_layout_) return;
  if (!application_) RaiseDocumentError(kSource, "the document belongs to no book");
  header_layout_ = TableLayout::Create(application_->Catalogue(), "THDocument", "THDocument");
  if (!header_layout_) RaiseDocumentError(kSource, "the book has no table THDocument");
  fields_->Clear();
  header_layout_->AddEntries(*fields_);
}

NamedValueList& THDocument::Fields() {
  EnsureLayout();
  return *fields_;
}

NamedValueList& THDocument::AddFields() {
  EnsureLayout();
  SyncAddFields();
  return *add_fields_;
}

std::string THDocument::TypeCode() {
  const Variant& v = Fields().Item("DocTypeCode").Value();
  if (v.IsNull() || v.IsEmpty()) return {};
  return CStr(v);
}

const THDocument::AddTable* THDocument::AddTableOf(const std::string& type) {
  if (type.empty()) return nullptr;
  std::string key = AsciiUpper(type);
  auto it = add_tables_.find(key);
  if (it == add_tables_.end()) {
    auto table = std::make_unique<AddTable>();
    table->layout =
        TableLayout::Create(application_->Catalogue(), type + "THDocument", "THDocument");
    if (table->layout) {
      table->select_sql = table->layout->SelectSql({"DocID"});
      table->insert_sql = table->layout->InsertSql(0);
      table->update_sql = table->layout->UpdateSql(1, {"DocID"});
    }
    it = add_tables_.emplace(key, std::move(table)).first;
  }
  return it->second->layout ? it->second.get() : nullptr;
}

void THDocument::SyncAddFields() {
  std::string type = TypeCode();
  if (EqualsIgnoreCase(type, add_fields_type_)) return;
  add_fields_->Clear();
  add_fields_type_ = type;
  if (const AddTable* table = AddTableOf(type)) table->layout->AddEntries(*add_fields_, 1);
}

void THDocument::Blank() {
  EnsureLayout();
  const auto& columns = header_layout_->Columns();
  for (size_t i = 0; i < columns.size(); ++i) fields_->At(i).SetValue(columns[i].blank);
  stored_idc_ = 0;
  stored_type_.clear();
}

void THDocument::CheckType(const std::string& type) {
  if (type.empty()) RaiseDocumentError(kSource, "the document has no type (\"DocTypeCode\")");
  db::StatementHandle q = application_->PrepareTsql("SELECT 1 FROM THDocType WHERE Code = ?");
  q->BindText(1, type);
  if (!q->Step()) RaiseDocumentError(kSource, "unknown document type \"" + type + "\"");
}

void THDocument::InitNew() {
  std::string type = TypeCode();
  CheckType(type);
  Blank();
  fields_->Item("DocTypeCode").SetValue(Variant(type));
  fields_->Item("DocumentDate").SetValue(Variant(Date::Today()));
  if (const NamedValue* currency = application_->Settings().Find("AccountCurrency")) {
    fields_->Item("CurrencyCode").SetValue(currency->Value());
  }
  fields_->Item("IsPosted").SetValue(Variant(int32_t{0}));
  fields_->Item("Number").SetValue(Variant(NextNumber()));
  add_fields_type_ = "\x01";  // force a rebuild with defaults
  SyncAddFields();
}

void THDocument::BeginInsert() {
  EnsureLayout();
  if (stored_idc_ != 0) {
    std::string type = TypeCode();
    Blank();
    fields_->Item("DocTypeCode").SetValue(type.empty() ? Variant::Null() : Variant(type));
    add_fields_type_ = "\x01";
    SyncAddFields();
  }
  inserting_ = true;
}

std::string THDocument::ComputeNextNumber(const std::string& type) {
  // The largest all-digit number of the type: compared by value, ties broken by width so
  // "0041" wins over "41" and keeps the width. Such numbers come first when the type has any.
  // A text is all digits when trimming every digit off its left leaves nothing.
  const std::string type_literal = db::Value(type).ToLiteral();
  db::StatementHandle q = application_->PrepareTsql(
      "SELECT TOP 1 d.Number FROM THDocument d WHERE d.DocTypeCode = " + type_literal +
      " AND d.Number <> '' AND LTRIM(d.Number, '0123456789') = '' ORDER BY "
      "LEN(LTRIM(d.Number, '0')) DESC, LTRIM(d.Number, '0') DESC, LEN(d.Number) DESC");
  if (q->Step()) {
    std::string number = q->GetText(0);
    if (AllDigits(number)) return Increment(number);
  }
  // Otherwise numbers written as the type code, '-' and digits ("MMO-000180") continue in the
  // same form; the digits are compared as above.
  const std::string prefix = type + "-";
  const std::string start = std::to_string(prefix.size() + 1);
  const std::string digits = "SUBSTRING(d.Number, " + start + ", 1000)";
  db::StatementHandle p = application_->PrepareTsql(
      "SELECT TOP 1 " + digits + " AS Digits FROM THDocument d WHERE d.DocTypeCode = " +
      type_literal + " AND LEFT(d.Number, " + std::to_string(prefix.size()) +
      ") = " + db::Value(prefix).ToLiteral() + " AND LEN(d.Number) > " +
      std::to_string(prefix.size()) + " AND LTRIM(" + digits + ", '0123456789') = '' ORDER BY " +
      "LEN(LTRIM(" + digits + ", '0')) DESC, LTRIM(" + digits + ", '0') DESC, LEN(d.Number) DESC");
  if (p->Step()) {
    std::string found = p->GetText(0);
    if (AllDigits(found)) return prefix + Increment(found);
  }
  return "1";
}

std::string THDocument::NextNumber() {
  std::string type = TypeCode();
  if (type.empty()) RaiseDocumentError(kSource, "NextNumber needs the document type");
  issued_number_ = ComputeNextNumber(type);
  return issued_number_;
}

void THDocument::WriteAddFields(const AddTable& table, int32_t idc, bool insert) {
  const TableLayout& layout = *table.layout;
  db::Connection& c = application_->Connection();
  const size_t n = layout.Columns().size();
  if (!insert) {
    // A type whose additional table holds nothing but the document's key has nothing to
    // update (its row was written with the document).
    if (n <= 1) return;
    db::StatementHandle u = application_->PrepareTsql(table.update_sql);
    for (size_t i = 1; i < n; ++i) {
      layout.Bind(*u, static_cast<int>(i), i, add_fields_->At(i - 1).Value());
    }
    u->Bind(static_cast<int>(n), db::Value(idc));
    u->Run();
    if (c.Changes() > 0) return;
  }
  db::StatementHandle s = application_->PrepareTsql(table.insert_sql);
  s->Bind(1, db::Value(idc));
  for (size_t i = 1; i < n; ++i) {
    layout.Bind(*s, static_cast<int>(i + 1), i, add_fields_->At(i - 1).Value());
  }
  s->Run();
}

int32_t THDocument::EndInsert() {
  EnsureLayout();
  if (!inserting_) RaiseDocumentError(kSource, "EndInsert without BeginInsert");
  std::string type = TypeCode();
  CheckType(type);
  SyncAddFields();
  const AddTable* add = AddTableOf(type);
  NamedValue& number = fields_->Item("Number");
  const Variant typed_number = number.Value();

  db::Connection& c = application_->Connection();
  int32_t idc = 0;
  try {
    WriteScope transaction(c);
    // Inside the write lock: a number handed out earlier may have been used by another writer.
    std::string current =
        typed_number.IsNull() || typed_number.IsEmpty() ? std::string() : CStr(typed_number);
    if (current.empty()) {
      number.SetValue(Variant(ComputeNextNumber(type)));
    } else if (current == issued_number_) {
      db::StatementHandle q = application_->PrepareTsql(
          "SELECT 1 FROM THDocument WHERE DocTypeCode = ? AND Number = ?");
      q->BindText(1, type);
      q->BindText(2, current);
      if (q->Step()) number.SetValue(Variant(ComputeNextNumber(type)));
    }
    const TableLayout& layout = *header_layout_;
    db::StatementHandle s = application_->PrepareTsql(layout.InsertSql(1));
    for (size_t i = 1; i < layout.Columns().size(); ++i) {
      layout.Bind(*s, static_cast<int>(i), i, fields_->At(i).Value());
    }
    s->Run();
    idc = static_cast<int32_t>(c.LastInsertId());
    if (add != nullptr) WriteAddFields(*add, idc, true);
    transaction.Commit();
  } catch (...) {
    number.SetValue(typed_number);
    throw;
  }
  fields_->Item("IDC").SetValue(Variant(idc));
  stored_idc_ = idc;
  stored_type_ = type;
  inserting_ = false;
  if (issued_number_ == CStr(number.Value())) issued_number_.clear();
  return idc;
}

bool THDocument::Update() {
  EnsureLayout();
  if (stored_idc_ == 0) return false;
  std::string type = TypeCode();
  if (type != stored_type_) {
    RaiseDocumentError(kSource, "document " + std::to_string(stored_idc_) + " is of type \"" +
                                    stored_type_ + "\"; its type cannot change to \"" + type +
                                    "\"");
  }
  SyncAddFields();
  db::Connection& c = application_->Connection();
  WriteScope transaction(c);
  // A change of posting or store moves the kept stock rests of the document's goods.
  StockFacts facts(*application_);
  const StockFacts::HeaderState before = facts.HeaderStateOf(stored_idc_);
  const TableLayout& layout = *header_layout_;
  db::StatementHandle s = application_->PrepareTsql(layout.UpdateSql(1, {"IDC"}));
  const size_t n = layout.Columns().size();
  for (size_t i = 1; i < n; ++i) layout.Bind(*s, static_cast<int>(i), i, fields_->At(i).Value());
  s->Bind(static_cast<int>(n), db::Value(stored_idc_));
  s->Run();
  if (c.Changes() == 0) return false;
  if (const AddTable* add = AddTableOf(type)) WriteAddFields(*add, stored_idc_, false);
  facts.RefreshHeader(stored_idc_, before);
  transaction.Commit();
  fields_->Item("IDC").SetValue(Variant(stored_idc_));
  return true;
}

bool THDocument::Load(int32_t idc) {
  EnsureLayout();
  if (idc <= 0) return false;
  const TableLayout& layout = *header_layout_;
  db::StatementHandle s = application_->PrepareTsql(layout.SelectSql({"IDC"}));
  s->Bind(1, db::Value(idc));
  if (!s->Step()) return false;
  for (size_t i = 0; i < layout.Columns().size(); ++i) {
    fields_->At(i).SetValue(layout.Read(*s, static_cast<int>(i), i));
  }
  s->Reset();
  stored_idc_ = idc;
  stored_type_ = TypeCode();
  inserting_ = false;
  add_fields_type_ = "\x01";
  SyncAddFields();
  if (const AddTable* add = AddTableOf(stored_type_)) {
    db::StatementHandle a = application_->PrepareTsql(add->select_sql);
    a->Bind(1, db::Value(idc));
    if (a->Step()) {
      for (size_t i = 1; i < add->layout->Columns().size(); ++i) {
        add_fields_->At(i - 1).SetValue(add->layout->Read(*a, static_cast<int>(i), i));
      }
    }
  }
  return true;
}

bool THDocument::FindWhere(std::string_view condition) {
  EnsureLayout();
  int32_t idc = FindFirstIdc(*application_, "THDocument", condition, "oTable.IDC");
  return idc != 0 && Load(idc);
}

bool THDocument::Unpost() {
  EnsureLayout();
  if (stored_idc_ == 0) return false;
  WriteScope transaction(application_->Connection());
  StockFacts facts(*application_);
  const StockFacts::HeaderState before = facts.HeaderStateOf(stored_idc_);
  if (application_->ExecuteTsql("UPDATE THDocument SET IsPosted = 0 WHERE IDC = ?",
                                {stored_idc_}) == 0) {
    return false;
  }
  facts.RefreshHeader(stored_idc_, before);
  transaction.Commit();
  fields_->Item("IsPosted").SetValue(Variant(int32_t{0}));
  return true;
}

bool THDocument::Delete(int32_t idc) {
  EnsureLayout();
  if (idc <= 0) return false;
  db::Connection& c = application_->Connection();
  // The schema cascades the delete to the document's additional fields, rows, the rows'
  // additional fields, parties, content links and fix-log links.
  // The receipts its rows consumed keep their consumption without those links.
  WriteScope transaction(c);
  StockFacts facts(*application_);
  const std::set<int64_t> consumed = facts.ConsumedByDocument(idc);
  // A posted stock document's rows leave the kept rests of its store and goods.
  const bool posted_stock = facts.IsPostedStock(idc);
  const std::set<StoreGoodKey> rests =
      posted_stock ? facts.RestKeysOfDocument(idc) : std::set<StoreGoodKey>{};
  // Its receipts leave the kept receipt totals.
  if (posted_stock) facts.MoveReceiptTotals(idc, -1);
  if (application_->ExecuteTsql("DELETE FROM THDocument WHERE IDC = ?", {idc}) == 0) return false;
  facts.Refresh(consumed);
  facts.RefreshRests(rests);
  transaction.Commit();
  if (idc == stored_idc_) {
    std::string type = TypeCode();
    Blank();
    fields_->Item("DocTypeCode").SetValue(type.empty() ? Variant::Null() : Variant(type));
    add_fields_type_ = "\x01";
    SyncAddFields();
  }
  return true;
}

}  // namespace qts::host
