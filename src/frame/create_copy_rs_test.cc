#include "frame/create_copy_rs.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "frame/catalogue.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/data/testing/sample_book.h"

namespace qts::frame {
namespace {

using host::adCurrency;
using host::adDate;
using host::adInteger;
using host::adVarWChar;

// Code (text 10, key), Qty (Long), Price (Currency, nullable), Made (date, nullable).
host::RecordsetPtr Goods() {
  auto rs = std::make_shared<host::Recordset>();
  rs->Fields().Append("Code", adVarWChar, 10, host::adFldKeyColumn);
  rs->Fields().Append("Qty", adInteger);
  rs->Fields().Append("Price", adCurrency, 0, host::adFldIsNullable);
  rs->Fields().Append("Made", adDate, 0, host::adFldIsNullable);
  rs->Open();
  rs->AddNew({"Code", "Qty", "Price", "Made"},
             {Variant("A1"), Variant(int32_t{5}), Variant(*Currency::Parse("1.5")),
              Variant(Date::FromYmd(2026, 1, 10))});
  rs->AddNew({"Code", "Qty", "Price"}, {Variant("B2"), Variant(int32_t{12}), Variant::Null()});
  rs->AddNew({"Code", "Qty", "Price", "Made"},
             {Variant("C3"), Variant(int32_t{0}), Variant(*Currency::Parse("10")),
              Variant(Date::FromYmd(2025, 12, 31))});
  rs->MoveFirst();
  return rs;
}

std::vector<std::string> Names(const host::Recordset& rs) {
  std::vector<std::string> names;
  for (size_t i = 0; i < rs.Fields().Count(); ++i) names.push_back(rs.Fields().Item(i).Name());
  return names;
}

// Every record shown, each value through CStr ("" for Null), from the first; the position is
// left at EOF.
std::vector<std::vector<std::string>> RecordRows(host::Recordset& rs) {
  std::vector<std::vector<std::string>> rows;
  if (rs.RecordCount() == 0) return rows;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
    std::vector<std::string> row;
    for (size_t i = 0; i < rs.Fields().Count(); ++i) {
      const Variant& v = rs.Value(i);
      row.push_back(v.IsNull() ? "" : CStr(v));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

using RowList = std::vector<std::vector<std::string>>;

TEST(CreateCopyRSTest, CopiesColumnsAndRowsIntoADetachedEditableRecordset) {
  CCreateCopyRS copier;
  host::RecordsetPtr source = Goods();
  source->MoveNext();
  const Variant bookmark = source->Bookmark();
  host::RecordsetPtr copy = copier.CreateCopyRS(source);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, source);
  EXPECT_TRUE(copy->IsOpen());
  EXPECT_EQ(copier.FieldCount(), 4);
  EXPECT_EQ(copier.Copy(), copy);

  ASSERT_EQ(Names(*copy), Names(*source));
  for (size_t i = 0; i < copy->Fields().Count(); ++i) {
    EXPECT_EQ(copy->Fields().Item(i).Type(), source->Fields().Item(i).Type()) << i;
    EXPECT_EQ(copy->Fields().Item(i).DefinedSize(), source->Fields().Item(i).DefinedSize()) << i;
    EXPECT_EQ(copy->Fields().Item(i).Attributes(), CCreateCopyRS::kCopyAttributes) << i;
  }
  EXPECT_EQ(CStr(copy->Value("Code")), "A1") << "the copy starts at its first record";
  EXPECT_TRUE(source->Bookmark() == bookmark) << "the source keeps its position";

  const RowList expected = {
      {"A1", "5", "1.5", "2026-01-10"}, {"B2", "12", "", ""}, {"C3", "0", "10", "2025-12-31"}};
  EXPECT_EQ(RecordRows(*copy), expected);
  // Detached: editing or extending the copy leaves the source alone.
  copy->MoveFirst();
  copy->SetValue("Qty", Variant(int32_t{99}));
  copy->AddNew({"Code", "Qty"}, {Variant("D4"), Variant(int32_t{1})});
  EXPECT_EQ(RecordRows(*source), expected);
}

TEST(CreateCopyRSTest, AListenerLeavesFieldsOutAndAddsCustomColumns) {
  CCreateCopyRS copier;
  std::vector<std::string> events;
  Connection filter = copier.AddThisField.Connect([&](bool& bAdd, const std::string& name) {
    events.push_back("field " + name);
    EXPECT_TRUE(bAdd);
    if (name == "Price") bAdd = false;
  });
  Connection extend = copier.AddCustomColumns.Connect([&](host::RecordsetPtr& oNewRst) {
    events.push_back("custom");
    ASSERT_NE(oNewRst, nullptr);
    EXPECT_FALSE(oNewRst->IsOpen());
    EXPECT_EQ(Names(*oNewRst), (std::vector<std::string>{"Code", "Qty", "Made"}));
    oNewRst->Fields().Append("Extra", adCurrency, 0, host::adFldIsNullable);
    oNewRst->Fields().Append("Price2", adCurrency, 0, host::adFldIsNullable);
  });
  host::RecordsetPtr source = Goods();
  host::RecordsetPtr copy = copier.CreateCopyRS(source);

  EXPECT_EQ(events, (std::vector<std::string>{"field Code", "field Qty", "field Price",
                                              "field Made", "custom"}));
  EXPECT_EQ(copier.FieldCount(), 3);
  EXPECT_EQ(Names(*copy), (std::vector<std::string>{"Code", "Qty", "Made", "Extra", "Price2"}));
  EXPECT_EQ(RecordRows(*copy), (RowList{{"A1", "5", "2026-01-10", "", ""},
                                        {"B2", "12", "", "", ""},
                                        {"C3", "0", "2025-12-31", "", ""}}));
}

TEST(CreateCopyRSTest, TheSourceFilterCountsOnlyWithWithFilter) {
  CCreateCopyRS copier;
  host::RecordsetPtr source = Goods();
  source->SetFilter(Variant("Qty > 0"));
  ASSERT_EQ(source->RecordCount(), 2);
  EXPECT_EQ(copier.CreateCopyRS(source, false)->RecordCount(), 3);
  host::RecordsetPtr filtered = copier.CreateCopyRS(source, true);
  EXPECT_EQ(RecordRows(*filtered),
            (RowList{{"A1", "5", "1.5", "2026-01-10"}, {"B2", "12", "", ""}}));
  EXPECT_EQ(CStr(filtered->Filter()), "0") << "the copy itself is not filtered";
  EXPECT_EQ(CStr(source->Filter()), "Qty > 0");
  EXPECT_EQ(source->RecordCount(), 2);
}

TEST(CreateCopyRSTest, AnEmptySourceGivesAnOpenEmptyCopyWithTheSameColumns) {
  CCreateCopyRS copier;
  host::RecordsetPtr source = Goods();
  source->SetFilter(Variant("Qty > 100"));
  host::RecordsetPtr filtered_out = copier.CreateCopyRS(source, true);
  EXPECT_TRUE(filtered_out->IsOpen());
  EXPECT_EQ(filtered_out->RecordCount(), 0);
  EXPECT_TRUE(filtered_out->Eof());
  EXPECT_EQ(Names(*filtered_out), Names(*source));

  auto no_rows = std::make_shared<host::Recordset>();
  no_rows->Fields().Append("Only", adVarWChar, 5);
  no_rows->Open();
  host::RecordsetPtr copy = copier.CreateCopyRS(no_rows);
  EXPECT_TRUE(copy->IsOpen());
  EXPECT_EQ(copy->RecordCount(), 0);
  EXPECT_EQ(Names(*copy), (std::vector<std::string>{"Only"}));
}

TEST(CreateCopyRSTest, ANullSourceGivesNullAndEachCopyReplacesTheLast) {
  CCreateCopyRS copier;
  host::RecordsetPtr none;
  EXPECT_EQ(copier.CreateCopyRS(none), nullptr);
  EXPECT_EQ(copier.Copy(), nullptr);

  host::RecordsetPtr source = Goods();
  host::RecordsetPtr first = copier.CreateCopyRS(source);
  host::RecordsetPtr first_clone = copier.Source();
  Connection drop = copier.AddThisField.Connect(
      [](bool& bAdd, const std::string& name) { bAdd = name == "Code"; });
  host::RecordsetPtr second = copier.CreateCopyRS(source);
  EXPECT_NE(second, first);
  EXPECT_NE(copier.Source(), first_clone);
  EXPECT_EQ(copier.FieldCount(), 1);
  EXPECT_EQ(first->Fields().Count(), 4u) << "an earlier copy is not touched";
  EXPECT_EQ(RecordRows(*second), (RowList{{"A1"}, {"B2"}, {"C3"}}));
}

TEST(CreateCopyRSTest, AFailedCopyKeepsThePreviousOne) {
  CCreateCopyRS copier;
  host::RecordsetPtr source = Goods();
  host::RecordsetPtr good = copier.CreateCopyRS(source);

  auto closed = std::make_shared<host::Recordset>();
  closed->Fields().Append("X", adInteger);
  EXPECT_QTS_ERROR(copier.CreateCopyRS(closed), host::kAdErrObjectClosed);
  EXPECT_EQ(copier.Copy(), good);

  {
    Connection none =
        copier.AddThisField.Connect([](bool& bAdd, const std::string&) { bAdd = false; });
    EXPECT_QTS_ERROR(copier.CreateCopyRS(source), host::kAdErrInvalidArgument)
        << "a copy without columns cannot be opened";
  }
  {
    Connection lose = copier.AddCustomColumns.Connect([](host::RecordsetPtr& r) { r = nullptr; });
    EXPECT_QTS_ERROR(copier.CreateCopyRS(source), kErrObjectRequired);
  }
  EXPECT_EQ(copier.Copy(), good);
  EXPECT_EQ(copier.FieldCount(), 4);
}

class CreateCopyRSBookTest : public host::testing::SampleBook {};

TEST_F(CreateCopyRSBookTest, CopiesTheRowsOfAnOpenedQuery) {
  host::QueryPtr q = Q("THGoodSpec");
  q->Fields().KeepOnly({"IDC", "GoodCode", "Amount", "Summa"});
  q->OrderBy("IDC");
  q->Open();
  host::RecordsetPtr rows = q->OpenRecordset();
  CCreateCopyRS copier;
  host::RecordsetPtr copy = copier.CreateCopyRS(rows);
  ASSERT_EQ(copy->RecordCount(), 5);
  EXPECT_EQ(Names(*copy), (std::vector<std::string>{"IDC", "GoodCode", "Amount", "Summa"}));
  for (size_t i = 0; i < copy->Fields().Count(); ++i) {
    EXPECT_EQ(copy->Fields().Item(i).Type(), rows->Fields().Item(i).Type()) << i;
  }
  EXPECT_EQ(RecordRows(*copy), RecordRows(*rows));
  EXPECT_EQ(RecordRows(*copy)[4], (std::vector<std::string>{"41", "G3", "7", "70"}));
  // The copy is editable where the query's rows are the query's own.
  copy->MoveFirst();
  copy->SetValue("Amount", Variant(*Currency::Parse("11")));
  copy->Update();
  EXPECT_EQ(CStr(copy->Value("Amount")), "11");
}

// ---- MergeFieldsVal / SplitFieldsVal ---------------------------------------------------------

host::NamedValueListPtr List(const std::vector<std::pair<std::string, Variant>>& entries) {
  auto list = std::make_shared<host::NamedValueList>();
  for (const auto& [name, value] : entries) list->Add(name, host::Kind::kNone, value);
  return list;
}

std::string ValueOf(const host::NamedValueListPtr& list, std::string_view name) {
  const Variant& v = list->Item(name).Value();
  return v.IsEmpty() ? "(empty)" : CStr(v);
}

TEST(FieldsValTest, MergeCopiesWhatTheTargetHasAndSkipsTheRest) {
  CCreateCopyRS copier;
  host::NamedValueListPtr source =
      List({{"goodcode", Variant("G1")}, {"Amount", Variant(3.5)}, {"NotThere", Variant(1.0)}});
  host::NamedValueListPtr source_add =
      List({{"WriteOffPrice", Variant(12.5)}, {"Other", Variant("x")}});
  host::NamedValueListPtr target = List({{"GoodCode", Variant()},
                                         {"Amount", Variant()},
                                         {"AddFld.WriteOffPrice", Variant()},
                                         {"WriteOffPrice", Variant("keep")},
                                         {"Summa", Variant(7.0)}});
  copier.MergeFieldsVal(source, source_add, target);
  EXPECT_EQ(ValueOf(target, "GoodCode"), "G1") << "names compare without regard to case";
  EXPECT_EQ(ValueOf(target, "Amount"), "3.5");
  EXPECT_EQ(ValueOf(target, "AddFld.WriteOffPrice"), "12.5");
  EXPECT_EQ(ValueOf(target, "WriteOffPrice"), "keep") << "additional fields go by the prefix";
  EXPECT_EQ(ValueOf(target, "Summa"), "7");
  EXPECT_EQ(target->Count(), 5u) << "nothing is added";
}

TEST(FieldsValTest, SplitSendsPrefixedEntriesToTheAdditionalList) {
  CCreateCopyRS copier;
  host::NamedValueListPtr source = List({{"GoodCode", Variant("G2")},
                                         {"AddFld.WriteOffPrice", Variant(4.25)},
                                         {"Amount", Variant::Null()}});
  host::NamedValueListPtr target =
      List({{"Amount", Variant(1.0)}, {"GoodCode", Variant()}, {"Summa", Variant(2.0)}});
  host::NamedValueListPtr target_add = List({{"WriteOffPrice", Variant()}});
  copier.SplitFieldsVal(source, target, target_add);
  EXPECT_EQ(ValueOf(target, "GoodCode"), "G2");
  EXPECT_TRUE(target->Item("Amount").Value().IsNull());
  EXPECT_EQ(ValueOf(target, "Summa"), "2");
  EXPECT_EQ(ValueOf(target_add, "WriteOffPrice"), "4.25");

  // And back again.
  host::NamedValueListPtr row =
      List({{"GoodCode", Variant()}, {"Amount", Variant()}, {"AddFld.WriteOffPrice", Variant()}});
  copier.MergeFieldsVal(target, target_add, row);
  EXPECT_EQ(ValueOf(row, "GoodCode"), "G2");
  EXPECT_EQ(ValueOf(row, "AddFld.WriteOffPrice"), "4.25");
}

TEST(FieldsValTest, SplitFailsOnAMissingTargetEntryAndWritesNothing) {
  CCreateCopyRS copier;
  struct Case {
    const char* missing;  // the source entry whose target is absent
    const char* named;    // the entry the error names
  };
  // The prefix is compared case-sensitively: "addfld." is an ordinary name.
  for (const Case& c : {Case{"AddFld.NoSuch", "NoSuch"}, Case{"NoSuch", "NoSuch"},
                        Case{"addfld.Other", "addfld.Other"}}) {
    const char* missing = c.missing;
    host::NamedValueListPtr source = List({{"GoodCode", Variant("G9")},
                                           {"AddFld.WriteOffPrice", Variant(1.0)},
                                           {missing, Variant(2.0)}});
    host::NamedValueListPtr target = List({{"GoodCode", Variant("old")}});
    host::NamedValueListPtr target_add =
        List({{"WriteOffPrice", Variant("old")}, {"Other", Variant("old")}});
    EXPECT_QTS_ERROR_TEXT(copier.SplitFieldsVal(source, target, target_add), kErrSubscript, c.named)
        << missing;

    EXPECT_EQ(ValueOf(target, "GoodCode"), "old") << missing;
    EXPECT_EQ(ValueOf(target_add, "WriteOffPrice"), "old") << missing;
  }
}

// One copier splits row after row; when a list changes its entries between splits, the next
// split finds the names again rather than writing to the old positions.
TEST(FieldsValTest, RepeatedSplitsFollowListsWhoseEntriesChange) {
  CCreateCopyRS copier;
  host::NamedValueListPtr source =
      List({{"GoodCode", Variant("G1")}, {"AddFld.Note", Variant("n1")}, {"Amount", Variant(1.0)}});
  host::NamedValueListPtr target =
      List({{"Amount", Variant()}, {"GoodCode", Variant()}, {"Summa", Variant()}});
  host::NamedValueListPtr target_add = List({{"Note", Variant()}});
  copier.SplitFieldsVal(source, target, target_add);
  source->Item("GoodCode").SetValue(Variant("G2"));
  copier.SplitFieldsVal(source, target, target_add);
  EXPECT_EQ(ValueOf(target, "GoodCode"), "G2");

  // The target loses an entry and gets it back in another place.
  target->Exclude({"GoodCode"});
  target->Add("GoodCode", host::Kind::kNone);
  source->Item("GoodCode").SetValue(Variant("G3"));
  source->Item("Amount").SetValue(Variant(3.0));
  copier.SplitFieldsVal(source, target, target_add);
  EXPECT_EQ(ValueOf(target, "GoodCode"), "G3");
  EXPECT_EQ(ValueOf(target, "Amount"), "3");
  EXPECT_EQ(ValueOf(target, "Summa"), "(empty)");

  // Another list of the same names in another order.
  host::NamedValueListPtr other =
      List({{"Summa", Variant()}, {"GoodCode", Variant()}, {"Amount", Variant()}});
  copier.SplitFieldsVal(source, other, target_add);
  EXPECT_EQ(ValueOf(other, "GoodCode"), "G3");
  EXPECT_EQ(ValueOf(other, "Summa"), "(empty)");

  // A source that grew an entry the target lacks is refused, as the first time.
  source->Add("NoSuch", host::Kind::kNone, Variant(1.0));
  EXPECT_QTS_ERROR(copier.SplitFieldsVal(source, other, target_add), kErrSubscript);
}

TEST(FieldsValTest, NullListsAreRefused) {
  CCreateCopyRS copier;
  host::NamedValueListPtr list = List({{"A", Variant(1.0)}});
  host::NamedValueListPtr none;
  EXPECT_QTS_ERROR(copier.MergeFieldsVal(list, none, list), kErrObjectRequired);
  EXPECT_QTS_ERROR(copier.MergeFieldsVal(none, list, list), kErrObjectRequired);
  EXPECT_QTS_ERROR(copier.SplitFieldsVal(list, list, none), kErrObjectRequired);
}

// ---- Creation by identifier and late binding ----------------------------------------------

TEST(CreateCopyRSClassTest, IsCreatableByProgIdAndServesItsInterfaceAndEvents) {
  const ClassInfo* cls = Catalogue::Instance().FindProgId("QTS_Inventory.CCreateCopyRS");
  ASSERT_NE(cls, nullptr);
  ObjectPtr object = Catalogue::Instance().Create(*cls);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->ClassName(), "CCreateCopyRS");
  auto copier = QueryInterface<ICreateCopyRS>(object);
  EXPECT_EQ(Catalogue::Instance().FindInterface("_CCreateCopyRS")->iid, ICreateCopyRS::kIid);

  auto concrete = std::dynamic_pointer_cast<CCreateCopyRS>(object);
  ASSERT_NE(concrete, nullptr);
  std::vector<std::string> seen;
  Connection listener = concrete->AddThisField.Connect([&](bool& bAdd, const std::string& name) {
    seen.push_back(name);
    bAdd = name != "Made";
  });
  host::RecordsetPtr source = Goods();
  host::RecordsetPtr copy = copier->CreateCopyRS(source);
  EXPECT_EQ(seen, (std::vector<std::string>{"Code", "Qty", "Price", "Made"}));
  EXPECT_EQ(copy->Fields().Count(), 3u);

  listener.Disconnect();
  std::vector<Variant> args{Variant(ObjectPtr(source))};
  Variant result = CallByName(object, "createcopyrs", InvokeKind::kMethod, args);
  auto late_copy = std::dynamic_pointer_cast<host::Recordset>(result.AsObject());
  ASSERT_NE(late_copy, nullptr);
  EXPECT_EQ(late_copy->Fields().Count(), 4u);
  EXPECT_EQ(late_copy->RecordCount(), 3);
}

TEST(CreateCopyRSClassTest, LateBoundCallsCheckTheirArguments) {
  auto object = std::make_shared<CCreateCopyRS>();
  host::NamedValueListPtr source = List({{"AddFld.P", Variant(2.0)}, {"G", Variant("x")}});
  host::NamedValueListPtr target = List({{"G", Variant()}});
  host::NamedValueListPtr target_add = List({{"P", Variant()}});
  CallByName(
      object, "SplitFieldsVal", InvokeKind::kMethod,
      {Variant(ObjectPtr(source)), Variant(ObjectPtr(target)), Variant(ObjectPtr(target_add))});
  EXPECT_EQ(ValueOf(target, "G"), "x");
  EXPECT_EQ(ValueOf(target_add, "P"), "2");

  EXPECT_QTS_ERROR(CallByName(object, "MergeFieldsVal", InvokeKind::kMethod,
                              {Variant(ObjectPtr(source)), Variant(ObjectPtr(target))}),
                   kErrInvalidCall);
  EXPECT_QTS_ERROR(
      CallByName(object, "CreateCopyRS", InvokeKind::kMethod, {Variant("not a recordset")}),
      kErrTypeMismatch);
  EXPECT_QTS_ERROR(
      CallByName(object, "MergeFieldsVal", InvokeKind::kMethod,
                 {Variant(ObjectPtr(source)), Variant::Nothing(), Variant(ObjectPtr(target))}),
      kErrObjectRequired);
  Variant none = CallByName(object, "CreateCopyRS", InvokeKind::kMethod, {Variant::Nothing()});
  EXPECT_TRUE(none.IsNothing());
  EXPECT_QTS_ERROR(CallByName(object, "Copy", InvokeKind::kMethod), kErrNoSuchMember);
}

}  // namespace
}  // namespace qts::frame
