// The packaging declaration's queries, built through the query builder as the packaging form
// and its computation build them, opened on an empty book and translated for PostgreSQL.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/error.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/data/testing/empty_book.h"
#include "sql/sql_error.h"

namespace qts::host {
namespace {

using testing::EmptyBook;
using testing::kBeg;
using testing::kCode;
using testing::kEnd;
using testing::kToday;
using testing::L;
using testing::T;

// --- Packaging declaration ---------------------------------------------------------------------

class PackagingQueryTest : public EmptyBook {
 protected:
  static std::string CaseWhen(const std::string& condition, const std::string& then_text,
                              const std::string& else_text) {
    return "CASE WHEN " + condition + " THEN " + then_text + " ELSE " + else_text + " END";
  }
  std::string VatList() { return T().ValueList(7, {Variant("10"), Variant("20")}); }

  void AddCommonColumns(NamedValueList& f, int32_t list, const std::string& amount,
                        const std::string& doc_type, const std::string& category,
                        const std::string& out_vat, const std::string& inc_vat) {
    f.AddColumn("List", 3, std::to_string(list));
    f.AddColumn("DocTypeCode", 7, doc_type);
    f.AddColumn("GoodCode", 7, "g.Code");
    f.AddColumn("UnitCode", 7, "gs.UnitCode");
    f.AddColumn("Amount", 20, amount);
    f.AddColumn("Category", 1, category);
    f.AddColumn("SubCategory", 2, "g.SubCategory");
    f.AddColumn("IsDomManufact", 14, "g.IsDomManufact");
    f.AddColumn("OutVATDirection", 7, out_vat);
    f.AddColumn("IncVATDirection", 7, inc_vat);
    f.AddColumn("Weight", 20, "gu.Weight");
    f.AddColumn("GrossWeight", 20, "gu.GrossWeight");
    f.AddColumn("UnitWeightCode", 7, "gu.UnitWeightCode");
    f.AddColumn("TKoef", 20,
                "(CASE UPPER(gu.UnitWeightCode) WHEN 'G'  THEN 1000000  WHEN 'KG' THEN 1000 "
                " WHEN 'T'  THEN 1 ELSE NULL END)");
    f.AddColumn("PackMaterialKind", 7, "gu.PackMaterialKind");
    f.AddColumn("PackType", 3, "gu.PackType");
    f.AddColumn("IsReusable", 14, "gu.IsReusable");
  }

  QueryPtr None(std::string_view table) {
    QueryPtr q = Q(table);
    q->Fields().KeepOnly({});
    return q;
  }

  // From THDocument as D with its rows, their goods units and goods, and the period and
  // posted conditions every list shares.
  QueryPtr ListBase(bool reusable) {
    QueryPtr d = None("THDocument");
    d->SetAlias("D");
    d->InnerJoin(None("THGoodSpec"), "gs", "gs.DocID = D.IDC");
    d->InnerJoin(None("REFGoodUnit"), "gu",
                 "gs.GoodCode = gu.GoodCode AND gs.UnitCode = gu.UnitCode AND gu.IsReusable = " +
                     std::string(reusable ? "1" : "0"));
    d->InnerJoin(None("REFGood"), "G", "G.Code = gs.GoodCode and G.Category = 0");
    return d;
  }
  std::vector<std::string> Common() {
    return {T().ColumnCondition("D.DocumentDate", 9, 105, Variant(kBeg), Variant(kEnd)),
            T().ColumnCondition("D.IsPosted", 14, 1, L(1))};
  }

  QueryPtr SalesList(bool reusable) {
    QueryPtr d = ListBase(reusable);
    d->InnerJoin(None("THDocType"), "DT",
                 "DT.Code = D.DocTypeCode AND DT.IsIncome = 0 AND ((DT.IsOrderDirect = 1 AND "
                 "DT.Category = 0) OR DT.Code = " +
                     T().SqlValue(Variant("TPPR"), 7) + ")");
    d->LeftJoin(None("PRSFTHDocument"), "dPRSF", "D.IDC = dPRSF.DocID");
    d->LeftJoin(None("TPPRTHDocument"), "dTPPR", "D.IDC = dTPPR.DocID");
    d->LeftJoin(None("REFDates"), "Mult", "Mult.IDC BETWEEN 1 AND 2");
    d->LeftJoin(None("THGoodSpecFixLog"), "gsFix", "gs.IDC = gsFix.OutcomeSpecID AND Mult.IDC = 1");
    d->LeftJoin(None("THGoodSpec"), "gsInc", "gsFix.IncomeSpecID = gsInc.IDC");
    d->LeftJoin(None("PISFTHDocument"), "dPISF", "gsInc.DocID = dPISF.DocID");
    QueryPtr fix = None("THGoodSpecFixLog");
    fix->SetAlias("Fix");
    fix->Fields().AddColumn("Amount", 20, "Fix.Amount").SetAggregate(kAggregateSum);
    fix->AddWhere("gs.IDC = Fix.OutcomeSpecID");
    std::string amount =
        "(CASE WHEN Mult.IDC = 1 THEN IsNull(gsFix.Amount, 0) / gu.Rate  ELSE ( gs.AmountAccount "
        "- IsNull((" +
        fix->SqlText() + "), 0) ) END)";
    AddCommonColumns(d->Fields(), 1, amount, "DT.Code", "DT.Category",
                     "COALESCE(dPRSF.VATDirection, dTPPR.VATDirection)", "dPISF.VATDirection");
    d->AddWhere(T().JoinConditions(1, Common()));
    return d;
  }

  QueryPtr PurchaseList(bool reusable) {
    QueryPtr d = ListBase(reusable);
    d->InnerJoin(None("THDocType"), "DT",
                 "DT.Code = D.DocTypeCode AND DT.IsOrderDirect = 1 AND DT.Category = 0");
    d->LeftJoin(None("PISFTHDocument"), "dPISF", "gs.DocID = dPISF.DocID");
    std::string amount =
        "(CASE WHEN DT.IsIncome = 1 THEN  (CASE WHEN COALESCE(dPISF.VATDirection,'') IN(" +
        VatList() + " ,'') THEN gs.Amount ELSE 0 END) ELSE -gs.Amount END)";
    AddCommonColumns(d->Fields(), 2, amount, "DT.Code", "DT.Category", "NULL", "NULL");
    d->AddWhere(T().JoinConditions(1, Common()));
    return d;
  }

  // `invoice_row_test` is the system's "NOT dPRSF.IDC Is Null"; the book's additional-field
  // tables are keyed by DocID and have no IDC of their own (see ContentListAsWritten).
  QueryPtr ContentList(bool reusable,
                       const std::string& invoice_row_test = "NOT dPRSF.DocID Is Null") {
    QueryPtr d = ListBase(reusable);
    d->InnerJoin(None("TPPRTHDocument"), "dTPPR", "D.IDC = dTPPR.DocID");
    d->LeftJoin(None("THGoodContent"), "GC", "GC.SpecId = gs.IDC AND gu.PackType <> 3");
    d->LeftJoin(None("THGoodSpec"), "gsOut", "GC.CorSpecID = gsOut.IDC");
    d->LeftJoin(None("PRSFTHDocument"), "dPRSF", "gsOut.DocID = dPRSF.DocID");
    QueryPtr fix = None("THGoodSpecFixLog");
    fix->SetAlias("Fix");
    fix->Fields().AddColumn("IDC", 3, "Fix.IDC");
    fix->InnerJoin(None("THGoodSpec"), "gsInc", "Fix.IncomeSpecID = gsInc.IDC");
    fix->InnerJoin(None("PISFTHDocument"), "dPISF", "gsInc.DocID = dPISF.DocID");
    fix->AddWhere(
        T().JoinConditions(1, {"Fix.OutcomeSpecID = gsOut.IDC", invoice_row_test,
                               "COALESCE(dPISF.VATDirection,'') IN(" + VatList() + ")",
                               "(NOT COALESCE(dTPPR.VATDirection,'') IN(" + VatList() + "))"}));
    std::vector<std::string> conditions = {
        T().ColumnCondition("D.DocTypeCode", 7, 1, Variant("TPPR"))};
    for (const std::string& c : Common()) conditions.push_back(c);
    conditions.push_back(
        T().JoinConditions(102, {"gu.PackType = 3", "Exists(" + fix->SqlText() + ")"}));
    d->AddWhere(T().JoinConditions(1, conditions));
    AddCommonColumns(d->Fields(), 3,
                     "(CASE WHEN gu.PackType = 3 THEN gs.Amount ELSE GC.AmountAccount / gu.Rate "
                     "END)",
                     "D.DocTypeCode", T().SqlValue(L(1), 1), "NULL", "NULL");
    return d;
  }

  struct Column {
    const char* name;
    int list;
    int category;
    const char* block;
    const char* vat;  // "", "IN", "NOT IN", "OUT", "NOT OUT", "NOT OUT and IN"
    bool material;
  };

  std::vector<std::string> Block(const std::string& block) {
    std::string p80 = T().ColumnCondition("D.SubCategory", 2, 1, Variant("80"));
    bool reusable = block.front() == 'R';
    std::string pack_type =
        block.find("23") != std::string::npos ? "D.PackType IN (2,3)" : "D.PackType = 1";
    std::string reuse = reusable ? "D.IsReusable = 1" : "D.IsReusable = 0";
    std::string dom = block.back() == 'D' ? "D.IsDomManufact = 1" : "D.IsDomManufact = 0";
    if (block[0] == 'S') return {p80, "D.IsReusable = 0", dom};
    return {pack_type, reuse, dom};
  }
  std::vector<std::string> Vat(const std::string& vat) {
    std::string list = VatList();
    std::string out = "D.OutVATDirection IN(" + list + " )";
    std::string in = "D.IncVATDirection IN(" + list + " )";
    if (vat == "IN") return {in};
    if (vat == "NOT IN") return {"NOT " + in};
    if (vat == "OUT") return {out};
    if (vat == "NOT OUT") return {"NOT " + out};
    if (vat == "NOT OUT and IN") return {"NOT " + out, in};
    return {};
  }

  QueryPtr BuildDeclarationQuery(bool reusable) {
    QueryPtr sales = SalesList(reusable);
    sales->Union(PurchaseList(reusable), "D");
    sales->Union(ContentList(reusable), "D");
    QueryPtr w = Wrap(sales, "D");
    w->Fields().Item("Amount").SetAggregate(kAggregateSum);
    std::string cat1 = T().ColumnCondition("D.Category", 1, 1, L(1));
    std::string cat0 = T().ColumnCondition("D.Category", 1, 1, L(0));
    std::string material = "ROUND(COALESCE((D.Amount * D.Weight) / TKoef,0),4)";
    std::string packaging = "ROUND(COALESCE(D.Amount * (D.GrossWeight - D.Weight) / TKoef,0),4)";
    const Column columns[] = {
        {"f502", 1, 0, "S-D", "NOT IN", true},
        {"f503", 1, 0, "S-F", "NOT OUT and IN", true},
        {"f504", 1, 0, "S-F", "OUT", true},
        {"f505", 2, 0, "S-F", "", true},
        {"f506", 1, 0, "T1-D", "NOT OUT", false},
        {"f507", 1, 1, "T23-D", "NOT OUT", false},
        {"f508", 1, 0, "T1-F", "NOT OUT and IN", false},
        {"f509", 3, 1, "T23-F", "", false},
        {"f510", 1, 0, "T1-F", "OUT", false},
        {"f511", 1, 1, "T23-F", "OUT", false},
        {"f512", 2, 0, "T1-F", "", false},
        {"f513", 2, 0, "T23-F", "", false},
        {"f602", 1, 0, "R1-D", "NOT IN", false},
        {"f603", 1, 1, "R23-D", "NOT OUT", false},
        {"f604", 1, 0, "R1-F", "NOT OUT and IN", false},
        {"f605", 3, 1, "R23-F", "", false},
        {"f606", 1, 0, "R1-F", "OUT", false},
        {"f607", 1, 1, "R23-F", "OUT", false},
    };
    for (const Column& c : columns) {
      std::vector<std::string> parts = {T().ColumnCondition("D.List", 3, 1, L(c.list)),
                                        c.category == 1 ? cat1 : cat0};
      for (const std::string& p : Block(c.block)) parts.push_back(p);
      for (const std::string& p : Vat(c.vat)) parts.push_back(p);
      w->Fields().AddColumn(
          c.name, 20,
          CaseWhen(T().JoinConditions(1, parts), c.material ? material : packaging, "0"));
    }
    QueryPtr outer = Wrap(w, "D");
    std::string pieces;
    for (int i = 2; i <= 13; ++i) pieces += fmt::format("NULLIf(D.f5{:02},0), ", i);
    for (int i = 2; i <= 7; ++i) pieces += fmt::format("NULLIf(D.f6{:02},0), ", i);
    outer->AddWhere("COALESCE(" + pieces + "0) <> 0 ");
    return outer;
  }

  // Saved declarations: one document, or the declarations of a period with a reusable flag.
  QueryPtr DeclarationData(int32_t doc_id, bool reusable) {
    QueryPtr d = None("THDocument");
    d->SetAlias("D");
    d->InnerJoin(None("PACKTHDocument"), "da", "D.IDC = da.DocID");
    d->InnerJoin(None("THGoodSpec"), "gs", "D.IDC = gs.DocID");
    d->InnerJoin(None("PACKTHGoodSpec"), "gsa",
                 "gs.DocID = gsa.DocID AND gs.PosNumb = gsa.PosNumb");
    d->InnerJoin(None("REFGoodUnit"), "gu",
                 "gs.GoodCode = gu.GoodCode AND gs.UnitCode = gu.UnitCode");
    d->InnerJoin(None("REFGood"), "G", "gs.GoodCode = g.Code");
    if (doc_id != 0) {
      d->AddWhere(T().ColumnCondition("D.IDC", 3, 1, L(doc_id)));
    } else {
      d->AddWhere(T().JoinConditions(
          1, {T().ColumnCondition("D.CommingInForceDate", 9, 5, Variant(kBeg)),
              T().ColumnCondition("D.TermsOfValidityDate", 9, 3, Variant(kEnd)),
              T().ColumnCondition("da.IsReusablePack", 14, 1, L(reusable ? 1 : 0))}));
    }
    NamedValueList& f = d->Fields();
    f.AddColumn("IDC", 3, "D.IDC");
    f.AddColumn("CommingInForceDate", 9, "D.CommingInForceDate");
    f.AddColumn("TermsOfValidityDate", 9, "D.TermsOfValidityDate");
    f.AddColumn("SubCategory", 2, "g.SubCategory");
    f.AddColumn("IsDomManufact", 14, "g.IsDomManufact");
    f.AddColumn("PackMaterialKind", 7, "gsa.PackMaterialKind");
    f.AddColumn("PackType", 3, "gsa.PackType");
    f.AddColumn("IsReusable", 14, "da.IsReusablePack");
    f.AddColumn("AmountB", 20, "gsa.SaleManufactAmount");
    f.AddColumn("AmountC", 20, "gsa.SaleImportAmount");
    f.AddColumn("AmountD", 20, "gsa.ExportAmount");
    f.AddColumn("AmountE", 20, "gsa.NotSaleAmount");
    f.AddColumn("AmountF", 20, "gsa.UsedPackInSaleAmount");
    f.AddColumn("AmountG", 20, "gsa.ReturnAmount");
    QueryPtr w = Wrap(d, "D");
    w->LeftJoin(None("REFPackMaterialKind"), "PM", "D.PackMaterialKind = PM.Code");
    return w;
  }
};

TEST_F(PackagingQueryTest, DeclarationComputation) {
  for (bool reusable : {false, true}) {
    SCOPED_TRACE(reusable);
    QueryPtr q = BuildDeclarationQuery(reusable);
    ExpectRuns(*q, 17 + 18);
  }
}

TEST_F(PackagingQueryTest, EachListAlone) {
  ExpectRuns(*SalesList(false), 17);
  ExpectRuns(*PurchaseList(true), 17);
  ExpectRuns(*ContentList(false), 17);
}

// The content list's sub-query tests for a sales invoice by "NOT dPRSF.IDC Is Null", but the
// additional header fields of a type ("PRSFTHDocument") are keyed by DocID and have no IDC:
// as written the statement is refused, naming the column and its place. The constructions
// above test the same thing through DocID.
TEST_F(PackagingQueryTest, ContentListAsWritten) {
  QueryPtr q = ContentList(false, "NOT dPRSF.IDC Is Null");
  try {
    q->Open();
    FAIL() << "opened";
  } catch (const sql::SqlError& e) {
    EXPECT_NE(e.Description().find("'dPRSF.IDC'"), std::string::npos) << e.Description();
    EXPECT_EQ(e.Line(), 1);
    EXPECT_GT(e.Column(), 1);
  }
}

TEST_F(PackagingQueryTest, ExistingDeclarationOfThePeriod) {
  QueryPtr q = Q("THDocument");
  QueryPtr a = None("PACKTHDocument");
  q->AddWhere(T().JoinConditions(
      1, {T().ColumnCondition("DocA.IsReusablePack", 14, 1, L(1)),
          T().Condition(q->Fields().Item("DocTypeCode"), 1, Variant("PACK")),
          T().Condition(q->Fields().Item("IDC"), 6, L(3)),
          T().Condition(q->Fields().Item("CommingInForceDate"), 3, Variant(kEnd)),
          T().Condition(q->Fields().Item("TermsOfValidityDate"), 5, Variant(kBeg))}));
  q->Fields().KeepOnly({"IDC"});
  q->InnerJoin(a, "DocA", "oTable.IDC = DocA.DocID");
  ExpectRuns(*q, 1);
}

TEST_F(PackagingQueryTest, ReportDataListsFromSavedDeclarations) {
  struct Sum {
    const char* name;
    const char* block;
    const char* amount;
  };
  const std::vector<Sum> list_a = {
      {"f502", "S-D", "D.AmountB"},  {"f503", "S-F", "D.AmountC"},
      {"f504", "S-F", "D.AmountD"},  {"f505", "S-F", "D.AmountE"},
      {"f506", "T1-D", "D.AmountF"}, {"f507", "T23-D", "D.AmountF"},
      {"f508", "T1-F", "D.AmountC"}, {"f509", "T23-F", "D.AmountC"},
      {"f510", "T1-F", "D.AmountD"}, {"f511", "T23-F", "D.AmountD"},
      {"f512", "T1-F", "D.AmountE"}, {"f513", "T23-F", "D.AmountE"},
  };
  const std::vector<Sum> list_b = {
      {"f602", "R1-D", "D.AmountF"}, {"f603", "R23-D", "D.AmountF"},
      {"f604", "R1-F", "D.AmountC"}, {"f605", "R23-F", "D.AmountC"},
      {"f606", "R1-F", "D.AmountD"}, {"f607", "R23-F", "D.AmountD"},
  };
  for (int32_t doc_id : {0, 4}) {
    for (const std::vector<Sum>* sums : {&list_a, &list_b}) {
      SCOPED_TRACE(doc_id);
      QueryPtr q = DeclarationData(doc_id, sums == &list_b);
      q->Fields().AddColumn("Code", 7, "PM.Code");
      q->Fields().AddColumn("Name", 16, "PM.Name");
      for (const Sum& s : *sums) {
        q->Fields()
            .AddColumn(s.name, 20, CaseWhen(T().JoinConditions(1, Block(s.block)), s.amount, "0"))
            .SetAggregate(kAggregateSum);
      }
      QueryPtr w = Wrap(q, "D");
      w->OrderBy("Code");
      ExpectRuns(*w, q->OutputNames().size());
    }
  }
}

}  // namespace
}  // namespace qts::host
