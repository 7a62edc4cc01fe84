// The sample company's references: units, goods in groups with their units, persons, clients,
// stores, vehicles with their fuel and gas lots, and manufacturing charts.
#include <fmt/format.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "host/sample/sample_generator.h"
#include "host/schema/schema.h"

namespace qts::host::sample {
namespace {

using V = db::Value;
using Cols = std::vector<std::string>;

constexpr const char* kCurrency = "EUR";

struct NamedCode {
  const char* code;
  const char* name;
};

// Goods of one kind: names the generator combines with a variant until it has `count`.
struct GoodFamily {
  GoodKind kind;
  const char* prefix;  // of the goods' codes
  const char* group;
  const char* group_name;
  std::vector<const char*> names;
  std::vector<const char*> variants;
  const char* unit;
  const char* alt_unit;
  int64_t alt_rate;
  int category;
  int subcategory;
  int tracking;
  bool dom_manufact;
  double price_low, price_high;
};

std::vector<GoodFamily> Families() {
  return {
      {GoodKind::kMaterial,
       "MED",
       "G-MED",
       "Žaliavos ir medžiagos",
       {"Plieno lakštas", "Medžio plokštė", "Varžtas", "Dažai", "Klijai", "Vinys",
        "Aliuminio profilis", "Stiklas", "Medvilnės audinys", "Putplastis", "Vielos ritė",
        "Faneros lakštas", "Ąžuolo lenta", "Beržo tašelis", "Šilkografijos dažai"},
       {"2 mm", "4 mm", "6 mm", "8 mm", "10 mm", "12 mm", "baltas", "juodas", "pilkas", "rudas"},
       "kg",
       "t",
       1000,
       0,
       10,
       0,
       false,
       0.5,
       12},
      {GoodKind::kMerchandise,
       "PRK",
       "G-PRK",
       "Prekės",
       {"Kava", "Arbata", "Cukrus", "Miltai", "Saulėgrąžų aliejus", "Druska", "Sausainiai",
        "Obuolių sultys", "Mineralinis vanduo", "Juodasis šokoladas", "Ryžiai", "Grikiai", "Medus",
        "Pieno kokteilis", "Žirniai"},
       {"250 g", "500 g", "1 kg", "0,5 l", "1 l", "1,5 l", "ekologiškas", "lietuviškas"},
       "vnt",
       "dėž",
       12,
       0,
       20,
       0,
       false,
       0.3,
       9},
      {GoodKind::kMarked,
       "AKC",
       "G-AKC",
       "Akcizinės prekės",
       {"Alus", "Vynas", "Degtinė", "Cigaretės", "Sidras", "Likeris"},
       {"0,5 l", "0,7 l", "1 l", "20 vnt.", "šviesus", "tamsus"},
       "vnt",
       "dėž",
       20,
       0,
       30,
       102,
       false,
       1.5,
       25},
      {GoodKind::kPackaging,
       "PAK",
       "G-PAK",
       "Pakuotės",
       {"Kartoninė dėžė", "Plastikinis maišelis", "Stiklainis", "PET butelis", "Medinis padėklas",
        "Skardinė", "Popierinis maišas", "Įvyniojimo plėvelė"},
       {"maža", "vidutinė", "didelė", "30x20", "60x40", "120x80"},
       "vnt",
       "pak",
       50,
       0,
       80,
       0,
       true,
       0.05,
       6},
      {GoodKind::kFuel,
       "KUR",
       "G-KUR",
       "Kuras ir dujos",
       {"Dyzelinas", "Benzinas A95"},
       {},
       "l",
       "m3",
       1000,
       0,
       100,
       100,
       false,
       1.2,
       1.7},
      {GoodKind::kGas,
       "DUJ",
       "G-KUR",
       "Kuras ir dujos",
       {"Suskystintos dujos"},
       {},
       "l",
       "m3",
       1000,
       0,
       101,
       101,
       false,
       0.6,
       0.8},
      {GoodKind::kProduct,
       "GAM",
       "G-GAM",
       "Gaminiai",
       {"Stalas", "Kėdė", "Spinta", "Lentyna", "Durys", "Langas", "Suoliukas", "Komoda", "Lova",
        "Žurnalinis staliukas"},
       {"ąžuolinis", "beržinis", "pušinis", "baltas", "mažas", "didelis"},
       "vnt",
       "komp",
       4,
       1,
       50,
       0,
       true,
       20,
       400},
      {GoodKind::kWork,
       "DRB",
       "G-DRB",
       "Darbai",
       {"Pjovimas", "Suvirinimas", "Dažymas", "Surinkimas", "Šlifavimas", "Pakavimas"},
       {},
       "val",
       "",
       1,
       4,
       0,
       0,
       false,
       8,
       25},
  };
}

struct PersonName {
  const char* first;
  const char* last;
  const char* position;
};

const std::vector<PersonName>& PersonNames() {
  static const std::vector<PersonName> names = {
      {"Jonas", "Petraitis", "Direktorius"},
      {"Ona", "Kazlauskienė", "Vyriausioji buhalterė"},
      {"Petras", "Jankauskas", "Sandėlininkas"},
      {"Rūta", "Stankevičienė", "Sandėlio vedėja"},
      {"Tomas", "Vasiliauskas", "Vairuotojas"},
      {"Laura", "Žukauskaitė", "Vadybininkė"},
      {"Mindaugas", "Butkus", "Gamybos vadovas"},
      {"Eglė", "Paulauskienė", "Buhalterė"},
      {"Darius", "Urbonas", "Vairuotojas"},
      {"Aušra", "Kavaliauskienė", "Pardavimų vadovė"},
      {"Vytautas", "Navickas", "Meistras"},
      {"Giedrė", "Ramanauskaitė", "Kokybės specialistė"},
      {"Andrius", "Šimkus", "Vairuotojas"},
      {"Jurgita", "Balčiūnienė", "Tiekimo vadybininkė"},
      {"Saulius", "Mockus", "Technologas"},
      {"Ieva", "Žilinskaitė", "Logistė"},
  };
  return names;
}

}  // namespace

SampleWriters::SampleWriters(db::Connection& c, const std::string& code)
    : unit(c, code, "REFUnit", Cols{"Code", "Name"}),
      category(c, code, "REFGoodCategory", Cols{"Code", "Name"}),
      fix_category(c, code, "FixCategory", Cols{"Code", "Name"}),
      pack_kind(c, code, "REFPackMaterialKind", Cols{"Code", "Name"}),
      pack_type(c, code, "REFPackType", Cols{"Code", "Name"}),
      good(c, code, "REFGood",
           Cols{"Code", "Name", "ParentCode", "IsGroup", "Category", "SubCategory", "IsDomManufact",
                "TrackingOff", "TrackingKind"}),
      good_unit(c, code, "REFGoodUnit",
                Cols{"GoodCode", "UnitCode", "Rate", "IsAccount", "Weight", "GrossWeight",
                     "UnitWeightCode", "PackMaterialKind", "PackType", "IsReusable"}),
      person(c, code, "REFPerson",
             Cols{"Code", "Name", "UserId", "FirstName", "LastName", "Position"}),
      client(c, code, "REFClient", Cols{"Code", "Name", "CountryCode"}),
      department(c, code, "REFDepartment", Cols{"Code", "Name"}),
      currency(c, code, "REFCurrency", Cols{"Code", "Name"}),
      currency_rate(c, code, "REFCurrencyRate", Cols{"CurrencyCode", "RateDate", "Rate"}),
      boper(c, code, "REFBusinessOperation",
            Cols{"Code", "Name", "DocTypeCode", "CurrencyCode", "IsDefault"}),
      material(c, code, "REFGoodMaterial",
               Cols{"ProductCode", "ProductUnitCode", "GoodCode", "UnitCode", "Amount",
                    "DirectCost", "InDirectCost"}),
      price(c, code, "REFGoodPrice",
            Cols{"GoodCode", "UnitCode", "PriceKind", "PriceDate", "Price"}),
      vehicle(c, code, "REFVehicle",
              Cols{"Code", "Name", "LotPropertyID", "StoreCode", "GasLotPropertyID"}),
      store(c, code, "STStore", Cols{"IDC", "Code", "Name", "StoreKind"}),
      lot_property(c, code, "STLotProperty", Cols{"IDC", "GoodCode", "Name", "OrderInfo"}),
      lot(c, code, "STLot",
          Cols{"GoodCode", "UnitCode", "StoreId", "AnalytID", "Rest", "RestAccount"}),
      document(c, code, "THDocument",
               Cols{"IDC",
                    "DocTypeCode",
                    "Number",
                    "Code",
                    "Name",
                    "DocumentDate",
                    "ParentID",
                    "CurrencyCode",
                    "StoreCode",
                    "Department",
                    "IsPosted",
                    "IsClosed",
                    "Summa",
                    "Author",
                    "CommingInForceDate",
                    "TermsOfValidityDate",
                    "PersonHead",
                    "Person1",
                    "Person2",
                    "Person3",
                    "PersonAA",
                    "Gavejas",
                    "Kontrolerius"}),
      spec(c, code, "THGoodSpec",
           Cols{"IDC", "DocID", "PosNumb", "GoodCode", "UnitCode", "Amount", "AmountAccount",
                "Price", "Summa", "CostSumm", "PriceNational", "AlgebraicSum", "SummVAT",
                "BOperCode", "LotPropertyID", "FixCategory", "CountryCode", "IsFixed"}),
      fix_log(c, code, "THGoodSpecFixLog",
              Cols{"GoodCode", "OutcomeSpecID", "IncomeSpecID", "Amount", "Type"}),
      content(c, code, "THGoodContent", Cols{"SpecID", "CorSpecID", "GoodCode", "AmountAccount"}),
      party(c, code, "THPartyAttribute", Cols{"DocID", "RolePartyCode", "PartyCode", "PartyKind"}),
      assembly(c, code, "MFAssemblyChart", Cols{"IDC", "GoodCode", "AssCode", "Name"}),
      labour(c, code, "MFACLabour",
             Cols{"AssId", "WorkKind", "Rate", "IsOnTimeRate", "NormTime", "AmountForRate",
                  "DirectCost", "InDirectCost"}),
      equipment(c, code, "MFEquipment", Cols{"Code", "Name", "Amount", "DeprecSum"}),
      ac_equipment(c, code, "MFACEquipment",
                   Cols{"AssId", "EqCode", "DirectCost", "InDirectCost", "UseTime"}),
      fa_object(c, code, "MFEqFAObject", Cols{"EqCode", "FACode", "FAName", "UseTime"}),
      pisf_row(c, code, "PISFTHGoodSpec", Cols{"DocID", "PosNumb", "Comment"}),
      order_spec(c, code, "STOrderSpec",
                 Cols{"IDC", "DocID", "srcSpecID", "srcDocSpecID", "StoreId", "GoodCode",
                      "UnitCode", "Amount", "AmountAccount", "Price"}),
      post_lot(c, code, "STPostLot",
               Cols{"SpecID", "AnalytID", "StoreId", "GoodCode", "Amount", "AmountAccount"}) {
  for (const schema::DocTypeDef& t : schema::DocumentTypes()) {
    Cols columns{"DocID"};
    for (const schema::ColumnDef& f : t.header_fields) columns.push_back(f.name);
    header[t.code] =
        std::make_unique<TableWriter>(c, code, t.code + "THDocument", std::move(columns));
    Cols row_columns = RowColumns(t.code);
    if (row_columns.empty()) continue;
    row_columns.insert(row_columns.begin(), {"DocID", "PosNumb"});
    rows[t.code] =
        std::make_unique<TableWriter>(c, code, t.code + "THGoodSpec", std::move(row_columns));
  }
}

std::vector<std::string> SampleWriters::RowColumns(const std::string& type) {
  if (type == "MMO" || type == "MKO") return {"WriteOffPrice"};
  if (type == "MFC") return {"DirectCost"};
  if (type == "MNC" || type == "MAC" || type == "MAE") {
    return {"PrSpecID",      "AssCode",        "OpCode",       "WorkKind",     "EqCode",
            "FACode",        "UseTime",        "IsOnTimeRate", "NormTime",     "NormTimeSum",
            "AmountForRate", "AmountForDRate", "DirectCost",   "InDirectCost", "SD1Proc",
            "VSDProc",       "OpSum",          "SD1Summa",     "VSDSumma"};
  }
  if (type == "PACK") {
    return {"PackMaterialKind",     "PackType",     "SaleManufactAmount",
            "SaleImportAmount",     "ExportAmount", "NotSaleAmount",
            "UsedPackInSaleAmount", "ReturnAmount", "PackMaterial",
            "PackTypeName",         "UnitName"};
  }
  return {};
}

void SampleGenerator::WriteReferences() {
  WriteSettings();
  WriteUnitsAndCategories();
  WriteGoods();
  WritePartiesAndStores();
  WriteVehicles();
  WriteCharts();
}

void SampleGenerator::WriteSettings() {
  const std::vector<std::pair<const char*, const char*>> settings = {
      {"EnterpriseName", "UAB \"Pavyzdys\""},
      {"PlantCode", "302345678"},
      {"VatCode", "LT100005678912"},
      {"DirectorCode", "P001"},
      {"Address", "Gedimino pr. 1, LT-01103 Vilnius"},
      {"Phone", "+370 5 212 3456"},
      {"Fax", "+370 5 212 3457"},
      {"Email", "info@pavyzdys.lt"},
      {"SDProc", "1.77"},
      {"VSDProc", "30.98"}};
  const std::string sql =
      schema::BackendSql("UPDATE Settings SET Value = ? WHERE Name = ?", code_, connection_);
  for (const auto& [name, value] : settings) connection_.Execute(sql, {value, name});
}

void SampleGenerator::WriteUnitsAndCategories() {
  for (const NamedCode& u : std::vector<NamedCode>{{"vnt", "vienetai"},
                                                   {"kg", "kilogramai"},
                                                   {"t", "tonos"},
                                                   {"l", "litrai"},
                                                   {"m3", "kubiniai metrai"},
                                                   {"m", "metrai"},
                                                   {"m2", "kvadratiniai metrai"},
                                                   {"dėž", "dėžės"},
                                                   {"pak", "pakuotės"},
                                                   {"komp", "komplektai"},
                                                   {"val", "valandos"}}) {
    w_->unit.Insert({u.code, u.name});
  }
  const std::vector<std::pair<int, const char*>> categories = {
      {0, "Prekės ir medžiagos"},
      {1, "Gaminiai"},
      {kLowValueCategory, "Mažavertės atsargos"},
      {4, "Darbai ir paslaugos"}};
  for (const auto& [code, name] : categories) w_->category.Insert({code, name});
  const std::vector<std::pair<int, const char*>> fix = {{0, "Pagrindinė veikla"},
                                                        {1, "Gamybos sąnaudos"},
                                                        {2, "Transporto sąnaudos"},
                                                        {3, "Administracinės sąnaudos"}};
  for (const auto& [code, name] : fix) w_->fix_category.Insert({code, name});
  for (const NamedCode& k : std::vector<NamedCode>{{"POP", "Popierius ir kartonas"},
                                                   {"PLA", "Plastikas"},
                                                   {"STI", "Stiklas"},
                                                   {"MET", "Metalas"},
                                                   {"MED", "Medis"},
                                                   {"PET", "PET"}}) {
    w_->pack_kind.Insert({k.code, k.name});
  }
  const std::vector<std::pair<int, const char*>> pack_types = {
      {1, "Pirminė pakuotė"}, {2, "Antrinė pakuotė"}, {3, "Transportinė pakuotė"}};
  for (const auto& [code, name] : pack_types) w_->pack_type.Insert({code, name});
}

void SampleGenerator::AddGood(const std::string& parent, SampleGood good, int category,
                              int subcategory, int tracking, bool dom_manufact,
                              SampleRandom& random) {
  w_->good.Insert(
      {good.code, good.name, parent, 0, category, subcategory, dom_manufact ? 1 : 0, 0, tracking});
  // Packaging that products are packed in: its material from the name, its type from its size.
  // Traded packaging comes with its own.
  if (good.kind == GoodKind::kPackaging) {
    const std::string& n = good.name;
    good.pack_kind = n.find("Kartonin") == 0 || n.find("Popier") == 0 ? "POP"
                     : n.find("Stiklain") == 0                        ? "STI"
                     : n.find("Skardin") == 0                         ? "MET"
                     : n.find("Medinis") == 0                         ? "MED"
                     : n.find("PET") == 0                             ? "PET"
                                                                      : "PLA";
    good.pack_type = n.find("padėklas") != std::string::npos ? 3 : random.Percent(70) ? 1 : 2;
    good.reusable = n.find("padėklas") != std::string::npos;
  }
  const bool packaging =
      good.kind == GoodKind::kPackaging || good.kind == GoodKind::kTradePackaging;
  V pack_kind;
  V pack_type;
  if (packaging) {
    pack_kind = good.pack_kind;
    pack_type = good.pack_type;
  }
  const int reusable = good.reusable ? 1 : 0;
  good.dom_manufact = dom_manufact;
  const double weight = static_cast<double>(random.Between(5, 5000)) / 1000.0;
  const bool weighs_itself = good.unit == "kg";
  good.weight = weighs_itself ? 1.0 : weight;
  w_->good_unit.Insert({good.code, good.unit, 1, 1, weighs_itself ? 1.0 : weight,
                        weighs_itself ? 1.0 : weight * 1.05, "kg", pack_kind, pack_type, reusable});
  if (!good.alt_unit.empty()) {
    const double rate = static_cast<double>(good.alt_rate);
    w_->good_unit.Insert({good.code, good.alt_unit, rate, 0, (weighs_itself ? 1.0 : weight) * rate,
                          (weighs_itself ? 1.0 : weight) * rate * 1.02, "kg", pack_kind,
                          packaging ? V(2) : V(), reusable});
  }
  if (good.kind != GoodKind::kWork) {
    w_->price.Insert({good.code, good.unit, "PIRK", "2026-01-01", good.price});
    w_->price.Insert({good.code, good.unit, "PARD", "2026-01-01",
                      static_cast<double>(std::llround(good.price * 135.0)) / 100.0});
  }
  good_index_[good.code] = goods_.size();
  goods_by_kind_[good.kind].push_back(goods_.size());
  goods_.push_back(std::move(good));
}

void SampleGenerator::WriteGoods() {
  const int total = size_ == SampleSize::kSmall ? 300 : 3000;
  std::map<std::string, bool> groups;
  for (const GoodFamily& f : Families()) {
    if (!groups[f.group]) {
      groups[f.group] = true;
      w_->good.Insert({f.group, f.group_name, V(), 1, f.category, f.subcategory, 0, 0, 0});
    }
    // Each base name is a sub-group of the family's group, holding the name's variants.
    int count;
    switch (f.kind) {
      case GoodKind::kFuel:
      case GoodKind::kGas:
      case GoodKind::kWork:
        count = static_cast<int>(f.names.size());
        break;
      case GoodKind::kMaterial:
        count = total * 30 / 100;
        break;
      case GoodKind::kMerchandise:
        count = total * 35 / 100;
        break;
      case GoodKind::kMarked:
        count = total * 5 / 100;
        break;
      case GoodKind::kPackaging:
        count = total * 10 / 100;
        break;
      default:
        count = total * 15 / 100;
        break;
    }
    for (int i = 0; i < count; ++i) {
      const size_t base = static_cast<size_t>(i) % f.names.size();
      const std::string sub_group = fmt::format("{}-{:02}", f.group, base + 1);
      // Screws and nails are low-value stock (category 3), written off as they are bought:
      // the write-off summary lists their receipts.
      const std::string_view base_name = f.names[base];
      const int category =
          f.kind == GoodKind::kMaterial && (base_name == "Varžtas" || base_name == "Vinys")
              ? kLowValueCategory
              : f.category;
      if (!f.variants.empty() && !groups[sub_group]) {
        groups[sub_group] = true;
        w_->good.Insert({sub_group, f.names[base], f.group, 1, category, f.subcategory, 0, 0, 0});
      }
      SampleGood g;
      g.code = fmt::format("{}{:05}", f.prefix, i + 1);
      g.name = f.names[base];
      if (!f.variants.empty()) {
        const size_t round = static_cast<size_t>(i) / f.names.size();
        g.name += fmt::format(" {}", f.variants[round % f.variants.size()]);
        if (round >= f.variants.size()) g.name += fmt::format(" Nr. {}", round / f.variants.size());
      }
      g.kind = f.kind;
      g.unit = f.unit;
      g.alt_unit = f.alt_unit;
      g.alt_rate = f.alt_rate;
      g.price = static_cast<double>(random_.Between(static_cast<int64_t>(f.price_low * 100),
                                                    static_cast<int64_t>(f.price_high * 100))) /
                100.0;
      g.fix_category = f.kind == GoodKind::kFuel || f.kind == GoodKind::kGas  ? 2
                       : f.kind == GoodKind::kMaterial && random_.Percent(20) ? 1
                                                                              : 0;
      AddGood(f.variants.empty() ? f.group : sub_group, std::move(g), category, f.subcategory,
              f.tracking, f.dom_manufact, random_);
    }
  }
  WriteTradePackaging();
}

// Packaging the company trades in as goods, one of each kind the packaging declaration tells
// apart: made here or brought in, used once or reusable, primary (1), secondary (2) or
// transport (3). A sub-group of the packaging group; prices and weights from the packaging
// trade's own random source.
void SampleGenerator::WriteTradePackaging() {
  struct Trade {
    const char* name;
    const char* kind;
    int type;
    bool reusable;
    bool domestic;
  };
  const std::vector<Trade> goods = {
      {"Popierinis maišelis su rankenomis", "POP", 1, false, true},
      {"Gofruoto kartono dėžė", "POP", 2, false, true},
      {"Kartoninė dėžutė, įvežtinė", "POP", 1, false, false},
      {"Tempiamoji plėvelė, įvežtinė", "PLA", 2, false, false},
      {"Vienkartinis padėklas, įvežtinis", "MED", 3, false, false},
      {"Daugkartinis stiklainis", "STI", 1, true, true},
      {"Daugkartinė plastikinė dėžė", "PLA", 2, true, true},
      {"Daugkartinis stiklo butelis, įvežtinis", "STI", 1, true, false},
      {"EUR padėklas, įvežtinis", "MED", 3, true, false},
  };
  const std::string group = "G-PAK-PR";
  w_->good.Insert({group, "Pakuotės prekybai", "G-PAK", 1, 0, 80, 0, 0, 0});
  for (size_t i = 0; i < goods.size(); ++i) {
    const Trade& t = goods[i];
    SampleGood g;
    g.code = fmt::format("PPR{:05}", i + 1);
    g.name = t.name;
    g.kind = GoodKind::kTradePackaging;
    g.unit = "vnt";
    g.price = static_cast<double>(pack_random_.Between(5, 900)) / 100.0;
    g.pack_kind = t.kind;
    g.pack_type = t.type;
    g.reusable = t.reusable;
    AddGood(group, std::move(g), 0, 80, 0, t.domestic, pack_random_);
  }
}

void SampleGenerator::WritePartiesAndStores() {
  int user = 1;
  for (const PersonName& p : PersonNames()) {
    const std::string code = fmt::format("P{:03}", user);
    w_->person.Insert(
        {code, fmt::format("{} {}", p.first, p.last), user, p.first, p.last, p.position});
    persons_.push_back(code);
    ++user;
  }
  const std::vector<const char*> stems = {"Baltijos", "Nemuno",     "Žalgirio",  "Šiaurės",
                                          "Vilniaus", "Kauno",      "Klaipėdos", "Aukštaitijos",
                                          "Dzūkijos", "Žemaitijos", "Rytų",      "Vakarų",
                                          "Neries",   "Šešupės",    "Ąžuolyno",  "Ventos"};
  const std::vector<const char*> trades = {"prekyba", "statyba",     "logistika", "mediena",
                                           "metalas", "transportas", "technika",  "maistas"};
  const std::vector<const char*> forms = {"UAB", "AB", "MB"};
  const int clients = size_ == SampleSize::kSmall ? 40 : 400;
  for (int i = 0; i < clients; ++i) {
    const std::string code = fmt::format("K{:04}", i + 1);
    std::string name;
    std::string country = "LT";
    if (i % 10 == 9) {
      const std::vector<std::pair<const char*, const char*>> foreign = {
          {"SIA \"Rīgas tirdzniecība\"", "LV"},
          {"Sp. z o.o. \"Polmet\"", "PL"},
          {"GmbH \"Nordhandel\"", "DE"},
          {"OÜ \"Tallinna Kaubad\"", "EE"}};
      const auto& [n, c] = foreign[static_cast<size_t>(i / 10) % foreign.size()];
      name = fmt::format("{} {}", n, i / 40 + 1);
      country = c;
    } else {
      name = fmt::format("{} \"{} {}\"", forms[static_cast<size_t>(i) % forms.size()],
                         stems[static_cast<size_t>(i) % stems.size()],
                         trades[static_cast<size_t>(i / 3) % trades.size()]);
      if (i >= static_cast<int>(stems.size() * trades.size())) name += fmt::format(" {}", i);
    }
    w_->client.Insert({code, name, country});
    client_country_[code] = country;
    (i % 3 == 0 ? suppliers_ : customers_).push_back(code);
  }
  for (const NamedCode& d : std::vector<NamedCode>{{"ADM", "Administracija"},
                                                   {"GAM", "Gamybos skyrius"},
                                                   {"PRK", "Prekybos skyrius"},
                                                   {"TRN", "Transporto skyrius"}}) {
    w_->department.Insert({d.code, d.name});
    departments_.push_back(d.code);
  }
  w_->currency.Insert({"EUR", "Euras"});
  w_->currency.Insert({"USD", "JAV doleris"});
  w_->currency.Insert({"PLN", "Lenkijos zlotas"});
  for (int month = 1; month <= 12; ++month) {
    const std::string date = fmt::format("2026-{:02}-01", month);
    const double usd = static_cast<double>(random_.Between(10500, 11200)) / 10000.0;
    const double pln = static_cast<double>(random_.Between(42000, 43500)) / 10000.0;
    for (const auto& [currency, rate] :
         std::vector<std::pair<const char*, double>>{{"EUR", 1}, {"USD", usd}, {"PLN", pln}}) {
      w_->currency_rate.Insert({currency, date, rate});
      rates_[currency][date] = rate;
    }
  }
  for (const schema::DocTypeDef& t : schema::DocumentTypes()) {
    w_->boper.Insert({t.code + "-1", t.name, t.code, kCurrency, 1});
    flows_[t.code] = t.is_stock == 0    ? StockFlow::kNone
                     : t.is_income == 1 ? StockFlow::kIn
                                        : StockFlow::kOut;
  }
  struct StoreRow {
    const char* code;
    const char* name;
    const char* kind;
    bool sells;
  };
  std::vector<StoreRow> stores = {{"CS", "Centrinis sandėlis", nullptr, true},
                                  {"GS", "Gamybos sandėlis", nullptr, false},
                                  {"KS", "Kuro sandėlis", "ABKR", false}};
  if (size_ == SampleSize::kLarge) {
    stores.push_back({"KNS", "Kauno filialo sandėlis", nullptr, true});
    stores.push_back({"KLS", "Klaipėdos filialo sandėlis", nullptr, true});
  }
  int64_t id = 1;
  for (const StoreRow& s : stores) {
    w_->store.Insert({id, s.code, s.name, s.kind == nullptr ? V() : V(s.kind)});
    store_ids_[s.code] = id++;
    if (s.sells) sale_stores_.push_back(s.code);
  }
}

int64_t SampleGenerator::AddLotProperty(const std::string& good, const std::string& name,
                                        const std::string& order_info) {
  const int64_t id = next_lot_property_++;
  w_->lot_property.Insert({id, good, name, order_info.empty() ? V() : V(order_info)});
  return id;
}

void SampleGenerator::WriteVehicles() {
  const std::vector<const char*> makes = {
      "Volvo FH",       "MAN TGX",       "Scania R450", "Iveco Daily", "Mercedes-Benz Sprinter",
      "Renault Master", "Škoda Octavia", "Toyota Hilux"};
  const int count = size_ == SampleSize::kSmall ? 6 : 60;
  const std::vector<size_t>& fuels = goods_by_kind_[GoodKind::kFuel];
  const std::vector<size_t>& gases = goods_by_kind_[GoodKind::kGas];
  const char* letters = "ABCDEFGHJKLMNPRSTUVZ";
  for (int i = 0; i < count; ++i) {
    SampleVehicle v;
    v.code = fmt::format("{}{}{} {:03}", letters[random_.Between(0, 19)],
                         letters[random_.Between(0, 19)], letters[random_.Between(0, 19)],
                         random_.Between(1, 999));
    v.code += fmt::format("-{}", i + 1);  // plates may repeat; codes may not
    v.fuel_good = goods_[fuels[static_cast<size_t>(i) % fuels.size()]].code;
    v.fuel_lot = AddLotProperty(v.fuel_good, v.code + " kuras", "");
    if (i % 3 == 0) {
      v.gas_good = goods_[gases[static_cast<size_t>(i) % gases.size()]].code;
      v.gas_lot = AddLotProperty(v.gas_good, v.code + " dujos", "");
    }
    w_->vehicle.Insert(
        {v.code, makes[static_cast<size_t>(i) % makes.size()], v.fuel_lot, "KS", v.gas_lot});
    vehicles_.push_back(std::move(v));
  }
}

void SampleGenerator::WriteCharts() {
  const std::vector<const char*> equipment = {"Juostinis pjūklas", "Suvirinimo aparatas",
                                              "Dažymo kamera",     "Frezavimo staklės",
                                              "Šlifavimo mašina",  "Presas"};
  for (size_t i = 0; i < equipment.size(); ++i) {
    const std::string code = fmt::format("IR{:02}", i + 1);
    const double value = static_cast<double>(random_.Between(500000, 5000000)) / 100.0;
    const double deprec = std::round(value / 60.0 * 100) / 100;
    w_->equipment.Insert({code, equipment[i], value, deprec});
    const std::string fa_code = fmt::format("IT{:04}", i + 1);
    w_->fa_object.Insert({code, fa_code, fmt::format("{} (ilgalaikis turtas)", equipment[i]),
                          static_cast<double>(random_.Between(1000, 20000))});
    equipment_[code] = SampleEquipment{value, deprec, fa_code};
  }
  const std::vector<size_t>& materials = goods_by_kind_[GoodKind::kMaterial];
  const std::vector<size_t>& works = goods_by_kind_[GoodKind::kWork];
  const std::vector<const char*> operations = {"Paruošimas", "Apdirbimas", "Surinkimas", "Apdaila"};
  int64_t assembly_id = 1;
  for (size_t p : goods_by_kind_[GoodKind::kProduct]) {
    const SampleGood& product = goods_[p];
    const int64_t parts = random_.Between(2, 5);
    for (int64_t k = 0; k < parts; ++k) {
      const SampleGood& m = goods_[random_.Pick(materials)];
      w_->material.Insert({product.code, product.unit, m.code, m.unit,
                           static_cast<double>(random_.Between(1, 400)) / 10.0, 1, 0});
    }
    const int64_t ops = random_.Between(1, 3);
    for (int64_t k = 0; k < ops; ++k) {
      w_->assembly.Insert({assembly_id, product.code, fmt::format("OP{:02}", k + 1),
                           operations[static_cast<size_t>(k)]});
      const SampleGood& work = goods_[random_.Pick(works)];
      const double norm = static_cast<double>(random_.Between(5, 300)) / 100.0;
      w_->labour.Insert({assembly_id, work.code, work.price, 1, norm, 1, 1, 0});
      const std::string eq_code = fmt::format("IR{:02}", random_.Between(1, 6));
      w_->ac_equipment.Insert({assembly_id, eq_code, 1, 0, norm});
      charts_[product.code].push_back(SampleOperation{fmt::format("OP{:02}", k + 1), work.code,
                                                      work.price, norm, eq_code, norm});
      ++assembly_id;
    }
  }
}

}  // namespace qts::host::sample
