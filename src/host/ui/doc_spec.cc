#include "host/ui/doc_spec.h"

#include <algorithm>
#include <cctype>

#include "core/convert.h"
#include "core/operators.h"
#include "core/text.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/data/sql_tools.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/report/report_document.h"
#include "host/services/doc_spec_service.h"
#include "host/services/good_entry.h"
#include "host/services/store_rest_source.h"
#include "host/ui/dialog_form.h"
#include "host/ui/spec_calculator.h"
#include "host/ui/system_dialog.h"

namespace qts::host {

namespace {

std::string Stripped(std::string_view text) { return std::string(StripAsciiWhitespace(text)); }

// The additional row fields the grid shows for a document type, with their captions and
// kinds; the type's other additional fields stay in the list, hidden.
struct KnownAddField {
  std::string_view type;
  std::string_view name;
  std::string_view caption;
  int32_t kind;
};
constexpr KnownAddField kKnownAddFields[] = {
    {"MMO", "AddFld.WriteOffPrice", "Nurašymo kaina", Code(Kind::kPrice)},
    {"MKO", "AddFld.WriteOffPrice", "Nurašymo kaina", Code(Kind::kPrice)},
    {"MFC", "AddFld.DirectCost", "Tiesioginės išlaidos", Code(Kind::kMoney)},
    {"PACK", "AddFld.PackMaterialKind", "Medžiaga", Code(Kind::kCode)},
    {"PACK", "AddFld.PackMaterial", "Medžiagos pavadinimas", Code(Kind::kName)},
    {"PACK", "AddFld.PackType", "Tipas", Code(Kind::kLongId)},
    {"PACK", "AddFld.PackTypeName", "Tipo pavadinimas", Code(Kind::kName)},
    {"PACK", "AddFld.UnitName", "Mat. vnt. pavadinimas", Code(Kind::kName)},
    {"PACK", "AddFld.SaleManufactAmount", "Parduota pagaminta, t", Code(Kind::kWeight)},
    {"PACK", "AddFld.SaleImportAmount", "Parduota įvežta, t", Code(Kind::kWeight)},
    {"PACK", "AddFld.ExportAmount", "Išvežta, t", Code(Kind::kWeight)},
    {"PACK", "AddFld.NotSaleAmount", "Neparduota, t", Code(Kind::kWeight)},
    {"PACK", "AddFld.UsedPackInSaleAmount", "Panaudota pakuotėms, t", Code(Kind::kWeight)},
    {"PACK", "AddFld.ReturnAmount", "Grąžinta, t", Code(Kind::kWeight)},
};

std::string ShownText(const Variant& value) {
  if (value.IsNull() || value.IsEmpty() || value.IsObject()) return "";
  return CStr(value);
}

bool IsNumericKind(int32_t kind) {
  return kind == Code(Kind::kMoney) || kind == Code(Kind::kQuantity) ||
         kind == Code(Kind::kPrice) || kind == Code(Kind::kWeight) || kind == Code(Kind::kLongId);
}

NamedValueListPtr CopyOf(const NamedValueList& list) {
  auto copy = std::make_shared<NamedValueList>();
  for (const NamedValuePtr& entry : list.Entries()) {
    copy->Add(entry->Name(), entry->Kind(), entry->Value());
  }
  return copy;
}

}  // namespace

// ---- DocSpecColumn ----

DocSpecColumn::DocSpecColumn(std::string key, std::string caption, int32_t kind, bool editable,
                             std::string list_field)
    : key_(std::move(key)),
      caption_(std::move(caption)),
      kind_(kind),
      editable_(editable),
      list_field_(list_field.empty() ? key_ : std::move(list_field)) {}

Variant DocSpecColumn::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  const bool put = kind == InvokeKind::kPropertyPut || kind == InvokeKind::kPropertyPutRef;
  if (put && args.empty()) {
    throw Error(kErrInvalidCall, "DocSpecColumn",
                "setting \"" + std::string(name) + "\" needs a value");
  }
  if (EqualsIgnoreCase(name, "Key") && !put) return Variant(key_);
  if (EqualsIgnoreCase(name, "Caption")) {
    if (!put) return Variant(caption_);
    caption_ = CStr(args.back());
    return Variant();
  }
  if (EqualsIgnoreCase(name, "Order")) {
    if (!put) return Variant(order_);
    order_ = CLng(args.back());
    return Variant();
  }
  auto flag = [&](bool& member) {
    if (!put) return Variant(member);
    member = CBool(args.back());
    return Variant();
  };
  if (EqualsIgnoreCase(name, "ColVisible")) return flag(visible_);
  if (EqualsIgnoreCase(name, "ColPrintVisible")) return flag(print_visible_);
  if (EqualsIgnoreCase(name, "ColTotals")) return flag(totals_);
  throw Error(kErrNoSuchMember, "DocSpecColumn", "no member \"" + std::string(name) + "\"");
}

bool DocSpecColumn::HasMember(std::string_view name) const {
  for (std::string_view member :
       {"Key", "Caption", "Order", "ColVisible", "ColPrintVisible", "ColTotals"}) {
    if (EqualsIgnoreCase(name, member)) return true;
  }
  return false;
}

// ---- DocSpecList ----

Variant DocSpecList::Invoke(std::string_view name, InvokeKind kind,
                            std::vector<Variant>& /*args*/) {
  if (kind == InvokeKind::kPropertyGet || kind == InvokeKind::kMethod) {
    if (EqualsIgnoreCase(name, "ListObject")) return Variant(shared_from_this());
    if (EqualsIgnoreCase(name, "Recordset")) {
      return rows_ ? Variant(std::static_pointer_cast<Object>(rows_)) : Variant::Nothing();
    }
  }
  throw Error(kErrNoSuchMember, "DocSpecList", "no member \"" + std::string(name) + "\"");
}

bool DocSpecList::HasMember(std::string_view name) const {
  return EqualsIgnoreCase(name, "ListObject") || EqualsIgnoreCase(name, "Recordset");
}

// ---- GoodLookUp ----

GoodLookUp::GoodLookUp(AppContextPtr book) : book_(std::move(book)) {}

std::vector<std::string> GoodLookUp::Search(std::string_view text, size_t limit) {
  const SqlTools& sql = *SqlTools::Instance();
  QueryPtr goods = book_->CreateQuery("REFGood");
  goods->Fields().KeepOnly({"Code", "Name"});
  goods->AddWhere("COALESCE(oTable.IsGroup, 0) = 0");
  const std::string pattern = "%" + Stripped(text) + "%";
  goods->AddWhere("(" + sql.ColumnCondition("oTable.Code", Kind::kCode, kOpLike, Variant(pattern)) +
                  " OR " +
                  sql.ColumnCondition("oTable.Name", Kind::kName, kOpLike, Variant(pattern)) + ")");
  QueryPtr unit = book_->CreateQuery("REFGoodUnit");
  unit->Fields().KeepOnly({});
  goods->LeftJoin(unit, "gu", "gu.GoodCode = oTable.Code AND gu.IsAccount = 1", kJoinLeftOuter);
  goods->Fields().AddColumn("UnitCode", Kind::kCode, "gu.UnitCode");
  goods->OrderBy("Code");
  goods->SetTop(static_cast<int32_t>(limit));
  goods->Open();
  std::vector<std::pair<std::string, std::string>> found;
  std::vector<Variant> codes;
  for (; !goods->Eof(); goods->MoveNext()) {
    const std::string code = ShownText(goods->Fields().Item("Code").Value());
    found.emplace_back(code, ShownText(goods->Fields().Item("Name").Value()) + "  " +
                                 ShownText(goods->Fields().Item("UnitCode").Value()));
    codes.emplace_back(code);
  }
  std::map<std::string, std::string> rests;
  if (!store_code_.empty() && !codes.empty()) {
    QueryPtr rest = StoreRestSource().RestOnDate(book_, Date::Today(), true);
    rest->AddWhere(sql.Condition(rest->Fields().Item("StoreCode"), kOpEqual, Variant(store_code_)));
    rest->AddWhere(sql.Condition(rest->Fields().Item("GoodCode"), kOpInList,
                                 Variant(sql.ValueList(Kind::kCode, codes))));
    rest->Open();
    for (; !rest->Eof(); rest->MoveNext()) {
      rests[ShownText(rest->Fields().Item("GoodCode").Value())] =
          FormatValue(rest->Fields().Item("Rest").Value(), Kind::kQuantity);
    }
  }
  std::vector<std::string> lines;
  for (const auto& [code, rest_of_line] : found) {
    std::string line = code + "  " + rest_of_line;
    if (!store_code_.empty()) {
      auto it = rests.find(code);
      line += "  likutis " + store_code_ + ": " + (it == rests.end() ? "0" : it->second);
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

// ---- DocSpec ----

DocSpec::DocSpec() : list_(std::make_shared<DocSpecList>()) {}

DocSpec::~DocSpec() = default;

void DocSpec::Init(const std::shared_ptr<IDialogForm>& form, AppContextPtr app) {
  form_ = form;
  book_ = std::move(app);
}

void DocSpec::Attach(Control& grid, THDocumentPtr doc, const std::shared_ptr<IDialogForm>& form,
                     const std::shared_ptr<SystemDialog>& dialog, Control* delete_button) {
  if (grid.Type() != ControlType::kGrid) {
    throw Error(kErrInvalidCall, "DocSpec", "\"" + grid.Name() + "\" is not a grid");
  }
  grid_ = &grid;
  doc_ = std::move(doc);
  if (form) form_ = form;
  dialog_ = dialog;
  if (!book_ && doc_) book_ = doc_->Application();
  spec_ = std::make_shared<THGoodSpec>(book_);
  lookup_ = std::make_shared<GoodLookUp>(book_);
  if (delete_button) {
    delete_click_ = delete_button->Click.Connect([this](Control&) { DeleteCurrentRow(); });
  }
  if (dialog) dialog->AttachSpec(std::dynamic_pointer_cast<DocSpec>(shared_from_this()));
}

void DocSpec::Refuse(const std::string& description) const {
  throw Error(kErrDialogInput, grid_ ? grid_->Name() : std::string("DocSpec"), description);
}

void DocSpec::RequireAttached(std::string_view what) const {
  if (!grid_ || !doc_) {
    throw Error(kErrInvalidCall, "DocSpec", std::string(what) + " before Attach");
  }
}

void DocSpec::AddColumn(std::string key, std::string caption, int32_t kind, bool editable,
                        std::string list_field) {
  auto column = std::make_shared<DocSpecColumn>(std::move(key), std::move(caption), kind, editable,
                                                std::move(list_field));
  column->SetOrder(static_cast<int32_t>(columns_.size() + 1) * 10);
  column->SetColTotals(kind == Code(Kind::kMoney));
  columns_.push_back(std::move(column));
}

void DocSpec::SetKind(std::string_view kind) {
  RequireAttached("SetKind");
  if (kind != "SC") {
    throw Error(kErrInvalidCall, "DocSpec", "unknown grid kind \"" + std::string(kind) + "\"");
  }
  kind_ = std::string(kind);
  columns_.clear();
  AddColumn("PosNumb", "Eil. Nr.", Code(Kind::kLongId), false);
  AddColumn("GoodCode", "Prekės kodas", Code(Kind::kCode), true);
  AddColumn("Name", "Pavadinimas", Code(Kind::kName), false, "GoodName");
  AddColumn("Amount", "Kiekis", Code(Kind::kQuantity), true);
  AddColumn("UnitCode", "Mat. vnt.", Code(Kind::kCode), true);
  AddColumn("AmountAccount", "Apskaitos kiekis", Code(Kind::kQuantity), false);
  AddColumn("Price", "Kaina", Code(Kind::kPrice), true);
  AddColumn("Summa", "Suma", Code(Kind::kMoney), true);
  AddColumn("AlgebraicSum", "Algebrinė suma", Code(Kind::kMoney), false);
  AddColumn("PriceNational", "Kaina nac. valiuta", Code(Kind::kPrice), false);
  AddColumn("CostSumm", "Savikaina", Code(Kind::kMoney), false);
  AddColumn("BOperCode", "Ūkinė operacija", Code(Kind::kCode), true);
  AddColumn("LotPropertyID", "Partija", Code(Kind::kLongId), true);
  AddColumn("IsGoodClosed", "Prekės uždarytos", Code(Kind::kFlag), false);
  AddColumn("IsTranClosed", "Transportas uždarytas", Code(Kind::kFlag), false);
  AddColumn("IsPayClosed", "Apmokėjimas uždarytas", Code(Kind::kFlag), false);
  AddColumn("IsFixed", "Nurašyta", Code(Kind::kFlag), false);
  // The additional row fields of the document's type, as the list carries them.
  const std::string type = ShownText(doc_->Fields().Item("DocTypeCode").Value());
  DocSpecService service;
  service.Init(book_);
  RecordsetPtr shape = service.SpecList(0, type, "", true, false);
  for (size_t i = 0; i < shape->Fields().Count(); ++i) {
    const std::string name = shape->Fields().Item(i).Name();
    if (name.rfind("AddFld.", 0) != 0) continue;
    std::string caption = name.substr(7);
    int32_t field_kind = Code(Kind::kText);
    bool known_field = false;
    for (const KnownAddField& known : kKnownAddFields) {
      if (known.type == type && known.name == name) {
        caption = std::string(known.caption);
        field_kind = known.kind;
        known_field = true;
      }
    }
    AddColumn(name, caption, field_kind, true);
    // Fields the grid has no caption for belong to other uses of the type's rows (the
    // operation fields of a filled document): in the list, not on the screen.
    if (!known_field) {
      columns_.back()->SetColVisible(false);
      columns_.back()->SetColPrintVisible(false);
    }
  }
  // The form's lists, then each column announced (a listener may change it).
  std::vector<std::string> hidden;
  std::vector<std::string> order;
  if (std::shared_ptr<IDialogForm> form = form_.lock()) {
    hidden = form->HideColumnList();
    order = form->OrderColumnList();
  }
  for (const std::string& key : hidden) {
    if (DocSpecColumn* column = Column(key)) {
      column->SetColVisible(false);
      column->SetColPrintVisible(false);
    }
  }
  if (!order.empty()) {
    int32_t next = 1;
    for (const std::string& key : order) {
      if (DocSpecColumn* column = Column(key)) column->SetOrder(next++);
    }
    for (const DocSpecColumnPtr& column : columns_) {
      if (std::find(order.begin(), order.end(), column->Key()) == order.end()) {
        column->SetOrder(next++);
      }
    }
  }
  for (const DocSpecColumnPtr& column : columns_) OnAddColumn.Raise(*column);
}

std::vector<DocSpecColumnPtr> DocSpec::Columns() const {
  std::vector<DocSpecColumnPtr> sorted = columns_;
  std::stable_sort(
      sorted.begin(), sorted.end(),
      [](const DocSpecColumnPtr& a, const DocSpecColumnPtr& b) { return a->Order() < b->Order(); });
  return sorted;
}

DocSpecColumn* DocSpec::Column(std::string_view key) {
  for (const DocSpecColumnPtr& column : columns_) {
    if (EqualsIgnoreCase(column->Key(), key)) return column.get();
  }
  return nullptr;
}

int32_t DocSpec::DocId() const {
  const Variant& idc = doc_->Fields().Item("IDC").Value();
  return idc.IsNull() || idc.IsEmpty() ? 0 : CLng(idc);
}

GoodEntry& DocSpec::Goods() const {
  if (!goods_) {
    goods_ = std::make_shared<GoodEntry>();
    goods_->Init(book_);
  }
  return *goods_;
}

void DocSpec::Reload() {
  RequireAttached("Reload");
  const int32_t doc_id = DocId();
  const std::string type = ShownText(doc_->Fields().Item("DocTypeCode").Value());
  DocSpecService service;
  service.Init(book_);
  rows_ = service.SpecList(doc_id, type, "", true, false);
  loaded_doc_id_ = doc_id;
  idc_by_pos_.clear();
  const size_t pos_column = *rows_->Fields().Find("PosNumb");
  const size_t idc_column = *rows_->Fields().Find("IDC");
  if (rows_->RecordCount() > 0) {
    for (rows_->MoveFirst(); !rows_->Eof(); rows_->MoveNext()) {
      idc_by_pos_[CLng(rows_->Value(pos_column))] = CLng(rows_->Value(idc_column));
    }
    rows_->MoveFirst();
  }
  if (current_pos_ && !idc_by_pos_.count(*current_pos_)) current_pos_.reset();
  list_->SetRecordset(rows_);
  Reloaded.Raise();
}

bool DocSpec::IsCurrent() const { return rows_ && doc_ && loaded_doc_id_ == DocId(); }

long DocSpec::RowCount() const { return rows_ ? rows_->RecordCount() : 0; }

const RecordsetPtr& DocSpec::Rows() const { return rows_; }

Currency DocSpec::Total(std::string_view key) const {
  Currency total;
  if (!rows_ || rows_->RecordCount() == 0) return total;
  std::string field(key);
  for (const DocSpecColumnPtr& column : columns_) {
    if (EqualsIgnoreCase(column->Key(), key)) field = column->ListField();
  }
  const std::optional<size_t> index = rows_->Fields().Find(field);
  if (!index) return total;
  RecordsetPtr rows = rows_->Clone();
  for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
    const Variant& value = rows->Value(*index);
    if (!value.IsNull() && !value.IsEmpty()) total += CCur(value);
  }
  return total;
}

bool DocSpec::ReadOnly(std::string* reason) const {
  if (!doc_ || lock_field_.empty()) return false;
  const Variant& lock = doc_->Fields().Item(lock_field_).Value();
  if (lock.IsNull() || lock.IsEmpty() || !IsTrue(Ne(lock, Variant(int32_t{0})))) return false;
  if (reason) {
    *reason = lock_field_ == "IsPosted" ? "dokumentas patvirtintas"
                                        : "dokumento " + lock_field_ + " nustatytas";
  }
  return true;
}

void DocSpec::RequireWritable(std::string_view what) const {
  std::string reason;
  if (ReadOnly(&reason)) {
    Refuse("the rows cannot be changed (" + std::string(what) + ") while the document's " +
           lock_field_ + " is set (" + reason + ")");
  }
}

int32_t DocSpec::ParsePos(std::string_view row) const {
  const std::string text = Stripped(row);
  if (text.empty() || text.size() > 9 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    Refuse("\"" + text + "\" is not a row: give its position number or new");
  }
  const int32_t pos = std::stoi(text);
  if (!idc_by_pos_.count(pos)) {
    Refuse("the document has no row at position " + text);
  }
  return pos;
}

int32_t DocSpec::IdcOfPos(int32_t pos) const { return idc_by_pos_.at(pos); }

DocSpecColumn& DocSpec::EditableColumn(std::string_view key) {
  DocSpecColumn* column = Column(key);
  if (!column) {
    std::string known;
    for (const DocSpecColumnPtr& c : Columns()) {
      if (c->ColVisible() && c->Editable()) known += (known.empty() ? "" : ", ") + c->Key();
    }
    Refuse("the grid has no column \"" + std::string(key) + "\" (editable: " + known + ")");
  }
  if (!column->ColVisible()) Refuse("the column " + column->Key() + " is hidden on this form");
  if (!column->Editable()) {
    Refuse("the column " + column->Key() + " is computed and cannot be edited");
  }
  return *column;
}

Variant DocSpec::ParseValue(const DocSpecColumn& column, std::string_view text) const {
  const std::string value = Stripped(text);
  const int32_t kind = column.Kind();
  if (kind == Code(Kind::kQuantity) || kind == Code(Kind::kMoney) || kind == Code(Kind::kPrice) ||
      kind == Code(Kind::kWeight)) {
    std::string normal = value;
    std::replace(normal.begin(), normal.end(), ',', '.');
    std::optional<Currency> number;
    try {
      number = Currency::Parse(normal);
    } catch (const Error& e) {
      if (e.Number() != kErrOverflow) throw;
      Refuse(column.Key() + " expects at most 922337203685477.5807, not \"" + value + "\"");
    }
    const bool positive = kind == Code(Kind::kQuantity);
    if (!number || (positive ? *number <= Currency() : *number < Currency())) {
      Refuse(column.Key() + " expects " +
             (positive ? "a quantity greater than 0" : "an amount not below 0") + ", not \"" +
             value + "\"");
    }
    return Variant(*number);
  }
  if (kind == Code(Kind::kLongId)) {
    if (value.empty()) return Variant(int32_t{0});
    if (value.size() > 9 ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      Refuse(column.Key() + " expects a whole number, not \"" + value + "\"");
    }
    return Variant(static_cast<int32_t>(std::stol(value)));
  }
  if (value.empty()) {
    if (column.Key() == "GoodCode" || column.Key() == "UnitCode") {
      Refuse(column.Key() + " cannot be empty");
    }
    return Variant::Null();
  }
  return Variant(value);
}

void DocSpec::CheckGood(const std::string& code, int32_t pos) {
  Variant arg(pos);
  BeforeShowGoodLookUp.Raise(*lookup_, arg);
  GoodEntry& goods = Goods();
  if (!goods.Load(code)) Refuse("GoodCode: the book has no good \"" + code + "\"");
  if (goods.IsGroup()) Refuse("GoodCode: \"" + code + "\" is a group of goods, not a good");
}

void DocSpec::CheckUnit(const std::string& good, const std::string& unit) const {
  GoodEntry& goods = Goods();
  if (!goods.Load(good) || !goods.UnitRate(unit)) {
    Refuse("UnitCode: the good \"" + good + "\" is not counted in \"" + unit + "\"");
  }
}

void DocSpec::Select(std::string_view row) {
  RequireAttached("Select");
  current_pos_ = ParsePos(row);
}

void DocSpec::EditCell(std::string_view row, std::string_view column_key, std::string_view text) {
  RequireAttached("EditCell");
  DocSpecColumn& column = EditableColumn(column_key);
  RequireWritable("edit " + column.Key());
  const Variant value = ParseValue(column, text);
  if (EqualsIgnoreCase(Stripped(row), "new")) {
    EditNewLine(column, value);
    return;
  }
  WriteCell(ParsePos(row), column, value);
}

void DocSpec::EditNewLine(DocSpecColumn& column, const Variant& value) {
  if (column.Key() == "GoodCode") CheckGood(CStr(value), 0);
  auto it = std::find_if(new_line_.begin(), new_line_.end(),
                         [&](const auto& entry) { return entry.first == column.Key(); });
  if (it != new_line_.end()) {
    it->second = value;
  } else {
    new_line_.emplace_back(column.Key(), value);
  }
  auto has = [&](std::string_view key) {
    return std::any_of(new_line_.begin(), new_line_.end(),
                       [&](const auto& entry) { return entry.first == key; });
  };
  if (has("GoodCode") && has("Amount")) InsertNewLine();
}

void DocSpec::InsertNewLine() {
  auto value_of = [&](std::string_view key) -> Variant {
    for (const auto& [name, value] : new_line_) {
      if (name == key) return value;
    }
    return Variant();
  };
  const std::string good = CStr(value_of("GoodCode"));
  std::string unit = ShownText(value_of("UnitCode"));
  if (unit.empty()) {
    Goods().Load(good);
    unit = Goods().AccountUnit();
    if (unit.empty())
      Refuse("UnitCode: the good \"" + good + "\" has no accounting unit; give one");
  }
  CheckUnit(good, unit);
  std::shared_ptr<SystemDialog> dialog = dialog_.lock();
  if (!dialog) throw Error(kErrInvalidCall, "DocSpec", "the grid has no dialog");
  dialog->BeginEdits();
  dialog->StoreForRows();

  auto row = std::make_shared<NamedValueList>();
  row->Add("GoodCode", Kind::kCode, Variant(good));
  row->Add("UnitCode", Kind::kCode, Variant(unit));
  row->Add("Amount", Kind::kQuantity, value_of("Amount"));
  row->Add("AmountAccount", Kind::kQuantity, Variant(Currency()));
  int32_t idc = 0;
  std::shared_ptr<ITHDoc> handler = handler_.lock();
  if (handler) idc = handler->InsertSpecRec(row);
  if (idc == 0) {
    // The handler inserts nothing: the grid writes the row at the next position.
    spec_->AddNew();
    NamedValueList& f = spec_->Fields();
    f.Item("DocID").SetValue(Variant(DocId()));
    f.Item("PosNumb").SetValue(Variant(spec_->NextPosNumb()));
    f.Item("GoodCode").SetValue(Variant(good));
    f.Item("UnitCode").SetValue(Variant(unit));
    f.Item("Amount").SetValue(value_of("Amount"));
    f.Item("AmountAccount").SetValue(Variant(Currency()));
    if (handler && !handler->DefaultBoper().empty()) {
      f.Item("BOperCode").SetValue(Variant(handler->DefaultBoper()));
    }
    spec_->Update();
    idc = CLng(f.Item("IDC").Value());
  }
  std::vector<std::pair<std::string, Variant>> rest;
  for (auto& entry : new_line_) {
    if (entry.first != "GoodCode" && entry.first != "UnitCode" && entry.first != "Amount") {
      rest.push_back(entry);
    }
  }
  new_line_.clear();
  dialog->CountChange();
  Reload();
  for (const auto& [pos, row_idc] : idc_by_pos_) {
    if (row_idc == idc) current_pos_ = pos;
  }
  // What else the line had (a price, an operation) goes into the row as edits of it.
  for (const auto& [key, value] : rest) {
    if (current_pos_) WriteCell(*current_pos_, *Column(key), value);
  }
}

void DocSpec::WriteCell(int32_t pos, DocSpecColumn& column, const Variant& value) {
  const int32_t idc = IdcOfPos(pos);
  std::shared_ptr<SystemDialog> dialog = dialog_.lock();
  if (!dialog) throw Error(kErrInvalidCall, "DocSpec", "the grid has no dialog");
  if (!spec_->MoveToID(idc)) Refuse("the row at position " + std::to_string(pos) + " is gone");
  NamedValueListPtr row = CopyOf(spec_->Fields());
  const std::string& key = column.Key();
  if (key == "GoodCode") {
    CheckGood(CStr(value), pos);
    // A unit the new good is not counted in gives way to its accounting unit.
    const std::string unit = ShownText(row->Item("UnitCode").Value());
    if (!Goods().UnitRate(unit)) row->Item("UnitCode").SetValue(Variant(Goods().AccountUnit()));
  }
  if (key == "UnitCode") CheckUnit(ShownText(row->Item("GoodCode").Value()), CStr(value));
  if (key == "BOperCode" && !value.IsNull()) {
    QueryPtr q = book_->CreateQuery("REFBusinessOperation");
    q->AddWhere(SqlTools::Instance()->Condition(q->Fields().Item("Code"), kOpEqual, value));
    q->Open();
    if (q->RecordCount() == 0)
      Refuse("BOperCode: the book has no business operation \"" + CStr(value) + "\"");
  }
  if (key == "LotPropertyID" && CLng(value) != 0) {
    QueryPtr q = book_->CreateQuery("STLotProperty");
    q->AddWhere(SqlTools::Instance()->Condition(q->Fields().Item("IDC"), kOpEqual, value));
    q->Open();
    if (q->RecordCount() == 0) Refuse("LotPropertyID: the book has no lot " + CStr(value));
  }
  dialog->BeginEdits();
  row->Item(key).SetValue(value);
  if (key == "Amount" || key == "UnitCode" || key == "GoodCode") {
    row->Item("AmountAccount").SetValue(Variant(Currency()));  // the host recomputes it
  }
  if (std::shared_ptr<SpecCalculator> calculator = calculator_.lock();
      calculator && calculator->IsTrigger(key)) {
    calculator->Calculate(row, key);
  }
  AfterChangeColValue.Raise(key, *row);
  NamedValueList& fields = spec_->Fields();
  for (const NamedValuePtr& entry : row->Entries()) {
    if (NamedValue* target = fields.Find(entry->Name())) target->SetValue(entry->Value());
  }
  spec_->UpdateByID(idc);
  dialog->CountChange();
  Reload();
  current_pos_ = pos;
}

NamedValueListPtr DocSpec::RowFields(int32_t pos) {
  auto it = idc_by_pos_.find(pos);
  if (it == idc_by_pos_.end() || !spec_->MoveToID(it->second)) return nullptr;
  return CopyOf(spec_->Fields());
}

void DocSpec::DeleteCurrentRow() {
  RequireAttached("DeleteCurrentRow");
  if (!current_pos_) Refuse("no row is chosen: choose one first (row POS)");
  RequireWritable("delete a row");
  const int32_t pos = *current_pos_;
  NamedValueListPtr row = RowFields(pos);
  if (!row) Refuse("the row at position " + std::to_string(pos) + " is gone");
  Variant arg(pos);
  bool allowed = true;
  OnDelete.Raise(row, arg, allowed);
  if (!allowed) Refuse("the row at position " + std::to_string(pos) + " may not be deleted");
  std::shared_ptr<SystemDialog> dialog = dialog_.lock();
  if (!dialog) throw Error(kErrInvalidCall, "DocSpec", "the grid has no dialog");
  dialog->BeginEdits();
  spec_->Delete(IdcOfPos(pos));
  dialog->CountChange();
  Reload();
  current_pos_.reset();
  auto next = idc_by_pos_.upper_bound(pos);
  if (next != idc_by_pos_.end()) {
    current_pos_ = next->first;
  } else if (!idc_by_pos_.empty()) {
    current_pos_ = idc_by_pos_.rbegin()->first;
  }
}

std::vector<std::string> DocSpec::FindGoods(std::string_view text) {
  RequireAttached("FindGoods");
  Variant arg(int32_t{0});
  BeforeShowGoodLookUp.Raise(*lookup_, arg);
  return lookup_->Search(text);
}

std::shared_ptr<DocSpecList> DocSpec::BaseList() {
  if (!rows_ && grid_ && doc_) Reload();
  return list_;
}

DialogGrid DocSpec::View() const {
  DialogGrid grid;
  grid.name = grid_ ? grid_->Name() : "SpecGrid";
  grid.read_only = ReadOnly(&grid.read_only_reason);
  std::vector<std::pair<DocSpecColumnPtr, std::optional<size_t>>> shown;
  for (const DocSpecColumnPtr& column : Columns()) {
    if (!column->ColVisible()) continue;
    shown.emplace_back(column, rows_ ? rows_->Fields().Find(column->ListField()) : std::nullopt);
    grid.columns.push_back(
        {column->Key(), column->Caption(), IsNumericKind(column->Kind()), column->Editable()});
  }
  for (const auto& [column, index] : shown) {
    grid.totals.push_back(column->ColTotals()
                              ? FormatValue(Variant(Total(column->Key())), column->Kind())
                              : std::string());
  }
  if (!rows_ || rows_->RecordCount() == 0) return grid;
  RecordsetPtr rows = rows_->Clone();
  const std::optional<size_t> pos_index = rows->Fields().Find("PosNumb");
  for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
    std::vector<std::string> cells;
    cells.reserve(shown.size());
    for (const auto& [column, index] : shown) {
      cells.push_back(index ? FormatValue(rows->Value(*index), column->Kind()) : std::string());
    }
    if (pos_index && current_pos_ && CLng(rows->Value(*pos_index)) == *current_pos_) {
      grid.current_row = static_cast<int32_t>(grid.rows.size());
    }
    grid.positions.push_back(pos_index ? CLng(rows->Value(*pos_index))
                                       : static_cast<int32_t>(grid.rows.size()) + 1);
    grid.rows.push_back(std::move(cells));
  }
  return grid;
}

Variant DocSpec::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& /*args*/) {
  if (kind == InvokeKind::kPropertyGet || kind == InvokeKind::kMethod) {
    if (EqualsIgnoreCase(name, "BaseList"))
      return Variant(std::static_pointer_cast<Object>(BaseList()));
    if (EqualsIgnoreCase(name, "Kind")) return Variant(kind_);
    if (EqualsIgnoreCase(name, "RowCount")) return Variant(static_cast<int32_t>(RowCount()));
    if (EqualsIgnoreCase(name, "Refresh")) {
      Reload();
      return Variant();
    }
  }
  throw Error(kErrNoSuchMember, "DocSpec", "no member \"" + std::string(name) + "\"");
}

bool DocSpec::HasMember(std::string_view name) const {
  for (std::string_view member : {"BaseList", "Kind", "RowCount", "Refresh"}) {
    if (EqualsIgnoreCase(name, member)) return true;
  }
  return false;
}

}  // namespace qts::host
