#include "host/services/person_info.h"

#include "core/convert.h"
#include "core/error.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"

namespace qts::host {
namespace {

std::string Text(const NamedValueList& row, std::string_view name) {
  const Variant& v = row.Item(name).Value();
  return v.IsNull() || v.IsEmpty() ? std::string() : CStr(v);
}

}  // namespace

void PersonInfo::Init(AppContextPtr app) {
  if (!app) throw Error(kErrInvalidCall, "PersonInfo", "Init: no book given");
  app_ = std::move(app);
  code_.clear();
  Clear();
}

bool PersonInfo::Load(std::string_view code) {
  if (!app_) throw Error(kErrInvalidCall, "PersonInfo", "Load before Init");
  code_ = std::string(code);
  Clear();
  if (code.empty()) return false;
  QueryPtr q = app_->CreateQuery("REFPerson");
  q->Fields().KeepOnly({"Code", "Name", "UserId", "FirstName", "LastName", "Position"});
  q->AddWhere(SqlTools::Instance()->Condition(q->Fields().Item("Code"), kOpEqual, Variant(code)));
  q->Open();
  if (q->Eof()) return false;
  const NamedValueList& row = q->Fields();
  code_ = Text(row, "Code");
  name_ = Text(row, "Name");
  first_name_ = Text(row, "FirstName");
  last_name_ = Text(row, "LastName");
  position_ = Text(row, "Position");
  const Variant& user = row.Item("UserId").Value();
  user_id_ = user.IsNull() || user.IsEmpty() ? 0 : CLng(user);
  loaded_ = true;
  return true;
}

std::string PersonInfo::FullName() const {
  if (first_name_.empty()) return last_name_;
  if (last_name_.empty()) return first_name_;
  return first_name_ + " " + last_name_;
}

void PersonInfo::Clear() {
  loaded_ = false;
  name_.clear();
  first_name_.clear();
  last_name_.clear();
  position_.clear();
  user_id_ = 0;
}

}  // namespace qts::host
