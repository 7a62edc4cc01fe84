#include "host/data/recordset.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <functional>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"

namespace qts::host {
namespace {

Currency Cy(const char* text) { return *Currency::Parse(text); }

// Appends a record of values that already have the fields' types, as a query loads its rows.
void LoadRow(Recordset& rs, const std::vector<Variant>& values) {
  Recordset::Appender appender(rs);
  appender.NewRow();
  for (size_t c = 0; c < values.size(); ++c) appender.Value(c, values[c]);
}

// Goods: Code (text 10), Name (text, nullable), Qty (Long), Price (Currency), Made (date).
std::shared_ptr<Recordset> Goods() {
  auto rs = std::make_shared<Recordset>();
  rs->Fields().Append("Code", adVarChar, 10);
  rs->Fields().Append("Name", adVarWChar, 50, adFldIsNullable);
  rs->Fields().Append("Qty", adInteger, 0, adFldIsNullable);
  rs->Fields().Append("Price", adCurrency, 0, adFldIsNullable);
  rs->Fields().Append("Made", adDate, 0, adFldIsNullable);
  rs->Open();
  struct Row {
    const char* code;
    const char* name;  // nullptr: Null
    int32_t qty;
    const char* price;
    const char* made;
  };
  const Row rows[] = {
      {"A1", "apple", 5, "1.5", "2024-01-10"},       {"B2", "Banana", 12, "0.25", "2024-02-01"},
      {"C3", nullptr, 0, "10", "2023-12-31"},        {"a4", "avocado", 7, "2.75", "2024-01-10"},
      {"D5", "O'Brien pears", 3, "4", "2024-03-15"},
  };
  for (const Row& r : rows) {
    LoadRow(*rs, {Variant(r.code), r.name ? Variant(r.name) : Variant::Null(), Variant(r.qty),
                  Variant(Cy(r.price)), Variant(*Date::ParseIso(r.made))});
  }
  return rs;
}

// The codes of the records shown, from the first, leaving the recordset at EOF.
std::string Codes(Recordset& rs) {
  std::string out;
  if (rs.RecordCount() == 0) return out;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
    if (!out.empty()) out += ',';
    out += rs.Value("code").AsString();
  }
  return out;
}

// ---- Fields ----------------------------------------------------------------------------------

TEST(RecordsetFields, AppendAndLookUp) {
  auto rs = Goods();
  EXPECT_EQ(rs->Fields().Count(), 5u);
  Field qty = rs->Fields()("QTY");
  EXPECT_EQ(qty.Name(), "Qty");
  EXPECT_EQ(qty.Type(), adInteger);
  EXPECT_EQ(rs->Fields()(size_t{0}).DefinedSize(), 10);
  EXPECT_EQ(rs->Fields()("Name").Attributes(), adFldIsNullable);
  EXPECT_EQ(qty.Value().AsLong(), 5);
  EXPECT_QTS_ERROR_TEXT(rs->Fields()("Nope"), kAdErrItemNotFound, "Nope");

  EXPECT_QTS_ERROR(rs->Fields()(size_t{5}), kAdErrItemNotFound);
}

TEST(RecordsetFields, AppendErrors) {
  Recordset rs;
  rs.Fields().Append("X", adInteger);
  EXPECT_QTS_ERROR(rs.Fields().Append("x", adDouble), kAdErrObjectInCollection);
  EXPECT_QTS_ERROR(rs.Fields().Append("Y", 999), kAdErrInvalidArgument);
  EXPECT_QTS_ERROR(rs.Fields().Append("", adInteger), kAdErrInvalidArgument);
  EXPECT_QTS_ERROR(rs.Fields().Append("Z", adVarChar, -1), kAdErrInvalidArgument);
  rs.Open();
  EXPECT_QTS_ERROR(rs.Fields().Append("W", adInteger), kAdErrIllegalOperation);
  EXPECT_QTS_ERROR(rs.Open(), kAdErrObjectOpen);
  Recordset empty;
  EXPECT_QTS_ERROR(empty.Open(), kAdErrInvalidArgument);
}

TEST(RecordsetFields, ValuesAreConvertedToTheFieldType) {
  Recordset rs;
  rs.Fields().Append("S", adSmallInt);
  rs.Fields().Append("L", adInteger);
  rs.Fields().Append("D", adDouble);
  rs.Fields().Append("C", adCurrency);
  rs.Fields().Append("N", adNumeric, 19);
  rs.Fields().Append("T", adDBTimeStamp);
  rs.Fields().Append("DD", adDBDate);
  rs.Fields().Append("B", adBoolean);
  rs.Fields().Append("V", adVarChar, 3);
  rs.Fields().Append("M", adLongVarWChar);
  rs.Fields().Append("X", adVariant);
  rs.Fields().Append("Nul", adInteger, 0, adFldMayBeNull);
  rs.Open();
  rs.AddNew();
  rs.SetValue("S", Variant("2.5"));
  rs.SetValue("L", Variant(25427.55));
  rs.SetValue("D", Variant(int16_t{3}));
  rs.SetValue("C", Variant(0.03125));
  rs.SetValue("N", Variant("1.23456"));
  rs.SetValue("T", Variant("2024-05-06 07:08:09"));
  rs.SetValue("DD", Variant(Date::FromYmdHms(2024, 5, 6, 7, 8, 9)));
  rs.SetValue("B", Variant("true"));
  rs.SetValue("V", Variant(int32_t{123}));
  rs.SetValue("M", Variant(std::string(5000, 'x')));
  rs.SetValue("X", Variant(int16_t{7}));
  rs.SetValue("Nul", Variant::Null());
  rs.Update();
  EXPECT_TRUE(rs.Value("S").SameAs(Variant(int16_t{2})));
  EXPECT_TRUE(rs.Value("L").SameAs(Variant(int32_t{25428})));
  EXPECT_TRUE(rs.Value("D").SameAs(Variant(3.0)));
  EXPECT_TRUE(rs.Value("C").SameAs(Variant(Cy("0.0312"))));
  EXPECT_TRUE(rs.Value("N").SameAs(Variant(Cy("1.2346"))));
  EXPECT_EQ(rs.Value("T").AsDate().ToIso(), "2024-05-06 07:08:09");
  EXPECT_EQ(rs.Value("DD").AsDate().ToIso(), "2024-05-06");
  EXPECT_TRUE(rs.Value("B").SameAs(Variant(true)));
  EXPECT_TRUE(rs.Value("V").SameAs(Variant("123")));
  EXPECT_EQ(rs.Value("M").AsString().size(), 5000u);
  EXPECT_TRUE(rs.Value("X").SameAs(Variant(int16_t{7})));
  EXPECT_TRUE(rs.Value("Nul").IsNull());
}

TEST(RecordsetFields, RefusedValuesLeaveTheFieldUnchanged) {
  auto rs = Goods();
  const std::pair<const char*, Variant> bad[] = {
      {"Code", Variant::Null()},         // not nullable
      {"Code", Variant("ABCDEFGHIJK")},  // 11 characters in 10
      {"Qty", Variant("many")},          // not a number
      {"Qty", Variant(3e9)},             // beyond Long
      {"Made", Variant("yesterday")},    // not a date
      {"Price", Variant::Nothing()},     // an object
  };
  for (const auto& [field, value] : bad) {
    Variant before = rs->Value(field);
    EXPECT_QTS_ERROR(rs->SetValue(field, value), kAdErrMultipleStep) << field << " = " << value;
    EXPECT_TRUE(rs->Value(field).SameAs(before)) << field;
  }
  // Text is measured in characters, not bytes.
  rs->SetValue("Code", Variant("ąčęėįšųūžą"));
  EXPECT_EQ(rs->Value("Code").AsString(), "ąčęėįšųūžą");
}

TEST(RecordsetFields, ARefusalNamesTheFieldTheValueAndWhyOnce) {
  Recordset rs;
  rs.Fields().Append("B", adTinyInt);
  rs.Fields().Append("U", adUnsignedTinyInt);
  rs.Fields().Append("Q", adInteger);
  rs.Fields().Append("T", adVarChar, 3);
  rs.Open();
  rs.AddNew();
  const struct {
    const char* field;
    Variant value;
    const char* why;
  } cases[] = {
      {"B", Variant(int32_t{128}), "out of range"},
      {"U", Variant(int32_t{-1}), "out of range"},
      {"Q", Variant("many"), "Type mismatch"},
      {"T", Variant("abcd"), "longer than 3 characters"},
      {"Q", Variant::Null(), "the field is not nullable"},
  };
  for (const auto& c : cases) {
    const std::string shown = c.value.IsNull() ? "Null" : "\"" + CStr(c.value) + "\"";
    EXPECT_QTS_ERROR_FROM(rs.SetValue(c.field, c.value), kAdErrMultipleStep, "ADODB.Field",
                          fmt::format("Multiple-step operation generated errors: field \"{}\" "
                                      "cannot take {} ({})",
                                      c.field, shown, c.why));
  }
}

// ---- Navigation ------------------------------------------------------------------------------

TEST(RecordsetNavigation, EmptyRecordsetIsAtBothEnds) {
  Recordset rs;
  rs.Fields().Append("A", adInteger);
  rs.Open();
  EXPECT_TRUE(rs.Eof());
  EXPECT_TRUE(rs.Bof());
  EXPECT_EQ(rs.RecordCount(), 0);
  EXPECT_QTS_ERROR(rs.MoveFirst(), kAdErrNoCurrentRecord);
  EXPECT_QTS_ERROR(rs.MoveLast(), kAdErrNoCurrentRecord);
  EXPECT_QTS_ERROR(rs.MoveNext(), kAdErrNoCurrentRecord);
  EXPECT_QTS_ERROR(rs.MovePrevious(), kAdErrNoCurrentRecord);
  EXPECT_QTS_ERROR(rs.Value("A"), kAdErrNoCurrentRecord);
  EXPECT_QTS_ERROR(rs.Bookmark(), kAdErrNoCurrentRecord);
}

TEST(RecordsetNavigation, MovesAndEnds) {
  auto rs = Goods();
  EXPECT_EQ(rs->RecordCount(), 5);
  EXPECT_FALSE(rs->Bof());
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  rs->MovePrevious();
  EXPECT_TRUE(rs->Bof());
  EXPECT_FALSE(rs->Eof());
  EXPECT_EQ(rs->AbsolutePosition(), adPosBOF);
  EXPECT_QTS_ERROR(rs->MovePrevious(), kAdErrNoCurrentRecord);
  rs->MoveNext();
  EXPECT_EQ(rs->Value("Code").AsString(), "A1");
  rs->MoveLast();
  EXPECT_EQ(rs->Value("Code").AsString(), "D5");
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(rs->AbsolutePosition(), adPosEOF);
  EXPECT_QTS_ERROR(rs->MoveNext(), kAdErrNoCurrentRecord);
  rs->Move(-2);
  EXPECT_EQ(rs->Value("Code").AsString(), "a4");
  rs->Move(-10);
  EXPECT_TRUE(rs->Bof());
  rs->Move(3);
  EXPECT_EQ(rs->Value("Code").AsString(), "C3");
  rs->Move(10);
  EXPECT_TRUE(rs->Eof());
  rs->SetAbsolutePosition(2);
  EXPECT_EQ(rs->Value("Code").AsString(), "B2");
  EXPECT_QTS_ERROR(rs->SetAbsolutePosition(6), kAdErrInvalidArgument);
  EXPECT_QTS_ERROR(rs->SetAbsolutePosition(0), kAdErrInvalidArgument);
}

TEST(RecordsetNavigation, ClosedRecordsetRefusesEverything) {
  auto rs = Goods();
  rs->Close();
  EXPECT_FALSE(rs->IsOpen());
  EXPECT_QTS_ERROR(rs->Eof(), kAdErrObjectClosed);
  EXPECT_QTS_ERROR(rs->RecordCount(), kAdErrObjectClosed);
  EXPECT_QTS_ERROR(rs->AddNew(), kAdErrObjectClosed);
  EXPECT_QTS_ERROR(rs->Clone(), kAdErrObjectClosed);
  EXPECT_QTS_ERROR(rs->Close(), kAdErrObjectClosed);
  // It keeps its fields and opens again, empty.
  rs->Open();
  EXPECT_EQ(rs->Fields().Count(), 5u);
  EXPECT_EQ(rs->RecordCount(), 0);
}

// ---- Editing ---------------------------------------------------------------------------------

TEST(RecordsetEditing, AddNewAndUpdate) {
  auto rs = Goods();
  rs->MoveFirst();
  rs->AddNew();
  EXPECT_EQ(rs->EditMode(), adEditAdd);
  EXPECT_EQ(rs->RecordCount(), 6);
  EXPECT_TRUE(rs->Value("Qty").IsNull());
  rs->Fields()("Code").SetValue(Variant("E6"));
  rs->SetValue(size_t{2}, Variant(int32_t{9}));
  rs->Update();
  EXPECT_EQ(rs->EditMode(), adEditNone);
  EXPECT_EQ(rs->AbsolutePosition(), 6);
  rs->AddNew({"Code", "Qty"}, {Variant("F7"), Variant(int32_t{1})});
  EXPECT_EQ(rs->EditMode(), adEditNone);
  EXPECT_EQ(Codes(*rs), "A1,B2,C3,a4,D5,E6,F7");
}

TEST(RecordsetEditing, AddNewWithABadValueWritesNothing) {
  auto rs = Goods();
  EXPECT_QTS_ERROR(rs->AddNew({"Code", "Qty"}, {Variant("G8"), Variant("lots")}),
                   kAdErrMultipleStep);
  EXPECT_EQ(rs->RecordCount(), 5);
  EXPECT_EQ(rs->EditMode(), adEditNone);
  EXPECT_QTS_ERROR(rs->AddNew({"Code", "Nope"}, {Variant("G8"), Variant(1)}), kAdErrItemNotFound);
  EXPECT_EQ(rs->RecordCount(), 5);
}

TEST(RecordsetEditing, CancelUpdate) {
  auto rs = Goods();
  rs->MoveNext();  // B2
  rs->AddNew();
  rs->SetValue("Code", Variant("Z9"));
  rs->CancelUpdate();
  EXPECT_EQ(rs->RecordCount(), 5);
  EXPECT_EQ(rs->Value("Code").AsString(), "B2");
  rs->SetValue("Qty", Variant(int32_t{99}));
  EXPECT_EQ(rs->EditMode(), adEditInProgress);
  rs->CancelUpdate();
  EXPECT_EQ(rs->Value("Qty").AsLong(), 12);
  // Moving updates a pending edit.
  rs->SetValue("Qty", Variant(int32_t{13}));
  rs->MoveNext();
  rs->MovePrevious();
  EXPECT_EQ(rs->Value("Qty").AsLong(), 13);
  EXPECT_EQ(rs->EditMode(), adEditNone);
}

// ---- Filter ----------------------------------------------------------------------------------

struct FilterCase {
  const char* filter;
  const char* codes;
};

class RecordsetFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(RecordsetFilter, ShowsTheMatchingRecords) {
  auto rs = Goods();
  rs->SetFilter(Variant(GetParam().filter));
  EXPECT_EQ(Codes(*rs), GetParam().codes) << GetParam().filter;
  EXPECT_EQ(rs->Filter().AsString(), GetParam().filter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecordsetFilter,
    ::testing::Values(
        FilterCase{"Qty > 4", "A1,B2,a4"}, FilterCase{"Qty >= 5", "A1,B2,a4"},
        FilterCase{"Qty < 5", "C3,D5"}, FilterCase{"Qty <= 3", "C3,D5"},
        FilterCase{"Qty <> 12", "A1,C3,a4,D5"}, FilterCase{"qty = 0", "C3"},
        FilterCase{"Price = 0.25", "B2"}, FilterCase{"Price > $2", "C3,a4,D5"},
        FilterCase{"Price >= 2.75E0", "C3,a4,D5"},
        FilterCase{"Code = 'a1'", "A1"},  // text compares without regard to case
        FilterCase{"Code > 'B'", "B2,C3,D5"}, FilterCase{"Name = 'O''Brien pears'", "D5"},
        FilterCase{"Name LIKE 'a*'", "A1,a4"}, FilterCase{"Name LIKE 'BAN%'", "B2"},
        FilterCase{"Name LIKE '*an*'", "B2"}, FilterCase{"Name LIKE 'apple'", "A1"},
        FilterCase{"Name = NULL", "C3"}, FilterCase{"Name <> NULL", "A1,B2,a4,D5"},
        FilterCase{"Name > 'a'", "A1,B2,a4,D5"},  // Null matches no comparison
        FilterCase{"Made = #2024-01-10#", "A1,a4"}, FilterCase{"Made < #1/1/2024#", "C3"},
        FilterCase{"Made > '2024-02-01'", "D5"}, FilterCase{"Qty > 4 AND Price < 2", "A1,B2"},
        FilterCase{"Qty = 0 OR Qty = 3", "C3,D5"},
        FilterCase{"Qty = 0 OR Qty > 4 AND Price > 2", "C3,a4"},
        FilterCase{"(Qty > 4 AND Price < 2) OR (Code = 'D5' AND Qty = 3)", "A1,B2,D5"},
        FilterCase{"(Qty = 0 OR Qty = 3)", "C3,D5"},
        FilterCase{"((Qty > 4) AND (Price < 2)) OR Code = 'C3'", "A1,B2,C3"},
        FilterCase{"[Code] = 'B2'", "B2"}, FilterCase{"Qty > 100", ""},
        FilterCase{"  Code = 'A1'  ", "A1"}));

TEST(RecordsetFilterRules, RefusedTextsNameThemselvesAndKeepThePreviousFilter) {
  auto rs = Goods();
  rs->SetFilter(Variant("Qty > 4"));
  const char* refused[] = {
      "(Qty = 0 OR Qty = 3) AND Price > 1",  // OR group joined by AND
      "Price > 1 AND (Qty = 0 OR Qty = 3)",
      "Nope = 1",
      "G.Nope = 1",
      "Qty. = 1",
      "Qty = 'many'",
      "Qty 5",
      "Qty = ",
      "Qty = 1 AND",
      "(Qty = 1",
      "Qty = 1)",
      "Name LIKE 'a*b'",
      "Name LIKE '*a'",
      "Qty LIKE '1*'",
      "Name < NULL",
      "Made = #2024-13-01#",
      "Code = 'open",
      "Qty = 1 XOR Qty = 2",
  };
  for (const char* text : refused) {
    EXPECT_QTS_ERROR_TEXT(rs->SetFilter(Variant(text)), kAdErrInvalidArgument, text);

    EXPECT_EQ(rs->Filter().AsString(), "Qty > 4");
    EXPECT_EQ(rs->RecordCount(), 3) << text;
  }
}

// A condition written on a query column's expression ("G.Qty") names the column of the
// opened rows by the part after the qualifier, unless a field carries the whole name.
TEST(RecordsetFilterRules, QualifiedNamesFallBackToTheColumnName) {
  auto rs = Goods();
  rs->SetFilter(Variant("Qty > 4"));
  const long plain = rs->RecordCount();
  rs->SetFilter(Variant("G.Qty > 4"));
  EXPECT_EQ(rs->RecordCount(), plain);
  rs->SetFilter(Variant("oTable.Qty > 4 AND [x.Code] <> 'zzz'"));
  EXPECT_EQ(rs->RecordCount(), plain);

  Recordset both;
  both.Fields().Append("Qty", adInteger, 0, adFldIsNullable);
  both.Fields().Append("G.Qty", adInteger, 0, adFldIsNullable);
  both.Open();
  both.AddNew({"Qty", "G.Qty"}, {Variant(int32_t{1}), Variant(int32_t{2})});
  both.SetFilter(Variant("G.Qty = 2"));
  EXPECT_EQ(both.RecordCount(), 1);
  both.SetFilter(Variant("G.Qty = 1"));
  EXPECT_EQ(both.RecordCount(), 0);
}

TEST(RecordsetFilterRules, BooleanAndVariantFields) {
  Recordset rs;
  rs.Fields().Append("Done", adBoolean);
  rs.Fields().Append("Any", adVariant, 0, adFldIsNullable);
  rs.Open();
  rs.AddNew({"Done", "Any"}, {Variant(true), Variant(int32_t{5})});
  rs.AddNew({"Done", "Any"}, {Variant(false), Variant("5")});
  rs.AddNew({"Done", "Any"}, {Variant(false), Variant::Null()});
  rs.SetFilter(Variant("Done = TRUE"));
  EXPECT_EQ(rs.RecordCount(), 1);
  rs.SetFilter(Variant("Done = False"));
  EXPECT_EQ(rs.RecordCount(), 2);
  rs.SetFilter(Variant("Done = -1"));
  EXPECT_EQ(rs.RecordCount(), 1);
  // A Variant field keeps each value's type: the number 5 and the text "5" differ.
  rs.SetFilter(Variant("Any = 5"));
  EXPECT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs.Value("Any").Type(), VarType::kLong);
  rs.SetFilter(Variant("Any = '5'"));
  EXPECT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs.Value("Any").Type(), VarType::kString);
}

TEST(RecordsetFilterRules, EmptyTextOrZeroClears) {
  auto rs = Goods();
  rs->SetFilter(Variant("Qty > 4"));
  rs->SetFilter(Variant(""));
  EXPECT_EQ(rs->RecordCount(), 5);
  EXPECT_TRUE(rs->Filter().SameAs(Variant(int32_t{0})));
  rs->SetFilter(Variant("Qty > 4"));
  rs->SetFilter(Variant(int16_t{0}));
  EXPECT_EQ(rs->RecordCount(), 5);
  EXPECT_QTS_ERROR(rs->SetFilter(Variant(int32_t{1})), kAdErrInvalidArgument);
}

TEST(RecordsetFilterRules, AddedRecordStaysVisibleUntilTheFilterIsSetAgain) {
  auto rs = Goods();
  rs->SetFilter(Variant("Qty > 4"));
  rs->AddNew({"Code", "Qty"}, {Variant("N1"), Variant(int32_t{1})});
  EXPECT_EQ(rs->RecordCount(), 4);
  EXPECT_EQ(rs->Value("Code").AsString(), "N1");
  rs->SetFilter(rs->Filter());
  EXPECT_EQ(rs->RecordCount(), 3);
}

// ---- Sort ------------------------------------------------------------------------------------

TEST(RecordsetSort, OrdersByKeys) {
  auto rs = Goods();
  rs->SetSort("Qty DESC");
  EXPECT_EQ(Codes(*rs), "B2,a4,A1,D5,C3");
  rs->SetSort("Made, Code DESC");
  EXPECT_EQ(Codes(*rs), "C3,a4,A1,B2,D5");
  rs->SetSort("Code");
  EXPECT_EQ(Codes(*rs), "A1,a4,B2,C3,D5");  // without regard to case, stable
  rs->SetSort("Name ASC");
  EXPECT_EQ(Codes(*rs), "C3,A1,a4,B2,D5");  // Null first
  rs->SetFilter(Variant("Qty > 4"));
  EXPECT_EQ(Codes(*rs), "A1,a4,B2");  // the sort applies to the filtered records
  rs->SetSort("");
  EXPECT_EQ(Codes(*rs), "A1,B2,a4");
  rs->SetFilter(Variant(""));
  EXPECT_EQ(Codes(*rs), "A1,B2,C3,a4,D5");
  EXPECT_QTS_ERROR(rs->SetSort("Nope"), kAdErrItemNotFound);
  EXPECT_QTS_ERROR(rs->SetSort("Qty DOWN"), kAdErrInvalidArgument);
  EXPECT_EQ(rs->Sort(), "");
}

// ---- Clone and Bookmark ----------------------------------------------------------------------

TEST(RecordsetClone, SharesRowsWithItsOwnPositionAndFilter) {
  auto rs = Goods();
  rs->SetFilter(Variant("Qty > 4"));
  rs->MoveLast();
  auto clone = rs->Clone();
  EXPECT_EQ(clone->RecordCount(), 5);  // no filter
  EXPECT_EQ(clone->Value("Code").AsString(), "A1");
  EXPECT_EQ(rs->Value("Code").AsString(), "a4");
  clone->SetFilter(Variant("Qty = 0"));
  EXPECT_EQ(rs->RecordCount(), 3);
  // An edit through one is seen through the other.
  clone->SetValue("Name", Variant("cherry"));
  clone->Update();
  rs->SetFilter(Variant("Code = 'C3'"));
  EXPECT_EQ(rs->Value("Name").AsString(), "cherry");
  // So is a record added through the clone.
  clone->SetFilter(Variant(""));
  clone->AddNew({"Code"}, {Variant("Q1")});
  rs->SetFilter(Variant(""));
  EXPECT_EQ(rs->RecordCount(), 6);
  // Closing the original leaves the clone its rows.
  rs->Close();
  EXPECT_EQ(clone->RecordCount(), 6);
}

TEST(RecordsetClone, BookmarksIdentifyRecords) {
  auto rs = Goods();
  rs->SetSort("Qty DESC");  // B2 first
  auto clone = rs->Clone();
  clone->MoveNext();  // B2 in storage order
  EXPECT_TRUE(rs->Bookmark().SameAs(clone->Bookmark()));
  EXPECT_EQ(CDbl(rs->Bookmark()), 2.0);
  clone->MoveNext();
  EXPECT_FALSE(rs->Bookmark().SameAs(clone->Bookmark()));
  rs->SetBookmark(clone->Bookmark());
  EXPECT_EQ(rs->Value("Code").AsString(), "C3");
  EXPECT_EQ(rs->AbsolutePosition(), 5);  // last when sorted by Qty descending
  rs->SetFilter(Variant("Qty > 4"));
  EXPECT_QTS_ERROR(rs->SetBookmark(clone->Bookmark()), kAdErrInvalidArgument);
  EXPECT_QTS_ERROR(rs->SetBookmark(Variant(99.0)), kAdErrInvalidArgument);
  EXPECT_QTS_ERROR(rs->SetBookmark(Variant("x")), kAdErrInvalidArgument);
}

// ---- Storage ---------------------------------------------------------------------------------

// A Variant field takes every type; values are read back as stored, on both sides of the
// storage blocks' boundaries.
TEST(RecordsetStorage, EveryTypeSurvivesAcrossManyRows) {
  class Thing : public Object {
   public:
    std::string_view ClassName() const override { return "Thing"; }
  };
  auto thing = std::make_shared<Thing>();
  Recordset rs;
  rs.Fields().Append("V", adVariant, 0, adFldIsNullable);
  rs.Fields().Append("N", adInteger, 0, adFldIsNullable);
  rs.Open();
  auto value_of = [&](int r) -> Variant {
    switch (r % 11) {
      case 0:
        return Variant();
      case 1:
        return Variant::Null();
      case 2:
        return Variant(r % 2 == 0);
      case 3:
        return Variant(static_cast<int16_t>(-r % 30000));
      case 4:
        return Variant(int32_t{-r});
      case 5:
        return Variant(r + 0.25);
      case 6:
        return Variant(Currency::FromScaled(-int64_t{r} * 123457));
      case 7:
        return Variant(Date(40000.5 + r));
      case 8:
        return Variant(std::string(static_cast<size_t>(r % 40), static_cast<char>('a' + r % 26)));
      case 9:
        return Variant(thing);
      default:
        return Variant::Nothing();
    }
  };
  constexpr int kRows = 10000;
  {
    Recordset::Appender appender(rs);
    for (int r = 0; r < kRows; ++r) {
      appender.NewRow();
      appender.Value(0, value_of(r));
      appender.Long(1, r);
    }
  }
  // A text bigger than a text block goes in one of its own.
  std::string big(200000, 'x');
  LoadRow(rs, {Variant(big), Variant(int32_t{kRows})});
  ASSERT_EQ(rs.RecordCount(), kRows + 1);
  int r = 0;
  for (rs.MoveFirst(); r < kRows; rs.MoveNext(), ++r) {
    ASSERT_TRUE(rs.Value(size_t{0}).SameAs(value_of(r)))
        << "row " << r << ": " << rs.Value(size_t{0});
    ASSERT_EQ(rs.Value("n").AsLong(), r);
  }
  EXPECT_EQ(rs.Value(size_t{0}).AsString(), big);
  // Overwriting an object with a number and back keeps the column right.
  rs.SetAbsolutePosition(10);  // row 9 holds the object
  EXPECT_TRUE(rs.Value(size_t{0}).IsObject());
  rs.Update("V", Variant(int32_t{5}));
  EXPECT_EQ(rs.Value(size_t{0}).AsLong(), 5);
  rs.Update("V", Variant("now text"));
  EXPECT_EQ(rs.Value(size_t{0}).AsString(), "now text");
}

TEST(RecordsetStorage, CancelledAddNewAtABlockBoundaryLeavesNoTrace) {
  Recordset rs;
  rs.Fields().Append("Code", adVarChar, 10, adFldIsNullable);
  rs.Fields().Append("Qty", adInteger, 0, adFldIsNullable);
  rs.Open();
  for (int32_t r = 0; r < 4096; ++r) LoadRow(rs, {Variant("c" + std::to_string(r)), Variant(r)});
  rs.AddNew({"Code", "Qty"}, {Variant("new"), Variant(int32_t{1})});
  rs.MoveLast();
  EXPECT_EQ(rs.Value("Code").AsString(), "new");
  rs.MoveFirst();
  rs.AddNew();
  rs.SetValue("Code", Variant("gone"));
  rs.CancelUpdate();
  EXPECT_EQ(rs.RecordCount(), 4097);
  rs.AddNew();
  EXPECT_TRUE(rs.Value("Code").IsNull());
  EXPECT_TRUE(rs.Value("Qty").IsNull());
  rs.CancelUpdate();
  rs.MoveLast();
  EXPECT_EQ(rs.Value("Code").AsString(), "new");
  rs.SetAbsolutePosition(4096);
  EXPECT_EQ(rs.Value("Code").AsString(), "c4095");
  EXPECT_EQ(rs.Value("Qty").AsLong(), 4095);
}

// Values read through one recordset follow changes made through a clone on the same record,
// and an edit cancelled through the clone restores them.
TEST(RecordsetStorage, ReadsFollowChangesMadeThroughAClone) {
  auto rs = Goods();
  auto clone = rs->Clone();
  rs->MoveFirst();
  EXPECT_EQ(rs->Value("Name").AsString(), "apple");
  EXPECT_EQ(rs->Value("Qty").AsLong(), 5);
  clone->SetValue("Name", Variant("pear"));
  EXPECT_EQ(rs->Value("Name").AsString(), "pear");
  EXPECT_EQ(rs->Value("Qty").AsLong(), 5);
  clone->CancelUpdate();
  EXPECT_EQ(rs->Value("Name").AsString(), "apple");
  clone->Close();
  EXPECT_EQ(rs->Value("Name").AsString(), "apple");
}

// Storage freed by one recordset is used again by the next: what a new record holds is only
// what was loaded into it, never a value left over from the rows that were there before - nor,
// for a record added by hand, anything but Null.
TEST(RecordsetStorage, StorageUsedAgainHoldsNoOldValues) {
  constexpr int kRows = 10000;  // more than two blocks
  auto make = [] {
    auto rs = std::make_shared<Recordset>();
    rs->Fields().Append("Code", adVarWChar, 40, adFldIsNullable);
    rs->Fields().Append("Qty", adInteger, 0, adFldIsNullable);
    rs->Open();
    return rs;
  };
  auto fill = [](Recordset& rs, const std::string& prefix) {
    Recordset::Appender appender(rs);
    for (int r = 0; r < kRows; ++r) {
      appender.NewRow();
      if (r % 2 == 0) {
        appender.Text(0, prefix + std::to_string(r));
      } else {
        appender.Null(0);
      }
      appender.Long(1, r);
    }
  };
  {
    auto old = make();
    fill(*old, "a long enough code ");
  }
  auto fresh = make();
  fill(*fresh, "k");
  fresh->AddNew();
  fresh->Update();
  ASSERT_EQ(fresh->RecordCount(), kRows + 1);
  int r = 0;
  for (fresh->MoveFirst(); r < kRows; fresh->MoveNext(), ++r) {
    if (r % 2 == 0) {
      ASSERT_EQ(fresh->Value("Code").AsString(), "k" + std::to_string(r));
    } else {
      ASSERT_TRUE(fresh->Value("Code").IsNull()) << r;
    }
    ASSERT_EQ(fresh->Value("Qty").AsLong(), r);
  }
  EXPECT_TRUE(fresh->Value("Code").IsNull());
  EXPECT_TRUE(fresh->Value("Qty").IsNull());
}

// ---- Size ------------------------------------------------------------------------------------

TEST(RecordsetSize, HundredThousandRowsOfTenColumnsStaySmall) {
  struct mallinfo2 before = mallinfo2();
  {
    Recordset rs;
    for (int c = 0; c < 10; ++c) {
      rs.Fields().Append("F" + std::to_string(c), c % 2 ? adVarWChar : adCurrency, 40,
                         adFldIsNullable);
    }
    rs.Open();
    constexpr int kRows = 100000;
    Recordset::Appender appender(rs);
    for (int r = 0; r < kRows; ++r) {
      appender.NewRow();
      for (size_t c = 0; c < 10; ++c) {
        if (c % 2) {
          appender.Text(c, "item name number " + std::to_string(r * 10 + c));
        } else {
          appender.Currency(c, Currency::FromScaled(r * 10000 + c));
        }
      }
    }
    struct mallinfo2 after = mallinfo2();
    size_t used = after.uordblks + after.hblkhd - before.uordblks - before.hblkhd;
    EXPECT_LT(used, size_t{150} << 20);
    RecordProperty("bytes", std::to_string(used));
    rs.SetFilter(Variant("F1 LIKE 'item name number 99*'"));
    EXPECT_EQ(rs.RecordCount(), 1111);
    rs.SetSort("F0 DESC");
    EXPECT_EQ(rs.Value("F1").AsString(), "item name number 999991");
  }
}

}  // namespace
}  // namespace qts::host
