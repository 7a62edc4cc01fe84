#include "host/services/host_lot_handler.h"

#include <fmt/format.h>

#include <string>

#include "core/convert.h"
#include "db/connection.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/documents/th_document.h"
#include "host/schema/schema.h"
#include "host/services/good_entry.h"

namespace qts::host {
namespace {

constexpr std::string_view kSource = "HostLotHandler";

[[noreturn]] void Fail(std::string description) {
  throw Error(kErrLotHandler, std::string(kSource), std::move(description));
}

bool Missing(const Variant& v) { return v.IsNull() || v.IsEmpty(); }

std::string TextAt(const db::Statement& s, int column) {
  return s.ColumnKind(column) == db::ValueKind::kNull ? std::string() : s.GetText(column);
}

}  // namespace

void HostLotHandler::Init(const std::shared_ptr<ITHDoc>& doc) {
  doc_ = doc;
  current_pos_ = 0;
}

THDocumentPtr HostLotHandler::Document() const {
  std::shared_ptr<ITHDoc> handler = doc_.lock();
  if (!handler) Fail("the lot handler has no document handler (Init was not called)");
  THDocumentPtr doc = handler->Doc();
  if (!doc) Fail("the document handler has no document");
  return doc;
}

AppContext& HostLotHandler::Book() const {
  THDocumentPtr doc = Document();
  if (!doc->Application()) Fail("the document has no book");
  return *doc->Application();
}

int32_t HostLotHandler::DocId() const {
  const Variant& idc = Document()->Fields().Item("IDC").Value();
  const int32_t id = Missing(idc) ? 0 : CLng(idc);
  if (id == 0) Fail("the document is not stored yet");
  return id;
}

std::string HostLotHandler::LotGood(int32_t lot_id) {
  AppContext& book = Book();
  db::StatementHandle s = book.PrepareTsql("SELECT GoodCode FROM STLotProperty WHERE IDC = ?");
  s->BindInt64(1, lot_id);
  if (!s->Step()) Fail(fmt::format("the book has no lot property {}", lot_id));
  return TextAt(*s, 0);
}

void HostLotHandler::WriteRowLot(int32_t pos_numb, int32_t lot_id) {
  AppContext& book = Book();
  const int32_t doc_id = DocId();
  std::string good;
  {
    db::StatementHandle s =
        book.PrepareTsql("SELECT GoodCode FROM THGoodSpec WHERE DocID = ? AND PosNumb = ?");
    s->BindInt64(1, doc_id);
    s->BindInt64(2, pos_numb);
    if (!s->Step()) Fail(fmt::format("the document has no row {}", pos_numb));
    good = TextAt(*s, 0);
  }
  if (lot_id != 0) {
    const std::string lot_good = LotGood(lot_id);
    if (!lot_good.empty() && lot_good != good) {
      Fail(fmt::format("lot property {} belongs to good \"{}\", row {} holds \"{}\"", lot_id,
                       lot_good, pos_numb, good));
    }
  }
  book.ExecuteTsql("UPDATE THGoodSpec SET LotPropertyID = ? WHERE DocID = ? AND PosNumb = ?",
                   {int64_t{lot_id}, int64_t{doc_id}, int64_t{pos_numb}});
}

void HostLotHandler::FormDocumentSpec(const ObjectPtr& /*spec*/) {
  AppContext& book = Book();
  THDocumentPtr doc = Document();
  const int32_t doc_id = DocId();
  const std::string type = CStr(doc->Fields().Item("DocTypeCode").Value());
  const Variant& number = doc->Fields().Item("Number").Value();
  db::Connection& c = book.Connection();
  db::Transaction transaction(c);
  struct Pending {
    int64_t idc;
    int64_t pos;
    std::string good;
  };
  std::vector<Pending> rows;
  {
    db::StatementHandle s = book.PrepareTsql(
        "SELECT s.IDC, s.PosNumb, s.GoodCode, COALESCE(g.TrackingOff, 0),"
        " COALESCE(g.TrackingKind, 0) FROM THGoodSpec s INNER JOIN REFGood g ON g.Code = s.GoodCode"
        " WHERE s.DocID = ? AND COALESCE(s.LotPropertyID, 0) = 0 ORDER BY s.PosNumb");
    s->BindInt64(1, doc_id);
    while (s->Step()) {
      if (IsLotTracked(s->GetInt64(3) != 0, s->GetInt64(4))) {
        rows.push_back(Pending{s->GetInt64(0), s->GetInt64(1), s->GetText(2)});
      }
    }
  }
  for (const Pending& r : rows) {
    book.ExecuteTsql(
        "INSERT INTO STLotProperty (GoodCode, Name) VALUES (?, ?)",
        {r.good, fmt::format("{} {}/{}", type, Missing(number) ? "" : CStr(number), r.pos)});
    const int64_t lot = c.LastInsertId();
    book.ExecuteTsql("UPDATE THGoodSpec SET LotPropertyID = ? WHERE IDC = ?", {lot, r.idc});
  }
  transaction.Commit();
}

void HostLotHandler::WriteAllLotProperty(Variant& argument) {
  AppContext& book = Book();
  const int32_t doc_id = DocId();
  const int32_t lot_id = Missing(argument) ? 0 : CLng(argument);
  const std::string good = lot_id == 0 ? std::string() : LotGood(lot_id);
  if (good.empty()) {
    book.ExecuteTsql("UPDATE THGoodSpec SET LotPropertyID = ? WHERE DocID = ?",
                     {int64_t{lot_id}, int64_t{doc_id}});
  } else {
    book.ExecuteTsql("UPDATE THGoodSpec SET LotPropertyID = ? WHERE DocID = ? AND GoodCode = ?",
                     {int64_t{lot_id}, int64_t{doc_id}, good});
  }
}

void HostLotHandler::WriteLotProperty(Variant& first, Variant& second) {
  const int32_t pos = Missing(first) ? current_pos_ : CLng(first);
  if (pos <= 0) Fail("no row is current");
  WriteRowLot(pos, Missing(second) ? 0 : CLng(second));
}

Variant HostLotHandler::ReadLotProperty(Variant& argument) {
  if (Missing(argument)) return Variant::Null();
  const int32_t lot_id = CLng(argument);
  AppContext& book = Book();
  db::StatementHandle s = book.PrepareTsql(
      "SELECT p.IDC, p.GoodCode, p.Name, p.OrderInfo,"
      " (SELECT SUM(l.RestAccount) FROM STLot l WHERE l.AnalytID = p.IDC)"
      " FROM STLotProperty p WHERE p.IDC = ?");
  s->BindInt64(1, lot_id);
  if (!s->Step()) return Variant::Null();
  auto list = std::make_shared<NamedValueList>();
  list->Add("IDC", Kind::kLongId, Variant(static_cast<int32_t>(s->GetInt64(0))));
  const char* const names[] = {"GoodCode", "Name", "OrderInfo"};
  for (int column = 1; column <= 3; ++column) {
    list->Add(names[column - 1], Kind::kText,
              s->ColumnKind(column) == db::ValueKind::kNull ? Variant::Null()
                                                            : Variant(s->GetText(column)));
  }
  list->Add("RestAccount", Kind::kQuantity,
            Variant(s->ColumnKind(4) == db::ValueKind::kNull ? Currency() : s->GetCurrency(4)));
  return Variant(ObjectPtr(list));
}

Currency HostLotHandler::LotRest(std::string_view store_code, std::string_view good,
                                 int32_t lot_id) {
  AppContext& book = Book();
  db::StatementHandle s = book.PrepareTsql(
      "SELECT SUM(l.RestAccount) FROM STLot l INNER JOIN STStore st ON st.IDC = l.StoreId"
      " WHERE st.Code = ? AND l.GoodCode = ? AND COALESCE(l.AnalytID, 0) = ?");
  s->BindText(1, store_code);
  s->BindText(2, good);
  s->BindInt64(3, lot_id);
  if (!s->Step() || s->ColumnKind(0) == db::ValueKind::kNull) return Currency();
  return s->GetCurrency(0);
}

}  // namespace qts::host
