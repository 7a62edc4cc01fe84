#include "host/report/report_document.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

#include "core/convert.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "core/rounding.h"
#include "core/text.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"

namespace qts::host {

namespace {

Kind KindOfFieldType(int32_t type) {
  switch (type) {
    case adCurrency:
    case adNumeric:
    case adDecimal:
      return Kind::kFloat;  // a plain number: formatted, not totalled
    case adDate:
    case adDBDate:
    case adDBTimeStamp:
      return Kind::kDate;
    case adInteger:
    case adSmallInt:
    case adBigInt:
    case adTinyInt:
      return Kind::kLongId;
    case adDouble:
    case adSingle:
      return Kind::kFloat;
    default:
      return Kind::kText;
  }
}

RecordsetPtr RecordsetOf(const std::string& name, const Variant& value) {
  if (value.IsEmpty() || value.IsNull() || value.IsNothing()) return nullptr;
  if (!value.IsObject()) {
    throw Error(kErrTypeMismatch, "ReportEngine",
                "the data list \"" + name + "\" holds a value, not a recordset");
  }
  const ObjectPtr& object = value.AsObject();
  if (auto rs = std::dynamic_pointer_cast<Recordset>(object)) return rs;
  if (auto dispatch = TryQueryInterface<IDispatch>(object);
      dispatch && dispatch->HasMember("Recordset")) {
    Variant inner = CallByName(object, "Recordset", InvokeKind::kPropertyGet);
    if (inner.IsObject()) {
      if (auto rs = std::dynamic_pointer_cast<Recordset>(inner.AsObject())) return rs;
    }
  }
  throw Error(kErrTypeMismatch, "ReportEngine",
              "the data list \"" + name + "\" is neither a recordset nor a list with one");
}

ReportList ReadList(const std::string& name, const Variant& value) {
  ReportList list;
  list.name = name;
  RecordsetPtr source = RecordsetOf(name, value);
  if (!source) return list;
  RecordsetPtr rs = source->Clone();
  rs->SetFilter(source->Filter());
  rs->SetSort(source->Sort());
  const size_t count = rs->Fields().Count();
  for (size_t i = 0; i < count; ++i) {
    Field field = rs->Fields().Item(i);
    const int32_t kind = field.Kind() != 0 ? field.Kind() : Code(KindOfFieldType(field.Type()));
    list.columns.push_back({field.Name(), kind});
  }
  if (rs->RecordCount() == 0) return list;
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
    std::vector<Variant> row;
    row.reserve(count);
    for (size_t i = 0; i < count; ++i) row.push_back(rs->Value(i));
    list.rows.push_back(std::move(row));
  }
  return list;
}

std::string WithComma(std::string text) {
  for (char& c : text) {
    if (c == '.') c = ',';
  }
  return text;
}

}  // namespace

std::optional<size_t> ReportList::Find(std::string_view name) const {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (EqualsIgnoreCase(columns[i].name, name)) return i;
  }
  return std::nullopt;
}

ReportDocument ReportDocument::FromValues(std::string_view report_class,
                                          const NamedValueList& values, Date printed) {
  ReportDocument doc;
  doc.report_class = std::string(report_class);
  doc.printed = printed;
  for (const NamedValuePtr& entry : values.Entries()) {
    if (entry->Kind() == Code(Kind::kObject)) {
      doc.lists.push_back(ReadList(entry->Name(), entry->Value()));
    } else {
      doc.values.push_back({entry->Name(), entry->Kind(), entry->Value()});
    }
  }
  return doc;
}

const ReportHeaderValue* ReportDocument::FindValue(std::string_view name) const {
  for (const ReportHeaderValue& value : values) {
    if (EqualsIgnoreCase(value.name, name)) return &value;
  }
  return nullptr;
}

const ReportList* ReportDocument::FindList(std::string_view name) const {
  for (const ReportList& list : lists) {
    if (EqualsIgnoreCase(list.name, name)) return &list;
  }
  return nullptr;
}

std::string FormatGrouped(Currency value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 4) decimals = 4;
  int64_t scaled = RoundScaled4(value.Scaled(), decimals);
  bool negative = scaled < 0;
  // The magnitude as unsigned so that the smallest value does not overflow.
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  uint64_t whole = magnitude / 10000;
  uint64_t fraction = magnitude % 10000;
  std::string digits = std::to_string(whole);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ' ';
    grouped += digits[i];
  }
  std::string out = negative ? "-" + grouped : grouped;
  if (decimals > 0) {
    std::string frac = std::to_string(fraction + 10000).substr(1);  // four digits
    out += ',' + frac.substr(0, static_cast<size_t>(decimals));
  }
  return out;
}

std::string FormatValue(const Variant& value, int32_t kind) {
  if (value.IsNull() || value.IsEmpty()) return "";
  if (value.IsObject()) return "";
  if (value.Type() == VarType::kDate) {
    Date date = value.AsDate();
    std::string text = date.DateOnly().ToIso().substr(0, 10);
    if (date.HasTime()) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, " %02d:%02d", date.Hour(), date.Minute());
      text += buffer;
    }
    return text;
  }
  if (value.Type() == VarType::kBoolean) return value.AsBool() ? "Taip" : "Ne";
  if (value.IsNumeric()) {
    switch (kind) {
      case Code(Kind::kMoney):
        return FormatGrouped(CCur(value), 2);
      case Code(Kind::kQuantity):
        return FormatGrouped(CCur(value), 3);
      case Code(Kind::kPrice):
      case Code(Kind::kWeight):
        return FormatGrouped(CCur(value), 4);
      default:
        return WithComma(CStr(value));
    }
  }
  return CStr(value);
}

}  // namespace qts::host
