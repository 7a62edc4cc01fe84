#include "host/services/doc_spec_service.h"

#include <fmt/format.h>

#include "db/connection.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/interfaces.h"
#include "host/schema/schema.h"

namespace qts::host {
namespace {

constexpr std::string_view kSource = "DocSpecService";

[[noreturn]] void Fail(std::string description) {
  throw Error(kErrDocSpecService, std::string(kSource), std::move(description));
}

bool IsIdentifier(std::string_view text) {
  if (text.empty() || text.size() > 128) return false;
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!letter(text.front())) return false;
  for (char c : text) {
    if (!letter(c) && !(c >= '0' && c <= '9')) return false;
  }
  return true;
}

// The type of document `doc_id`; "" when there is none.
std::string DocumentType(AppContext& book, int32_t doc_id) {
  db::StatementHandle s = book.PrepareTsql("SELECT DocTypeCode FROM THDocument WHERE IDC = ?");
  s->BindInt64(1, doc_id);
  return s->Step() ? s->GetText(0) : std::string();
}

}  // namespace

void DocSpecService::Init(AppContextPtr book) { book_ = std::move(book); }

AppContext& DocSpecService::Book() const {
  if (!book_) Fail("the specification service has no book (Init was not called)");
  return *book_;
}

std::string DocSpecService::FreeAmountExpr(Date date, std::string_view alias) const {
  if (!IsIdentifier(alias)) Fail(fmt::format("\"{}\" is not a row alias", alias));
  return schema::FreeAmountExpr(SqlTools::Instance()->SqlValue(Variant(date), Kind::kDate), alias);
}

RecordsetPtr DocSpecService::SpecList(int32_t doc_id, std::string_view type_code,
                                      std::string_view condition, bool with_add_fields,
                                      bool group_by_good) {
  AppContext& book = Book();
  std::string type(type_code);
  if (type.empty()) type = DocumentType(book, doc_id);
  const std::string add_table = type + "THGoodSpec";
  if (!type.empty() && book.Catalogue().FindSource(add_table) == nullptr) {
    Fail(fmt::format("the book has no document type \"{}\"", type));
  }

  QueryPtr q = book.CreateQuery("THGoodSpec");
  q->Fields().KeepOnly({});
  q->AddWhere(SqlTools::Instance()->ColumnCondition("oTable.DocID", Kind::kLongId, kOpEqual,
                                                    Variant(doc_id), Variant(), false));
  QueryPtr good = book.CreateQuery("REFGood");
  good->Fields().KeepOnly({});
  q->LeftJoin(good, "g", "g.Code = oTable.GoodCode", kJoinLeftOuter);
  QueryPtr unit = book.CreateQuery("REFGoodUnit");
  unit->Fields().KeepOnly({});
  q->LeftJoin(unit, "gu", "gu.GoodCode = oTable.GoodCode AND gu.IsAccount = 1", kJoinLeftOuter);
  if (!condition.empty()) q->AddWhere("(" + std::string(condition) + ")");

  NamedValueList& f = q->Fields();
  if (group_by_good) {
    f.AddColumn("GoodCode", Kind::kCode, "oTable.GoodCode");
    f.AddColumn("GoodName", Kind::kName, "g.Name");
    f.AddColumn("UnitCode", Kind::kCode, "oTable.UnitCode");
    f.AddColumn("AccUnitCode", Kind::kCode, "gu.UnitCode");
    for (const char* sum : {"Amount", "AmountAccount", "Summa", "CostSumm", "SummVAT"}) {
      f.AddColumn(sum, Kind::kQuantity, std::string("oTable.") + sum).SetAggregate(kAggregateSum);
    }
    q->OrderBy("GoodCode, UnitCode");
  } else {
    QueryPtr lot = book.CreateQuery("STLotProperty");
    lot->Fields().KeepOnly({});
    q->LeftJoin(lot, "lp", "lp.IDC = oTable.LotPropertyID", kJoinLeftOuter);
    f.AddColumn("IDC", Kind::kLongId, "oTable.IDC");
    f.AddColumn("PosNumb", Kind::kLongId, "oTable.PosNumb");
    f.AddColumn("GoodCode", Kind::kCode, "oTable.GoodCode");
    f.AddColumn("GoodName", Kind::kName, "g.Name");
    f.AddColumn("UnitCode", Kind::kCode, "oTable.UnitCode");
    f.AddColumn("Amount", Kind::kQuantity, "oTable.Amount");
    f.AddColumn("AccUnitCode", Kind::kCode, "gu.UnitCode");
    f.AddColumn("AmountAccount", Kind::kQuantity, "oTable.AmountAccount");
    f.AddColumn("Price", Kind::kPrice, "oTable.Price");
    f.AddColumn("Summa", Kind::kMoney, "oTable.Summa");
    f.AddColumn("CostSumm", Kind::kMoney, "oTable.CostSumm");
    f.AddColumn("SummVAT", Kind::kMoney, "oTable.SummVAT");
    f.AddColumn("BOperCode", Kind::kCode, "oTable.BOperCode");
    f.AddColumn("LotPropertyID", Kind::kLongId, "oTable.LotPropertyID");
    f.AddColumn("LotName", Kind::kName, "lp.Name");
    f.AddColumn("PriceNational", Kind::kPrice, "oTable.PriceNational");
    f.AddColumn("AlgebraicSum", Kind::kMoney, "oTable.AlgebraicSum");
    for (const char* flag : {"IsGoodClosed", "IsTranClosed", "IsPayClosed", "IsFixed"}) {
      f.AddColumn(flag, Kind::kFlag, std::string("oTable.") + flag);
    }
    if (with_add_fields && !type.empty()) {
      QueryPtr add = book.CreateQuery(add_table);
      add->Fields().Exclude({"DocID", "PosNumb"});
      q->LeftJoin(add, "AddFld", "AddFld.DocID = oTable.DocID AND AddFld.PosNumb = oTable.PosNumb",
                  kJoinLeftOuter);
    }
    q->OrderBy("PosNumb");
  }
  q->Open();
  return q->OpenRecordset();
}

}  // namespace qts::host
