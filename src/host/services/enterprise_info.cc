#include "host/services/enterprise_info.h"

#include <optional>

#include "core/convert.h"
#include "core/error.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"

namespace qts::host {
namespace {

// The name of the unit of `code` in `table`, or nothing.
std::optional<std::string> UnitNameIn(AppContext& app, std::string_view table,
                                      std::string_view code) {
  QueryPtr q = app.CreateQuery(table);
  q->Fields().KeepOnly({"Name"});
  q->AddWhere(SqlTools::Instance()->ColumnCondition(q->Alias() + ".Code", Kind::kCode, kOpEqual,
                                                    Variant(code)));
  q->Open();
  if (q->Eof()) return std::nullopt;
  const Variant& name = q->Fields().Item("Name").Value();
  return name.IsNull() || name.IsEmpty() ? std::string() : CStr(name);
}

}  // namespace

void EnterpriseInfo::Init(AppContextPtr app) {
  if (!app || !app->IsOpen())
    throw Error(kErrInvalidCall, "EnterpriseInfo", "Init: no open book given");
  app_ = std::move(app);
  LoadUnit("");
}

bool EnterpriseInfo::LoadUnit(std::string_view code) {
  CheckInit();
  if (code.empty()) {
    kind_ = UnitKind::kEnterprise;
    unit_code_ = app_->Code();
    unit_name_ = Setting("EnterpriseName");
    return true;
  }
  unit_code_ = std::string(code);
  if (std::optional<std::string> name = UnitNameIn(*app_, "REFDepartment", code)) {
    kind_ = UnitKind::kDepartment;
    unit_name_ = *name;
    return true;
  }
  if (std::optional<std::string> name = UnitNameIn(*app_, "STStore", code)) {
    kind_ = UnitKind::kStore;
    unit_name_ = *name;
    return true;
  }
  kind_ = UnitKind::kNone;
  unit_name_.clear();
  return false;
}

std::string EnterpriseInfo::PlantCode() const { return Setting("PlantCode"); }
std::string EnterpriseInfo::VatCode() const { return Setting("VatCode"); }
std::string EnterpriseInfo::DirectorCode() const { return Setting("DirectorCode"); }

std::shared_ptr<EnterpriseContacts> EnterpriseInfo::Contacts() const {
  return std::make_shared<EnterpriseContacts>(Setting("Address"), Setting("Phone"), Setting("Fax"),
                                              Setting("Email"));
}

PersonInfoPtr EnterpriseInfo::Director() const {
  CheckInit();
  auto person = std::make_shared<PersonInfo>();
  person->Init(app_);
  (void)person->Load(DirectorCode());
  return person;
}

std::string EnterpriseInfo::Setting(std::string_view name) const {
  CheckInit();
  const NamedValue* entry = app_->Settings().Find(name);
  if (entry == nullptr || entry->Value().IsNull() || entry->Value().IsEmpty()) return {};
  return CStr(entry->Value());
}

void EnterpriseInfo::CheckInit() const {
  if (!app_) throw Error(kErrInvalidCall, "EnterpriseInfo", "used before Init");
}

}  // namespace qts::host
