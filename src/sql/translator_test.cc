#include "sql/translator.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "sql/testing/corpus.h"
#include "sql/testing/test_catalogue.h"

namespace qts::sql {
namespace {

using testing::TestCatalogue;
constexpr Dialect S = Dialect::kSqlite;
constexpr Dialect P = Dialect::kPostgres;

struct Golden {
  const char* id;
  const char* tsql;
  Dialect dialect;
  const char* expected;
};

std::string DialectName(Dialect dialect) { return dialect == S ? "sqlite" : "postgres"; }

class TranslateGolden : public ::testing::TestWithParam<Golden> {};

TEST_P(TranslateGolden, EmitsExpectedSql) {
  const Golden& g = GetParam();
  SCOPED_TRACE(std::string(g.id) + " / " + DialectName(g.dialect));
  EXPECT_EQ(Translate(g.tsql, TestCatalogue(), g.dialect), g.expected);
}

// One row per rule and dialect.
const Golden kGolden[] =
    {
        // Text '+' becomes '||'; NULL stays NULL because '||' propagates it.
        {"concat", "SELECT d.Number + '/' + d.Code AS Ref FROM THDocument d", S,
         R"(SELECT "d"."Number" || '/' || "d"."Code" AS "Ref" FROM "C1$THDocument" AS "d")"},
        {"concat", "SELECT d.Number + '/' + d.Code AS Ref FROM THDocument d", P,
         R"(SELECT "d"."Number" || '/' || "d"."Code" AS "Ref" FROM "C1$THDocument" AS "d")"},
        {"concat_null", "SELECT d.Number + NULL FROM THDocument d", S,
         R"(SELECT "d"."Number" || NULL FROM "C1$THDocument" AS "d")"},
        {"numeric_plus", "SELECT gs.Amount + 1, gs.PosNumb + gs.IDC FROM THGoodSpec gs", S,
         R"(SELECT "gs"."Amount" + 10000, "gs"."PosNumb" + "gs"."IDC" FROM "C1$THGoodSpec" AS "gs")"},
        // An integer in ORDER BY is a column's position in the select list, a star's columns
        // counted; on PostgreSQL it takes the server's order of NULLs as any other item.
        {"order_position", "SELECT p.LastName, p.UserId FROM REFPerson p ORDER BY 2 DESC, 1", S,
         R"(SELECT "p"."LastName", "p"."UserId" FROM "C1$REFPerson" AS "p" ORDER BY 2 DESC, 1)"},
        {"order_position", "SELECT p.LastName, p.UserId FROM REFPerson p ORDER BY 2 DESC, 1", P,
         R"(SELECT "p"."LastName", "p"."UserId" FROM "C1$REFPerson" AS "p" ORDER BY 2 DESC NULLS LAST, 1 NULLS FIRST)"},
        {"order_position_of_a_star", "SELECT * FROM REFPerson p ORDER BY 3", S,
         R"(SELECT * FROM "C1$REFPerson" AS "p" ORDER BY 3)"},
        // A column a UNION converts to the others' form keeps its name for the ORDER BY.
        {"union_converted_column_keeps_its_name",
         "SELECT g.Code FROM REFGood g UNION SELECT 6.5 ORDER BY Code", S,
         R"(SELECT qts_cy("g"."Code") AS "Code" FROM "C1$REFGood" AS "g" UNION SELECT 65000 ORDER BY "Code")"},
        // The server matches no text with a number in a UNION: the text is cast, as T-SQL
        // converts it, and keeps its name.
        {"union_converted_column_keeps_its_name",
         "SELECT g.Code FROM REFGood g UNION SELECT 6.5 ORDER BY Code", P,
         R"(SELECT CAST("g"."Code" AS numeric) AS "Code" FROM "C1$REFGood" AS "g" UNION SELECT 6.5 ORDER BY "Code" NULLS FIRST)"},
        {"union_text_cast_in_any_select",
         "SELECT 6.5 AS X UNION ALL SELECT g.Code FROM REFGood g UNION SELECT TOP 1 g.Name FROM REFGood g", P,
         R"(SELECT 6.5 AS "X" UNION ALL SELECT CAST("g"."Code" AS numeric) AS "Code" FROM "C1$REFGood" AS "g" UNION SELECT * FROM (SELECT CAST("g"."Name" AS numeric) AS "Name" FROM "C1$REFGood" AS "g" LIMIT 1) AS "qts_top3")"},
        {"union_text_with_date_and_whole_number",
         "SELECT d.DocumentDate, d.Number FROM THDocument d UNION SELECT d.Number, d.IDC FROM THDocument d", P,
         R"(SELECT "d"."DocumentDate", CAST("d"."Number" AS integer) AS "Number" FROM "C1$THDocument" AS "d" UNION SELECT CAST("d"."Number" AS date) AS "Number", "d"."IDC" FROM "C1$THDocument" AS "d")"},
        // TOP n becomes LIMIT n, after ORDER BY; also inside a correlated subquery.
        {"top", "SELECT DISTINCT TOP 5 gs.GoodCode FROM THGoodSpec gs ORDER BY gs.GoodCode DESC", S,
         R"(SELECT DISTINCT "gs"."GoodCode" FROM "C1$THGoodSpec" AS "gs" ORDER BY "gs"."GoodCode" DESC LIMIT 5)"},
        {"top_correlated",
         "SELECT d.IDC, (SELECT TOP 1 p.LastName FROM REFPerson p WHERE p.UserId = d.Author "
         "ORDER BY p.LastName) AS Who FROM THDocument d",
         P,
         R"(SELECT "d"."IDC", (SELECT "p"."LastName" FROM "C1$REFPerson" AS "p" WHERE "p"."UserId" = "d"."Author" ORDER BY "p"."LastName" NULLS FIRST LIMIT 1) AS "Who" FROM "C1$THDocument" AS "d")"},
        {"top_physical_name",
         "select top 1 idc from C1$mfeqfaobject f where EqCode = f.EqCode order by f.UseTime", S,
         R"(SELECT "f"."IDC" FROM "C1$MFEqFAObject" AS "f" WHERE "f"."EqCode" = "f"."EqCode" ORDER BY "f"."UseTime" LIMIT 1)"},
        {"top_in_union",
         "SELECT TOP 2 g.Code FROM REFGood g UNION SELECT s.GoodCode FROM THGoodSpec s", S,
         R"(SELECT * FROM (SELECT "g"."Code" FROM "C1$REFGood" AS "g" LIMIT 2) AS "qts_top1" UNION SELECT "s"."GoodCode" FROM "C1$THGoodSpec" AS "s")"},
        // CONVERT(CHAR(n), d, 102).
        {"convert102", "SELECT CONVERT(CHAR(10),D.DocumentDate,102)+':'+D.Number FROM THDocument D",
         S,
         R"(SELECT replace(substr("D"."DocumentDate", 1, 10), '-', '.') || ':' || "D"."Number" FROM "C1$THDocument" AS "D")"},
        {"convert102", "SELECT CONVERT(CHAR(10),D.DocumentDate,102)+':'+D.Number FROM THDocument D",
         P,
         R"(SELECT to_char("D"."DocumentDate", 'YYYY.MM.DD') || ':' || "D"."Number" FROM "C1$THDocument" AS "D")"},
        {"convert102_cut", "SELECT CONVERT(VARCHAR(7), d.DocumentDate, 102) FROM THDocument d", S,
         R"(SELECT replace(substr("d"."DocumentDate", 1, 7), '-', '.') FROM "C1$THDocument" AS "d")"},
        {"convert102_cut", "SELECT CONVERT(VARCHAR(7), d.DocumentDate, 102) FROM THDocument d", P,
         R"(SELECT substr(to_char("d"."DocumentDate", 'YYYY.MM.DD'), 1, 7) FROM "C1$THDocument" AS "d")"},
        {"convert102_pad", "SELECT CONVERT(CHAR(12), d.DocumentDate, 102) FROM THDocument d", P,
         R"(SELECT rpad(to_char("d"."DocumentDate", 'YYYY.MM.DD'), 12) FROM "C1$THDocument" AS "d")"},
        // charindex(s, x).
        {"charindex", "SELECT charindex(':', p.OrderInfo) FROM STLotProperty p", S,
         R"(SELECT instr("p"."OrderInfo", ':') FROM "C1$STLotProperty" AS "p")"},
        {"charindex", "SELECT charindex(':', p.OrderInfo) FROM STLotProperty p", P,
         R"(SELECT strpos("p"."OrderInfo", ':') FROM "C1$STLotProperty" AS "p")"},
        {"charindex_expr", "SELECT charindex(d.Code, d.Number) FROM THDocument d", S,
         R"(SELECT CASE WHEN length("d"."Code") = 0 THEN 0 ELSE instr("d"."Number", "d"."Code") END FROM "C1$THDocument" AS "d")"},
        // LEN, LEFT, RIGHT.
        {"len_left_right",
         "SELECT LEN(g.Name), LEFT(g.Name, 3), RIGHT(g.Name, 3), RIGHT(g.Name, g.Category) "
         "FROM REFGood g",
         S,
         R"(SELECT length(rtrim("g"."Name")), substr("g"."Name", 1, 3), substr("g"."Name", -3), substr("g"."Name", max(length("g"."Name") - "g"."Category" + 1, 1)) FROM "C1$REFGood" AS "g")"},
        {"len_left_right",
         "SELECT LEN(g.Name), LEFT(g.Name, 3), RIGHT(g.Name, 3), RIGHT(g.Name, g.Category) "
         "FROM REFGood g",
         P,
         R"(SELECT length(rtrim("g"."Name")), left("g"."Name", 3), right("g"."Name", 3), right("g"."Name", CASE WHEN "g"."Category" < 0 THEN 0 ELSE "g"."Category" END) FROM "C1$REFGood" AS "g")"},
        {"left_guard",
         "SELECT LEFT(p.OrderInfo, nullif(charindex(':', p.OrderInfo), 0) - 1) FROM "
         "STLotProperty p",
         S,
         R"(SELECT substr("p"."OrderInfo", 1, max(nullif(instr("p"."OrderInfo", ':'), 0) - 1, 0)) FROM "C1$STLotProperty" AS "p")"},
        // IsNull.
        {"isnull",
         "SELECT IsNull(gs.Amount, 0), IsNull(g.Name, 'none') FROM THGoodSpec gs INNER JOIN "
         "REFGood g ON g.Code = gs.GoodCode",
         S,
         R"(SELECT coalesce("gs"."Amount", 0), coalesce("g"."Name", 'none') FROM "C1$THGoodSpec" AS "gs" INNER JOIN "C1$REFGood" AS "g" ON "g"."Code" = "gs"."GoodCode")"},
        {"isnull",
         "SELECT IsNull(gs.Amount, 0), IsNull(g.Name, 'none') FROM THGoodSpec gs INNER JOIN "
         "REFGood g ON g.Code = gs.GoodCode",
         P,
         R"(SELECT coalesce("gs"."Amount", CAST(0 AS numeric)), coalesce("g"."Name", CAST('none' AS varchar(100))) FROM "C1$THGoodSpec" AS "gs" INNER JOIN "C1$REFGood" AS "g" ON "g"."Code" = "gs"."GoodCode")"},
        // CAST(x AS VARCHAR(n)).
        {"cast_varchar_text", "SELECT CAST(g.Name AS VARCHAR(10)) FROM REFGood g", S,
         R"(SELECT substr("g"."Name", 1, 10) FROM "C1$REFGood" AS "g")"},
        {"cast_varchar_text", "SELECT CAST(g.Name AS VARCHAR(10)) FROM REFGood g", P,
         R"(SELECT CAST("g"."Name" AS varchar(10)) FROM "C1$REFGood" AS "g")"},
        {"cast_varchar_number", "SELECT CAST(d.Author AS VARCHAR(5)) FROM THDocument d", S,
         R"(SELECT CASE WHEN length(CAST("d"."Author" AS TEXT)) > 5 THEN '*' ELSE CAST("d"."Author" AS TEXT) END FROM "C1$THDocument" AS "d")"},
        {"cast_varchar_number", "SELECT CAST(d.Author AS VARCHAR(5)) FROM THDocument d", P,
         R"(SELECT CASE WHEN length(CAST("d"."Author" AS text)) > 5 THEN '*' ELSE CAST("d"."Author" AS varchar(5)) END FROM "C1$THDocument" AS "d")"},
        {"cast_varchar_unknown", "SELECT CAST(o.Mystery AS VARCHAR(4)) FROM Odd o", S,
         R"(SELECT substr(CAST("o"."Mystery" AS TEXT), 1, 4) FROM "C1$Odd" AS "o")"},
        {"cast_other_types",
         "SELECT CAST(gs.Amount AS INT), CAST(gs.Amount AS DECIMAL(10,2)), CAST('20240105' AS "
         "DATE) FROM THGoodSpec gs",
         S,
         R"(SELECT qts_int("gs"."Amount"), qts_round_cy("gs"."Amount", 2), '2024-01-05' FROM "C1$THGoodSpec" AS "gs")"},
        {"cast_other_types",
         "SELECT CAST(gs.Amount AS INT), CAST(gs.Amount AS DECIMAL(10,2)), CAST('20240105' AS "
         "DATE) FROM THGoodSpec gs",
         P,
         R"(SELECT CAST(trunc("gs"."Amount") AS integer), CAST("gs"."Amount" AS numeric(10, 2)), DATE '2024-01-05' FROM "C1$THGoodSpec" AS "gs")"},
        // ROUND.
        {"round", "SELECT ROUND(gs.Amount * gs.Price, 2) FROM THGoodSpec gs", S,
         R"(SELECT qts_round_cy(qts_mul("gs"."Amount", "gs"."Price"), 2) FROM "C1$THGoodSpec" AS "gs")"},
        {"round", "SELECT ROUND(gs.Amount * gs.Price, 2) FROM THGoodSpec gs", P,
         R"(SELECT round(CAST("gs"."Amount" * "gs"."Price" AS numeric), 2) FROM "C1$THGoodSpec" AS "gs")"},
        // Names: brackets, any case, "AddFld.X" output names, physical names.
        {"names",
         "SELECT [oTable].[IDC], oTable.DocTypeCode AS [AddFld.DocType] FROM [thdocument] "
         "[oTable] "
         "WHERE OTABLE.docTypeCode = N'MMO'",
         P,
         R"(SELECT "oTable"."IDC", "oTable"."DocTypeCode" AS "AddFld.DocType" FROM "C1$THDocument" AS "oTable" WHERE "oTable"."DocTypeCode" = 'MMO')"},
        {"derived_dotted_name",
         "SELECT D.[AddFld.DocType], D.idc FROM (SELECT oTable.IDC, oTable.DocTypeCode AS "
         "[AddFld.DocType] FROM THDocument oTable) D",
         S,
         R"(SELECT "D"."AddFld.DocType", "D"."IDC" FROM (SELECT "oTable"."IDC", "oTable"."DocTypeCode" AS "AddFld.DocType" FROM "C1$THDocument" AS "oTable") AS "D")"},
        {"unaliased_table", "SELECT IDC FROM THDOCUMENT ORDER BY DocumentDate", S,
         R"(SELECT "THDocument"."IDC" FROM "C1$THDocument" AS "THDocument" ORDER BY "THDocument"."DocumentDate")"},
        {"alias_forms", "SELECT Ref = d.Number, d.Code 'Kodas' FROM THDocument d ORDER BY Ref", S,
         R"(SELECT "d"."Number" AS "Ref", "d"."Code" AS "Kodas" FROM "C1$THDocument" AS "d" ORDER BY "Ref")"},
        // Dates: 'YYYYMMDD' and 'YYYY-MM-DD' compared with dates become ISO.
        {"date_literals",
         "SELECT d.IDC FROM THDocument d WHERE d.DocumentDate BETWEEN '20240101' AND "
         "'2024-01-31' "
         "AND d.DocumentDate IN ('20240105') AND '20240229' >= d.DocumentDate",
         S,
         R"(SELECT "d"."IDC" FROM "C1$THDocument" AS "d" WHERE "d"."DocumentDate" BETWEEN '2024-01-01' AND '2024-01-31' AND "d"."DocumentDate" IN ('2024-01-05') AND '2024-02-29' >= "d"."DocumentDate")"},
        {"date_literals",
         "SELECT d.IDC FROM THDocument d WHERE d.DocumentDate BETWEEN '20240101' AND "
         "'2024-01-31' "
         "AND d.DocumentDate IN ('20240105') AND '20240229' >= d.DocumentDate",
         P,
         R"(SELECT "d"."IDC" FROM "C1$THDocument" AS "d" WHERE "d"."DocumentDate" BETWEEN DATE '2024-01-01' AND DATE '2024-01-31' AND "d"."DocumentDate" IN (DATE '2024-01-05') AND DATE '2024-02-29' >= "d"."DocumentDate")"},
        // Predicates, joins, unions, aggregates.
        {"predicates",
         "SELECT g.Code FROM REFGood g WHERE g.Code IN ('A', 'B''C') AND g.Category NOT IN (1, "
         "2) "
         "AND g.Name LIKE 'Kuro%' AND NOT g.Name Is Null OR g.IsGroup IS NOT NULL",
         S,
         R"(SELECT "g"."Code" FROM "C1$REFGood" AS "g" WHERE "g"."Code" IN ('A', 'B''C') AND "g"."Category" NOT IN (1, 2) AND "g"."Name" LIKE 'Kuro%' AND NOT "g"."Name" IS NULL OR "g"."IsGroup" IS NOT NULL)"},
        {"exists_in_subquery",
         "SELECT g.Code FROM REFGood g WHERE EXISTS (SELECT 1 FROM THGoodSpec s WHERE "
         "s.GoodCode = g.Code) "
         "AND NOT g.Code IN (SELECT s2.GoodCode FROM THGoodSpec s2)",
         S,
         R"(SELECT "g"."Code" FROM "C1$REFGood" AS "g" WHERE EXISTS (SELECT 1 FROM "C1$THGoodSpec" AS "s" WHERE "s"."GoodCode" = "g"."Code") AND NOT "g"."Code" IN (SELECT "s2"."GoodCode" FROM "C1$THGoodSpec" AS "s2"))"},
        {"joins",
         "SELECT Mult.IDC FROM THGoodSpec gs LEFT OUTER JOIN REFDates Mult ON Mult.IDC BETWEEN "
         "1 AND 2 "
         "CROSS JOIN REFPerson p",
         S,
         R"(SELECT "Mult"."IDC" FROM "C1$THGoodSpec" AS "gs" LEFT JOIN "C1$REFDates" AS "Mult" ON "Mult"."IDC" BETWEEN 1 AND 2 CROSS JOIN "C1$REFPerson" AS "p")"},
        {"union_order",
         "SELECT g.Code FROM REFGood g UNION ALL SELECT s.GoodCode FROM THGoodSpec s UNION "
         "SELECT 'X' ORDER BY Code",
         P,
         R"(SELECT "g"."Code" FROM "C1$REFGood" AS "g" UNION ALL SELECT "s"."GoodCode" FROM "C1$THGoodSpec" AS "s" UNION SELECT 'X' ORDER BY "Code" NULLS FIRST)"},
        {"aggregates",
         "SELECT s.GoodCode, SUM(s.Amount) AS Amount, COUNT(*) AS N, COUNT(DISTINCT s.DocID) "
         "AS Docs, "
         "AVG(s.PosNumb) AS P FROM THGoodSpec s GROUP BY s.GoodCode HAVING SUM(s.Amount) > 0",
         S,
         R"(SELECT "s"."GoodCode", sum("s"."Amount") AS "Amount", count(*) AS "N", count(DISTINCT "s"."DocID") AS "Docs", CAST(avg("s"."PosNumb") AS INTEGER) AS "P" FROM "C1$THGoodSpec" AS "s" GROUP BY "s"."GoodCode" HAVING sum("s"."Amount") > 0)"},
        {"aggregates",
         "SELECT s.GoodCode, SUM(s.Amount) AS Amount, COUNT(*) AS N, COUNT(DISTINCT s.DocID) "
         "AS Docs, "
         "AVG(s.PosNumb) AS P FROM THGoodSpec s GROUP BY s.GoodCode HAVING SUM(s.Amount) > 0",
         P,
         R"(SELECT "s"."GoodCode", sum("s"."Amount") AS "Amount", count(*) AS "N", count(DISTINCT "s"."DocID") AS "Docs", CAST(trunc(avg("s"."PosNumb")) AS bigint) AS "P" FROM "C1$THGoodSpec" AS "s" GROUP BY "s"."GoodCode" HAVING sum("s"."Amount") > 0)"},
        // Grouped by the ordering columns first and ordered by every grouping column: one sort.
        {"group_by_order",
         "SELECT s.GoodCode AS G, s.DocID, SUM(s.Amount) AS Amount FROM THGoodSpec s "
         "GROUP BY s.DocID, s.GoodCode ORDER BY G DESC",
         S,
         R"(SELECT "s"."GoodCode" AS "G", "s"."DocID", sum("s"."Amount") AS "Amount" FROM "C1$THGoodSpec" AS "s" GROUP BY "s"."GoodCode", "s"."DocID" ORDER BY "G" DESC, "s"."DocID")"},
        {"group_by_order",
         "SELECT s.GoodCode AS G, s.DocID, SUM(s.Amount) AS Amount FROM THGoodSpec s "
         "GROUP BY s.DocID, s.GoodCode ORDER BY G DESC",
         P,
         R"(SELECT "s"."GoodCode" AS "G", "s"."DocID", sum("s"."Amount") AS "Amount" FROM "C1$THGoodSpec" AS "s" GROUP BY "s"."GoodCode", "s"."DocID" ORDER BY "G" DESC NULLS LAST, "s"."DocID" NULLS FIRST)"},
        // Ordered by what is not a grouping column: as written.
        {"group_by_order_by_sum",
         "SELECT s.GoodCode, SUM(s.Amount) AS Amount FROM THGoodSpec s "
         "GROUP BY s.DocID, s.GoodCode ORDER BY Amount, s.GoodCode",
         S,
         R"(SELECT "s"."GoodCode", sum("s"."Amount") AS "Amount" FROM "C1$THGoodSpec" AS "s" GROUP BY "s"."DocID", "s"."GoodCode" ORDER BY "Amount", "s"."GoodCode")"},
        {"arithmetic_parens",
         "SELECT -gs.Amount, - -gs.Amount, gs.Amount - (gs.Price - 1), (gs.Amount - gs.Price) "
         "- 1, "
         "(gs.Amount + 1) * 2 FROM THGoodSpec gs",
         S,
         R"(SELECT -"gs"."Amount", -(-"gs"."Amount"), "gs"."Amount" - ("gs"."Price" - 10000), "gs"."Amount" - "gs"."Price" - 10000, ("gs"."Amount" + 10000) * 2 FROM "C1$THGoodSpec" AS "gs")"},
        // Money on SQLite: ten-thousandths in integers; products, quotients and what comes
        // of them as wide values through the money functions; floating values as REAL.
        {"money_literals_and_whole_numbers",
         "SELECT gs.IDC FROM THGoodSpec gs WHERE gs.Amount > 0 AND gs.Price IN (1, 2.5) AND "
         "gs.Summa BETWEEN 0.0001 AND gs.PosNumb AND COALESCE(gs.CostSumm, 1) <> 5.47475",
         S,
         R"(SELECT "gs"."IDC" FROM "C1$THGoodSpec" AS "gs" WHERE "gs"."Amount" > 0 AND "gs"."Price" IN (10000, 25000) AND "gs"."Summa" BETWEEN 1 AND ("gs"."PosNumb" * 10000) AND qts_dec(coalesce("gs"."CostSumm", 10000)) <> qts_dec('5.47475'))"},
        // A whole literal money cannot hold is a decimal: money meets it wide, and in money
        // arithmetic it is an error when read, never a product that SQLite makes REAL.
        {"whole_literal_beyond_money",
         "SELECT gs.Amount + 999999999999990 FROM THGoodSpec gs WHERE gs.Amount < 999999999999990 "
         "AND gs.Price IN (1, 99999999999999999999) AND gs.PosNumb = 9999999999999999 AND "
         "gs.Summa BETWEEN 922337203685477 AND 922337203685478 AND gs.Summa > -99999999999999999999",
         S,
         R"(SELECT "gs"."Amount" + qts_cy('999999999999990') FROM "C1$THGoodSpec" AS "gs" WHERE qts_dec("gs"."Amount") < qts_dec('999999999999990') AND qts_dec("gs"."Price") IN (qts_dec(10000), qts_dec('99999999999999999999')) AND "gs"."PosNumb" = 9999999999999999 AND qts_dec("gs"."Summa") BETWEEN qts_dec(9223372036854770000) AND qts_dec('922337203685478') AND qts_dec("gs"."Summa") > qts_dec('-99999999999999999999'))"},
        // A grouped derived table written twice (a stock source read by both branches of a
        // union) is computed once on SQLite, named in a WITH; inner ones first. A plain one
        // stays where it is (SQLite merges it into its reader), and so does one inside an
        // expression's subquery, which may read the outer query.
        {"shared_derived_tables",
         "SELECT m.GoodCode, m.N FROM (SELECT i.GoodCode, COUNT(*) AS N FROM (SELECT "
         "gs.GoodCode, gs.DocID FROM THGoodSpec gs GROUP BY gs.GoodCode, gs.DocID) i GROUP BY "
         "i.GoodCode) m UNION ALL SELECT n.GoodCode, n.N FROM (SELECT i.GoodCode, COUNT(*) AS N "
         "FROM (SELECT gs.GoodCode, gs.DocID FROM THGoodSpec gs GROUP BY gs.GoodCode, gs.DocID) i "
         "GROUP BY i.GoodCode) n WHERE n.N > 1",
         S,
         R"(WITH "qts_with1" AS (SELECT "gs"."GoodCode", "gs"."DocID" FROM "C1$THGoodSpec" AS "gs" GROUP BY "gs"."GoodCode", "gs"."DocID"), "qts_with2" AS (SELECT "i"."GoodCode", count(*) AS "N" FROM "qts_with1" AS "i" GROUP BY "i"."GoodCode") SELECT "m"."GoodCode", "m"."N" FROM "qts_with2" AS "m" UNION ALL SELECT "n"."GoodCode", "n"."N" FROM "qts_with2" AS "n" WHERE "n"."N" > 1)"},
        {"shared_derived_tables",
         "SELECT a.IDC FROM (SELECT gs.IDC FROM THGoodSpec gs) a UNION ALL SELECT b.IDC FROM "
         "(SELECT gs.IDC FROM THGoodSpec gs) b",
         S,
         R"(SELECT "a"."IDC" FROM (SELECT "gs"."IDC" FROM "C1$THGoodSpec" AS "gs") AS "a" UNION ALL SELECT "b"."IDC" FROM (SELECT "gs"."IDC" FROM "C1$THGoodSpec" AS "gs") AS "b")"},
        {"shared_derived_tables",
         "SELECT d.IDC FROM THDocument d WHERE EXISTS (SELECT 1 FROM (SELECT gs.DocID FROM "
         "THGoodSpec gs WHERE gs.DocID = d.IDC GROUP BY gs.DocID) x) OR d.IDC IN (SELECT y.DocID "
         "FROM (SELECT gs.DocID FROM THGoodSpec gs WHERE gs.DocID = d.IDC GROUP BY gs.DocID) y)",
         S,
         R"(SELECT "d"."IDC" FROM "C1$THDocument" AS "d" WHERE EXISTS (SELECT 1 FROM (SELECT "gs"."DocID" FROM "C1$THGoodSpec" AS "gs" WHERE "gs"."DocID" = "d"."IDC" GROUP BY "gs"."DocID") AS "x") OR "d"."IDC" IN (SELECT "y"."DocID" FROM (SELECT "gs"."DocID" FROM "C1$THGoodSpec" AS "gs" WHERE "gs"."DocID" = "d"."IDC" GROUP BY "gs"."DocID") AS "y"))"},
        {"shared_derived_tables",
         "SELECT a.GoodCode FROM (SELECT gs.GoodCode FROM THGoodSpec gs GROUP BY gs.GoodCode) a "
         "UNION ALL SELECT b.GoodCode FROM (SELECT gs.GoodCode FROM THGoodSpec gs GROUP BY "
         "gs.GoodCode) b",
         P,
         R"(SELECT "a"."GoodCode" FROM (SELECT "gs"."GoodCode" FROM "C1$THGoodSpec" AS "gs" GROUP BY "gs"."GoodCode") AS "a" UNION ALL SELECT "b"."GoodCode" FROM (SELECT "gs"."GoodCode" FROM "C1$THGoodSpec" AS "gs" GROUP BY "gs"."GoodCode") AS "b")"},
        // A plain derived table with a column holding a subquery that its reader names more
        // than once (filters on and sums) is kept from being merged on SQLite (LIMIT -1), so
        // the subquery runs once per row; not when the reader also filters on another of its
        // columns (SQLite would no longer move that condition into it), nor when the column is
        // named once, nor on PostgreSQL.
        {"computed_column_read_twice",
         "SELECT r.GoodCode, SUM(r.Free) AS Free FROM (SELECT gs.GoodCode, gs.AmountAccount - "
         "(SELECT COUNT(*) FROM THGoodSpecFixLog l WHERE l.IncomeSpecID = gs.IDC) AS Free FROM "
         "THGoodSpec gs) r WHERE r.Free <> 0 GROUP BY r.GoodCode",
         S,
         R"(SELECT "r"."GoodCode", sum("r"."Free") AS "Free" FROM (SELECT "gs"."GoodCode", "gs"."AmountAccount" - ((SELECT count(*) FROM "C1$THGoodSpecFixLog" AS "l" WHERE "l"."IncomeSpecID" = "gs"."IDC") * 10000) AS "Free" FROM "C1$THGoodSpec" AS "gs" LIMIT -1) AS "r" WHERE "r"."Free" <> 0 GROUP BY "r"."GoodCode")"},
        {"computed_column_read_twice",
         "SELECT r.GoodCode, SUM(r.Free) AS Free FROM (SELECT gs.GoodCode, gs.AmountAccount - "
         "(SELECT COUNT(*) FROM THGoodSpecFixLog l WHERE l.IncomeSpecID = gs.IDC) AS Free FROM "
         "THGoodSpec gs) r WHERE r.Free <> 0 AND r.GoodCode = 'A' GROUP BY r.GoodCode",
         S,
         R"(SELECT "r"."GoodCode", sum("r"."Free") AS "Free" FROM (SELECT "gs"."GoodCode", "gs"."AmountAccount" - ((SELECT count(*) FROM "C1$THGoodSpecFixLog" AS "l" WHERE "l"."IncomeSpecID" = "gs"."IDC") * 10000) AS "Free" FROM "C1$THGoodSpec" AS "gs") AS "r" WHERE "r"."Free" <> 0 AND "r"."GoodCode" = 'A' GROUP BY "r"."GoodCode")"},
        {"computed_column_read_twice",
         "SELECT r.GoodCode, r.Free FROM (SELECT gs.GoodCode, CASE WHEN EXISTS (SELECT 1 FROM "
         "THGoodSpecFixLog l WHERE l.IncomeSpecID = gs.IDC) THEN 1 ELSE 0 END AS Free FROM "
         "THGoodSpec gs) r ORDER BY r.Free",
         S,
         R"(SELECT "r"."GoodCode", "r"."Free" FROM (SELECT "gs"."GoodCode", CASE WHEN EXISTS (SELECT 1 FROM "C1$THGoodSpecFixLog" AS "l" WHERE "l"."IncomeSpecID" = "gs"."IDC") THEN 1 ELSE 0 END AS "Free" FROM "C1$THGoodSpec" AS "gs") AS "r" ORDER BY "r"."Free")"},
        {"computed_column_read_twice",
         "SELECT r.GoodCode, SUM(r.Free) AS Free FROM (SELECT gs.GoodCode, gs.AmountAccount - "
         "(SELECT COUNT(*) FROM THGoodSpecFixLog l WHERE l.IncomeSpecID = gs.IDC) AS Free FROM "
         "THGoodSpec gs) r WHERE r.Free <> 0 GROUP BY r.GoodCode",
         P,
         R"(SELECT "r"."GoodCode", sum("r"."Free") AS "Free" FROM (SELECT "gs"."GoodCode", "gs"."AmountAccount" - (SELECT count(*) FROM "C1$THGoodSpecFixLog" AS "l" WHERE "l"."IncomeSpecID" = "gs"."IDC") AS "Free" FROM "C1$THGoodSpec" AS "gs") AS "r" WHERE "r"."Free" <> 0 GROUP BY "r"."GoodCode")"},
        {"money_products_quotients_sums",
         "SELECT SUM(gs.Amount), SUM(gs.Amount * gs.Price), ROUND(SUM(gs.Summa / gs.Amount), "
         "2), "
         "AVG(gs.Amount), -(gs.Summa / 3), gs.Amount * gs.PosNumb FROM THGoodSpec gs",
         S,
         R"(SELECT sum("gs"."Amount"), qts_cy(qts_sum(qts_mul("gs"."Amount", "gs"."Price"))), qts_round_cy(qts_sum(qts_div("gs"."Summa", "gs"."Amount")), 2), qts_cy(qts_div(sum("gs"."Amount"), count("gs"."Amount") * 10000)), qts_cy(qts_neg(qts_div("gs"."Summa", 30000))), "gs"."Amount" * "gs"."PosNumb" FROM "C1$THGoodSpec" AS "gs")"},
        {"money_cases_and_text",
         "SELECT CASE WHEN gs.IDC = 1 THEN gs.Amount / 2 ELSE 0 END, CAST(gs.Amount AS "
         "VARCHAR(20)), CAST(gs.Amount AS FLOAT) * 1e0, CAST(gs.Amount AS DECIMAL(18,6)) "
         "FROM THGoodSpec gs",
         S,
         R"(SELECT qts_cy(CASE WHEN "gs"."IDC" = 1 THEN qts_div("gs"."Amount", 20000) ELSE qts_dec(0) END), CASE WHEN length(qts_text("gs"."Amount", 4)) > 20 THEN '*' ELSE qts_text("gs"."Amount", 4) END, ("gs"."Amount" / 10000.0) * 1e0, qts_cy(qts_round_dec("gs"."Amount", 6)) FROM "C1$THGoodSpec" AS "gs")"},
        {"case_simple",
         "SELECT (CASE UPPER(gu.UnitWeightCode) WHEN 'G'  THEN 1000000  WHEN 'KG' THEN 1000 "
         "ELSE NULL END) FROM REFGoodUnit gu",
         S,
         R"(SELECT CASE upper("gu"."UnitWeightCode") WHEN 'G' THEN 1000000 WHEN 'KG' THEN 1000 ELSE NULL END FROM "C1$REFGoodUnit" AS "gu")"},
        {"substring", "SELECT SUBSTRING(g.Name, 2, 3), SUBSTRING(g.Name, 0, 2) FROM REFGood g", S,
         R"(SELECT substr("g"."Name", 2, 3), substr("g"."Name", max(0, 1), max(0 + 2 - max(0, 1), 0)) FROM "C1$REFGood" AS "g")"},
        {"substring", "SELECT SUBSTRING(g.Name, 2, 3), SUBSTRING(g.Name, 0, 2) FROM REFGood g", P,
         R"(SELECT substr("g"."Name", 2, 3), substr("g"."Name", 0, 2) FROM "C1$REFGood" AS "g")"},
        {"getdate", "SELECT GETDATE()", S, "SELECT datetime('now', 'localtime')"},
        {"getdate", "SELECT GETDATE()", P, "SELECT LOCALTIMESTAMP"},
        // Comments are whitespace; a comment marker inside a text is data.
        {"comments",
         "SELECT /* c /* nested */ */ g.Name -- tail\nFROM REFGood g WHERE g.Name = '--x/*'", S,
         R"(SELECT "g"."Name" FROM "C1$REFGood" AS "g" WHERE "g"."Name" = '--x/*')"},
        {"trailing_semicolon", "SELECT g.Code FROM REFGood g;", S,
         R"(SELECT "g"."Code" FROM "C1$REFGood" AS "g")"},
        {"quote_in_text",
         "SELECT g.Code FROM REFGood g WHERE g.Name = 'x''; DROP TABLE REFGood; --'", S,
         R"(SELECT "g"."Code" FROM "C1$REFGood" AS "g" WHERE "g"."Name" = 'x''; DROP TABLE REFGood; --')"},
        {"convert102_literal", "SELECT CONVERT(CHAR(10), '20240105', 102)", S,
         "SELECT replace(substr('2024-01-05', 1, 10), '-', '.')"},
        {"convert102_literal", "SELECT CONVERT(CHAR(10), '20240105', 102)", P,
         "SELECT to_char(DATE '2024-01-05', 'YYYY.MM.DD')"},
        {"hostile_alias", "SELECT 1 AS [x\"; DROP TABLE t; --] FROM REFGood g", S,
         R"(SELECT 1 AS "x""; DROP TABLE t; --" FROM "C1$REFGood" AS "g")"},
        {"star_of_derived",
         "SELECT x.* FROM (SELECT g.Code, g.Category AS Cat FROM REFGood g) x WHERE x.Cat NOT "
         "BETWEEN 1 AND 2",
         P,
         R"(SELECT "x".* FROM (SELECT "g"."Code", "g"."Category" AS "Cat" FROM "C1$REFGood" AS "g") AS "x" WHERE "x"."Cat" NOT BETWEEN 1 AND 2)"},
        {"like_number_top_parenthesized",
         "SELECT TOP (3) g.Code FROM REFGood g WHERE g.Category LIKE '1%'", P,
         R"(SELECT "g"."Code" FROM "C1$REFGood" AS "g" WHERE CAST("g"."Category" AS text) LIKE '1%' LIMIT 3)"},
        {"national_text", "SELECT p.UserId FROM REFPerson p WHERE p.LastName = N'Ąžuolas'", P,
         R"(SELECT "p"."UserId" FROM "C1$REFPerson" AS "p" WHERE "p"."LastName" = 'Ąžuolas')"},
        {"min_max_abs_avg",
         "SELECT MIN(gs.Amount), MAX(gs.GoodCode), ABS(gs.Amount - 3), AVG(gs.Price) FROM "
         "THGoodSpec gs",
         S,
         R"(SELECT min("gs"."Amount"), max("gs"."GoodCode"), abs("gs"."Amount" - 30000), qts_cy(qts_div(sum("gs"."Price"), count("gs"."Price") * 10000)) FROM "C1$THGoodSpec" AS "gs")"},
        {"min_max_abs_avg",
         "SELECT MIN(gs.Amount), MAX(gs.GoodCode), ABS(gs.Amount - 3), AVG(gs.Price) FROM "
         "THGoodSpec gs",
         P,
         R"(SELECT min("gs"."Amount"), max("gs"."GoodCode"), abs("gs"."Amount" - 3), avg("gs"."Price") FROM "C1$THGoodSpec" AS "gs")"},
        {"lower_and_trims", "SELECT LOWER(g.Name), LTRIM(g.Name), RTRIM(g.Code) FROM REFGood g", S,
         R"(SELECT lower("g"."Name"), ltrim("g"."Name"), rtrim("g"."Code") FROM "C1$REFGood" AS "g")"},
        {"lower_and_trims", "SELECT LOWER(g.Name), LTRIM(g.Name), RTRIM(g.Code) FROM REFGood g", P,
         R"(SELECT lower("g"."Name"), ltrim("g"."Name"), rtrim("g"."Code") FROM "C1$REFGood" AS "g")"},
        {"trims_of_given_characters",
         "SELECT LTRIM(g.Code, '0') FROM REFGood g WHERE RTRIM(g.Code, '0123456789') = ''", S,
         R"(SELECT ltrim("g"."Code", '0') FROM "C1$REFGood" AS "g" WHERE rtrim("g"."Code", '0123456789') = '')"},
        {"trims_of_given_characters",
         "SELECT LTRIM(g.Code, '0') FROM REFGood g WHERE RTRIM(g.Code, '0123456789') = ''", P,
         R"(SELECT ltrim("g"."Code", '0') FROM "C1$REFGood" AS "g" WHERE rtrim("g"."Code", '0123456789') = '')"},
        {"isnull_keeps_the_first_type",
         "SELECT IsNull(d.ParentID, 0), IsNull(d.DocumentDate, '20240101'), IsNull(g.IsGroup, "
         "0), IsNull(o.Stamp, 1) FROM THDocument d CROSS JOIN REFGood g CROSS JOIN Odd o",
         P,
         R"(SELECT coalesce("d"."ParentID", CAST(0 AS integer)), coalesce("d"."DocumentDate", DATE '2024-01-01'), coalesce("g"."IsGroup", CAST(0 AS smallint)), coalesce("o"."Stamp", CAST(1 AS double precision)) FROM "C1$THDocument" AS "d" CROSS JOIN "C1$REFGood" AS "g" CROSS JOIN "C1$Odd" AS "o")"},
        // Beside a date a text literal is the date it names, in the book's date form.
        {"isnull_coalesce_nullif_read_text_beside_a_date_as_a_date",
         "SELECT IsNull(d.DocumentDate, '20240101'), COALESCE(d.DocumentDate, '2024-02-03 "
         "10:30'), NULLIF(d.DocumentDate, '20240229') FROM THDocument d",
         S,
         R"(SELECT coalesce("d"."DocumentDate", '2024-01-01'), coalesce("d"."DocumentDate", '2024-02-03 10:30:00'), nullif("d"."DocumentDate", '2024-02-29') FROM "C1$THDocument" AS "d")"},
        {"isnull_coalesce_nullif_read_text_beside_a_date_as_a_date",
         "SELECT IsNull(d.DocumentDate, '20240101'), COALESCE(d.DocumentDate, '2024-02-03 "
         "10:30'), NULLIF(d.DocumentDate, '20240229') FROM THDocument d",
         P,
         R"(SELECT coalesce("d"."DocumentDate", DATE '2024-01-01'), coalesce("d"."DocumentDate", TIMESTAMP '2024-02-03 10:30:00'), nullif("d"."DocumentDate", DATE '2024-02-29') FROM "C1$THDocument" AS "d")"},
        {"isnull_of_text_keeps_a_date_like_text",
         "SELECT IsNull(d.Number, '20240101') FROM THDocument d", S,
         R"(SELECT coalesce("d"."Number", '20240101') FROM "C1$THDocument" AS "d")"},
        {"convert_without_style",
         "SELECT CONVERT(INT, gs.Amount), CONVERT(VARCHAR(5), gs.IDC), CONVERT(DECIMAL(10,2), "
         "gs.Price) FROM THGoodSpec gs",
         S,
         R"(SELECT qts_int("gs"."Amount"), CASE WHEN length(CAST("gs"."IDC" AS TEXT)) > 5 THEN '*' ELSE CAST("gs"."IDC" AS TEXT) END, qts_round_cy("gs"."Price", 2) FROM "C1$THGoodSpec" AS "gs")"},
        {"convert_without_style",
         "SELECT CONVERT(INT, gs.Amount), CONVERT(VARCHAR(5), gs.IDC), CONVERT(DECIMAL(10,2), "
         "gs.Price) FROM THGoodSpec gs",
         P,
         R"(SELECT CAST(trunc("gs"."Amount") AS integer), CASE WHEN length(CAST("gs"."IDC" AS text)) > 5 THEN '*' ELSE CAST("gs"."IDC" AS varchar(5)) END, CAST("gs"."Price" AS numeric(10, 2)) FROM "C1$THGoodSpec" AS "gs")"},
        {"convert102_pad", "SELECT CONVERT(CHAR(12), d.DocumentDate, 102) FROM THDocument d", S,
         R"(SELECT substr(replace(substr("d"."DocumentDate", 1, 10), '-', '.') || printf('%12s', ''), 1, 12) FROM "C1$THDocument" AS "d")"},
        {"cast_float_date_datetime_bit",
         "SELECT CAST(gs.Amount AS FLOAT), CAST(d.DocumentDate AS DATE), CAST(d.DocumentDate "
         "AS DATETIME), CAST(gs.IDC AS BIT) FROM THGoodSpec gs INNER JOIN THDocument d ON "
         "d.IDC = gs.DocID",
         S,
         R"(SELECT ("gs"."Amount" / 10000.0), date("d"."DocumentDate"), "d"."DocumentDate", CASE WHEN "gs"."IDC" IS NULL THEN NULL WHEN "gs"."IDC" <> 0 THEN 1 ELSE 0 END FROM "C1$THGoodSpec" AS "gs" INNER JOIN "C1$THDocument" AS "d" ON "d"."IDC" = "gs"."DocID")"},
        {"cast_float_date_datetime_bit",
         "SELECT CAST(gs.Amount AS FLOAT), CAST(d.DocumentDate AS DATE), CAST(d.DocumentDate "
         "AS DATETIME), CAST(gs.IDC AS BIT) FROM THGoodSpec gs INNER JOIN THDocument d ON "
         "d.IDC = gs.DocID",
         P,
         R"(SELECT CAST("gs"."Amount" AS double precision), CAST("d"."DocumentDate" AS date), CAST("d"."DocumentDate" AS timestamp), CASE WHEN "gs"."IDC" IS NULL THEN NULL WHEN "gs"."IDC" <> 0 THEN 1 ELSE 0 END FROM "C1$THGoodSpec" AS "gs" INNER JOIN "C1$THDocument" AS "d" ON "d"."IDC" = "gs"."DocID")"},
        {"star_of_a_table",
         "SELECT * FROM THDocType t WHERE t.IsIncome <= 1 AND t.Category % 2 = 0", S,
         R"(SELECT * FROM "C1$THDocType" AS "t" WHERE "t"."IsIncome" <= 1 AND "t"."Category" % 2 = 0)"},
        {"star_of_a_table",
         "SELECT * FROM THDocType t WHERE t.IsIncome <= 1 AND t.Category % 2 = 0", P,
         R"(SELECT * FROM "C1$THDocType" AS "t" WHERE "t"."IsIncome" <= 1 AND "t"."Category" % 2 = 0)"},
        {"physical_name_without_alias", "SELECT Code FROM C1$THDocType WHERE IsIncome = 1", S,
         R"(SELECT "C1$THDocType"."Code" FROM "C1$THDocType" AS "C1$THDocType" WHERE "C1$THDocType"."IsIncome" = 1)"},
};

INSTANTIATE_TEST_SUITE_P(Rules, TranslateGolden, ::testing::ValuesIn(kGolden),
                         [](const ::testing::TestParamInfo<Golden>& info) {
                           return std::string(info.param.id) + "_" +
                                  DialectName(info.param.dialect) + "_" +
                                  std::to_string(info.index);
                         });

struct Refusal {
  const char* id;
  const char* tsql;
  const char* construct;
  int line;
  int column;
};

class TranslateRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(TranslateRefusal, NamesConstructAndPosition) {
  const Refusal& r = GetParam();
  for (Dialect dialect : {S, P}) {
    SCOPED_TRACE(std::string(r.id) + " / " + DialectName(dialect));
    try {
      (void)Translate(r.tsql, TestCatalogue(), dialect);
      ADD_FAILURE() << "translated instead of refusing";
    } catch (const SqlError& e) {
      EXPECT_EQ(e.Construct(), r.construct) << e.Description();
      EXPECT_EQ(e.Line(), r.line) << e.Description();
      EXPECT_EQ(e.Column(), r.column) << e.Description();
      EXPECT_EQ(e.Number(), kErrSqlTranslate);
      std::string where =
          " at line " + std::to_string(r.line) + ", column " + std::to_string(r.column);
      EXPECT_NE(e.Description().find(where), std::string::npos) << e.Description();
    }
  }
}

const Refusal kRefusals[] = {
    {"text_beside_a_date_that_is_no_date",
     "SELECT IsNull(d.DocumentDate, 'soon') FROM THDocument d", "soon", 1, 31},
    {"no_such_day_beside_a_date", "SELECT COALESCE(d.DocumentDate, '20240230') FROM THDocument d",
     "20240230", 1, 33},
    {"with", "WITH a AS (SELECT 1 AS x) SELECT x FROM a", "WITH", 1, 1},
    {"insert", "INSERT INTO THDocument (IDC) VALUES (1)", "INSERT", 1, 1},
    {"update", "  UPDATE THDocument SET IDC = 1", "UPDATE", 1, 3},
    {"delete", "\nDELETE FROM THDocument", "DELETE", 2, 1},
    {"declare", "DECLARE @x INT", "DECLARE", 1, 1},
    {"exec", "EXEC sp_who", "EXEC", 1, 1},
    {"second_statement", "SELECT 1; SELECT 2", "SELECT", 1, 11},
    {"second_statement_drop", "SELECT g.Code FROM REFGood g; DROP TABLE REFGood", "DROP", 1, 31},
    {"second_statement_no_separator", "SELECT 1 DELETE FROM THDocument", "DELETE", 1, 10},
    {"empty_second_statement", "SELECT 1;;", ";", 1, 10},
    {"unknown_function", "SELECT g.Code, FOO(g.Name) FROM REFGood g", "FOO", 1, 16},
    {"having_without_group_by_or_aggregate", "SELECT 1 FROM REFGood g HAVING COUNT(*) > 1",
     "HAVING", 1, 41},
    {"convert_style_104", "SELECT CONVERT(CHAR(10), d.DocumentDate, 104) FROM THDocument d",
     "CONVERT style 104", 1, 42},
    {"convert_style_on_number", "SELECT CONVERT(CHAR(10), d.IDC, 102) FROM THDocument d", "CONVERT",
     1, 8},
    {"unknown_table", "SELECT x.IDC FROM\n  NoSuchTable x", "NoSuchTable", 2, 3},
    {"other_book_physical_name", "SELECT x.IDC FROM C2$THDocument x", "C2$THDocument", 1, 19},
    {"unknown_column", "SELECT d.IDC, d.Nope FROM THDocument d", "d.Nope", 1, 15},
    {"unknown_bare_column", "SELECT Nope FROM THDocument d", "Nope", 1, 8},
    {"unknown_alias", "SELECT z.IDC FROM THDocument d", "z", 1, 8},
    {"ambiguous_column", "SELECT IDC FROM THDocument d INNER JOIN THGoodSpec s ON d.IDC = s.DocID",
     "IDC", 1, 8},
    {"unresolved_plus", "SELECT 1 AS a, NULL + NULL FROM THDocument d", "+", 1, 21},
    {"unresolved_column_plus", "SELECT o.Mystery + o.Mystery FROM Odd o", "+", 1, 18},
    {"text_plus_number", "SELECT d.Number + d.IDC FROM THDocument d", "+", 1, 17},
    {"date_plus", "SELECT d.DocumentDate + 1 FROM THDocument d", "+", 1, 23},
    {"variable", "SELECT @x", "variable @x", 1, 8},
    {"temp_table", "SELECT a FROM #t", "temporary table #t", 1, 15},
    {"right_join", "SELECT d.IDC FROM THDocument d RIGHT JOIN THGoodSpec s ON d.IDC = s.DocID",
     "RIGHT JOIN", 1, 32},
    {"cross_apply", "SELECT d.IDC FROM THDocument d CROSS APPLY x", "CROSS APPLY", 1, 32},
    {"table_hint", "SELECT d.IDC FROM THDocument d WITH (NOLOCK)", "table hint WITH", 1, 32},
    {"schema_name", "SELECT d.IDC FROM dbo.THDocument d", "multi-part table name", 1, 19},
    {"select_into", "SELECT d.IDC INTO x FROM THDocument d", "SELECT INTO", 1, 14},
    {"window", "SELECT SUM(gs.Amount) OVER () FROM THGoodSpec gs", "OVER", 1, 23},
    {"intersect", "SELECT 1 INTERSECT SELECT 2", "INTERSECT", 1, 10},
    {"top_percent", "SELECT TOP 5 PERCENT d.IDC FROM THDocument d", "TOP PERCENT", 1, 14},
    {"date_to_text", "SELECT CAST(d.DocumentDate AS VARCHAR(10)) FROM THDocument d", "VARCHAR", 1,
     31},
    {"bad_date_literal", "SELECT d.IDC FROM THDocument d WHERE d.DocumentDate = '20240230'",
     "20240230", 1, 55},
    {"like_class", "SELECT g.Code FROM REFGood g WHERE g.Name LIKE '[a-c]%'",
     "LIKE character class '['", 1, 48},
    {"unterminated_text", "SELECT 'abc", "'", 1, 8},
    {"unterminated_comment", "SELECT 1 /* open", "/*", 1, 10},
    {"round_three_args", "SELECT ROUND(gs.Amount, 2, 1) FROM THGoodSpec gs", "ROUND", 1, 8},
    {"missing_from_item", "SELECT d.IDC FROM", "", 1, 18},
    {"union_width", "SELECT d.IDC, d.Code FROM THDocument d UNION SELECT g.Code FROM REFGood g",
     "UNION", 1, 46},
    {"derived_needs_alias", "SELECT 1 FROM (SELECT g.Code FROM REFGood g)", "(", 1, 15},
    {"derived_unnamed_column", "SELECT 1 FROM (SELECT g.Category + 1 FROM REFGood g) x", "x", 1,
     15},
    {"duplicate_alias", "SELECT 1 FROM REFGood g INNER JOIN REFGood g ON 1 = 1", "g", 1, 36},
    {"condition_as_value", "SELECT d.IDC FROM THDocument d WHERE d.IDC", "", 1, 38},
    {"union_order_unknown", "SELECT g.Code FROM REFGood g UNION SELECT 'x' ORDER BY g.Name", "Name",
     1, 56},
    {"star_without_from", "SELECT *", "*", 1, 8},
    {"star_unknown_qualifier", "SELECT z.* FROM THDocument d", "z", 1, 8},
    {"derived_duplicate_column", "SELECT 1 FROM (SELECT g.Code, g.Code FROM REFGood g) x", "Code",
     1, 15},
    {"convert_style_to_number", "SELECT CONVERT(INT, d.DocumentDate, 102) FROM THDocument d",
     "CONVERT style 102 to INT", 1, 16},
    {"convert_style_not_a_number",
     "SELECT CONVERT(CHAR(10), d.DocumentDate, 'x') FROM THDocument d", "'x'", 1, 42},
    {"outer_apply", "SELECT d.IDC FROM THDocument d OUTER APPLY x", "OUTER APPLY", 1, 32},
    {"any_subquery", "SELECT g.Code FROM REFGood g WHERE g.Category > ANY (SELECT 1)",
     "ANY subquery", 1, 49},
    {"not_less", "SELECT g.Code FROM REFGood g WHERE g.Category !< 1", "!<", 1, 47},
    {"bitwise", "SELECT g.Category & 1 FROM REFGood g", "bitwise operator &", 1, 19},
    {"length_max", "SELECT CAST(g.Name AS VARCHAR(MAX)) FROM REFGood g", "length MAX", 1, 31},
    {"text_length_out_of_range", "SELECT CAST(g.Name AS VARCHAR(9000)) FROM REFGood g", "9000", 1,
     31},
    {"precision_out_of_range", "SELECT CAST(gs.Amount AS DECIMAL(40,2)) FROM THGoodSpec gs", "40",
     1, 34},
    {"int_with_length", "SELECT CAST(g.Category AS INT(4)) FROM REFGood g",
     "type INT with a length", 1, 27},
    {"too_few_arguments", "SELECT LEFT(g.Name) FROM REFGood g", "LEFT", 1, 8},
    {"too_many_arguments", "SELECT SUBSTRING(g.Name, 1, 2, 3) FROM REFGood g", "SUBSTRING", 1, 8},
    {"on_refers_right",
     "SELECT 1 FROM REFGood g INNER JOIN THGoodSpec s ON s.GoodCode = p.UserId INNER JOIN "
     "REFPerson p ON 1 = 1",
     "p", 1, 65},
    // An integer in ORDER BY is a column's position; past the select list the backends refuse
    // the statement, and any other constant there (or in GROUP BY, where the backends read an
    // integer as a position too) would silently sort or group by something else.
    {"order_position_past_the_list", "SELECT d.IDC FROM THDocument d ORDER BY 99999999",
     "99999999", 1, 41},
    {"order_position_zero", "SELECT d.IDC, d.Number FROM THDocument d ORDER BY d.IDC, 0", "0", 1,
     58},
    {"order_position_past_a_star", "SELECT * FROM REFPerson u ORDER BY 4", "4", 1, 36},
    {"order_position_of_a_union",
     "SELECT d.IDC FROM THDocument d UNION SELECT g.Category FROM REFGood g ORDER BY 2", "2", 1,
     80},
    {"order_position_in_a_subquery",
     "SELECT d.IDC FROM THDocument d WHERE d.IDC IN (SELECT TOP 2 x.IDC FROM THDocument x "
     "ORDER BY 3)",
     "3", 1, 94},
    {"order_signed_position", "SELECT d.IDC FROM THDocument d ORDER BY -1", "-1", 1, 41},
    {"order_decimal", "SELECT d.IDC FROM THDocument d ORDER BY 1.5", "1.5", 1, 41},
    {"order_text", "SELECT d.IDC FROM THDocument d ORDER BY 'x'", "'x'", 1, 41},
    {"group_by_a_constant", "SELECT COUNT(*) FROM THDocument d GROUP BY 5", "5", 1, 44},
};

INSTANTIATE_TEST_SUITE_P(Subset, TranslateRefusal, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<Refusal>& info) {
                           return std::string(info.param.id);
                         });

TEST(TranslateTest, ColumnsCarryResolvedTypes) {
  Translation t = TranslateWithColumns(
      "SELECT d.IDC, d.DocumentDate, d.Number + 'x' AS Txt, ROUND(gs.Amount, 2) AS R, "
      "CASE WHEN d.IDC = 1 THEN NULL ELSE 2.5 END AS C, COUNT(*) AS N "
      "FROM THDocument d INNER JOIN THGoodSpec gs ON d.IDC = gs.DocID GROUP BY d.IDC, "
      "d.DocumentDate, d.Number, gs.Amount",
      TestCatalogue(), S);
  ASSERT_EQ(t.columns.size(), 6u);
  EXPECT_EQ(t.columns[0].name, "IDC");
  EXPECT_EQ(t.columns[0].type, SqlType::kInteger);
  EXPECT_EQ(t.columns[1].type, SqlType::kDate);
  EXPECT_EQ(t.columns[2].type, SqlType::kText);
  EXPECT_EQ(t.columns[2].length, 21);
  EXPECT_EQ(t.columns[3].type, SqlType::kNumber);
  EXPECT_EQ(t.columns[4].type, SqlType::kNumber);
  EXPECT_EQ(t.columns[5].type, SqlType::kInteger);
}

TEST(TranslateTest, UnionColumnTypeComesFromAnyBranch) {
  Translation t = TranslateWithColumns(
      "SELECT NULL AS V FROM REFGood g UNION SELECT d.Number FROM THDocument d", TestCatalogue(),
      S);
  ASSERT_EQ(t.columns.size(), 1u);
  EXPECT_EQ(t.columns[0].type, SqlType::kText);
}

TEST(TranslateTest, DerivedColumnTypesFeedOuterPlus) {
  // Txt is text inside the derived table, so '+' outside joins texts.
  EXPECT_EQ(
      Translate("SELECT x.Txt + '!' FROM (SELECT d.Number AS Txt FROM THDocument d) x",
                TestCatalogue(), S),
      R"(SELECT "x"."Txt" || '!' FROM (SELECT "d"."Number" AS "Txt" FROM "C1$THDocument" AS "d") AS "x")");
  // Amount is a number there, so the same '+' adds.
  EXPECT_EQ(
      Translate("SELECT x.A + 1 FROM (SELECT gs.Amount AS A FROM THGoodSpec gs) x", TestCatalogue(),
                S),
      R"(SELECT "x"."A" + 10000 FROM (SELECT "gs"."Amount" AS "A" FROM "C1$THGoodSpec" AS "gs") AS "x")");
}

TEST(TranslateTest, NulCharacterIsRefused) {
  const struct {
    std::string_view sql;
    int column;
  } cases[] = {{std::string_view("SELECT 1\0", 9), 9}, {std::string_view("SELECT 'a\0b'", 13), 10}};
  for (const auto& c : cases) {
    try {
      (void)Translate(c.sql, TestCatalogue(), S);
      ADD_FAILURE() << "NUL accepted";
    } catch (const SqlError& e) {
      EXPECT_EQ(e.Construct(), "NUL");
      EXPECT_EQ(e.Column(), c.column);
    }
  }
}

TEST(TranslateTest, LongStatementTranslates) {
  // A very long IN list and text: treated as data, not truncated.
  std::string list;
  for (int i = 0; i < 2000; ++i) list += (i ? ", '" : "'") + std::to_string(i) + "'";
  std::string big_text(100000, 'x');
  std::string sql =
      "SELECT g.Code FROM REFGood g WHERE g.Code IN (" + list + ") OR g.Name = '" + big_text + "'";
  std::string out = Translate(sql, TestCatalogue(), S);
  EXPECT_NE(out.find("'1999')"), std::string::npos);
  EXPECT_NE(out.find(big_text), std::string::npos);
}

// Cut or damaged statements are refused with a SqlError, never with another exception or a
// crash. Fixed seed: the same damage every run.
TEST(TranslateTest, DamagedStatementsFailOnlyWithSqlError) {
  const std::string whole = testing::PackagingDeclarationSql("20240101", "20241231", true);
  auto check = [](const std::string& sql) {
    for (Dialect dialect : {S, P}) {
      try {
        (void)Translate(sql, TestCatalogue(), dialect);
      } catch (const SqlError&) {
      } catch (const std::exception& e) {
        ADD_FAILURE() << e.what() << "\n" << sql;
      }
    }
  };
  for (size_t cut = 0; cut < whole.size(); cut += 31) check(whole.substr(0, cut));
  std::mt19937 random(20240105);
  const std::string noise = "()',.;*+-=<>[]\"N0 9aSELECT";
  for (int round = 0; round < 150; ++round) {
    std::string damaged = whole;
    for (int edits = 0; edits < 3; ++edits) {
      size_t at = random() % damaged.size();
      switch (random() % 3) {
        case 0:
          damaged.erase(at, 1 + random() % 8);
          break;
        case 1:
          damaged.insert(at, 1, noise[random() % noise.size()]);
          break;
        default:
          damaged[at] = noise[random() % noise.size()];
          break;
      }
    }
    check(damaged);
  }
}

TEST(TranslateTest, DeepNestingIsRefusedNotCrashing) {
  std::string sql = "SELECT " + std::string(5000, '(') + "1" + std::string(5000, ')');
  EXPECT_THROW((void)Translate(sql, TestCatalogue(), S), SqlError);
  std::string ok = "SELECT " + std::string(50, '(') + "1" + std::string(50, ')');
  EXPECT_EQ(Translate(ok, TestCatalogue(), S), "SELECT 1");
}

// A long chain of operators is read in a loop but makes a tree as deep as the chain; it is
// refused with its position before a later stage could run out of stack on it.
TEST(TranslateTest, LongOperatorChainsAreRefusedNotCrashing) {
  for (const char* op : {" OR ", " AND ", " + ", " * "}) {
    const bool logical = std::string(op) == " OR " || std::string(op) == " AND ";
    const std::string operand = logical ? "(1 = 1)" : "1";
    auto chain = [&](int n) {
      std::string sql = "SELECT 1 AS x FROM REFGood WHERE ";
      if (!logical) sql = "SELECT ";
      for (int i = 0; i < n; ++i) sql += operand + op;
      return sql + operand + (logical ? "" : " AS x");
    };
    try {
      (void)Translate(chain(100000), TestCatalogue(), S);
      ADD_FAILURE() << "a chain of 100000" << op << "was accepted";
    } catch (const SqlError& e) {
      EXPECT_NE(std::string(e.what()).find("more than 500"), std::string::npos) << e.what();
      EXPECT_EQ(e.Line(), 1);
      EXPECT_GT(e.Column(), 500 * 3);
    }
    EXPECT_NO_THROW((void)Translate(chain(500), TestCatalogue(), S)) << op;
    EXPECT_THROW((void)Translate(chain(501), TestCatalogue(), S), SqlError) << op;
  }
}

}  // namespace
}  // namespace qts::sql
