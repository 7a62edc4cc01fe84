#include "engine/doc_engine.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "engine/testing/engine_book.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/testing/sample_book.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/interfaces.h"
#include "host/report/report_engine.h"
#include "host/schema/testing/seed.h"
#include "host/services/doc_spec_service.h"
#include "host/services/good_entry.h"

namespace qts::engine {

using host::Kind;

namespace {

using host::testing::SampleBook;

// The sample book plus an order (document 50, type PIS, code "ORD-50", one row 51) and two
// write-offs made for it: 60 (MMO, vehicle "77") and 61 (MKO, vehicle "77").
class DocEngineTest : public SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    db::Connection& c = book_->Connection();
    qts::host::schema::testing::Seed(
        c, R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","Code","DocumentDate",
                 "IsPosted","ParentID") VALUES (50,'PIS','O1','ORD-50','2026-02-01',0,0),
                 (60,'MMO','7','','2026-02-02',0,50),(61,'MKO','1','','2026-02-02',0,50))");
    qts::host::schema::testing::Seed(
        c, R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode",
                 "Amount","AmountAccount") VALUES (51,50,1,'G1','KG',2,2))");
    qts::host::schema::testing::Seed(
        c, R"(INSERT INTO "T$MMOTHDocument"("DocID","VehicleCode") VALUES (60,'77'))");
    qts::host::schema::testing::Seed(
        c, R"(INSERT INTO "T$MKOTHDocument"("DocID","VehicleCode") VALUES (61,'77'))");
    auto app = std::make_shared<host::ReportApp>();
    app->SetCurrentBook(book_);
    current_ = std::make_unique<host::ScopedClientApplication>(app);
  }
  void TearDown() override { current_.reset(); }

  host::THDocumentPtr Loaded(int32_t idc) {
    auto doc = std::make_shared<host::THDocument>(book_);
    EXPECT_TRUE(doc->Load(idc)) << idc;
    return doc;
  }
  // An engine serving `doc`; with null, a new document of the type that the engine makes
  // in the current book.
  std::shared_ptr<CMDocSupport> Engine(const std::string& type, host::THDocumentPtr doc) {
    auto engine = std::make_shared<CMDocSupport>();
    engine->Init(type, nullptr, doc);
    return engine;
  }
  int64_t Scalar(const std::string& sql) {
    db::StatementHandle s = book_->Connection().Prepare(sql);
    EXPECT_TRUE(s->Step()) << sql;
    return s->GetInt64(0);
  }
  std::unique_ptr<host::ScopedClientApplication> current_;

  std::string Text(const std::string& sql) {
    db::StatementHandle s = book_->Connection().Prepare(sql);
    EXPECT_TRUE(s->Step()) << sql;
    return s->IsNull(0) ? "<null>" : s->GetText(0);
  }
};

// ---- Init and the engine's book ----

TEST_F(DocEngineTest, InitWithoutDocumentMakesANewDocumentOfTheTypeInTheCurrentBook) {
  CMDocSupport engine;
  engine.Init("MMO", nullptr, nullptr);
  ASSERT_NE(engine.Doc(), nullptr);
  EXPECT_EQ(engine.Doc()->Application(), book_);
  EXPECT_EQ(CStr(engine.Doc()->Fields().Item("DocTypeCode").Value()), "MMO");
  EXPECT_EQ(CLng(engine.Doc()->Fields().Item("IDC").Value()), 0);
  // A new document of the type already carries the next number ("7" is the largest).
  EXPECT_EQ(CStr(engine.Doc()->Fields().Item("Number").Value()), "8");
  EXPECT_TRUE(engine.Doc()->AddFields().ExistsField("VehicleCode"));
}

TEST_F(DocEngineTest, SetBookKeepsTheBookForLaterWithoutCurrentBook) {
  CMDocSupport engine;
  {
    auto app = std::make_shared<host::ReportApp>();
    app->SetCurrentBook(book_);
    host::ScopedClientApplication scoped(app);
    engine.SetBook();
  }
  host::ScopedClientApplication none(std::make_shared<host::ReportApp>());
  engine.Init("PIS", nullptr, nullptr);
  EXPECT_EQ(engine.Doc()->Application(), book_);
}

TEST_F(DocEngineTest, WithoutAnyBookInitRaises424) {
  host::ScopedClientApplication none(std::make_shared<host::ReportApp>());
  CMDocSupport engine;
  EXPECT_QTS_ERROR_TEXT(engine.Init("MMO", nullptr, nullptr), kErrObjectRequired, "no book");
  EXPECT_EQ(engine.Doc(), nullptr);
  // Members that need the document say so instead of failing somewhere else.
  EXPECT_QTS_ERROR(engine.CheckDocExist2(50), kErrObjectRequired);
  EXPECT_QTS_ERROR(engine.ParentDoc(), kErrObjectRequired);
}

TEST_F(DocEngineTest, InitAgainServesAnotherDocumentAndKeepsTheCreatedObjects) {
  auto engine = Engine("MMO", Loaded(60));
  const host::THGoodSpecPtr rows = engine->DocSpec();
  // A type the book does not know is refused and the engine keeps its document.
  EXPECT_THROW(engine->Init("ZZZ", nullptr, nullptr), Error);
  EXPECT_EQ(engine->DocTypeCode(), "MMO");
  EXPECT_EQ(CLng(engine->Doc()->Fields().Item("IDC").Value()), 60);
  engine->Init("MKO", nullptr, Loaded(61));
  EXPECT_EQ(engine->DocTypeCode(), "MKO");
  EXPECT_EQ(CLng(engine->Doc()->Fields().Item("IDC").Value()), 61);
  EXPECT_EQ(engine->DocSpec(), rows);
}

// ---- Finding the document made for an order ----

TEST_F(DocEngineTest, CheckDocExistFindsTheTypeOrderAndArticle) {
  auto mmo = Engine("MMO", nullptr);
  EXPECT_EQ(mmo->CheckDocExist(50, 77, "VehicleCode"), 60);
  EXPECT_EQ(mmo->CheckDocExist(50, 78, "VehicleCode"), 0);
  EXPECT_EQ(mmo->CheckDocExist(51, 77, "VehicleCode"), 0);
  EXPECT_EQ(Engine("MKO", nullptr)->CheckDocExist(50, 77, "VehicleCode"), 61);
  // The search goes through queries: the engine's document object is not touched.
  EXPECT_EQ(CLng(mmo->Doc()->Fields().Item("IDC").Value()), 0);
}

TEST_F(DocEngineTest, CheckDocExistRefusesAFieldNameThatIsNotAnIdentifier) {
  auto mmo = Engine("MMO", nullptr);
  for (const char* bad : {"", "VehicleCode = 1 or 1", "x;y", "1abc"}) {
    EXPECT_QTS_ERROR_TEXT(mmo->CheckDocExist(50, 77, bad), kErrInvalidCall,
                          "not a plain identifier")
        << bad;
  }
  // An additional field the type does not have is the query's error, naming the column.
  EXPECT_THROW((void)mmo->CheckDocExist(50, 77, "NoSuchField"), Error);
}

TEST_F(DocEngineTest, CheckDocExist2LoadsTheFoundDocumentIntoTheEngine) {
  auto doc = std::make_shared<host::THDocument>(book_);
  auto engine = Engine("MKO", doc);
  doc->Fields().Item("Name").SetValue(Variant("typed"));

  EXPECT_EQ(engine->CheckDocExist2(0), 0);
  EXPECT_EQ(CStr(doc->Fields().Item("Name").Value()), "typed");  // untouched

  EXPECT_EQ(engine->CheckDocExist2(999), 0);
  EXPECT_EQ(CStr(doc->Fields().Item("Name").Value()), "typed");  // a miss changes nothing

  EXPECT_EQ(engine->CheckDocExist2(50), 61);  // the MKO one, not the MMO one
  EXPECT_EQ(engine->Doc(), doc);              // the same object, now holding document 61
  EXPECT_EQ(CLng(doc->Fields().Item("IDC").Value()), 61);
  EXPECT_EQ(CStr(doc->AddFields().Item("VehicleCode").Value()), "77");
}

TEST_F(DocEngineTest, CheckDocExist2QuotesTheTypeCode) {
  // A type code with a quote cannot change the condition: it simply finds nothing.
  auto engine = Engine("M'O", std::make_shared<host::THDocument>(book_));
  EXPECT_EQ(engine->CheckDocExist2(50), 0);
}

// ---- Creating a document for an order ----

TEST_F(DocEngineTest, CrDocByOrderWritesHeaderAndAdditionalField) {
  auto engine = Engine("MMO", nullptr);
  const int64_t before = Count("T$THDocument");
  EXPECT_TRUE(engine->CrDocByOrder(50, 1234, "VehicleCode", Date::FromYmd(2026, 3, 4)));
  const int32_t idc = CLng(engine->Doc()->Fields().Item("IDC").Value());
  ASSERT_GT(idc, 0);
  EXPECT_EQ(Count("T$THDocument"), before + 1);
  const std::string where = " WHERE \"IDC\" = " + std::to_string(idc);
  EXPECT_EQ(Text("SELECT \"DocTypeCode\" FROM \"T$THDocument\"" + where), "MMO");
  EXPECT_EQ(Text("SELECT \"Number\" FROM \"T$THDocument\"" + where), "8");
  EXPECT_EQ(Scalar("SELECT \"ParentID\" FROM \"T$THDocument\"" + where), 50);
  EXPECT_EQ(Text("SELECT \"DocumentDate\" FROM \"T$THDocument\"" + where), "2026-03-04");
  EXPECT_EQ(Text("SELECT \"CurrencyCode\" FROM \"T$THDocument\"" + where), "EUR");
  EXPECT_EQ(Text("SELECT \"VehicleCode\" FROM \"T$MMOTHDocument\" WHERE \"DocID\" = " +
                 std::to_string(idc)),
            "1234");
  // The new document is found again by order and article.
  EXPECT_EQ(engine->CheckDocExist(50, 1234, "VehicleCode"), idc);
}

TEST_F(DocEngineTest, CrDocByOrderNumbersEachNewDocument) {
  auto engine = Engine("MMO", nullptr);
  engine->CrDocByOrder(50, 0, "", Date::FromYmd(2026, 3, 4));
  const int32_t first = CLng(engine->Doc()->Fields().Item("IDC").Value());
  engine->CrDocByOrder(50, 0, "", Date::FromYmd(2026, 3, 5));
  const int32_t second = CLng(engine->Doc()->Fields().Item("IDC").Value());
  EXPECT_NE(first, second);
  EXPECT_EQ(
      Text("SELECT \"Number\" FROM \"T$THDocument\" WHERE \"IDC\" = " + std::to_string(first)),
      "8");
  EXPECT_EQ(
      Text("SELECT \"Number\" FROM \"T$THDocument\" WHERE \"IDC\" = " + std::to_string(second)),
      "9");
}

TEST_F(DocEngineTest, CrDocByOrderWithoutFieldOrArticleWritesNoAdditionalValue) {
  struct Case {
    int32_t article;
    const char* field;
  };
  for (const Case& c : {Case{0, "VehicleCode"}, Case{55, ""}}) {
    auto engine = Engine("MMO", nullptr);
    engine->CrDocByOrder(50, c.article, c.field, Date::FromYmd(2026, 3, 4));
    const std::string idc = CStr(engine->Doc()->Fields().Item("IDC").Value());
    EXPECT_EQ(Text("SELECT \"VehicleCode\" FROM \"T$MMOTHDocument\" WHERE \"DocID\" = " + idc),
              "<null>")
        << c.article << " " << c.field;
  }
}

TEST_F(DocEngineTest, CrDocByOrderZeroDateMeansToday) {
  auto engine = Engine("MMO", nullptr);
  engine->CrDocByOrder(50, 0, "", Date());
  const std::string idc = CStr(engine->Doc()->Fields().Item("IDC").Value());
  EXPECT_EQ(Text("SELECT \"DocumentDate\" FROM \"T$THDocument\" WHERE \"IDC\" = " + idc),
            Date::Today().ToIso());
  EXPECT_EQ(engine->Doc()->Fields().Item("DocumentDate").Value().AsDate(), Date::Today());
}

TEST_F(DocEngineTest, CrDocByOrderThatFailsWritesNothing) {
  auto engine = Engine("MMO", nullptr);
  const int64_t headers = Count("T$THDocument");
  const int64_t additional = Count("T$MMOTHDocument");
  // An additional field the type does not have: refused before anything is written.
  EXPECT_QTS_ERROR_TEXT(engine->CrDocByOrder(50, 3, "NoSuchField", Date()), kErrSubscript,
                        "NoSuchField");
  // The book refuses the additional fields (a trigger stands in for any failure of that
  // write): header and additional fields are one transaction, so neither is left.
  if (book_->Connection().Dialect() == "postgres") {
    book_->Connection().Execute(
        R"(CREATE FUNCTION refuse_vehicle() RETURNS trigger LANGUAGE plpgsql AS $$
           BEGIN
             IF NEW."VehicleCode" = '666' THEN RAISE EXCEPTION 'vehicle refused'; END IF;
             RETURN NEW;
           END $$;
           CREATE TRIGGER refuse_vehicle BEFORE INSERT ON "T$MMOTHDocument"
             FOR EACH ROW EXECUTE FUNCTION refuse_vehicle())");
  } else {
    book_->Connection().Execute(
        R"(CREATE TRIGGER refuse_vehicle BEFORE INSERT ON "T$MMOTHDocument"
           WHEN NEW.VehicleCode = '666' BEGIN SELECT RAISE(ABORT, 'vehicle refused'); END)");
  }
  EXPECT_THROW(engine->CrDocByOrder(50, 666, "VehicleCode", Date()), Error);

  EXPECT_EQ(Count("T$THDocument"), headers);
  EXPECT_EQ(Count("T$MMOTHDocument"), additional);
  // The engine's document can still be written once the cause is gone.
  EXPECT_TRUE(engine->CrDocByOrder(50, 665, "VehicleCode", Date()));
  EXPECT_EQ(Count("T$THDocument"), headers + 1);
}

// ---- The order and its rows ----

TEST_F(DocEngineTest, ParentDocLoadsTheOrderOnceAndAnswersNullWithoutOne) {
  auto engine = Engine("MMO", Loaded(60));
  host::THDocumentPtr parent = engine->ParentDoc();
  ASSERT_NE(parent, nullptr);
  EXPECT_EQ(CLng(parent->Fields().Item("IDC").Value()), 50);
  EXPECT_EQ(CStr(parent->Fields().Item("Code").Value()), "ORD-50");
  // Asked again for the same order, the object is not read again: an unsaved change stays.
  parent->Fields().Item("Name").SetValue(Variant("edited"));
  EXPECT_EQ(engine->ParentDoc(), parent);
  EXPECT_EQ(CStr(parent->Fields().Item("Name").Value()), "edited");

  // Another order is read into the same object.
  engine->Doc()->Fields().Item("ParentID").SetValue(Variant(int32_t{1}));
  EXPECT_EQ(engine->ParentDoc(), parent);
  EXPECT_EQ(CStr(parent->Fields().Item("DocTypeCode").Value()), "PISF");

  for (const Variant& none : {Variant(int32_t{0}), Variant::Null(), Variant()}) {
    engine->Doc()->Fields().Item("ParentID").SetValue(none);
    EXPECT_EQ(engine->ParentDoc(), nullptr);
  }
  engine->Doc()->Fields().Item("ParentID").SetValue(Variant(int32_t{999}));
  EXPECT_EQ(engine->ParentDoc(), nullptr);
}

TEST_F(DocEngineTest, ParentSpecPositionsOnTheOrderRow) {
  auto engine = Engine("MMO", Loaded(60));
  EXPECT_EQ(engine->ParentSpec(0), nullptr);
  host::THGoodSpecPtr row = engine->ParentSpec(51);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(CStr(row->Fields().Item("GoodCode").Value()), "G1");
  EXPECT_EQ(CLng(row->Fields().Item("DocID").Value()), 50);
  EXPECT_EQ(engine->ParentSpec(999), nullptr);
  EXPECT_EQ(engine->ParentSpec(11), row);  // the same rows object, moved
  EXPECT_EQ(CLng(row->Fields().Item("IDC").Value()), 11);
}

// ---- Objects created on first use ----

TEST_F(DocEngineTest, HostObjectsAreCreatedOnceOnTheEnginesBook) {
  auto handler = std::make_shared<testing::StubHandler>();  // only has to be there
  auto engine = std::make_shared<CMDocSupport>();
  engine->Init("MMO", handler, Loaded(60));

  const auto& rows = engine->DocSpec();
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows->Application(), book_);
  EXPECT_EQ(engine->DocSpec(), rows);

  const auto good = engine->Good();
  ASSERT_NE(good, nullptr);
  EXPECT_TRUE(good->Load("G1"));  // bound to the book: Load would raise without it
  EXPECT_EQ(engine->Good(), good);

  const auto service = engine->THDocSpec();
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(service->Application(), book_);
  EXPECT_EQ(service->Handler(), handler);
  EXPECT_EQ(engine->THDocSpec(), service);
  // The engine does not keep its handler alive.
  handler.reset();
  EXPECT_EQ(engine->THDoc(), nullptr);
}

// ---- Order parameter lists ----

TEST_F(DocEngineTest, CrParamListDescribesTheOrderDocument) {
  auto order = Engine("PIS", Loaded(50));
  host::NamedValueListPtr params = order->CrParamList(7);
  ASSERT_NE(params, nullptr);
  ASSERT_EQ(params->Count(), 4u);
  EXPECT_EQ(params->At(0).Name(), "OrderId");
  EXPECT_EQ(params->At(0).Kind(), Code(Kind::kLongId));
  EXPECT_EQ(CLng(params->At(0).Value()), 50);
  EXPECT_EQ(params->At(1).Name(), "ArticleId");
  EXPECT_EQ(CLng(params->At(1).Value()), 7);
  EXPECT_EQ(params->At(2).Name(), "DocCode");
  EXPECT_EQ(params->At(2).Kind(), Code(Kind::kText));
  EXPECT_EQ(CStr(params->At(2).Value()), "ORD-50");
  EXPECT_EQ(params->At(3).Name(), "DocObj");
  EXPECT_EQ(params->At(3).Kind(), Code(Kind::kObject));
  EXPECT_EQ(params->At(3).Value().AsObject(), order->Doc());
  // The same list, refilled.
  EXPECT_EQ(order->CrParamList(8), params);
  EXPECT_EQ(CLng(params->Item("ArticleId").Value()), 8);
}

TEST_F(DocEngineTest, ParmOrderIdAndParmArticleId) {
  EXPECT_EQ(CMDocSupport::ParmOrderId(nullptr), 0);
  EXPECT_EQ(CMDocSupport::ParmArticleId(nullptr), 0);
  auto list = std::make_shared<host::NamedValueList>();
  list->Add("Other", Kind::kLongId, Variant(int32_t{9}));
  EXPECT_EQ(CMDocSupport::ParmOrderId(list), 0);
  EXPECT_EQ(CMDocSupport::ParmArticleId(list), 0);
  list->Add("orderid", Kind::kLongId, Variant(int32_t{12}));  // names are case-insensitive
  list->Add("ArticleId", Kind::kLongId, Variant("34"));
  EXPECT_EQ(CMDocSupport::ParmOrderId(list), 12);
  EXPECT_EQ(CMDocSupport::ParmArticleId(list), 34);
  list->Item("ArticleId").SetValue(Variant::Null());
  EXPECT_QTS_ERROR(CMDocSupport::ParmArticleId(list), kErrInvalidUseOfNull);
}

TEST_F(DocEngineTest, UseParamListCarriesTheOrderIntoANewDocument) {
  auto order = Engine("PIS", Loaded(50));
  host::NamedValueListPtr params = order->CrParamList(4321);

  auto engine = Engine("MMO", nullptr);
  engine->UseParamList(params, "VehicleCode");
  EXPECT_EQ(CLng(engine->Doc()->Fields().Item("ParentID").Value()), 50);
  EXPECT_EQ(CStr(engine->Doc()->AddFields().Item("VehicleCode").Value()), "4321");

  // No order in the list: "ParentID" stays; no field name: the additional fields stay.
  auto other = Engine("MMO", Loaded(60));
  auto empty = std::make_shared<host::NamedValueList>();
  other->UseParamList(empty, "");
  EXPECT_EQ(CLng(other->Doc()->Fields().Item("ParentID").Value()), 50);
  EXPECT_EQ(CStr(other->Doc()->AddFields().Item("VehicleCode").Value()), "77");
  other->UseParamList(empty, "VehicleCode");  // an article 0 is still copied
  EXPECT_EQ(CStr(other->Doc()->AddFields().Item("VehicleCode").Value()), "0");
}

// ---- Accounting ----

TEST_F(DocEngineTest, CloseDocPostsAndOpenDocUnpostsTheServedDocument) {
  auto engine = Engine("PIS", Loaded(50));
  engine->CloseDoc(Variant());
  EXPECT_EQ(Scalar("SELECT \"IsPosted\" FROM \"T$THDocument\" WHERE \"IDC\" = 50"), 1);
  EXPECT_EQ(CLng(engine->Doc()->Fields().Item("IsPosted").Value()), 1);  // reloaded
  engine->OpenDoc();
  EXPECT_EQ(Scalar("SELECT \"IsPosted\" FROM \"T$THDocument\" WHERE \"IDC\" = 50"), 0);
  EXPECT_EQ(CLng(engine->Doc()->Fields().Item("IsPosted").Value()), 0);
}

TEST_F(DocEngineTest, AccountingFollowsTheDocumentAfterInitAgain) {
  auto engine = Engine("PIS", Loaded(50));
  engine->CloseDoc(Variant());
  // Serving another order now: posting must reach that one, not the first.
  qts::host::schema::testing::Seed(
      book_->Connection(),
      R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","IsPosted","ParentID")
         VALUES (70,'PIS','O2',0,0))");
  engine->Init("PIS", nullptr, Loaded(70));
  engine->CloseDoc(Variant());
  EXPECT_EQ(Scalar("SELECT \"IsPosted\" FROM \"T$THDocument\" WHERE \"IDC\" = 70"), 1);
  engine->OpenDoc();
  EXPECT_EQ(Scalar("SELECT \"IsPosted\" FROM \"T$THDocument\" WHERE \"IDC\" = 70"), 0);
  EXPECT_EQ(Scalar("SELECT \"IsPosted\" FROM \"T$THDocument\" WHERE \"IDC\" = 50"), 1);
}

}  // namespace
}  // namespace qts::engine
