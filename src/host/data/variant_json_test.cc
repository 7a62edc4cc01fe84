#include "host/data/variant_json.h"

#include <gtest/gtest.h>

#include <string>

#include "core/currency.h"
#include "core/date.h"

namespace qts::host {
namespace {

Variant Cy(const char* text) { return Variant(*Currency::Parse(text)); }

struct JsonCase {
  const char* name;
  Variant value;
  const char* json;  // as dumped
};

class ToJsonTable : public ::testing::TestWithParam<JsonCase> {};

TEST_P(ToJsonTable, Writes) { EXPECT_EQ(ToJson(GetParam().value).dump(), GetParam().json); }

INSTANTIATE_TEST_SUITE_P(
    Values, ToJsonTable,
    ::testing::Values(
        JsonCase{"null", Variant::Null(), "null"}, JsonCase{"empty", Variant(), "null"},
        JsonCase{"nothing", Variant::Nothing(), "null"}, JsonCase{"true", Variant(true), "true"},
        JsonCase{"integer", Variant(int16_t{-7}), "-7"},
        JsonCase{"long", Variant(int32_t{2147483647}), "2147483647"},
        // Money and quantities: the exact decimal, whole amounts as integers.
        JsonCase{"money_whole", Cy("12"), "12"}, JsonCase{"money_tenth", Cy("0.1"), "0.1"},
        JsonCase{"money_places", Cy("-1086.4292"), "-1086.4292"},
        JsonCase{"money_large", Cy("99999999999.9999"), "99999999999.9999"},
        JsonCase{"money_max_whole", Cy("922337203685477"), "922337203685477"},
        JsonCase{"double", Variant(0.1), "0.1"}, JsonCase{"double_whole", Variant(2.0), "2.0"},
        JsonCase{"date", Variant(Date::FromYmd(2026, 12, 31)), "\"2026-12-31\""},
        JsonCase{"date_time", Variant(Date::FromYmdHms(2026, 1, 2, 3, 4, 5)),
                 "\"2026-01-02 03:04:05\""},
        JsonCase{"text", Variant("Sandėlis \"A\"\n"), "\"Sandėlis \\\"A\\\"\\n\""}),
    [](const ::testing::TestParamInfo<JsonCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qts::host
