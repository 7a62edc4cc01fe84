#include "host/documents/th_good_spec_fix_log.h"

#include <string>
#include <utility>

#include "core/convert.h"
#include "host/data/app_context.h"
#include "host/documents/stock_facts.h"

namespace qts::host {
namespace {

constexpr std::string_view kSource = "THGoodSpecFixLog";

}  // namespace

THGoodSpecFixLog::THGoodSpecFixLog(AppContextPtr application)
    : application_(std::move(application)), fields_(std::make_shared<NamedValueList>()) {}

THGoodSpecFixLog::~THGoodSpecFixLog() = default;

void THGoodSpecFixLog::EnsureLayout() {
  if (layout_) return;
  if (!application_) RaiseDocumentError(kSource, "the links belong to no book");
  layout_ =
      TableLayout::Create(application_->Catalogue(), "THGoodSpecFixLog", std::string(kSource));
  if (!layout_) RaiseDocumentError(kSource, "the book has no table THGoodSpecFixLog");
  fields_->Clear();
  layout_->AddEntries(*fields_);
  fields_->Item("IDC").SetValue(Variant(int32_t{0}));
}

NamedValueList& THGoodSpecFixLog::Fields() {
  EnsureLayout();
  return *fields_;
}

void THGoodSpecFixLog::AddNew() {
  EnsureLayout();
  const auto& columns = layout_->Columns();
  for (size_t i = 0; i < columns.size(); ++i) fields_->At(i).SetValue(columns[i].blank);
  fields_->At(0).SetValue(Variant(int32_t{0}));
  adding_ = true;
}

void THGoodSpecFixLog::Update() {
  EnsureLayout();
  if (!adding_) RaiseDocumentError(kSource, "Update writes a new link: call AddNew first");
  for (const char* key : {"OutcomeSpecID", "IncomeSpecID"}) {
    const Variant& v = fields_->Item(key).Value();
    if (v.IsNull() || v.IsEmpty() || CLng(v) == 0) {
      RaiseDocumentError(kSource, std::string("the new link needs \"") + key + "\"");
    }
  }
  db::Connection& c = application_->Connection();
  if (insert_sql_.empty()) insert_sql_ = layout_->InsertSql(1);
  db::Statement& s = HeldStatement(*application_, insert_, insert_sql_);
  ResetOnExit done(s);
  for (size_t i = 1; i < layout_->Columns().size(); ++i) {
    layout_->Bind(s, static_cast<int>(i), i, fields_->At(i).Value());
  }
  // The link and the kept consumption of its receipt row change together; inside a caller's
  // transaction a failed refresh takes the new link out again rather than set a savepoint per
  // link.
  WriteScope transaction(c, WriteScope::Nested::kUndoActions);
  s.Run();
  const int64_t idc = c.LastInsertId();
  transaction.OnRollback([this, idc] {
    application_->ExecuteTsql("DELETE FROM THGoodSpecFixLog WHERE IDC = ?", {idc});
  });
  const Variant& amount = fields_->Item("Amount").Value();
  StockFacts(*application_)
      .AddConsumed(CLng(fields_->Item("IncomeSpecID").Value()),
                   amount.IsNull() || amount.IsEmpty() ? std::nullopt
                                                       : std::optional<Currency>(CCur(amount)));
  transaction.Commit();
  fields_->At(0).SetValue(Variant(static_cast<int32_t>(idc)));
  adding_ = false;
}

bool THGoodSpecFixLog::MoveToID(int32_t idc) {
  EnsureLayout();
  if (idc <= 0) return false;
  if (select_sql_.empty()) select_sql_ = layout_->SelectSql({"IDC"});
  db::Statement& s = HeldStatement(*application_, select_, select_sql_);
  ResetOnExit done(s);
  s.Bind(1, db::Value(idc));
  if (!s.Step()) return false;
  for (size_t i = 0; i < layout_->Columns().size(); ++i) {
    fields_->At(i).SetValue(layout_->Read(s, static_cast<int>(i), i));
  }
  adding_ = false;
  return true;
}

bool THGoodSpecFixLog::Find(std::string_view condition) {
  EnsureLayout();
  const int32_t idc = FindFirstIdc(*application_, "THGoodSpecFixLog", condition, "oTable.IDC");
  return idc != 0 && MoveToID(idc);
}

bool THGoodSpecFixLog::Delete(int32_t idc) {
  EnsureLayout();
  if (idc <= 0) return false;
  db::Connection& c = application_->Connection();
  if (remove_sql_.empty()) remove_sql_ = "DELETE FROM " + layout_->Table() + " WHERE IDC = ?";
  int64_t receipt = 0;
  {
    db::StatementHandle find =
        application_->PrepareTsql("SELECT IncomeSpecID FROM THGoodSpecFixLog WHERE IDC = ?");
    find->BindInt64(1, idc);
    if (!find->Step()) return false;
    receipt = find->GetInt64(0);
  }
  WriteScope transaction(c);
  {
    db::Statement& s = HeldStatement(*application_, remove_, remove_sql_);
    ResetOnExit done(s);
    s.Bind(1, db::Value(idc));
    s.Run();
  }
  if (c.Changes() == 0) return false;
  StockFacts(*application_).Refresh({receipt});
  transaction.Commit();
  if (CLng(fields_->At(0).Value()) == idc) {
    AddNew();
    adding_ = false;
  }
  return true;
}

}  // namespace qts::host
