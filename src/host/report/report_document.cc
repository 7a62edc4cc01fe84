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
#include "host/report/print_layout.h"

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

// Whether a table of `layout` printing the data list `list` reads its column `column`.
bool LayoutReads(const PrintLayout& layout, std::string_view list, std::string_view column) {
  for (const LayoutTable& table : layout.tables) {
    if (!EqualsIgnoreCase(table.list, list)) continue;
    for (const PrintLayoutColumn& c : table.columns) {
      if (EqualsIgnoreCase(c.name, column)) return true;
      if (c.when && EqualsIgnoreCase(c.when->column, column)) return true;
    }
    if (table.group) {
      for (const std::string& by : table.group->by) {
        if (EqualsIgnoreCase(by, column)) return true;
      }
    }
  }
  return false;
}

bool LayoutPrints(const PrintLayout& layout, std::string_view list) {
  for (const LayoutTable& table : layout.tables) {
    if (EqualsIgnoreCase(table.list, list)) return true;
  }
  return false;
}

// `printed_by`, when given, is the layout the list is read for: a list it prints is read in
// the columns it reads only.
ReportList ReadList(const std::string& name, const Variant& value, const PrintLayout* printed_by) {
  ReportList list;
  list.name = name;
  RecordsetPtr source = RecordsetOf(name, value);
  if (!source) return list;
  RecordsetPtr rs = source->Clone();
  // The rows as the source shows them; a clone without a filter or order shows them all in
  // the order they are kept.
  const Variant& filter = source->Filter();
  if (filter.Type() == VarType::kString) rs->SetFilter(filter);
  if (!source->Sort().empty()) rs->SetSort(source->Sort());
  const size_t count = rs->Fields().Count();
  for (size_t i = 0; i < count; ++i) {
    Field field = rs->Fields().Item(i);
    const int32_t kind = field.Kind() != 0 ? field.Kind() : Code(KindOfFieldType(field.Type()));
    list.columns.push_back({field.Name(), kind});
  }
  const long rows = rs->RecordCount();
  if (rows <= 0) return list;
  list.rows.reserve(static_cast<size_t>(rows));
  std::vector<size_t> read;
  if (printed_by && LayoutPrints(*printed_by, name)) {
    for (size_t i = 0; i < count; ++i) {
      if (LayoutReads(*printed_by, name, list.columns[i].name)) read.push_back(i);
    }
  }
  if (read.empty() || read.size() == count) {
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) rs->CopyValues(list.rows.emplace_back());
  } else {
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
      std::vector<Variant>& cells = list.rows.emplace_back(count);
      for (size_t i : read) cells[i] = rs->CopyValue(i);
    }
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
  return Read(report_class, values, printed, nullptr);
}

ReportDocument ReportDocument::FromValues(std::string_view report_class,
                                          const NamedValueList& values, Date printed,
                                          const PrintLayout& layout) {
  return Read(report_class, values, printed, &layout);
}

ReportDocument ReportDocument::Read(std::string_view report_class, const NamedValueList& values,
                                    Date printed, const PrintLayout* layout) {
  ReportDocument doc;
  doc.report_class = std::string(report_class);
  doc.printed = printed;
  for (const NamedValuePtr& entry : values.Entries()) {
    if (entry->Kind() == Code(Kind::kObject)) {
      doc.lists.push_back(ReadList(entry->Name(), entry->Value(), layout));
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

void AppendGrouped(std::string& out, Currency value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 4) decimals = 4;
  const int64_t scaled = RoundScaled4(value.Scaled(), decimals);
  // The magnitude as unsigned so that the smallest value does not overflow.
  const uint64_t magnitude =
      scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  uint64_t whole = magnitude / 10000;
  const uint64_t fraction = magnitude % 10000;
  // The whole digits from the right, a space before every third.
  char digits[32];
  size_t at = sizeof digits;
  int count = 0;
  do {
    if (count > 0 && count % 3 == 0) digits[--at] = ' ';
    digits[--at] = static_cast<char>('0' + whole % 10);
    whole /= 10;
    ++count;
  } while (whole > 0);
  if (scaled < 0) out += '-';
  out.append(digits + at, sizeof digits - at);
  if (decimals > 0) {
    out += ',';
    uint64_t divisor = 1000;
    for (int i = 0; i < decimals; ++i, divisor /= 10) {
      out += static_cast<char>('0' + fraction / divisor % 10);
    }
  }
}

std::string FormatGrouped(Currency value, int decimals) {
  std::string out;
  AppendGrouped(out, value, decimals);
  return out;
}

void AppendValue(std::string& out, const Variant& value, int32_t kind) {
  if (value.IsNull() || value.IsEmpty() || value.IsObject()) return;
  if (value.Type() == VarType::kDate) {
    const Date date = value.AsDate();
    out += date.DateOnly().ToIso();
    if (date.HasTime()) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, " %02d:%02d", date.Hour(), date.Minute());
      out += buffer;
    }
    return;
  }
  if (value.Type() == VarType::kBoolean) {
    out += value.AsBool() ? "Taip" : "Ne";
    return;
  }
  if (value.IsNumeric()) {
    switch (kind) {
      case Code(Kind::kMoney):
        return AppendGrouped(out, CCur(value), 2);
      case Code(Kind::kQuantity):
        return AppendGrouped(out, CCur(value), 3);
      case Code(Kind::kPrice):
      case Code(Kind::kWeight):
        return AppendGrouped(out, CCur(value), 4);
      default:
        out += WithComma(CStr(value));
        return;
    }
  }
  out += CStr(value);
}

std::string FormatValue(const Variant& value, int32_t kind) {
  std::string out;
  AppendValue(out, value, kind);
  return out;
}

}  // namespace qts::host
