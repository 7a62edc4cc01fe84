// A large statement for the translator's tests and benchmark, of the shape the query builder
// writes: a packaging declaration, three row lists of stock documents joined by UNION ALL,
// summed, spread over the 18 declaration columns and filtered to rows with some non-zero
// column. It names only tables and columns of the book's schema.
#ifndef QTS_SQL_TESTING_CORPUS_H_
#define QTS_SQL_TESTING_CORPUS_H_

#include <string>
#include <vector>

namespace qts::sql::testing {

inline std::string PackagingDeclarationSql(const std::string& begin, const std::string& end,
                                           bool reusable) {
  const std::string list = "'10', '20'";
  const std::string period =
      "D.DocumentDate BETWEEN '" + begin + "' AND '" + end + "' AND D.IsPosted = 1";
  const std::string unit_join =
      " INNER JOIN REFGoodUnit gu ON gs.GoodCode = gu.GoodCode AND "
      "gs.UnitCode = gu.UnitCode AND gu.IsReusable = " +
      std::string(reusable ? "1" : "0");
  const std::string common_joins =
      " INNER JOIN THGoodSpec gs ON gs.DocID = D.IDC" + unit_join +
      " INNER JOIN REFGood G ON G.Code = gs.GoodCode and G.Category = 0";
  const std::string tkoef =
      "(CASE UPPER(gu.UnitWeightCode) WHEN 'G'  THEN 1000000  WHEN 'KG' THEN 1000  WHEN 'T'  "
      "THEN 1 ELSE NULL END)";
  auto columns = [&](const std::string& number, const std::string& doc_type,
                     const std::string& amount, const std::string& category,
                     const std::string& out_vat, const std::string& inc_vat) {
    return "SELECT " + number + " AS List, " + doc_type +
           " AS DocTypeCode, g.Code AS GoodCode, "
           "gs.UnitCode AS UnitCode, " +
           amount + " AS Amount, " + category +
           " AS Category, "
           "g.SubCategory AS SubCategory, g.IsDomManufact AS IsDomManufact, " +
           out_vat + " AS OutVATDirection, " + inc_vat +
           " AS IncVATDirection, gu.Weight AS Weight, "
           "gu.GrossWeight AS GrossWeight, gu.UnitWeightCode AS UnitWeightCode, " +
           tkoef +
           " AS TKoef, gu.PackMaterialKind AS PackMaterialKind, gu.PackType AS PackType, "
           "gu.IsReusable AS IsReusable";
  };
  std::string sales =
      columns("1", "DT.Code",
              "(CASE WHEN Mult.IDC = 1 THEN IsNull(gsFix.Amount, 0) / gu.Rate  ELSE ( "
              "gs.AmountAccount - IsNull((SELECT SUM(Fix.Amount) AS Amount FROM "
              "THGoodSpecFixLog Fix WHERE gs.IDC = Fix.OutcomeSpecID), 0) ) END)",
              "DT.Category", "COALESCE(dPRSF.VATDirection, dTPPR.VATDirection)",
              "dPISF.VATDirection") +
      " FROM THDocument D" + common_joins +
      " INNER JOIN THDocType DT ON DT.Code = D.DocTypeCode AND DT.IsIncome = 0 AND "
      "((DT.IsOrderDirect = 1 AND DT.Category = 0) OR DT.Code = 'TPPR')"
      " LEFT OUTER JOIN PRSFTHDocument dPRSF ON D.IDC = dPRSF.DocID"
      " LEFT OUTER JOIN TPPRTHDocument dTPPR ON D.IDC = dTPPR.DocID"
      " LEFT OUTER JOIN REFDates Mult ON Mult.IDC BETWEEN 1 AND 2"
      " LEFT OUTER JOIN THGoodSpecFixLog gsFix ON gs.IDC = gsFix.OutcomeSpecID AND Mult.IDC = 1"
      " LEFT OUTER JOIN THGoodSpec gsInc ON gsFix.IncomeSpecID = gsInc.IDC"
      " LEFT OUTER JOIN PISFTHDocument dPISF ON gsInc.DocID = dPISF.DocID WHERE " +
      period;
  std::string purchases =
      columns("2", "DT.Code",
              "(CASE WHEN DT.IsIncome = 1 THEN  (CASE WHEN COALESCE(dPISF.VATDirection,'') IN(" +
                  list + " ,'') THEN gs.Amount ELSE 0 END) ELSE -gs.Amount END)",
              "DT.Category", "NULL", "NULL") +
      " FROM THDocument D" + common_joins +
      " INNER JOIN THDocType DT ON DT.Code = D.DocTypeCode AND DT.IsOrderDirect = 1 AND "
      "DT.Category = 0 LEFT OUTER JOIN PISFTHDocument dPISF ON gs.DocID = dPISF.DocID WHERE " +
      period;
  std::string content =
      columns("3", "D.DocTypeCode",
              "(CASE WHEN gu.PackType = 3 THEN gs.Amount ELSE GC.AmountAccount / gu.Rate END)", "1",
              "NULL", "NULL") +
      " FROM THDocument D" + common_joins +
      " INNER JOIN TPPRTHDocument dTPPR ON D.IDC = dTPPR.DocID"
      " LEFT OUTER JOIN THGoodContent GC ON GC.SpecId = gs.IDC AND gu.PackType <> 3"
      " LEFT OUTER JOIN THGoodSpec gsOut ON GC.CorSpecID = gsOut.IDC"
      " LEFT OUTER JOIN PRSFTHDocument dPRSF ON gsOut.DocID = dPRSF.DocID"
      " WHERE D.DocTypeCode = 'TPPR' AND " +
      period +
      " AND (gu.PackType = 3 OR Exists(SELECT Fix.IDC AS IDC FROM THGoodSpecFixLog Fix"
      " INNER JOIN THGoodSpec gsInc ON Fix.IncomeSpecID = gsInc.IDC"
      " INNER JOIN PISFTHDocument dPISF ON gsInc.DocID = dPISF.DocID"
      " WHERE Fix.OutcomeSpecID = gsOut.IDC AND NOT dPRSF.DocID Is Null AND"
      " COALESCE(dPISF.VATDirection,'') IN(" +
      list + ") AND (NOT COALESCE(dTPPR.VATDirection,'') IN(" + list + "))))";

  const std::string group_columns =
      "D.List, D.DocTypeCode, D.GoodCode, D.UnitCode, D.Category, D.SubCategory, "
      "D.IsDomManufact, D.OutVATDirection, D.IncVATDirection, D.Weight, D.GrossWeight, "
      "D.UnitWeightCode, D.TKoef, D.PackMaterialKind, D.PackType, D.IsReusable";
  std::string summed = "SELECT " + group_columns + ", SUM(D.Amount) AS Amount FROM (" + sales +
                       " UNION ALL " + purchases + " UNION ALL " + content + ") D GROUP BY " +
                       group_columns;

  const std::string material = "ROUND(COALESCE((D.Amount * D.Weight) / D.TKoef,0),4)";
  const std::string packaging =
      "ROUND(COALESCE(D.Amount * (D.GrossWeight - D.Weight) / D.TKoef,0),4)";
  const std::string out = "D.OutVATDirection IN(" + list + " )";
  const std::string in = "D.IncVATDirection IN(" + list + " )";
  const std::string p80 = "D.SubCategory = 80";
  auto block = [](const std::string& first, const char* reusable, const char* domestic) {
    return first + " AND D.IsReusable = " + reusable + " AND D.IsDomManufact = " + domestic;
  };
  struct Column {
    const char* name;
    int list;
    int category;
    std::string block;
    std::string vat;
    bool material;
  };
  const std::string t1 = "D.PackType = 1", t23 = "D.PackType IN (2,3)";
  const std::vector<Column> declaration = {
      {"f502", 1, 0, block(p80, "0", "1"), "NOT " + in, true},
      {"f503", 1, 0, block(p80, "0", "0"), "NOT " + out + " AND " + in, true},
      {"f504", 1, 0, block(p80, "0", "0"), out, true},
      {"f505", 2, 0, block(p80, "0", "0"), "", true},
      {"f506", 1, 0, block(t1, "0", "1"), "NOT " + out, false},
      {"f507", 1, 1, block(t23, "0", "1"), "NOT " + out, false},
      {"f508", 1, 0, block(t1, "0", "0"), "NOT " + out + " AND " + in, false},
      {"f509", 3, 1, block(t23, "0", "0"), "", false},
      {"f510", 1, 0, block(t1, "0", "0"), out, false},
      {"f511", 1, 1, block(t23, "0", "0"), out, false},
      {"f512", 2, 0, block(t1, "0", "0"), "", false},
      {"f513", 2, 0, block(t23, "0", "0"), "", false},
      {"f602", 1, 0, block(t1, "1", "1"), "NOT " + in, false},
      {"f603", 1, 1, block(t23, "1", "1"), "NOT " + out, false},
      {"f604", 1, 0, block(t1, "1", "0"), "NOT " + out + " AND " + in, false},
      {"f605", 3, 1, block(t23, "1", "0"), "", false},
      {"f606", 1, 0, block(t1, "1", "0"), out, false},
      {"f607", 1, 1, block(t23, "1", "0"), out, false},
  };
  std::string spread = "SELECT D.GoodCode, D.UnitCode, D.PackMaterialKind, D.PackType";
  std::string filter = "COALESCE(";
  for (const Column& c : declaration) {
    std::string condition = "D.List = " + std::to_string(c.list) +
                            " AND D.Category = " + std::to_string(c.category) + " AND " + c.block;
    if (!c.vat.empty()) condition += " AND " + c.vat;
    spread += ", CASE WHEN " + condition + " THEN " + (c.material ? material : packaging) +
              " ELSE 0 END AS " + c.name;
    filter += "NULLIf(D." + std::string(c.name) + ",0), ";
  }
  spread += " FROM (" + summed + ") D";
  return "SELECT D.* FROM (" + spread + ") D WHERE " + filter + "0) <> 0  ORDER BY D.GoodCode";
}

}  // namespace qts::sql::testing

#endif  // QTS_SQL_TESTING_CORPUS_H_
