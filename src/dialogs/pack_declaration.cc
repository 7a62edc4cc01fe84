#include "dialogs/pack_declaration.h"

#include <utility>

#include "core/convert.h"
#include "frame/module_functions.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"

namespace qts::dialogs {

using host::Kind;

namespace {

// The weight divisor to tonnes of the goods unit's weight unit.
constexpr const char* kTKoef =
    "(CASE UPPER(gu.UnitWeightCode) WHEN 'G'  THEN 1000000  WHEN 'KG' THEN 1000  WHEN 'T'  "
    "THEN 1 ELSE NULL END)";
constexpr const char* kMaterialWeight = "ROUND(COALESCE((D.Amount * D.Weight) / TKoef,0),4)";
constexpr const char* kPackagingWeight =
    "ROUND(COALESCE(D.Amount * (D.GrossWeight - D.Weight) / TKoef,0),4)";

using B = PackBlock;
using O = PackOrigin;
using V = VatRule;
constexpr DeclarationColumn kColumns[] = {
    {"f502", kListSales, 0, B::kSub80, false, O::kDomestic, V::kNotIn, true, "AmountB"},
    {"f503", kListSales, 0, B::kSub80, false, O::kForeign, V::kNotOutAndIn, true, "AmountC"},
    {"f504", kListSales, 0, B::kSub80, false, O::kForeign, V::kOut, true, "AmountD"},
    {"f505", kListPurchases, 0, B::kSub80, false, O::kForeign, V::kNone, true, "AmountE"},
    {"f506", kListSales, 0, B::kType1, false, O::kDomestic, V::kNotOut, false, "AmountF"},
    {"f507", kListSales, 1, B::kType23, false, O::kDomestic, V::kNotOut, false, "AmountF"},
    {"f508", kListSales, 0, B::kType1, false, O::kForeign, V::kNotOutAndIn, false, "AmountC"},
    {"f509", kListContent, 1, B::kType23, false, O::kForeign, V::kNone, false, "AmountC"},
    {"f510", kListSales, 0, B::kType1, false, O::kForeign, V::kOut, false, "AmountD"},
    {"f511", kListSales, 1, B::kType23, false, O::kForeign, V::kOut, false, "AmountD"},
    {"f512", kListPurchases, 0, B::kType1, false, O::kForeign, V::kNone, false, "AmountE"},
    {"f513", kListPurchases, 0, B::kType23, false, O::kForeign, V::kNone, false, "AmountE"},
    {"f602", kListSales, 0, B::kType1, true, O::kDomestic, V::kNotIn, false, "AmountF"},
    {"f603", kListSales, 1, B::kType23, true, O::kDomestic, V::kNotOut, false, "AmountF"},
    {"f604", kListSales, 0, B::kType1, true, O::kForeign, V::kNotOutAndIn, false, "AmountC"},
    {"f605", kListContent, 1, B::kType23, true, O::kForeign, V::kNone, false, "AmountC"},
    {"f606", kListSales, 0, B::kType1, true, O::kForeign, V::kOut, false, "AmountD"},
    {"f607", kListSales, 1, B::kType23, true, O::kForeign, V::kOut, false, "AmountD"},
    {"f608", kListReturns, 0, B::kType1, true, O::kAny, V::kNone, false, "AmountG"},
    {"f609", kListReturns, 0, B::kType23, true, O::kAny, V::kNone, false, "AmountG"},
};

const host::SqlTools& Sql() { return *host::SqlTools::Instance(); }

// The VAT directions the declaration tells apart.
std::string VatList() { return Sql().ValueList(Kind::kCode, {Variant("10"), Variant("20")}); }

std::string VatCondition(VatRule rule) {
  const std::string list = VatList();
  const std::string out = "D.OutVATDirection IN(" + list + " )";
  const std::string in = "D.IncVATDirection IN(" + list + " )";
  switch (rule) {
    case VatRule::kNone:
      return "";
    case VatRule::kNotIn:
      return "NOT " + in;
    case VatRule::kNotOutAndIn:
      return Sql().JoinConditions(host::kJoinAnd, {"NOT " + out, in});
    case VatRule::kOut:
      return out;
    case VatRule::kNotOut:
      return "NOT " + out;
  }
  return "";
}

std::string ColumnConditionText(const DeclarationColumn& c) {
  const host::SqlTools& sql = Sql();
  return sql.JoinConditions(
      host::kJoinAnd,
      {sql.ColumnCondition("D.List", Kind::kLongId, host::kOpEqual, Variant(c.list)),
       sql.ColumnCondition("D.Category", Kind::kCategory, host::kOpEqual, Variant(c.category)),
       BlockCondition(c), VatCondition(c.vat)});
}

Currency Amount(const host::NamedValueList& row, const char* name) {
  const Variant& value = row.Item(name).Value();
  if (value.IsNull() || value.IsEmpty()) return Currency();
  return CCur(value);
}

}  // namespace

std::span<const DeclarationColumn> DeclarationColumns() { return kColumns; }

std::string BlockCondition(const DeclarationColumn& c) {
  const host::SqlTools& sql = Sql();
  std::vector<std::string> parts;
  switch (c.block) {
    case PackBlock::kSub80:
      parts.push_back(
          sql.ColumnCondition("D.SubCategory", Kind::kRowId, host::kOpEqual, Variant("80")));
      break;
    case PackBlock::kType1:
      parts.push_back("D.PackType = 1");
      break;
    case PackBlock::kType23:
      parts.push_back("D.PackType IN (2,3)");
      break;
  }
  parts.push_back(c.reusable ? "D.IsReusable = 1" : "D.IsReusable = 0");
  if (c.origin != PackOrigin::kAny) {
    parts.push_back(c.origin == PackOrigin::kDomestic ? "D.IsDomManufact = 1"
                                                      : "D.IsDomManufact = 0");
  }
  return sql.JoinConditions(host::kJoinAnd, parts);
}

Currency LastNonZero(std::span<const Currency> values) {
  for (auto it = values.rbegin(); it != values.rend(); ++it) {
    if (*it != Currency()) return *it;
  }
  return Currency();
}

std::string CaseWhen(std::string_view condition, std::string_view then,
                     std::string_view otherwise) {
  return "CASE WHEN " + std::string(condition) + " THEN " + std::string(then) + " ELSE " +
         std::string(otherwise) + " END";
}

PackAmounts AmountsOf(const host::NamedValueList& row, bool reusable) {
  PackAmounts a;
  for (const DeclarationColumn& c : kColumns) {
    const Currency tonnes = Amount(row, c.name);
    if (tonnes == Currency()) continue;
    const std::string_view saved = c.saved;
    if (saved == "AmountB") a.sale_manufact = tonnes;
    if (saved == "AmountC") a.sale_import = tonnes;
    if (saved == "AmountD") a.export_amount = tonnes;
    if (saved == "AmountE") a.not_sale = tonnes;
    if (saved == "AmountF") a.used_in_sale = tonnes;
    if (saved == "AmountG" && reusable) a.returned = tonnes;
  }
  return a;
}

PackDeclaration::PackDeclaration(host::AppContextPtr book, Date begin, Date end, bool reusable)
    : book_(std::move(book)), begin_(begin), end_(end), reusable_(reusable) {}

host::QueryPtr PackDeclaration::Source(std::string_view table, std::string_view alias) const {
  host::QueryPtr q = book_->CreateQuery(table);
  q->SetAlias(alias);
  q->Fields().KeepOnly({});
  return q;
}

std::string PackDeclaration::PeriodCondition() const {
  const host::SqlTools& sql = Sql();
  return sql.JoinConditions(
      host::kJoinAnd,
      {sql.ColumnCondition("D.DocumentDate", Kind::kDate, host::kOpBetween, Variant(begin_),
                           Variant(end_)),
       sql.ColumnCondition("D.IsPosted", Kind::kFlag, host::kOpEqual, Variant(int32_t{1}))});
}

host::QueryPtr PackDeclaration::Documents() const {
  host::QueryPtr d = Source("THDocument", "D");
  d->InnerJoin(Source("THGoodSpec", "gs"), "gs", "gs.DocID = D.IDC");
  d->InnerJoin(Source("REFGoodUnit", "gu"), "gu",
               "gs.GoodCode = gu.GoodCode AND gs.UnitCode = gu.UnitCode AND gu.IsReusable = " +
                   std::string(reusable_ ? "1" : "0"));
  d->InnerJoin(Source("REFGood", "G"), "G", "G.Code = gs.GoodCode and G.Category = 0");
  d->AddWhere(PeriodCondition());
  return d;
}

void PackDeclaration::AddCommonColumns(host::NamedValueList& columns, int32_t list,
                                       std::string_view doc_type, std::string_view amount,
                                       std::string_view category, std::string_view out_vat,
                                       std::string_view inc_vat) {
  columns.AddColumn("List", Kind::kLongId, Sql().SqlValue(Variant(list), Kind::kLongId));
  columns.AddColumn("DocTypeCode", Kind::kCode, doc_type);
  columns.AddColumn("GoodCode", Kind::kCode, "g.Code");
  columns.AddColumn("UnitCode", Kind::kCode, "gs.UnitCode");
  columns.AddColumn("Amount", Kind::kQuantity, amount);
  columns.AddColumn("Category", Kind::kCategory, category);
  columns.AddColumn("SubCategory", Kind::kCategory, "g.SubCategory");
  columns.AddColumn("IsDomManufact", Kind::kFlag, "g.IsDomManufact");
  columns.AddColumn("OutVATDirection", Kind::kCode, out_vat);
  columns.AddColumn("IncVATDirection", Kind::kCode, inc_vat);
  columns.AddColumn("Weight", Kind::kQuantity, "gu.Weight");
  columns.AddColumn("GrossWeight", Kind::kQuantity, "gu.GrossWeight");
  columns.AddColumn("UnitWeightCode", Kind::kCode, "gu.UnitWeightCode");
  columns.AddColumn("TKoef", Kind::kLongId, kTKoef);
  columns.AddColumn("PackMaterialKind", Kind::kCode, "gu.PackMaterialKind");
  columns.AddColumn("PackType", Kind::kLongId, "gu.PackType");
  columns.AddColumn("IsReusable", Kind::kFlag, "gu.IsReusable");
}

host::QueryPtr PackDeclaration::SalesList() const {
  const host::SqlTools& sql = Sql();
  host::QueryPtr d = Documents();
  d->InnerJoin(Source("THDocType", "DT"), "DT",
               "DT.Code = D.DocTypeCode AND DT.IsIncome = 0 AND ((DT.IsOrderDirect = 1 AND "
               "DT.Category = 0) OR DT.Code = " +
                   sql.SqlValue(Variant("TPPR"), Kind::kCode) + ")");
  d->LeftJoin(Source("PRSFTHDocument", "dPRSF"), "dPRSF", "D.IDC = dPRSF.DocID");
  d->LeftJoin(Source("TPPRTHDocument", "dTPPR"), "dTPPR", "D.IDC = dTPPR.DocID");
  // Two rows per sold row: 1 carries the income links, 2 the remainder no link covers.
  d->LeftJoin(Source("REFDates", "Mult"), "Mult", "Mult.IDC BETWEEN 1 AND 2");
  d->LeftJoin(Source("THGoodSpecFixLog", "gsFix"), "gsFix",
              "gs.IDC = gsFix.OutcomeSpecID AND Mult.IDC = 1");
  d->LeftJoin(Source("THGoodSpec", "gsInc"), "gsInc", "gsFix.IncomeSpecID = gsInc.IDC");
  d->LeftJoin(Source("PISFTHDocument", "dPISF"), "dPISF", "gsInc.DocID = dPISF.DocID");

  host::QueryPtr fix = Source("THGoodSpecFixLog", "Fix");
  fix->Fields()
      .AddColumn("Amount", Kind::kQuantity, "Fix.Amount")
      .SetAggregate(host::kAggregateSum);
  fix->AddWhere("gs.IDC = Fix.OutcomeSpecID");
  const std::string amount =
      "(CASE WHEN Mult.IDC = 1 THEN IsNull(gsFix.Amount, 0) / gu.Rate  ELSE ( gs.AmountAccount - "
      "IsNull((" +
      fix->SqlText() + "), 0) ) END)";
  AddCommonColumns(d->Fields(), kListSales, "DT.Code", amount, "DT.Category",
                   "COALESCE(dPRSF.VATDirection, dTPPR.VATDirection)", "dPISF.VATDirection");
  return d;
}

host::QueryPtr PackDeclaration::PurchaseList() const {
  host::QueryPtr d = Documents();
  d->InnerJoin(Source("THDocType", "DT"), "DT",
               "DT.Code = D.DocTypeCode AND DT.IsOrderDirect = 1 AND DT.Category = 0");
  d->LeftJoin(Source("PISFTHDocument", "dPISF"), "dPISF", "gs.DocID = dPISF.DocID");
  const std::string amount =
      "(CASE WHEN DT.IsIncome = 1 THEN  (CASE WHEN COALESCE(dPISF.VATDirection,'') IN(" +
      VatList() + " ,'') THEN gs.Amount ELSE 0 END) ELSE -gs.Amount END)";
  AddCommonColumns(d->Fields(), kListPurchases, "DT.Code", amount, "DT.Category", "NULL", "NULL");
  return d;
}

host::QueryPtr PackDeclaration::ContentList() const {
  const host::SqlTools& sql = Sql();
  host::QueryPtr d = Documents();
  d->InnerJoin(Source("TPPRTHDocument", "dTPPR"), "dTPPR", "D.IDC = dTPPR.DocID");
  d->LeftJoin(Source("THGoodContent", "GC"), "GC", "GC.SpecId = gs.IDC AND gu.PackType <> 3");
  d->LeftJoin(Source("THGoodSpec", "gsOut"), "gsOut", "GC.CorSpecID = gsOut.IDC");
  d->LeftJoin(Source("PRSFTHDocument", "dPRSF"), "dPRSF", "gsOut.DocID = dPRSF.DocID");

  // The packed goods were bought under VAT direction 10 or 20 and sold under another.
  host::QueryPtr fix = Source("THGoodSpecFixLog", "Fix");
  fix->Fields().AddColumn("IDC", Kind::kRowId, "Fix.IDC");
  fix->InnerJoin(Source("THGoodSpec", "gsInc"), "gsInc", "Fix.IncomeSpecID = gsInc.IDC");
  fix->InnerJoin(Source("PISFTHDocument", "dPISF"), "dPISF", "gsInc.DocID = dPISF.DocID");
  const std::string list = VatList();
  fix->AddWhere(sql.JoinConditions(host::kJoinAnd,
                                   {"Fix.OutcomeSpecID = gsOut.IDC", "NOT dPRSF.DocID Is Null",
                                    "COALESCE(dPISF.VATDirection,'') IN(" + list + ")",
                                    "(NOT COALESCE(dTPPR.VATDirection,'') IN(" + list + "))"}));

  d->AddWhere(sql.JoinConditions(
      host::kJoinAnd,
      {d->WhereText(),
       sql.ColumnCondition("D.DocTypeCode", Kind::kCode, host::kOpEqual, Variant("TPPR")),
       sql.JoinConditions(host::kJoinOr, {"gu.PackType = 3", "Exists(" + fix->SqlText() + ")"})}));
  AddCommonColumns(d->Fields(), kListContent, "D.DocTypeCode",
                   "(CASE WHEN gu.PackType = 3 THEN gs.Amount ELSE GC.AmountAccount / gu.Rate END)",
                   Sql().SqlValue(Variant(int32_t{1}), Kind::kCategory), "NULL", "NULL");
  return d;
}

host::QueryPtr PackDeclaration::ReturnList() const {
  const host::SqlTools& sql = Sql();
  host::QueryPtr d = Documents();
  d->InnerJoin(Source("THDocType", "DT"), "DT",
               "DT.Code = D.DocTypeCode AND DT.IsIncome = 1 AND DT.IsOrderDirect = 1 AND "
               "DT.Category = 0");
  host::QueryPtr customer = Source("THPartyAttribute", "pa");
  customer->Fields().AddColumn("DocID", Kind::kRowId, "pa.DocID");
  customer->AddWhere(sql.JoinConditions(
      host::kJoinAnd, {"pa.DocID = D.IDC", sql.ColumnCondition("pa.RolePartyCode", Kind::kCode,
                                                               host::kOpEqual, Variant("CUST"))}));
  d->AddWhere(
      sql.JoinConditions(host::kJoinAnd, {d->WhereText(), "Exists(" + customer->SqlText() + ")"}));
  AddCommonColumns(d->Fields(), kListReturns, "DT.Code", "gs.Amount", "DT.Category", "NULL",
                   "NULL");
  return d;
}

host::QueryPtr PackDeclaration::DeclarationQuery() const {
  host::QueryPtr rows = SalesList();
  rows->Union(PurchaseList(), "D");
  rows->Union(ContentList(), "D");
  rows->Union(ReturnList(), "D");

  host::AppContextPtr book = book_;
  host::QueryPtr summed = frame::WrapQuery(rows, "D", Variant(), book, false);
  summed->Fields().Item("Amount").SetAggregate(host::kAggregateSum);
  for (const DeclarationColumn& c : kColumns) {
    summed->Fields()
        .AddColumn(
            c.name, Kind::kWeight,
            CaseWhen(ColumnConditionText(c), c.material ? kMaterialWeight : kPackagingWeight, "0"))
        .SetAggregate(host::kAggregateSum);
  }

  host::QueryPtr result = frame::WrapQuery(summed, "D", Variant(), book, false);
  std::string any = "COALESCE(";
  for (const DeclarationColumn& c : kColumns) any += "NULLIf(D." + std::string(c.name) + ",0), ";
  result->AddWhere(any + "0) <> 0 ");
  // Equal keys are ordered by their VAT directions, a missing one first on every backend.
  result->OrderBy(
      "D.PackMaterialKind, D.PackType, D.GoodCode, D.UnitCode, D.List, D.DocTypeCode, "
      "COALESCE(D.OutVATDirection, ''), COALESCE(D.IncVATDirection, '')");
  return result;
}

host::QueryPtr PackDeclaration::BuildDeclarationQuery() const {
  host::QueryPtr query = DeclarationQuery();
  query->Open();
  return query;
}

}  // namespace qts::dialogs
