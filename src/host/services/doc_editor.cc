#include "host/services/doc_editor.h"

#include <fmt/format.h>

#include <string>

#include "core/convert.h"
#include "db/connection.h"
#include "host/data/app_context.h"
#include "host/documents/th_document.h"
#include "host/schema/schema.h"
#include "host/ui/operator.h"

namespace qts::host {
namespace {

constexpr std::string_view kSource = "DocEditor";

[[noreturn]] void Fail(std::string description) {
  throw Error(kErrDocEditor, std::string(kSource), std::move(description));
}

std::string Text(const Variant& v) { return v.IsNull() || v.IsEmpty() ? std::string() : CStr(v); }

std::string Number(double value, int places) { return fmt::format("{:.{}f}", value, places); }

FormControl Label(std::string name, std::string caption, Variant value) {
  return FormControl{std::move(name), ControlKind::kLabel, std::move(caption), std::move(value)};
}

// Text equality of two control values, Null and "" alike.
bool Same(const Variant& a, const Variant& b) {
  if (a.Type() == VarType::kDate || b.Type() == VarType::kDate) {
    if ((a.IsNull() || a.IsEmpty()) != (b.IsNull() || b.IsEmpty())) return false;
    if (a.IsNull() || a.IsEmpty()) return true;
    return CDate(a).ToIso() == CDate(b).ToIso();
  }
  return Text(a) == Text(b);
}

}  // namespace

FormDescription DocEditor::DescribeDocument(int32_t idc) {
  if (!book_) Fail("the document dialog has no book");
  auto doc_ptr = std::make_shared<THDocument>(book_);
  THDocument& doc = *doc_ptr;
  if (!doc.Load(idc)) Fail(fmt::format("the book has no document {}", idc));
  NamedValueList& f = doc.Fields();
  FormDescription form;
  form.name = "frmDocument";
  form.caption = Text(f.Item("DocTypeCode").Value()) + " " + Text(f.Item("Number").Value());
  form.controls.push_back(Label("lblType", "Tipas", f.Item("DocTypeCode").Value()));
  form.controls.push_back(Label("lblNumber", "Numeris", f.Item("Number").Value()));
  form.controls.push_back(Label("lblPosted", "Užregistruotas",
                                Variant(CLng(f.Item("IsPosted").Value()) != 0 ? "taip" : "ne")));
  form.controls.push_back(
      FormControl{"edName", ControlKind::kText, "Pavadinimas", f.Item("Name").Value()});
  form.controls.push_back(
      FormControl{"edDate", ControlKind::kDate, "Data", f.Item("DocumentDate").Value()});
  form.controls.push_back(FormControl{"cbStore", ControlKind::kCombo, "Sandėlis",
                                      Variant(Text(f.Item("StoreCode").Value()))});

  db::StatementHandle s = book_->PrepareTsql(
      "SELECT PosNumb, GoodCode, UnitCode, Amount, Price, Summa FROM THGoodSpec WHERE DocID = ?"
      " ORDER BY PosNumb");
  s->BindInt64(1, idc);
  while (s->Step()) {
    auto num = [&](int column) {
      return s->ColumnKind(column) == db::ValueKind::kNull ? 0.0
                                                           : s->GetCurrency(column).ToDouble();
    };
    auto text = [&](int column) {
      return s->ColumnKind(column) == db::ValueKind::kNull ? std::string() : s->GetText(column);
    };
    const int64_t pos = s->GetInt64(0);
    form.controls.push_back(
        Label(fmt::format("row{}", pos), fmt::format("Eil. {}", pos),
              Variant(fmt::format("{} {} {} x {} = {}", text(1), text(2), Number(num(3), 3),
                                  Number(num(4), 4), Number(num(5), 2)))));
  }
  return form;
}

bool DocEditor::Edit(int32_t idc) {
  FormDescription form = DescribeDocument(idc);
  const FormDescription shown = form;
  if (!CurrentOperator().RunModalForm(form)) return false;

  const Variant& name = form.At("edName").value;
  const Variant& date = form.At("edDate").value;
  const Variant& store = form.At("cbStore").value;
  if (Same(name, shown.At("edName").value) && Same(date, shown.At("edDate").value) &&
      Same(store, shown.At("cbStore").value)) {
    return true;
  }
  const std::string store_code = Text(store);
  if (!store_code.empty()) {
    db::StatementHandle s = book_->PrepareTsql("SELECT 1 FROM STStore WHERE Code = ?");
    s->BindText(1, store_code);
    if (!s->Step()) Fail(fmt::format("the book has no store \"{}\"", store_code));
  }
  if (date.IsNull() || date.IsEmpty()) Fail("a document needs a date");
  auto doc_ptr = std::make_shared<THDocument>(book_);
  THDocument& doc = *doc_ptr;
  if (!doc.Load(idc)) Fail(fmt::format("the book has no document {}", idc));
  NamedValueList& f = doc.Fields();
  const std::string name_text = Text(name);
  f.Item("Name").SetValue(name_text.empty() ? Variant::Null() : Variant(name_text));
  f.Item("DocumentDate").SetValue(Variant(CDate(date)));
  f.Item("StoreCode").SetValue(store_code.empty() ? Variant::Null() : Variant(store_code));
  if (!doc.Update()) Fail(fmt::format("document {} was not written", idc));
  return true;
}

}  // namespace qts::host
