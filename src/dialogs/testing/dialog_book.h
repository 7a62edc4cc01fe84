// Test helper for the document dialogs: the handlers' book (sample goods, stores S1 and S2,
// the posted write-off 3, the open write-off 5, the receipt 6) with departments, persons, the
// enterprise's director and a waybill, per-test registry and settings files, and the dialogs
// opened the way the host opens them: HaldenUserDialogs created by its programmatic
// identifier through the catalogue, Init with a DialogHost and an event receiver that writes
// down what it is told.
#ifndef QTS_DIALOGS_TESTING_DIALOG_BOOK_H_
#define QTS_DIALOGS_TESTING_DIALOG_BOOK_H_

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "dialogs/halden_user_dialogs.h"
#include "dialogs/material_form.h"
#include "frame/catalogue.h"
#include "handlers/testing/handler_book.h"
#include "host/data/named_value_list.h"
#include "host/testing/scoped_env.h"
#include "host/ui/dialog_command.h"
#include "host/ui/dialog_form.h"
#include "host/ui/system_dialog.h"

namespace qts::dialogs::testing {

using handlers::testing::kOpenWriteOff;
using handlers::testing::kPostedWriteOff;
using handlers::testing::kReceipt;

// Departments D1 "Gamyba" and D2 "Sandėliai"; persons P1..P5 with names and positions (P5 has
// no last name); a waybill (TKL) 7 with vehicle V1, whose fuel lot is 7; an ITR document 8. The
// sample's store S2 is a fuel store (ABKR). The fixture names the enterprise, its company code
// and its director P1 in the book's settings.
inline void SeedDialogs(db::Connection& c) {
  const std::vector<std::string> statements = {
      R"(INSERT INTO "T$REFDepartment"("Code","Name") VALUES ('D1','Gamyba'),('D2','Sandėliai'))",
      R"(INSERT INTO "T$REFPerson"("Code","Name","FirstName","LastName","Position") VALUES
         ('P1','Jonas Petraitis','Jonas','Petraitis','Direktorius'),
         ('P2','Ona Kazlauskienė','Ona','Kazlauskienė','Vyriausioji buhalterė'),
         ('P3','Petras Jankauskas','Petras','Jankauskas','Sandėlininkas'),
         ('P4','Rūta Stankevičienė','Rūta','Stankevičienė','Sandėlio vedėja'),
         ('P5','Tomas','Tomas',NULL,'Vairuotojas'))",
      R"(INSERT INTO "T$REFVehicle"("Code","Name","LotPropertyID","StoreCode") VALUES
         ('V1','Sunkvežimis',7,'S2'))",
      R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","Code","DocumentDate",
         "IsPosted","Department") VALUES (7,'TKL','K1','KL-0007','2026-02-01',1,'D2'),
         (8,'ITR','I1','IT-0008','2026-02-01',0,'D1'))",
      R"(INSERT INTO "T$TKLTHDocument"("DocID","VehicleCode") VALUES (7,'V1'))",
  };
  for (const std::string& sql : statements) qts::host::schema::testing::Seed(c, sql);
}

// The events the host's caller receives, in order.
class EventLog final : public Implements<host::IDialogEventSink> {
 public:
  std::string_view ClassName() const override { return "EventLog"; }
  void BeforeLoadHandling(host::NamedValueList&, Variant&, bool& cancel) override {
    events.push_back("BeforeLoadHandling");
    if (cancel_load) cancel = true;
  }
  void AfterLoadHandling(host::NamedValueList&, Variant&, Variant&) override {
    events.push_back("AfterLoadHandling");
  }
  void BeforeShow(Variant&, Variant&, bool&) override { events.push_back("BeforeShow"); }
  void AfterShow(Variant&) override { events.push_back("AfterShow"); }
  void AfterWriteRecord(Variant& idc, Variant&) override {
    events.push_back("AfterWriteRecord");
    written.push_back(CLng(idc));
  }

  std::vector<std::string> events;
  std::vector<int32_t> written;
  bool cancel_load = false;
};

class DialogBook : public handlers::testing::HandlerBook {
 protected:
  DialogBook()
      : registry_env_("QTS_REGISTRY", (dir_ / "registry.json").string()),
        settings_env_("QTS_SETTINGS", (dir_ / "settings.json").string()) {}

  void SetUp() override {
    HandlerBook::SetUp();
    SeedDialogs(book_->Connection());
    host::NamedValueList& settings = book_->Settings();
    settings.Item("EnterpriseName").SetValue(Variant("UAB Bandymas"));
    settings.Item("PlantCode").SetValue(Variant("123456789"));
    settings.Item("DirectorCode").SetValue(Variant("P1"));
    log_ = std::make_shared<EventLog>();
  }

  // Opens document `idc` (0: a new one) of `type` as the host does, through the dispatcher
  // created by its programmatic identifier. The fixture keeps the dispatcher (as the host
  // does while the dialog is open) until the next Open or the end of the test.
  std::shared_ptr<HaldenUserDialogs> Open(const std::string& type, int32_t idc,
                                          host::NamedValueListPtr params = nullptr) {
    const frame::ClassInfo* cls =
        frame::Catalogue::Instance().FindProgId("QTS_Inventory.HaldenUserDialogs");
    EXPECT_NE(cls, nullptr);
    auto dialogs =
        std::dynamic_pointer_cast<HaldenUserDialogs>(frame::Catalogue::Instance().Create(*cls));
    EXPECT_NE(dialogs, nullptr);
    host_ = std::make_shared<host::DialogHost>(book_, idc);
    if (params) {
      for (const host::NamedValuePtr& entry : params->Entries()) host_->UserParams()->Append(entry);
    }
    const size_t errors = operator_->Errors().size();
    dialogs->Init(host_, log_, Variant(type));
    dialog_ = dialogs->SysDialog();
    dialogs_ = dialogs;
    // Opening a document shows no error.
    for (size_t i = errors; i < operator_->Errors().size(); ++i) {
      ADD_FAILURE() << "shown while opening: " << operator_->Errors()[i].source << ": "
                    << operator_->Errors()[i].description;
    }
    return dialogs;
  }

  MaterialForm& Form() { return dynamic_cast<MaterialForm&>(*dialog_->FormObject()); }
  host::Control& Control(const std::string& name) { return Form().Controls().Item(name); }
  std::string Value(const std::string& control) {
    const Variant& v = Control(control).Value();
    return v.IsNull() || v.IsEmpty() ? std::string() : CStr(v);
  }
  bool Enabled(const std::string& control) { return CBool(Control(control).Property("Enabled")); }

  // Runs the lines as the person's commands (their spelling on the terminal).
  void Do(const std::vector<std::string>& lines) {
    std::ostringstream out;
    for (const std::string& line : lines) {
      host::RunDialogCommand(*dialog_, host::ParseDialogCommand(line), out);
    }
  }

  // The description of the dialog's refusal of `action` ("" when it was not refused).
  template <class F>
  std::string Refusal(F&& action) {
    try {
      action();
    } catch (const Error& error) {
      return error.Description();
    }
    return "";
  }

  int64_t Documents() { return Count("T$THDocument"); }
  int64_t Parties() { return Count("T$THPartyAttribute"); }

  // The person codes the document names by role in "THPartyAttribute", "role=code" sorted.
  std::vector<std::string> PartyRoles(int32_t doc_id) {
    db::StatementHandle s = book_->Connection().Prepare(
        "SELECT \"RolePartyCode\" || '=' || \"PartyCode\" FROM \"T$THPartyAttribute\""
        " WHERE \"DocID\" = ?1 AND \"PartyKind\" = 2 ORDER BY 1");
    s->BindInt64(1, doc_id);
    std::vector<std::string> roles;
    while (s->Step()) roles.push_back(s->GetText(0));
    return roles;
  }

  qts::testing::TempDir dir_;
  qts::testing::ScopedEnv registry_env_;
  qts::testing::ScopedEnv settings_env_;
  std::shared_ptr<EventLog> log_;
  std::shared_ptr<host::DialogHost> host_;
  std::shared_ptr<host::SystemDialog> dialog_;
  std::shared_ptr<HaldenUserDialogs> dialogs_;
};

}  // namespace qts::dialogs::testing

#endif  // QTS_DIALOGS_TESTING_DIALOG_BOOK_H_
