// qts fuel ...: the fuel write-off of a vehicle's waybill, run through the component's
// CFuelWriteOff as the host runs it: created by programmatic identifier, bound to the waybill,
// handed the quantities used and the host's source lists.
#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/operator_options.h"
#include "cli/output.h"
#include "core/convert.h"
#include "core/currency.h"
#include "core/date.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "core/guid.h"
#include "core/text.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/data/sql_tools.h"
#include "host/documents/th_document.h"
#include "host/plugin/component_host.h"
#include "host/services/user_defaults.h"
#include "host/services/vehicle.h"
#include "host/ui/operator.h"
#include "host/ui/scripted_operator.h"

namespace qts::cli {

using host::Kind;

namespace {

constexpr std::string_view kSource = "qts fuel";
constexpr std::string_view kProgId = "QTS_Inventory.CFuelWriteOff";
constexpr int32_t kMsgRestShort = 8381;
// "replace the write-off's rows?" when the waybill has its write-off already.
constexpr int32_t kMsgReplaceRows = 20213;

struct FuelOptions {
  std::string book;
  int32_t parent = 0;
  std::string fuel = "0";
  std::string gas = "0";
  std::string library;
  OperatorOptions operator_options;
};

[[noreturn]] void Fail(std::string description) {
  throw Error(kErrInvalidCall, std::string(kSource), std::move(description));
}

std::string TextOf(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return "";
  if (value.Type() == VarType::kDate) return value.AsDate().ToIso();
  return CStr(value);
}

// A quantity given on the command line: a decimal number, not negative.
Currency Quantity(std::string_view option, const std::string& text) {
  const Currency value = ParseDecimalOption(kSource, option, text);
  if (value < Currency()) Fail(fmt::format("{} {} is negative", option, text));
  return value;
}

// The waybill: a stored "TKL" document naming a vehicle the book holds.
host::THDocumentPtr LoadWaybill(const host::AppContextPtr& book, int32_t idc) {
  auto doc = std::make_shared<host::THDocument>(book);
  if (idc <= 0 || !doc->Load(idc)) Fail(fmt::format("the book has no document {}", idc));
  const std::string type = TextOf(doc->Fields().Item("DocTypeCode").Value());
  if (type != "TKL") {
    Fail(fmt::format("document {} is of type {}, not a vehicle waybill (TKL)", idc, type));
  }
  return doc;
}

std::string VehicleOf(host::THDocument& waybill) {
  const host::NamedValue* vehicle = waybill.AddFields().Find("VehicleCode");
  const std::string code = vehicle ? TextOf(vehicle->Value()) : "";
  if (code.empty()) {
    Fail(fmt::format("waybill {} names no vehicle", TextOf(waybill.Fields().Item("IDC").Value())));
  }
  return code;
}

// The component's fuel write-off: through the registry when it knows the identifier, else from
// the library's type library.
ObjectPtr CreateFuelWriteOff(host::ComponentHost& component_host,
                             const std::filesystem::path& library) {
  if (component_host.GetRegistry().Load().KeyExists(std::string(kProgId))) {
    return component_host.CreateObject(kProgId);
  }
  const nlohmann::json lib = nlohmann::json::parse(component_host.Load(library)->TypeLibrary());
  for (const auto& cls : lib["classes"]) {
    if (!EqualsIgnoreCase(cls.value("progid", ""), kProgId)) continue;
    std::optional<Guid> clsid = Guid::Parse(cls.value("clsid", ""));
    if (!cls.value("available", false) || !clsid) break;
    return component_host.Load(library)->CreateInstance(*clsid);
  }
  throw Error(
      kErrCannotCreate, std::string(kSource),
      fmt::format("\"{}\" is neither registered nor offered by {}", kProgId, library.string()));
}

// A source list as the host hands it to the write-off: the vehicle's receipts dated `from` to
// `to` with their free quantity as "AmountAccount" (the links of the waybill's own write-off,
// which is being redone, left out). The rest on the period's start names its receipt rows
// ("SpecID", linked directly); the period's receipts carry their supplier and country and are
// linked by the write-off to the receipts since the period's start.
host::QueryPtr Sources(const host::AppContextPtr& book, const std::string& vehicle_code,
                       int32_t parent, Date from, Date to, bool rest_on_start) {
  host::Vehicle vehicle;
  vehicle.Init(book);
  if (!vehicle.Load(vehicle_code)) Fail("the book has no vehicle \"" + vehicle_code + "\"");
  host::QueryPtr income = vehicle.IncomeSince(Date::FromYmd(1900, 1, 1), parent);
  host::QueryPtr q = book->CreateQuery("");
  q->FromQuery(income, "i");
  host::NamedValueList& f = q->Fields();
  f.KeepOnly({"DocumentDate", "GoodCode", "SubCategory"});
  f.AddColumn(rest_on_start ? "SpecID" : "ReceiptID", Kind::kRowId, "i.SpecID");
  f.AddColumn("AmountAccount", Kind::kQuantity, "i.RestAmount");
  if (!rest_on_start) {
    f.AddColumn("PartyCode", Kind::kCode, "i.Client");
    f.AddColumn("CountryCode", Kind::kCode, "i.CountryCode");
  }
  const host::SqlTools& tools = *host::SqlTools::Instance();
  q->AddWhere(tools.JoinConditions(
      host::kJoinAnd,
      {"i.RestAmount > 0", tools.ColumnCondition("i.DocumentDate", Kind::kDate, host::kOpBetween,
                                                 Variant(from), Variant(to))}));
  q->OrderBy("i.DocumentDate, i.SpecID");
  q->Open();
  return q;
}

// A new write-off goes to the user's default store; without one, to the vehicle's own store
// (for this run only: the book is not changed).
void DefaultStoreFor(const host::AppContextPtr& book, const std::string& vehicle_code) {
  host::UserDefaults defaults;
  defaults.Init(book);
  if (!defaults.DefaultStore("").empty()) return;
  host::Vehicle vehicle;
  vehicle.Init(book);
  if (!vehicle.Load(vehicle_code) || vehicle.StoreCode().empty()) return;
  if (host::NamedValue* setting = book->Settings().Find("DefaultStore")) {
    setting->SetValue(Variant(vehicle.StoreCode()));
  } else {
    book->Settings().Add("DefaultStore", Kind::kText, Variant(vehicle.StoreCode()));
  }
}

void PrintWriteOff(const host::AppContextPtr& book, int32_t idc) {
  auto doc = std::make_shared<host::THDocument>(book);
  if (!doc->Load(idc)) Fail(fmt::format("the write-off document {} cannot be read", idc));
  const host::NamedValueList& f = doc->Fields();
  auto text = [&](const char* name) { return TextOf(f.Item(name).Value()); };
  std::cout << fmt::format("{} {} of {} (IDC {}), store {}, {}\n", text("DocTypeCode"),
                           text("Number"), text("DocumentDate"), idc, text("StoreCode"),
                           CLng(f.Item("IsPosted").Value()) == 0 ? "not posted" : "posted");
  host::QueryPtr rows = book->CreateQuery("THGoodSpec");
  rows->Fields().KeepOnly({"IDC", "PosNumb", "GoodCode", "UnitCode", "Amount", "AmountAccount"});
  rows->AddWhere(host::SqlTools::Instance()->ColumnCondition("oTable.DocID", Kind::kLongId,
                                                             host::kOpEqual, Variant(idc)));
  rows->OrderBy("oTable.PosNumb");
  rows->Open();
  std::cout << fmt::format("{:>4} {:<12} {:<6} {:>14} {:>14} {:>6}\n", "Pos", "Good", "Unit",
                           "Amount", "AmountAccount", "Links");
  long count = 0;
  for (host::RecordsetPtr rs = rows->OpenRecordset(); !rs->Eof(); rs->MoveNext(), ++count) {
    host::QueryPtr links = book->CreateQuery("THGoodSpecFixLog");
    links->Fields().KeepOnly({"IDC"});
    links->AddWhere(host::SqlTools::Instance()->ColumnCondition(
        "oTable.OutcomeSpecID", Kind::kLongId, host::kOpEqual, rs->Value("IDC")));
    links->Open();
    std::cout << fmt::format("{:>4} {:<12} {:<6} {:>14} {:>14} {:>6}\n",
                             TextOf(rs->Value("PosNumb")), TextOf(rs->Value("GoodCode")),
                             TextOf(rs->Value("UnitCode")), TextOf(rs->Value("Amount")),
                             TextOf(rs->Value("AmountAccount")), links->RecordCount());
  }
  std::cout << fmt::format("{} row(s)\n", count);
}

std::filesystem::path LibraryPath(const FuelOptions& o) {
  return o.library.empty() ? host::DefaultComponentPath() : std::filesystem::path(o.library);
}

void RunWriteOff(const FuelOptions& o) {
  // Everything the command line says is checked before the book is touched.
  const Currency fuel = Quantity("--fuel", o.fuel);
  const Currency gas = Quantity("--gas", o.gas);
  host::AppContextPtr book = host::AppContext::Open(o.book);
  host::THDocumentPtr waybill = LoadWaybill(book, o.parent);
  const std::string vehicle = VehicleOf(*waybill);
  const Variant begin = waybill->AddFields().Item("BegPeriod").Value();
  const Variant end = waybill->AddFields().Item("EndPeriod").Value();
  if (begin.IsNull() || end.IsNull()) Fail(fmt::format("waybill {} has no period", o.parent));

  std::shared_ptr<host::ScriptedOperator> scripted;
  std::shared_ptr<RecordingOperator> op = MakeOperator(o.operator_options, &scripted);
  // The document dialog closes the write-off; the command confirms it unchanged and prints
  // the document itself.
  if (scripted) scripted->AnswerForm({"frmDocument", true, {}});
  host::ScopedOperator scoped(op);
  DefaultStoreFor(book, vehicle);

  const Date first = CDate(begin);
  host::QueryPtr in_list = Sources(book, vehicle, o.parent, first, CDate(end), false);
  host::QueryPtr rest_list =
      Sources(book, vehicle, o.parent, Date::FromYmd(1900, 1, 1), Date(first.Serial() - 1), true);
  host::ComponentHost component_host;
  ObjectPtr write_off = CreateFuelWriteOff(component_host, LibraryPath(o));
  CallByName(write_off, "Init", InvokeKind::kMethod, {Variant(ObjectPtr(waybill))});
  CallByName(write_off, "WriteOff", InvokeKind::kMethod,
             {Variant(vehicle), Variant(fuel), Variant(gas), Variant(ObjectPtr(in_list)),
              Variant(ObjectPtr(rest_list))});
  const int32_t idc = CLng(CallByName(write_off, "DocID", InvokeKind::kMethod));
  if (op->AnswerTo(kMsgRestShort)) {
    throw Refusal(kMsgRestShort, std::string(kSource),
                  "the fuel write-off was refused: the rests are too small (see above)");
  }
  if (std::optional<host::MessageAnswer> replace = op->AnswerTo(kMsgReplaceRows);
      replace && *replace != host::MessageAnswer::kOk) {
    throw Refusal(kMsgReplaceRows, std::string(kSource),
                  fmt::format("the fuel write-off was cancelled: waybill {} keeps its write-off "
                              "{} as it was",
                              o.parent, idc));
  }
  if (idc == 0) {
    if (fuel == Currency() && gas == Currency()) {
      if (JsonOutput()) return PrintJson({{"IDC", nullptr}});
      std::cout << "nothing to write off\n";
      return;
    }
    Fail(fmt::format("waybill {} has no write-off after the run", o.parent));
  }
  if (JsonOutput()) {
    nlohmann::ordered_json out;
    out["IDC"] = idc;
    out["document"] = DocumentJson(book, idc);
    out["links"] = LinksJson(book, idc);
    return PrintJson(out);
  }
  PrintWriteOff(book, idc);
}

void RunDelete(const FuelOptions& o) {
  host::AppContextPtr book = host::AppContext::Open(o.book);
  host::THDocumentPtr waybill = LoadWaybill(book, o.parent);
  std::shared_ptr<host::ScriptedOperator> scripted;
  host::ScopedOperator scoped(MakeOperator(o.operator_options, &scripted));
  host::ComponentHost component_host;
  ObjectPtr write_off = CreateFuelWriteOff(component_host, LibraryPath(o));
  CallByName(write_off, "Init", InvokeKind::kMethod, {Variant(ObjectPtr(waybill))});
  const int32_t idc = CLng(CallByName(write_off, "DocID", InvokeKind::kMethod));
  if (idc == 0) Fail(fmt::format("waybill {} has no fuel write-off", o.parent));
  if (!CBool(CallByName(write_off, "DelDoc", InvokeKind::kMethod))) {
    Fail(fmt::format("the write-off {} of waybill {} was not deleted", idc, o.parent));
  }
  if (JsonOutput()) return PrintJson({{"IDC", idc}, {"parent", o.parent}, {"deleted", true}});
  std::cout << fmt::format("deleted write-off {} of waybill {}\n", idc, o.parent);
}

void AddCommon(CLI::App& cmd, FuelOptions& o) {
  cmd.add_option("--book", o.book, kBookHelp)->required();
  cmd.add_option("--parent", o.parent, "the vehicle's waybill (TKL document IDC)")->required();
  cmd.add_option("--library", o.library,
                 "component library (default: $QTS_LIBRARY, else libqts_inventory.so beside the "
                 "host kit)");
  AddOperatorOptions(cmd, o.operator_options);
}

}  // namespace

void AddFuelCommands(CLI::App& app) {
  auto* fuel = app.add_subcommand("fuel", "the fuel and gas write-off of a vehicle's waybill");
  fuel->require_subcommand(1);

  auto write_off = std::make_shared<FuelOptions>();
  auto* run = fuel->add_subcommand(
      "write-off",
      "write off the fuel (and gas) the vehicle used in the waybill's period, oldest receipts "
      "first, and print the write-off document");
  AddCommon(*run, *write_off);
  run->add_option("--fuel", write_off->fuel, "fuel used, in accounting units")->required();
  run->add_option("--gas", write_off->gas, "gas used, in accounting units")->capture_default_str();
  AddJsonFlag(*run, "print JSON: the write-off's IDC, the document and its fix-log links");
  run->callback([write_off] { RunWriteOff(*write_off); });

  auto remove = std::make_shared<FuelOptions>();
  auto* del = fuel->add_subcommand("delete", "delete the waybill's fuel write-off");
  AddCommon(*del, *remove);
  AddJsonFlag(*del, "print JSON: the IDC deleted");
  del->callback([remove] { RunDelete(*remove); });
}

}  // namespace qts::cli
