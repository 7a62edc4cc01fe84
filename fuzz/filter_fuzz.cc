// Any text as a recordset's Filter and as its Sort, on rows of every field type the host's
// queries give (text, whole numbers, money, doubles, dates, booleans, with Nulls among them).
// A Filter is either taken or refused with error 3001 leaving the previous filter in place; a
// Sort is taken or refused with 3001 or 3265 (an unknown field). What is taken must show a
// consistent set of records: as many as RecordCount says, each of them once, and no more than
// the rows there are; a sort never changes how many are shown. The records a filter shows are
// those that meet it tested one by one, each record's values read through its fields.
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/convert.h"
#include "core/currency.h"
#include "core/date.h"
#include "core/error_numbers.h"
#include "core/text.h"
#include "core/variant.h"
#include "fuzz/fuzz_check.h"
#include "host/data/recordset.h"
#include "host/data/recordset_filter.h"

namespace {

using qts::Variant;
using qts::fuzz::Broken;
using qts::fuzz::Check;
using qts::fuzz::CurrentException;
namespace host = qts::host;

constexpr long kRows = 8;

std::shared_ptr<host::Recordset> Rows() {
  auto rs = std::make_shared<host::Recordset>();
  rs->Fields().Append("Code", host::adVarChar, 10);
  rs->Fields().Append("Name", host::adVarWChar, 50, host::adFldIsNullable);
  rs->Fields().Append("Qty", host::adInteger, 0, host::adFldIsNullable);
  rs->Fields().Append("Price", host::adCurrency, 0, host::adFldIsNullable);
  rs->Fields().Append("Made", host::adDate, 0, host::adFldIsNullable);
  rs->Fields().Append("Rate", host::adDouble, 0, host::adFldIsNullable);
  rs->Fields().Append("Done", host::adBoolean, 0, host::adFldIsNullable);
  rs->Fields().Append("Any", host::adVariant, 0, host::adFldIsNullable);
  rs->Open();
  struct Row {
    const char* code;
    Variant name;
    Variant qty;
    const char* price;  // nullptr: Null
    const char* made;   // nullptr: Null
    Variant rate;
    Variant posted;
    Variant any;
  };
  const Variant null = Variant::Null();
  const Row rows[kRows] = {
      {"A1", Variant("apple"), Variant(int32_t{5}), "1.5", "2024-01-10", Variant(0.5),
       Variant(true), Variant("x")},
      {"B2", Variant("Banana"), Variant(int32_t{-12}), "-0.25", "1899-12-30", Variant(-1e300),
       Variant(false), Variant(int32_t{7})},
      {"C3", null, null, nullptr, nullptr, null, null, null},
      {"a4", Variant("O'Brien *pears%"), Variant(int32_t{0}), "922337203685477.5807", "9999-12-31",
       Variant(1e-300), Variant(true), Variant(2.5)},
      {"", Variant(""), Variant(int32_t{2147483647}), "-922337203685477.5808", "0100-01-01",
       Variant(0.0), Variant(false), Variant("")},
      {"\xc5\xa0"
       "6",
       Variant("\xc5\xa1ilas \xe2\x82\xac"), Variant(int32_t{-2147483647 - 1}), "0",
       "2026-12-31 23:59:59", Variant(123456.789), null, Variant("2024-01-10")},
      {"#7#", Variant("[b]"), Variant(int32_t{7}), "7", "2024-02-29", Variant(7.0), Variant(true),
       Variant(true)},
      {"A1", Variant("apple"), Variant(int32_t{5}), "1.5", "2024-01-10", Variant(0.5),
       Variant(true), Variant("x")},
  };
  for (const Row& r : rows) {
    rs->AddNew(
        {"Code", "Name", "Qty", "Price", "Made", "Rate", "Done", "Any"},
        {Variant(r.code), r.name, r.qty, r.price ? Variant(*qts::Currency::Parse(r.price)) : null,
         r.made ? Variant(*qts::Date::ParseIso(r.made)) : null, r.rate, r.posted, r.any});
  }
  return rs;
}

// The records `rs` shows, by bookmark, walking from the first; each must be new.
std::set<double> Shown(host::Recordset& rs, std::string_view input) {
  std::set<double> shown;
  if (rs.RecordCount() == 0) return shown;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
    const bool added = shown.insert(qts::CDbl(rs.Bookmark())).second;
    Check(added, "a record shown twice", "", input);
  }
  Check(static_cast<long>(shown.size()) == rs.RecordCount(),
        "RecordCount differs from the records walked", std::to_string(rs.RecordCount()), input);
  return shown;
}

// The bookmarks of the records of `all` (no filter, no sort) that `text` taken as criteria
// says meet it, testing each record's values in turn.
std::set<double> MeetingOneByOne(host::Recordset& all, std::string_view text) {
  host::FieldCollection fields = all.Fields();
  std::vector<host::FieldDef> defs;
  for (size_t i = 0; i < fields.Count(); ++i) {
    const host::Field f = fields.Item(i);
    defs.push_back({f.Name(), f.Type(), f.DefinedSize(), f.Attributes(), f.Kind()});
  }
  const host::RecordFilter filter = host::RecordFilter::Parse(
      text, defs, [&](std::string_view name) { return fields.Find(name); });
  std::set<double> meeting;
  for (all.MoveFirst(); !all.Eof(); all.MoveNext()) {
    const bool meets = filter.Matches(
        [&](size_t column) -> const Variant& { return fields.Item(column).Value(); });
    if (meets) meeting.insert(qts::CDbl(all.Bookmark()));
  }
  return meeting;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = qts::fuzz::InputText(data, size);
  // A clone shares the rows and starts with no filter and no sort of its own.
  static const std::shared_ptr<host::Recordset> rows = Rows();
  std::shared_ptr<host::Recordset> rs = rows->Clone();

  // A filter taken first, so that a refused one must leave it in place.
  rs->SetFilter(Variant("Qty > 0"));
  const long before = rs->RecordCount();
  try {
    rs->SetFilter(Variant(std::string(text)));
  } catch (const qts::Error& e) {
    Check(e.Number() == qts::host::kAdErrInvalidArgument, "a refused filter with another number",
          CurrentException(), text);
    Check(rs->Filter().Type() == qts::VarType::kString && rs->Filter().AsString() == "Qty > 0" &&
              rs->RecordCount() == before,
          "a refused filter changed the records shown", "", text);
  } catch (...) {
    Broken("Filter raised something other than an Error", CurrentException(), text);
  }
  const std::set<double> filtered = Shown(*rs, text);
  Check(static_cast<long>(filtered.size()) <= kRows, "more records than rows", "", text);
  if (rs->Filter().Type() == qts::VarType::kString && rs->Filter().AsString() == text &&
      !qts::Trim(text).empty()) {
    std::shared_ptr<host::Recordset> all = rows->Clone();
    Check(MeetingOneByOne(*all, text) == filtered,
          "the filter shows other records than those that meet it one by one", "", text);
  }

  try {
    rs->SetSort(text);
  } catch (const qts::Error& e) {
    Check(e.Number() == qts::host::kAdErrInvalidArgument ||
              e.Number() == qts::host::kAdErrItemNotFound,
          "a refused sort with another number", CurrentException(), text);
  } catch (...) {
    Broken("Sort raised something other than an Error", CurrentException(), text);
  }
  Check(Shown(*rs, text) == filtered, "a sort changed which records are shown", "", text);
  return 0;
}
