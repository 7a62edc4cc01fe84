#include "dialogs/pack_fill.h"

#include <utility>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "dialogs/pack_declaration.h"
#include "frame/define_module.h"
#include "frame/module_functions.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/sql_tools.h"
#include "host/documents/th_good_spec.h"

namespace qts::dialogs {

using host::Kind;

namespace {

std::string CodeText(const Variant& v) { return v.IsNull() || v.IsEmpty() ? "" : CStr(v); }

}  // namespace

Variant PackNames::Lookup(Table& table, std::string_view name, const Variant& code) {
  if (!table.query) {
    table.query = book_->CreateQuery(name);
    table.query->Fields().KeepOnly({"Code", "Name"});
    table.query->Open();
    for (table.query->MoveFirst(); !table.query->Eof(); table.query->MoveNext()) {
      table.names[CodeText(table.query->Fields().Item("Code").Value())] =
          CodeText(table.query->Fields().Item("Name").Value());
    }
  }
  auto it = table.names.find(CodeText(code));
  return it == table.names.end() ? Variant::Null() : Variant(it->second);
}

CPackFill::CPackFill(host::AppContextPtr book, int32_t doc_id, host::QueryPtr declaration,
                     bool reusable)
    : book_(std::move(book)),
      doc_id_(doc_id),
      declaration_(std::move(declaration)),
      reusable_(reusable),
      names_(book_) {}

std::string CPackFill::Caption() { return frame::MessageText(frame::kMsgWaitText); }

int32_t CPackFill::CountStep() {
  declaration_->Open();
  declaration_->MoveFirst();
  return 1 + static_cast<int32_t>(declaration_->RecordCount());
}

void CPackFill::Step() {
  if (!deleted_) {
    DeleteRows();
    deleted_ = true;
    return;
  }
  WriteRow();
  declaration_->MoveNext();
}

void CPackFill::DeleteRows() {
  host::QueryPtr rows = book_->CreateQuery("THGoodSpec");
  rows->Fields().KeepOnly({"IDC"});
  rows->AddWhere(host::SqlTools::Instance()->ColumnCondition("oTable.DocID", Kind::kRowId,
                                                             host::kOpEqual, Variant(doc_id_)));
  rows->Open();
  std::vector<int32_t> ids;
  for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
    ids.push_back(CLng(rows->Fields().Item("IDC").Value()));
  }
  spec_ = std::make_shared<host::THGoodSpec>(book_);
  for (int32_t idc : ids) spec_->Delete(idc);
}

void CPackFill::WriteRow() {
  if (declaration_->Eof()) {
    throw Error(kErrComponent, "CPackFill::Step", "no declaration row left to write");
  }
  const host::NamedValueList& row = declaration_->Fields();
  const PackAmounts amounts = AmountsOf(row, reusable_);
  host::THGoodSpec& spec = *spec_;
  spec.AddNew();
  // The row takes the additional fields of its document's type once it names the document.
  spec.Fields().Item("DocID").SetValue(Variant(doc_id_));
  host::NamedValueList& f = spec.Fields();
  const Variant& quantity = row.Item("Amount").Value();
  const Variant& material = row.Item("PackMaterialKind").Value();
  const Variant& type = row.Item("PackType").Value();
  const Variant& unit = row.Item("UnitCode").Value();
  f.Item("PosNumb").SetValue(Variant(written_ + 1));
  f.Item("GoodCode").SetValue(row.Item("GoodCode").Value());
  f.Item("UnitCode").SetValue(unit);
  f.Item("Amount").SetValue(quantity);
  f.Item("AmountAccount").SetValue(quantity);
  f.Item("AddFld.PackMaterialKind").SetValue(material);
  f.Item("AddFld.PackType").SetValue(type);
  f.Item("AddFld.SaleManufactAmount").SetValue(Variant(amounts.sale_manufact));
  f.Item("AddFld.SaleImportAmount").SetValue(Variant(amounts.sale_import));
  f.Item("AddFld.ExportAmount").SetValue(Variant(amounts.export_amount));
  f.Item("AddFld.NotSaleAmount").SetValue(Variant(amounts.not_sale));
  f.Item("AddFld.UsedPackInSaleAmount").SetValue(Variant(amounts.used_in_sale));
  if (reusable_) f.Item("AddFld.ReturnAmount").SetValue(Variant(amounts.returned));
  f.Item("AddFld.PackMaterial").SetValue(names_.MaterialName(material));
  f.Item("AddFld.PackTypeName").SetValue(names_.TypeName(type));
  f.Item("AddFld.UnitName").SetValue(names_.UnitName(unit));
  if (!spec.Update()) {
    throw Error(kErrComponent, "CPackFill::Step",
                "document " + std::to_string(doc_id_) + " is not in the book");
  }
  ++written_;
}

}  // namespace qts::dialogs
