// The statements the system's documents, engine, reports and packaging computation build run
// against a book of this schema: every table and column they name exists, and every
// expression types (a text "+" needs text columns, ROUND needs numbers).
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/error.h"
#include "host/schema/schema.h"
#include "host/schema/testing/sqlite_book.h"
#include "sql/translator.h"

namespace qts::host::schema {
namespace {

using sqlite_book::CreateBook;
using sqlite_book::OpenMemory;

struct SystemQuery {
  const char* what;
  std::string tsql;
};

std::string Inline(const char* source, const char* parameter, const char* literal) {
  return "(" + SourceSql(source, {{parameter, literal}}) + ")";
}

std::vector<SystemQuery> SystemQueries() {
  const std::string tkoef =
      "(CASE UPPER(gu.UnitWeightCode) WHEN 'G'  THEN 1000000  WHEN 'KG' THEN 1000  WHEN 'T'  "
      "THEN 1 ELSE NULL END)";
  return {
      {"document made for an order",
       "SELECT oTable.IDC AS IDC FROM THDocument oTable INNER JOIN MMOTHDocument atr"
       " ON oTable.IDC = atr.DocID and atr.VehicleCode = '12' WHERE oTable.ParentID = 5"},
      {"labour of the order's operations",
       "SELECT oTable.GoodCode, oTable.UnitCode, oTable.IDC, OpList.AssCode, Labor.WorkKind,"
       " Labor.Rate, Labor.IsOnTimeRate, Labor.NormTime, Labor.AmountForRate, Labor.DirectCost,"
       " Labor.InDirectCost, LGUnit.UnitCode, SUM(oTable.Amount) AS Amount,"
       " SUM(oTable.AmountAccount) AS AmountAccount"
       " FROM THGoodSpec oTable INNER JOIN MFAssemblyChart OpList"
       " ON oTable.GoodCode = OpList.GoodCode INNER JOIN MFACLabour Labor"
       " ON OpList.IDC = Labor.AssId INNER JOIN RefGoodUnit LGUnit"
       " ON Labor.WorkKind = LGUnit.GoodCode WHERE oTable.DocID = 1 AND LGUnit.IsAccount = 1"
       " GROUP BY oTable.GoodCode, oTable.UnitCode, oTable.IDC, OpList.AssCode, Labor.WorkKind,"
       " Labor.Rate, Labor.IsOnTimeRate, Labor.NormTime, Labor.AmountForRate, Labor.DirectCost,"
       " Labor.InDirectCost, LGUnit.UnitCode"},
      {"equipment costs",
       "SELECT OpList.AssCode, EquipList.EqCode, EquipList.DirectCost, EquipList.InDirectCost,"
       " SUM(oTable.Amount) AS Amount, SUM(EquipList.UseTime) AS UseTime,"
       " SUM(EqCost.Amount) AS AmountForDRate, SUM(EqCost.DeprecSum) AS DeprecSum"
       " FROM THGoodSpec oTable INNER JOIN MFAssemblyChart OpList"
       " ON oTable.GoodCode = OpList.GoodCode INNER JOIN MFACEquipment EquipList"
       " ON OpList.IDC = EquipList.AssId INNER JOIN MFEquipment EqCost"
       " ON EquipList.EqCode = EqCost.Code WHERE oTable.DocID = 1"
       " GROUP BY OpList.AssCode, EquipList.EqCode, EquipList.DirectCost, EquipList.InDirectCost"},
      {"first fixed-asset object of the equipment",
       "SELECT oTable.Amount, EqFa.FACode, EqFa.UseTime FROM THGoodSpec oTable"
       " INNER JOIN MFAssemblyChart OpList ON oTable.GoodCode = OpList.GoodCode"
       " INNER JOIN MFACEquipment EquipList ON OpList.IDC = EquipList.AssId"
       " LEFT JOIN (SELECT oTable.IDC, oTable.EqCode, oTable.FACode, oTable.UseTime"
       " FROM MFEqFAObject oTable WHERE oTable.IDC = ( select top 1 idc from B$mfeqfaobject f"
       " where oTable.EqCode = f.EqCode order by f.UseTime )) EqFa"
       " ON EquipList.EqCode = EqFa.EqCode"},
      {"prices from stock orders",
       "SELECT oTable.IDC, OSpec.Price FROM THGoodSpec oTable INNER JOIN STOrderSpec OSpec"
       " ON oTable.IDC = OSpec.srcSpecID WHERE oTable.DocID = 1"},
      {"write-off prices",
       "SELECT oTable.IDC, oTable.Amount, oTable.Price, oTable.CostSumm, AddFld.WriteOffPrice"
       " FROM THGoodSpec oTable INNER JOIN REFGood G ON G.Code = oTable.GoodCode"
       " INNER JOIN MMOTHGoodSpec AddFld"
       " ON oTable.DocID = AddFld.DocID and oTable.PosNumb = AddFld.PosNumb"
       " WHERE G.Category = 0 AND oTable.DocID = 1"},
      {"existing fuel write-off",
       "SELECT TOP 1 oTable.IDC AS DocID, sp.IDC AS SpecID FROM THDocument oTable"
       " LEFT JOIN THGoodSpec sp ON oTable.IDC = sp.DocID LEFT JOIN STStore st"
       " ON oTable.StoreCode = st.Code WHERE oTable.ParentID = 1"
       " AND oTable.DocTypeCode = 'MMO' AND COALESCE(st.StoreKind,'') = 'ABKR'"},
      {"existing packaging declaration",
       "SELECT oTable.IDC FROM THDocument oTable INNER JOIN PACKTHDocument DocA"
       " ON oTable.IDC = DocA.DocID WHERE DocA.IsReusablePack = 1 AND oTable.DocTypeCode = 'PACK'"
       " AND oTable.IDC <> 3 AND oTable.CommingInForceDate <= '2026-12-31'"
       " AND oTable.TermsOfValidityDate >= '2026-01-01'"},
      {"declaration data",
       "SELECT D.IDC, D.CommingInForceDate, D.TermsOfValidityDate, g.SubCategory,"
       " g.IsDomManufact, gsa.PackMaterialKind, gsa.PackType, da.IsReusablePack AS IsReusable,"
       " gsa.SaleManufactAmount AS AmountB, gsa.SaleImportAmount AS AmountC,"
       " gsa.ExportAmount AS AmountD, gsa.NotSaleAmount AS AmountE,"
       " gsa.UsedPackInSaleAmount AS AmountF, gsa.ReturnAmount AS AmountG, PM.Name"
       " FROM THDocument D INNER JOIN PACKTHDocument da ON D.IDC = da.DocID"
       " INNER JOIN THGoodSpec gs ON D.IDC = gs.DocID INNER JOIN PACKTHGoodSpec gsa"
       " ON gs.DocID = gsa.DocID AND gs.PosNumb = gsa.PosNumb INNER JOIN REFGoodUnit gu"
       " ON gs.GoodCode = gu.GoodCode AND gs.UnitCode = gu.UnitCode INNER JOIN REFGood G"
       " ON gs.GoodCode = g.Code LEFT JOIN REFPackMaterialKind PM"
       " ON gsa.PackMaterialKind = PM.Code WHERE D.IDC = 1"},
      {"packaging sales list",
       "SELECT 1 AS List, DT.Code AS DocTypeCode, g.Code AS GoodCode, gs.UnitCode,"
       " (CASE WHEN Mult.IDC = 1 THEN IsNull(gsFix.Amount, 0) / gu.Rate"
       " ELSE ( gs.AmountAccount - IsNull((SELECT SUM(Fix.Amount) FROM THGoodSpecFixLog Fix"
       " WHERE gs.IDC = Fix.OutcomeSpecID), 0) ) END) AS Amount, DT.Category, g.SubCategory,"
       " g.IsDomManufact, COALESCE(dPRSF.VATDirection, dTPPR.VATDirection) AS OutVATDirection,"
       " dPISF.VATDirection AS IncVATDirection, gu.Weight, gu.GrossWeight, gu.UnitWeightCode, " +
           tkoef +
           " AS TKoef, gu.PackMaterialKind, gu.PackType, gu.IsReusable"
           " FROM THDocument D INNER JOIN THGoodSpec gs ON gs.DocID = D.IDC"
           " INNER JOIN REFGoodUnit gu ON gs.GoodCode = gu.GoodCode AND gs.UnitCode = gu.UnitCode"
           " AND gu.IsReusable = 0 INNER JOIN REFGood G ON G.Code = gs.GoodCode and G.Category = 0"
           " INNER JOIN THDocType DT ON DT.Code = D.DocTypeCode AND DT.IsIncome = 0"
           " AND ((DT.IsOrderDirect = 1 AND DT.Category = 0) OR DT.Code = 'TPPR')"
           " LEFT JOIN PRSFTHDocument dPRSF ON D.IDC = dPRSF.DocID"
           " LEFT JOIN TPPRTHDocument dTPPR ON D.IDC = dTPPR.DocID"
           " LEFT JOIN REFDates Mult ON Mult.IDC BETWEEN 1 AND 2"
           " LEFT JOIN THGoodSpecFixLog gsFix ON gs.IDC = gsFix.OutcomeSpecID AND Mult.IDC = 1"
           " LEFT JOIN THGoodSpec gsInc ON gsFix.IncomeSpecID = gsInc.IDC"
           " LEFT JOIN PISFTHDocument dPISF ON gsInc.DocID = dPISF.DocID"
           " WHERE D.DocumentDate BETWEEN '2026-01-01' AND '2026-12-31' AND D.IsPosted = 1"},
      {"packaging inside products",
       "SELECT (CASE WHEN gu.PackType = 3 THEN gs.Amount ELSE GC.AmountAccount / gu.Rate END)"
       " AS Amount FROM THDocument D INNER JOIN THGoodSpec gs ON gs.DocID = D.IDC"
       " INNER JOIN REFGoodUnit gu ON gs.GoodCode = gu.GoodCode AND gs.UnitCode = gu.UnitCode"
       " INNER JOIN TPPRTHDocument dTPPR ON D.IDC = dTPPR.DocID"
       " LEFT JOIN THGoodContent GC ON GC.SpecId = gs.IDC AND gu.PackType <> 3"
       " LEFT JOIN THGoodSpec gsOut ON GC.CorSpecID = gsOut.IDC"
       " LEFT JOIN PRSFTHDocument dPRSF ON gsOut.DocID = dPRSF.DocID"
       " WHERE D.DocTypeCode = 'TPPR' AND (gu.PackType = 3 OR Exists(SELECT Fix.IDC"
       " FROM THGoodSpecFixLog Fix INNER JOIN THGoodSpec gsInc ON Fix.IncomeSpecID = gsInc.IDC"
       " INNER JOIN PISFTHDocument dPISF ON gsInc.DocID = dPISF.DocID"
       " WHERE Fix.OutcomeSpecID = gsOut.IDC AND NOT dPRSF.DocID Is Null"
       " AND COALESCE(dPISF.VATDirection,'') IN('10','20')"
       " AND (NOT COALESCE(dTPPR.VATDirection,'') IN('10','20'))))"},
      {"store rest by term",
       "SELECT Main.GoodCode, Main.Name, Main.UnitCode, Main.AmountAccount, Main.CostSumma,"
       " COALESCE(StoreRest.StoreCode, '') AS StoreCode, StoreRest.Rest,"
       " ROUND(StoreRest.Rest * COALESCE(FixRest.CostSumm, 0) / COALESCE(FixRest.AmountAccount,"
       " 1), 2) AS RestSumma FROM (SELECT Good.Code AS GoodCode, Good.Name, GUnit.UnitCode,"
       " SUM(Spec.AmountAccount) AS AmountAccount, SUM(Spec.CostSumm) AS CostSumma"
       " FROM THDocument oTable INNER JOIN THDocType DocType ON oTable.DocTypeCode = DocType.Code"
       " INNER JOIN THGoodSpecNotFixed Spec ON oTable.IDC = Spec.DocId"
       " INNER JOIN REFGood Good ON Spec.GoodCode = Good.Code"
       " INNER JOIN REFGoodUnit GUnit ON Spec.GoodCode = GUnit.GoodCode"
       " INNER JOIN " +
           Inline("REFGoodT", "Node", "'G1'") +
           " GoodT ON Good.Code = GoodT.Code AND GoodT.IsGroup = 0"
           " WHERE oTable.DocumentDate <= '2026-01-31' AND Spec.AmountAccount > 0"
           " AND Spec.FixCategory = 0 AND DocType.IsIncome = 1 AND DocType.IsOrderDirect = 1"
           " AND DocType.Category = 0 AND GUnit.IsAccount = 1"
           " GROUP BY Good.Code, Good.Name, GUnit.UnitCode) Main INNER JOIN " +
           Inline("STStoreRest", "DateRest", "'2026-02-01'") +
           " StoreRest ON Main.GoodCode = StoreRest.GoodCode LEFT JOIN STStore Store"
           " ON StoreRest.StoreCode = Store.Code LEFT JOIN " +
           Inline("THDocGoodFixRest", "DateRest", "'2026-02-01'") +
           " FixRest ON Main.GoodCode = FixRest.GoodCode ORDER BY Main.GoodCode, StoreCode"},
      {"ordered goods with their author",
       "SELECT Main.Author, Main.Code, Main.GoodCode, Good.Name, GUnit.UnitCode,"
       " CAST(Main.Author AS VARCHAR(5)) + COALESCE(' : ' + Person.FirstName + ' ' +"
       " Person.LastName, '') AS Person FROM (SELECT oTable.Code, oTable.Author,"
       " Spec.IDC AS SpecID, Spec.GoodCode FROM THDocument oTable INNER JOIN THGoodSpec Spec"
       " ON oTable.IDC = Spec.DocId INNER JOIN THGoodContent ContentOrd"
       " ON Spec.IDC = ContentOrd.CorSpecId WHERE oTable.DocTypeCode = 'PRS') Main"
       " LEFT JOIN REFPerson Person ON Main.Author = Person.UserId"
       " INNER JOIN REFGood Good ON Main.GoodCode = Good.Code INNER JOIN REFGoodUnit GUnit"
       " ON Main.GoodCode = GUnit.GoodCode AND GUnit.IsAccount = 1"},
      {"manufactured lots with the author of their order",
       "SELECT oTable.GoodCode, Store.IDC AS StoreId, Store.Code AS StoreCode, LP.OrderInfo,"
       " ( SELECT TOP 1 MO.Author FROM THDocument MO INNER JOIN THPartyAttribute Party"
       " ON Party.RolePartyCode = 'CUST' AND MO.IDC = Party.DocId"
       " AND Party.PartyCode = LEFT(LP.OrderInfo,  nullif( charindex( ':', LP.OrderInfo ), 0 )"
       " - 1 ) WHERE MO.DocTypecode = 'MO'"
       " AND MO.Number = RIGHT(LP.OrderInfo, LEN(LP.OrderInfo) - charindex('#', LP.OrderInfo)) )"
       " AS Author, oTable.RestAccount AS Rest FROM STLot oTable INNER JOIN STStore Store"
       " ON oTable.StoreId = Store.IDC INNER JOIN STLotProperty LP ON oTable.AnalytId = LP.IDC"
       " INNER JOIN (SELECT DISTINCT Spec.GoodCode FROM THDocument MDoc INNER JOIN THGoodSpec Spec"
       " ON MDoc.IDC = Spec.DocId INNER JOIN STOrderSpec StSpec"
       " ON Spec.IDC = StSpec.srcDocSpecID INNER JOIN STPostLot StLot"
       " ON StSpec.IDC = Stlot.SpecId WHERE MDoc.DocTypeCode = 'MNFC' AND MDoc.IsPosted = 1) MDoc"
       " ON oTable.Goodcode = MDoc.Goodcode WHERE oTable.Rest > 0"},
      {"receipt rows by category with free quantity",
       "SELECT D.IDC, D.DocumentDate, D.Number,"
       " CONVERT(CHAR(10),D.DocumentDate,102)+':'+D.Number AS DocCode, gs.GoodCode,"
       " g.Name AS GoodName, gs.AmountAccount, gu.UnitCode AS AccUnitCode,"
       " ROUND(COALESCE((gs.Summa - gsA.SummVAT)/ NullIF(gs.Amount,0),0),4) AS Price,"
       " d.CurrencyCode, " +
           FreeAmountExpr("'2026-01-31'", "gs") +
           " AS FreeAmount FROM THDocument d INNER JOIN THGoodSpec gs ON d.IDC = gs.DocID"
           " INNER JOIN REFGood g ON gs.GoodCode = g.Code INNER JOIN REFGoodUnit gu"
           " ON gs.GoodCode = gu.GoodCode AND gu.IsAccount = 1 INNER JOIN THGoodSpec gsA"
           " ON gs.DocID = gsA.DocID AND gs.PosNumb = gsA.PosNumb INNER JOIN THPartyAttribute p"
           " ON d.IDC = p.DocID AND p.RolePartyCode = 'PAR' WHERE d.DocTypeCode = 'PISF'"
           " AND d.IsPosted = 1 AND g.Category = 0 AND p.PartyCode = 'C1' AND gs.FixCategory = 2"},
      {"write-offs of receipt rows",
       "SELECT D.IDC, FixSpecL.Amount AS FixAmount,"
       " FixD.DocTypeCode+':'+CONVERT(CHAR(10),FixD.DocumentDate,102)+':'+FixD.Number"
       " AS FixDocCode, FixD.DocumentDate AS FixDocDate FROM THDocument d"
       " INNER JOIN THGoodSpec gs ON d.IDC = gs.DocID LEFT JOIN THGoodSpecFixLog fixSpecL"
       " ON gs.IDC = FixSpecL.IncomeSpecID LEFT JOIN THGoodSpec FixSpec"
       " ON FixSpecL.OutcomeSpecID = FixSpec.IDC LEFT JOIN THDocument FixD"
       " ON FixSpec.DocID = FixD.IDC WHERE NOT FixSpecL.IDC IS NULL"},
      {"write-off summary",
       "SELECT oTable.Number, oTable.DocumentDate, Good.Name AS GoodName, Spec.Amount,"
       " Spec.UnitCode, (Spec.Summa - SpecPISF.SummVAT) AS Summa, SpecPISF.Comment"
       " FROM THDocument oTable INNER JOIN THGoodSpec Spec ON oTable.IDC = Spec.DocId"
       " INNER JOIN THGoodSpecPISF SpecPISF ON Spec.DocId = SpecPISF.DocId"
       " AND Spec.PosNumb = SpecPISF.PosNumb INNER JOIN REFGood Good"
       " ON Spec.GoodCode = Good.Code WHERE oTable.DocTypeCode = 'PISF' AND oTable.IsPosted = 1"
       " AND Good.Category = 3 ORDER BY oTable.DocumentDate, Good.Name"},
  };
}

TEST(SystemQueriesTest, RunOnABookOfThisSchema) {
  auto db = OpenMemory();
  CreateBook(*db, "B");
  const BookCatalogue catalogue("B");
  for (const SystemQuery& q : SystemQueries()) {
    SCOPED_TRACE(q.what);
    try {
      db::StatementHandle stmt =
          db->Prepare(sql::Translate(q.tsql, catalogue, sql::Dialect::kSqlite));
      EXPECT_FALSE(stmt->Step());  // an empty book has no rows, but the statement runs
      // The same statement translates for the server as well.
      EXPECT_FALSE(sql::Translate(q.tsql, catalogue, sql::Dialect::kPostgres).empty());
    } catch (const Error& e) {
      ADD_FAILURE() << e.Description() << "\n" << q.tsql;
    }
  }
}

}  // namespace
}  // namespace qts::host::schema
