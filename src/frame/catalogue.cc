#include "frame/catalogue.h"

#include <fmt/format.h>

#include "core/error.h"
#include "core/text.h"

namespace qts::frame {

namespace {

using MK = MemberKind;

ParamInfo P(std::string name, std::string type) {
  ParamInfo p;
  p.name = std::move(name);
  p.type = std::move(type);
  return p;
}
ParamInfo ByVal(std::string name, std::string type) {
  ParamInfo p = P(std::move(name), std::move(type));
  p.by_value = true;
  return p;
}
ParamInfo Opt(std::string name, std::string type, std::string default_value) {
  ParamInfo p = P(std::move(name), std::move(type));
  p.optional = true;
  p.default_value = std::move(default_value);
  return p;
}
MemberInfo M(std::string name, std::vector<ParamInfo> params = {}, std::string result = {}) {
  return {std::move(name), MK::kMethod, std::move(params), std::move(result)};
}
MemberInfo Get(std::string name, std::string result, std::vector<ParamInfo> params = {}) {
  return {std::move(name), MK::kPropertyGet, std::move(params), std::move(result)};
}
MemberInfo Put(std::string name, std::string type, std::vector<ParamInfo> params = {}) {
  params.push_back(P("value", std::move(type)));
  return {std::move(name), MK::kPropertyPut, std::move(params), {}};
}
MemberInfo Ev(std::string name, std::vector<ParamInfo> params) {
  return {std::move(name), MK::kEvent, std::move(params), {}};
}

ClassInfo Public(std::string name, UnitKind kind, Guid clsid, std::vector<std::string> implements,
                 std::string role) {
  ClassInfo c;
  c.default_interface = "_" + name;
  c.name = std::move(name);
  c.kind = kind;
  c.clsid = clsid;
  c.implements = std::move(implements);
  c.role = std::move(role);
  return c;
}
ClassInfo Unit(std::string name, UnitKind kind, std::vector<std::string> implements,
               std::string role) {
  ClassInfo c;
  c.name = std::move(name);
  c.kind = kind;
  c.implements = std::move(implements);
  c.role = std::move(role);
  return c;
}
InterfaceInfo Iface(std::string name, Guid iid, std::vector<MemberInfo> members,
                    bool host_defined = false) {
  InterfaceInfo i;
  i.name = std::move(name);
  i.iid = iid;
  i.members = std::move(members);
  i.host_defined = host_defined;
  return i;
}

// The members of IMDocSupport, shared by its class interface.
std::vector<MemberInfo> MDocSupportMembers() {
  return {
      M("Init", {Opt("Doc", "THDocument", "Nothing")}),
      M("CrDocByOrder",
        {P("OrderId", "Long"), P("ArticleId", "Long"), Opt("SpFields", "NamedValueList", "Nothing"),
         Opt("IsSilence", "Boolean", "False"), Opt("DocDate", "Date", "0")},
        "Boolean"),
      Get("Doc", "THDocument"),
      Get("IfExist", "Long", {P("OrderId", "Long"), P("ArticleId", "Long")}),
      Get("IsSingleDoc", "Boolean"),
      M("FillSpec", {P("Good", "String"), P("Unit", "String"), P("Amount", "Currency")}),
      M("FillSpec2"),
      M("QuestionToCustom",
        {P("id", "Long"), Opt("IsSilence", "Boolean", "False"),
         Opt("btGroup", "ButtonGroup", "11")},
        "ButtonGroup"),
      M("CrParamList",
        {Opt("ArticleId", "Long", "0"), Opt("SpFields", "NamedValueList", "Nothing")},
        "NamedValueList"),
      M("UseParamList", {P("Params", "NamedValueList")}),
      M("CheckOnSpecDelete", {P("SpecObj", "Object")}, "Boolean"),
      Get("ParentDoc", "THDocument"),
  };
}
std::vector<MemberInfo> MatDocSupportMembers() {
  return {
      M("SetPriceByStOrder"),
      M("SetPriceWriteOff"),
      M("UpdateAmount", {ByVal("PosNumb", "Long"), ByVal("NewAmount", "Currency")}, "Boolean"),
      Get("MDocSup", "IMDocSupport"),
  };
}
std::vector<MemberInfo> OpDocSupportMembers() {
  return {
      M("UpdateDocSpec", {P("ParentDoc", "THDocument"), P("AddIdc", "Long")}),
      Get("MDocSup", "IMDocSupport"),
  };
}

}  // namespace

std::string_view UnitKindName(UnitKind kind) {
  switch (kind) {
    case UnitKind::kCreatable:
      return "creatable";
    case UnitKind::kGlobal:
      return "global";
    case UnitKind::kNotCreatable:
      return "not creatable";
    case UnitKind::kPrivate:
      return "private";
    case UnitKind::kForm:
      return "form";
    case UnitKind::kModule:
      return "module";
  }
  return "?";
}

std::string_view MemberKindName(MemberKind kind) {
  switch (kind) {
    case MK::kMethod:
      return "method";
    case MK::kPropertyGet:
      return "property get";
    case MK::kPropertyPut:
      return "property put";
    case MK::kEvent:
      return "event";
  }
  return "?";
}

Catalogue& Catalogue::Instance() {
  static Catalogue* catalogue = new Catalogue();  // lives until the library unloads
  return *catalogue;
}

Catalogue::Catalogue() {
  using UK = UnitKind;
  const std::vector<std::string> report{"IReportExec"};

  // Public creatable classes.
  units_.push_back(Public("CreateTarnUserDialogs", UK::kGlobal,
                          MakeGuid("78882A38-7DEB-474F-9519-32234E86DFFC"), {},
                          "makes the dialog form of a document type"));
  units_.push_back(Public("HaldenUserDialogs", UK::kCreatable,
                          MakeGuid("819E39C9-F980-4EE9-8EDA-FEEA5044B88E"), {"IHaldenDialog"},
                          "one open document dialog, relayed to the host's system dialog"));
  units_.push_back(Public("CRepWriteOff", UK::kCreatable,
                          MakeGuid("8E9CB53D-096C-47CD-AABE-8D4F35B2C3AE"), report,
                          "write-off act of one open document"));
  units_.push_back(Public("CRepWriteOffCalc", UK::kCreatable,
                          MakeGuid("6CED3666-6168-4D5A-AAC9-0DA3B58C2D47"), report,
                          "write-off calculation sheet of one open document"));
  units_.push_back(Public("CRepWriteOffAR", UK::kCreatable,
                          MakeGuid("5EFCF934-EAB0-4099-B882-11D0B097812B"), report,
                          "write-off act (second form) of one open document"));
  units_.push_back(Public("CRepMFC", UK::kCreatable,
                          MakeGuid("B399D889-6AB1-48FB-ADF4-BD4E0E86038E"), report,
                          "finished-goods receipt act"));
  units_.push_back(Public("CRepStoreRestByTerm", UK::kCreatable,
                          MakeGuid("4165A742-7FC5-43E7-8FCD-31E96283C85B"), report,
                          "goods lying in stock longer than a number of days"));
  units_.push_back(Public("CRepNotSpentOrdGoods", UK::kCreatable,
                          MakeGuid("38C7F9B3-2894-459B-B068-9D8766E0FD65"), report,
                          "ordered goods not yet spent"));
  units_.push_back(Public("CRepNotSpentManufGoods", UK::kCreatable,
                          MakeGuid("B82CB99B-DB81-45D6-8DF7-0891EBACB717"), report,
                          "manufactured goods not yet spent"));
  units_.push_back(Public("CRepGoodRestBDK", UK::kCreatable,
                          MakeGuid("447F4505-0DC0-4332-B917-ADFFCA09F70B"), report,
                          "goods rests by write-off category"));
  units_.push_back(Public("CRepWriteOffBDK", UK::kCreatable,
                          MakeGuid("07DFBD72-4FF4-4834-B51E-BA736EA45186"), report,
                          "write-offs by write-off category"));
  units_.push_back(Public("CRepWriteOffSvyd", UK::kCreatable,
                          MakeGuid("2986D444-3B33-444D-A2F8-658275280590"), report,
                          "write-off summary act for a period"));
  units_.push_back(Public("CRepPACK", UK::kCreatable,
                          MakeGuid("6B43F126-2F90-41F4-ABEE-DA91C4692784"), report,
                          "packaging declaration report"));
  units_.push_back(Public("CFuelWriteOff", UK::kCreatable,
                          MakeGuid("34C0253D-8005-4E67-A172-328784773E45"), {"IProcessObject"},
                          "fuel and gas write-off of a vehicle's period document"));
  ClassInfo copy =
      Public("CCreateCopyRS", UK::kCreatable, MakeGuid("697F6B9B-CBDD-4EAD-935C-80CA90A15768"), {},
             "copies of named-value lists and recordsets");
  copy.event_interface = "__CCreateCopyRS";
  units_.push_back(std::move(copy));
  units_.push_back(Public("CMCalculator", UK::kCreatable,
                          MakeGuid("9CAF012B-4CF8-4CC5-87F8-80F453A3E5E5"), {},
                          "specification column calculator"));
  units_.push_back(Public("IMOpDocSupport", UK::kCreatable,
                          MakeGuid("24235BDD-D114-4D8A-A984-2E92F308D7FA"), {},
                          "operation document support interface"));
  // Public interface classes, implemented by the handlers.
  units_.push_back(Public("IMDocSupport", UK::kNotCreatable,
                          MakeGuid("F230BB70-BC36-4DFC-9631-F8C37D1D53BF"), {},
                          "material document support interface"));
  units_.push_back(Public("IMMatDocSupport", UK::kNotCreatable,
                          MakeGuid("2FE07FAC-A589-4944-8885-06132CC2FC9A"), {},
                          "write-off pricing and amount interface"));
  units_.push_back(Public("ILotByTHDocLA", UK::kNotCreatable,
                          MakeGuid("56EF5CE9-C811-44FB-8ED4-66787757FEDB"), {},
                          "empty marker class"));
  // Private classes.
  units_.push_back(Unit("CItemWriteOff", UK::kPrivate,
                        {"IMDocSupport", "IMMatDocSupport", "ITHDoc"}, "item write-off handler"));
  units_.push_back(Unit("CFinishGoodIn", UK::kPrivate, {"IMDocSupport", "ITHDoc"},
                        "finished-goods receipt handler"));
  units_.push_back(
      Unit("CLotByMDoc", UK::kPrivate, {"ILotByTHDoc"}, "lot handler of material documents"));
  units_.push_back(
      Unit("CMDocSupport", UK::kPrivate, {"IProcessObject"}, "material document support engine"));
  units_.push_back(Unit("CMDocSupportApp", UK::kPrivate, {}, "engine companion class"));
  units_.push_back(Unit("CMaterialDocBase", UK::kPrivate, {}, "material document base class"));
  units_.push_back(Unit("CIWCtrl_SystemDialog", UK::kPrivate, {}, "shared dialog controller"));
  units_.push_back(Unit("CMaterialDlgBase", UK::kPrivate, {}, "material dialog base class"));
  // Forms.
  for (const auto& [form, role] : std::initializer_list<std::pair<const char*, const char*>>{
           {"frmMMO", "item write-off form"},
           {"frmMFC", "finished-goods receipt form"},
           {"frmPACK", "packaging declaration form"},
           {"frmRepWriteOffBDK", "parameters of write-offs by category"},
           {"frmRepStoreRestByTerm", "parameters of rests by storage term"},
           {"frmRepNotSpentGoods", "parameters of goods not yet spent"},
           {"frmRepRestOffBDK", "parameters of rests by category"},
           {"frmRepWriteOffSvyd", "parameters of the write-off summary"},
           {"frmRepPack", "parameters of the packaging declaration report"}}) {
    units_.push_back(Unit(form, UK::kForm, {}, role));
  }
  // Modules.
  units_.push_back(Unit("DefineModule", UK::kModule, {}, "start-up routine and shared functions"));
  for (const char* module :
       {"GlobalsClient", "STConst", "GlobalConst", "DocTypeConst", "InvoiceConst", "REFConst",
        "ManufacConst", "TransportConst", "InventoryConst"}) {
    units_.push_back(Unit(module, UK::kModule, {}, "constants"));
  }

  // Default (class) interfaces of the public classes, in slot order.
  interfaces_.push_back(
      Iface("_CreateTarnUserDialogs", MakeGuid("234BE14D-001F-4184-96DE-3314F28C43C4"),
            {M("CreateDialogs", {P("ObjName", "String"), P("vntParm", "Variant")}, "Object")}));
  interfaces_.push_back(Iface("_HaldenUserDialogs",
                              MakeGuid("3060821A-FCF6-4C39-8E93-1BCC12D7CB1F"),
                              {Put("IHaldenDialog_UnloadFormOnClose", "Boolean")}));
  // The report classes have no members of their own besides IReportExec.
  for (const auto& [name, iid] : std::initializer_list<std::pair<const char*, Guid>>{
           {"_CRepWriteOff", MakeGuid("304AE5B6-6264-4F5E-BA10-6DA3F7011D68")},
           {"_CRepWriteOffCalc", MakeGuid("B825D2D0-52FC-46DC-8E96-A1EA56424FB3")},
           {"_CRepWriteOffAR", MakeGuid("5B0147C0-B0DD-4D05-AEAF-FC18750416DC")},
           {"_CRepMFC", MakeGuid("5AC7F16B-B6FC-4917-957C-44F7971979E2")},
           {"_CRepStoreRestByTerm", MakeGuid("D3F00C80-B318-4A19-B86B-C934907F3572")},
           {"_CRepNotSpentOrdGoods", MakeGuid("D4730E95-CBBA-46D5-B11A-BBD2981B71C1")},
           {"_CRepNotSpentManufGoods", MakeGuid("09D7CF92-2EA9-41AB-8A51-DC7D8D1B0159")},
           {"_CRepGoodRestBDK", MakeGuid("2D9D0FD9-FD93-440B-B007-53108AA30D2F")},
           {"_CRepWriteOffBDK", MakeGuid("DF9A69D9-D8AD-42E9-ADF3-466A7024D7B2")},
           {"_CRepWriteOffSvyd", MakeGuid("444166E5-B6BF-4DC7-8F0D-A0C0F38FA6BF")},
           {"_CRepPACK", MakeGuid("19724BBF-8D70-499F-B6BD-5D1332C222BB")}}) {
    interfaces_.push_back(Iface(name, iid, {}));
  }
  interfaces_.push_back(Iface(
      "_CFuelWriteOff", MakeGuid("0EC984CD-A0CD-4200-9BDA-0BA159F9E545"),
      {M("Init", {P("ParentDoc", "THDocument")}),
       M("WriteOff",
         {P("VehicleCode", "String"), P("TotalUsedFuel", "Currency"), P("TotalUsedGas", "Currency"),
          P("InList", "Query"), P("RestOnDateLst", "Query"), Opt("IsSilence", "Boolean", "False")}),
       M("EditDoc", {}, "Boolean"), M("DocID", {}, "Long"), M("IsDocPost", {}, "Boolean"),
       M("DelDoc", {}, "Boolean"),
       M("ChangeSpecRec", {P("RecId", "Long"), P("GoodCode", "String"), P("Amount", "Currency")},
         "Boolean")}));
  interfaces_.push_back(
      Iface("_CCreateCopyRS", MakeGuid("884BA9A6-D995-4CFB-A9BB-2B7AD4740CCF"),
            {M("MergeFieldsVal", {P("Source", "NamedValueList"), P("SourceAdd", "NamedValueList"),
                                  P("Target", "NamedValueList")}),
             M("SplitFieldsVal", {P("Source", "NamedValueList"), P("Target", "NamedValueList"),
                                  P("TargetAdd", "NamedValueList")}),
             M("CreateCopyRS", {P("oSourceRS", "Recordset"), Opt("withFilter", "Boolean", "False")},
               "Recordset")}));
  InterfaceInfo copy_events =
      Iface("__CCreateCopyRS", MakeGuid("68E87764-1D61-4035-BF54-578FE484D38C"),
            {Ev("AddCustomColumns", {P("oNewRst", "Recordset")}),
             Ev("AddThisField", {P("bAdd", "Boolean"), P("fieldname", "String")})});
  copy_events.events = true;
  interfaces_.push_back(std::move(copy_events));
  interfaces_.push_back(
      Iface("_CMCalculator", MakeGuid("55EFAAED-DABB-4619-82C4-C3C3A991801B"),
            {M("Init", {P("theCalcVariant", "CalcVariantEnum")}), Get("SColCalc", "String()"),
             M("CalcSpecColumns",
               {P("oColumns", "NamedValueList"), Opt("ChangeFld", "String", "\"GoodCode\""),
                Opt("oParms", "NamedValueList", "Nothing")},
               "NamedValueList")}));
  interfaces_.push_back(Iface("_IMOpDocSupport", MakeGuid("A8C521A9-91C1-4047-99DB-B28EF118D743"),
                              OpDocSupportMembers()));
  interfaces_.push_back(Iface("_IMDocSupport", MakeGuid("A828FA2E-2A56-47AC-9420-CCD16E707B58"),
                              MDocSupportMembers()));
  interfaces_.push_back(Iface("_IMMatDocSupport", MakeGuid("921DBAB2-613F-4430-8692-38BFC9F5584C"),
                              MatDocSupportMembers()));
  interfaces_.push_back(
      Iface("_ILotByTHDocLA", MakeGuid("18716AA0-6D5C-477F-9E33-4B318DE799B9"), {}));
  // The host's interfaces implemented here, in the host's slot order.
  interfaces_.push_back(Iface(
      "ITHDoc", MakeGuid("F2E7C48E-6A94-4C7E-B4D9-4F474701DDC5"),
      {M("RecalcSpecVal", {P("arg1", "Variant"), P("arg2", "Variant")}, "Boolean"),
       M("CalcSpecColumns",
         {P("oColumns", "NamedValueList"), P("ChangeFld", "String"), P("oParms", "NamedValueList")},
         "NamedValueList"),
       M("CalcSpecColList", {}, "String()"), Get("Doc", "THDocument"),
       M("Init", {P("Doc", "THDocument")}),
       M("InsertSpecRec", {P("Row", "NamedValueList")}, "Long"),
       M("UpdateAmount", {P("PosNumb", "Long"), P("NewAmount", "Currency")}, "Boolean"),
       Get("GoodSpec", "THGoodSpec"), Get("LotByDoc", "ILotByTHDoc"), Put("DefaultBoper", "String"),
       Get("DefaultBoper", "String"),
       M("ArticleCode", {P("arg1", "Variant"), P("arg2", "Variant")}, "Long"),
       Get("MenuForGoodProperty", "Long")},
      true));
  interfaces_.push_back(Iface(
      "ILotByTHDoc", MakeGuid("E57EC01B-960D-4F8D-A408-E92922C15268"),
      {M("Init", {P("THDoc", "ITHDoc")}), Get("IsUseLotOnStock", "Boolean"),
       M("FormDocumentSpec", {P("Spec", "Object")}), Put("CurrentPosNumb", "Long"),
       M("WriteAllLotProperty", {P("arg1", "Variant")}),
       M("WriteLotProperty", {P("arg1", "Variant"), P("arg2", "Variant")}),
       M("ReadLotProperty", {P("arg1", "Variant")}, "Variant"),
       M("SerNumbEdit", {P("arg1", "Variant")}),
       M("ItemAccesoryEdit",
         {P("arg1", "Variant"), P("arg2", "Variant"), P("arg3", "Variant"), P("arg4", "Variant")})},
      true));
  interfaces_.push_back(
      Iface("IReportExec", MakeGuid("72315F76-02E4-401A-B237-A513A6FF0F19"),
            {M("Run", {P("Params", "NamedValueList"), P("Values", "NamedValueList")}, "Boolean"),
             Get("Visual", "Boolean"), Put("Visual", "Boolean"), Get("AlterFormCode", "String"),
             Put("AlterFormCode", "String")},
            true));
  interfaces_.push_back(Iface(
      "IHaldenDialog", MakeGuid("DD2C2AAD-A055-4A5A-80ED-C73E3B1775DF"),
      {M("Init", {P("HostObject", "Object"), P("Callback", "Object"), P("vntParm", "Variant")}),
       M("UnloadForm"),
       M("RunForm", {P("a", "Variant"), P("b", "Variant"), P("c", "Variant")}, "Boolean"),
       M("Move", {P("Left", "Variant"), P("Top", "Variant"), P("Width", "Variant"),
                  P("Height", "Variant")}),
       Get("InsertMode", "Boolean"), Get("Visible", "Boolean"), Get("DataChanged", "Boolean"),
       Get("UserParams", "NamedValueList"), Put("UserParams", "NamedValueList"),
       Get("EnableControl", "Boolean", {P("Key", "Variant")}),
       Put("EnableControl", "Boolean", {P("Key", "Variant")}), Get("UnloadFormOnClose", "Boolean"),
       Put("UnloadFormOnClose", "Boolean"), Get("UpdateListAfterClose", "Boolean"),
       Put("UpdateListAfterClose", "Boolean"), Get("CopyObjectID", "Long"),
       Put("CopyObjectID", "Long")},
      true));
  interfaces_.push_back(Iface("IProcessObject", MakeGuid("B3BAB7F0-E96A-4ED0-9B52-30EA4F97ACB9"),
                              {M("Step"), Get("Caption", "String"), Get("CountStep", "Long")},
                              true));

  enums_.push_back(
      {"CalcVariantEnum",
       MakeGuid("DDEF62F5-9E0B-4F31-8E30-EC0E8F5381B2"),
       {{"enCalcDocIn", 1}, {"enCalcEquip", 2}, {"enCalcOper", 3}, {"enCalcSimple", 4}}});
}

const ClassInfo* Catalogue::FindClass(std::string_view name) const {
  for (const auto& unit : units_) {
    if (EqualsIgnoreCase(unit.name, name)) return &unit;
  }
  return nullptr;
}

const ClassInfo* Catalogue::FindClassById(const Guid& clsid) const {
  for (const auto& unit : units_) {
    if (unit.IsPublic() && unit.clsid == clsid) return &unit;
  }
  return nullptr;
}

const ClassInfo* Catalogue::FindProgId(std::string_view progid) const {
  std::string prefix = std::string(kLibraryName) + ".";
  if (progid.size() <= prefix.size() ||
      !EqualsIgnoreCase(progid.substr(0, prefix.size()), prefix)) {
    return nullptr;
  }
  const ClassInfo* cls = FindClass(progid.substr(prefix.size()));
  return cls && cls->IsPublic() ? cls : nullptr;
}

const InterfaceInfo* Catalogue::FindInterface(std::string_view name) const {
  for (const auto& iface : interfaces_) {
    if (EqualsIgnoreCase(iface.name, name)) return &iface;
  }
  // A class implemented by others is reached through its class interface "_<name>".
  if (!name.empty() && name.front() != '_') return FindInterface("_" + std::string(name));
  return nullptr;
}

const InterfaceInfo* Catalogue::FindInterfaceById(const Guid& iid) const {
  for (const auto& iface : interfaces_) {
    if (iface.iid == iid) return &iface;
  }
  return nullptr;
}

void Catalogue::RegisterCreator(std::string_view class_name, Creator creator) {
  creators_.emplace_back(std::string(class_name), std::move(creator));
}

bool Catalogue::HasCreator(std::string_view class_name) const {
  for (const auto& [name, creator] : creators_) {
    if (EqualsIgnoreCase(name, class_name)) return true;
  }
  return false;
}

ObjectPtr Catalogue::Create(const ClassInfo& cls) const {
  if (!cls.IsCreatable()) {
    throw Error(kErrCannotCreate, std::string(kLibraryName),
                fmt::format("{} is not creatable by programmatic identifier ({} class)", cls.name,
                            UnitKindName(cls.kind)));
  }
  for (const auto& [name, creator] : creators_) {
    if (EqualsIgnoreCase(name, cls.name)) return creator();
  }
  throw Error(
      kErrCannotCreate, std::string(kLibraryName),
      fmt::format("{} is registered but not part of this build of {}", cls.ProgId(), kLibraryName));
}

namespace {
nlohmann::ordered_json MemberJson(const MemberInfo& m) {
  nlohmann::ordered_json j;
  j["name"] = m.name;
  j["kind"] = MemberKindName(m.kind);
  nlohmann::ordered_json params = nlohmann::ordered_json::array();
  for (const auto& p : m.params) {
    nlohmann::ordered_json pj;
    pj["name"] = p.name;
    pj["type"] = p.type;
    pj["byValue"] = p.by_value;
    if (p.optional) {
      pj["optional"] = true;
      pj["default"] = p.default_value;
    }
    params.push_back(std::move(pj));
  }
  j["params"] = std::move(params);
  if (!m.result.empty()) j["result"] = m.result;
  return j;
}
}  // namespace

nlohmann::ordered_json Catalogue::ToJson() const {
  nlohmann::ordered_json doc;
  doc["library"] = {{"name", kLibraryName},
                    {"libid", kLibId.ToString()},
                    {"version", kLibraryVersion},
                    {"description", kLibraryDescription}};
  nlohmann::ordered_json classes = nlohmann::ordered_json::array();
  nlohmann::ordered_json units = nlohmann::ordered_json::array();
  for (const auto& unit : units_) {
    if (!unit.IsPublic()) {
      units.push_back({{"name", unit.name},
                       {"kind", UnitKindName(unit.kind)},
                       {"implements", unit.implements},
                       {"role", unit.role}});
      continue;
    }
    nlohmann::ordered_json c;
    c["name"] = unit.name;
    c["progid"] = unit.ProgId();
    c["clsid"] = unit.clsid.ToString();
    c["creatable"] = unit.IsCreatable();
    c["global"] = unit.kind == UnitKind::kGlobal;
    c["available"] = HasCreator(unit.name);
    c["defaultInterface"] = unit.default_interface;
    c["implements"] = unit.implements;
    if (!unit.event_interface.empty()) c["events"] = unit.event_interface;
    c["role"] = unit.role;
    classes.push_back(std::move(c));
  }
  doc["classes"] = std::move(classes);
  nlohmann::ordered_json interfaces = nlohmann::ordered_json::array();
  for (const auto& iface : interfaces_) {
    nlohmann::ordered_json i;
    i["name"] = iface.name;
    i["iid"] = iface.iid.ToString();
    i["hostDefined"] = iface.host_defined;
    i["events"] = iface.events;
    nlohmann::ordered_json members = nlohmann::ordered_json::array();
    for (const auto& m : iface.members) members.push_back(MemberJson(m));
    i["members"] = std::move(members);
    interfaces.push_back(std::move(i));
  }
  doc["interfaces"] = std::move(interfaces);
  nlohmann::ordered_json enums = nlohmann::ordered_json::array();
  for (const auto& e : enums_) {
    nlohmann::ordered_json values = nlohmann::ordered_json::object();
    for (const auto& [name, value] : e.values) values[name] = value;
    enums.push_back({{"name", e.name}, {"guid", e.guid.ToString()}, {"values", values}});
  }
  doc["enums"] = std::move(enums);
  doc["privateUnits"] = std::move(units);
  return doc;
}

}  // namespace qts::frame
