#include "host/ui/dialog_menus.h"

#include "core/convert.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/report/report_document.h"
#include "host/ui/doc_spec.h"
#include "host/ui/message_box.h"
#include "host/ui/system_dialog.h"

namespace qts::host {

namespace {

// What ITHDoc.MenuForGoodProperty answers for material documents.
constexpr int32_t kMaterialMenu = 6;

std::string ShownText(const Variant& value) {
  if (value.IsNull() || value.IsEmpty() || value.IsObject()) return "";
  return CStr(value);
}

}  // namespace

// ---- UtilMenu ----

UtilMenu::UtilMenu(const std::shared_ptr<SystemDialog>& dialog) : dialog_(dialog) {}

void UtilMenu::Init(std::string_view button, const NamedValueListPtr& params,
                    const std::vector<Variant>& /*extra*/) {
  std::shared_ptr<SystemDialog> dialog = dialog_.lock();
  if (!dialog) throw Error(kErrSystemDialog, "UtilMenu", "the menu has no dialog");
  if (!params || !params->ExistsField("DocTypeCode")) {
    throw Error(kErrInvalidCall, "UtilMenu", "the menu's parameters name no DocTypeCode");
  }
  doc_type_ = ShownText(params->Item("DocTypeCode").Value());
  Control& control = dialog->Controls().Item(button);
  button_ = control.Name();
  click_ = control.Click.Connect([this](Control&) { Popup(); });
}

MenuRequest UtilMenu::Menu() const {
  MenuRequest menu;
  menu.owner = button_;
  menu.caption = "Ūkinė operacija";
  std::shared_ptr<SystemDialog> dialog = dialog_.lock();
  if (!dialog) return menu;
  QueryPtr q = dialog->Book()->CreateQuery("REFBusinessOperation");
  q->AddWhere(SqlTools::Instance()->Condition(q->Fields().Item("DocTypeCode"), kOpEqual,
                                              Variant(doc_type_)));
  q->Fields().KeepOnly({"Code", "Name"});
  q->OrderBy("Code");
  q->Open();
  for (; !q->Eof(); q->MoveNext()) {
    menu.items.push_back(
        {ShownText(q->Fields().Item("Code").Value()), ShownText(q->Fields().Item("Name").Value())});
  }
  return menu;
}

void UtilMenu::Popup() {
  MenuRequest menu = Menu();
  const int32_t index = CurrentOperator().ChooseMenu(menu);
  if (index < 0 || static_cast<size_t>(index) >= menu.items.size()) return;
  SetBOper.Raise(menu.items[static_cast<size_t>(index)].key);
}

// ---- GoodPropertyMenu ----

void GoodPropertyMenu::Init(const std::shared_ptr<SystemDialog>& dialog,
                            const std::shared_ptr<ITHDoc>& doc,
                            const std::shared_ptr<DocSpec>& spec) {
  dialog_ = dialog;
  doc_ = doc;
  spec_ = spec;
}

MenuRequest GoodPropertyMenu::Menu(std::string_view owner) const {
  MenuRequest menu;
  menu.owner = std::string(owner);
  menu.caption = "Partijos";
  const bool material = doc_ && doc_->MenuForGoodProperty() == kMaterialMenu;
  if (material) menu.items.push_back({std::string(kMenuFormLots), "Sudaryti eilučių partijas"});
  menu.items.push_back({std::string(kMenuShowLot), "Rodyti eilutės partiją"});
  if (material) menu.items.push_back({std::string(kMenuClearLot), "Išvalyti eilutės partiją"});
  return menu;
}

void GoodPropertyMenu::PopupAt(const Control& button) {
  if (!doc_) throw Error(kErrSystemDialog, "GoodPropertyMenu", "PopupAt before Init");
  MenuRequest menu = Menu(button.Name());
  const int32_t index = CurrentOperator().ChooseMenu(menu);
  if (index < 0) return;
  const std::string& key = menu.items[static_cast<size_t>(index)].key;
  std::shared_ptr<DocSpec> spec = spec_.lock();
  std::shared_ptr<ILotByTHDoc> lots = doc_->LotByDoc();
  if (key == kMenuFormLots) {
    lots->FormDocumentSpec(spec);
  } else {
    if (!spec || !spec->CurrentPos()) {
      throw Error(kErrDialogInput, button.Name(), "no row is chosen: choose one first (row POS)");
    }
    const int32_t pos = *spec->CurrentPos();
    NamedValueListPtr row = spec->RowFields(pos);
    const Variant lot = row ? row->Item("LotPropertyID").Value() : Variant();
    if (key == kMenuShowLot) {
      Variant id = lot;
      const Variant found =
          ShownText(id).empty() || CLng(id) == 0 ? Variant::Null() : lots->ReadLotProperty(id);
      std::string text = "Eilutė " + std::to_string(pos) + ": partijos nėra.";
      if (found.IsObject()) {
        auto fields = std::dynamic_pointer_cast<NamedValueList>(found.AsObject());
        if (fields) {
          text = "Eilutė " + std::to_string(pos) + ": partija " + ShownText(lot) + " \"" +
                 ShownText(fields->Item("Name").Value()) + "\", likutis " +
                 FormatValue(fields->Item("RestAccount").Value(), Kind::kQuantity) + ".";
        }
      }
      MessageBox::Show(0, text);
      return;
    }
    Variant position(pos);
    Variant none(int32_t{0});
    lots->WriteLotProperty(position, none);
  }
  if (std::shared_ptr<SystemDialog> dialog = dialog_.lock()) dialog->CountChange();
  if (spec) spec->Reload();
}

}  // namespace qts::host
