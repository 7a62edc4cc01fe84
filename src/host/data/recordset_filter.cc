#include "host/data/recordset_filter.h"

#include <fmt/format.h>

#include <algorithm>
#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "core/text.h"
#include "host/data/recordset_values.h"

namespace qts::host {

namespace {

[[noreturn]] void BadFilter(std::string_view text, std::string_view why) {
  RaiseAdo(kAdErrInvalidArgument, fmt::format("Filter \"{}\" cannot be applied: {}", text, why));
}

std::optional<Date> ParseFilterDate(std::string_view text) {
  if (std::optional<Date> iso = Date::ParseIso(text)) return iso;
  // m/d/yyyy, as ADO reads #dates#.
  int parts[3] = {0, 0, 0};
  int part = 0;
  size_t i = 0;
  for (; i < text.size() && part < 3; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      parts[part] = parts[part] * 10 + (c - '0');
      if (parts[part] > 9999) return std::nullopt;
    } else if (c == '/' && part < 2) {
      ++part;
    } else {
      break;
    }
  }
  if (part != 2 || i != text.size()) return std::nullopt;
  auto [m, d, y] = parts;
  if (m < 1 || m > 12 || d < 1 || d > 31 || y < 100) return std::nullopt;
  Date date = Date::FromYmd(y, m, d);
  if (date.Month() != m) return std::nullopt;  // 2/30/2024
  return date;
}

}  // namespace

RecordFilter RecordFilter::Parse(std::string_view text, const std::vector<FieldDef>& fields,
                                 const ColumnLookup& find_column) {
  TextReader lex{text};

  auto parse_value = [&](const FieldDef& field, Criterion& c) {
    char first = lex.Peek();
    Variant raw;
    if (first == '\'') {
      std::string value;
      size_t i = lex.pos + 1;
      while (true) {
        if (i >= text.size()) BadFilter(text, "a quoted value is not closed");
        if (text[i] == '\'') {
          if (i + 1 < text.size() && text[i + 1] == '\'') {
            value += '\'';
            i += 2;
            continue;
          }
          break;
        }
        value += text[i++];
      }
      lex.pos = i + 1;
      raw = Variant(std::move(value));
    } else if (first == '#') {
      size_t end = text.find('#', lex.pos + 1);
      if (end == std::string_view::npos) BadFilter(text, "a #date# is not closed");
      std::string_view inner = text.substr(lex.pos + 1, end - lex.pos - 1);
      std::optional<Date> date = ParseFilterDate(inner);
      if (!date) BadFilter(text, fmt::format("#{}# is not a date", inner));
      lex.pos = end + 1;
      raw = Variant(*date);
    } else if (lex.TakeKeyword("NULL")) {
      if (c.op != Op::kEq && c.op != Op::kNe) {
        BadFilter(text, "NULL compares only with = or <>");
      }
      c.op = c.op == Op::kEq ? Op::kIsNull : Op::kIsNotNull;
      return;
    } else if (lex.TakeKeyword("TRUE")) {
      raw = Variant(true);
    } else if (lex.TakeKeyword("FALSE")) {
      raw = Variant(false);
    } else {
      size_t start = lex.pos;
      if (lex.pos < text.size() && text[lex.pos] == '$') ++start, ++lex.pos;
      while (lex.pos < text.size() && text[lex.pos] != ' ' && text[lex.pos] != ')' &&
             text[lex.pos] != '\t') {
        ++lex.pos;
      }
      std::string_view number = text.substr(start, lex.pos - start);
      std::optional<double> parsed;
      try {
        parsed = ParseNumber(number);
      } catch (const Error&) {
      }
      if (!parsed) BadFilter(text, fmt::format("\"{}\" is not a value", number));
      raw = Variant(*parsed);
    }
    if (c.op == Op::kLike) {
      if (raw.Type() != VarType::kString) BadFilter(text, "LIKE needs a quoted pattern");
      if (!IsTextType(field.type) && field.type != adVariant) {
        BadFilter(text, fmt::format("LIKE on field \"{}\", which is not text", field.name));
      }
      std::string pattern = raw.AsString();
      auto is_wild = [](char ch) { return ch == '*' || ch == '%'; };
      if (!pattern.empty() && is_wild(pattern.back())) {
        c.wild_end = true;
        pattern.pop_back();
      }
      if (!pattern.empty() && is_wild(pattern.front())) {
        c.wild_start = true;
        pattern.erase(0, 1);
      }
      if (c.wild_start && !c.wild_end) {
        BadFilter(text, "a LIKE pattern may start with a wildcard only when it also ends with one");
      }
      if (std::any_of(pattern.begin(), pattern.end(), is_wild)) {
        BadFilter(text, "wildcards are allowed only at the end (or at both ends) of a pattern");
      }
      c.pattern = LCase(pattern);
      return;
    }
    try {
      FieldDef nullable = field;
      nullable.attributes = adFldIsNullable;
      c.value = CoerceToField(nullable, std::move(raw));
    } catch (const Error&) {
      BadFilter(text, fmt::format("the value does not suit field \"{}\"", field.name));
    }
  };

  auto parse_criterion = [&]() {
    std::optional<std::string> name = lex.TakeName();
    if (!name) BadFilter(text, fmt::format("a field name is expected at position {}", lex.pos + 1));
    std::optional<size_t> column = find_column(*name);
    // A condition built on a query column names it by its expression ("G.SubCategory"); the
    // opened rows carry the column's own name, the part after the qualifier.
    if (!column) {
      if (size_t dot = name->rfind('.'); dot != std::string::npos && dot + 1 < name->size()) {
        column = find_column(std::string_view(*name).substr(dot + 1));
      }
    }
    if (!column) BadFilter(text, fmt::format("there is no field \"{}\"", *name));
    Criterion c{*column, Op::kEq, Variant(), {}, false, false};
    lex.SkipBlanks();
    std::string_view rest = text.substr(lex.pos);
    if (rest.starts_with("<=")) {
      c.op = Op::kLe, lex.pos += 2;
    } else if (rest.starts_with(">=")) {
      c.op = Op::kGe, lex.pos += 2;
    } else if (rest.starts_with("<>")) {
      c.op = Op::kNe, lex.pos += 2;
    } else if (rest.starts_with("<")) {
      c.op = Op::kLt, lex.pos += 1;
    } else if (rest.starts_with(">")) {
      c.op = Op::kGt, lex.pos += 1;
    } else if (rest.starts_with("=")) {
      c.op = Op::kEq, lex.pos += 1;
    } else if (lex.TakeKeyword("LIKE")) {
      c.op = Op::kLike;
    } else {
      BadFilter(text, fmt::format("an operator is expected after \"{}\"", *name));
    }
    parse_value(fields[*column], c);
    return c;
  };

  // expr := term (OR term)*; term := factor (AND factor)*; factor := '(' expr ')' | criterion.
  // The result is an OR of AND groups; a factor holding an OR may not be joined by AND.
  std::function<std::vector<Conjunction>(int)> parse_expr;
  auto parse_factor = [&](int depth) -> std::vector<Conjunction> {
    if (lex.Peek() == '(') {
      ++lex.pos;
      std::vector<Conjunction> inner = parse_expr(depth + 1);
      if (lex.Peek() != ')') BadFilter(text, "a parenthesis is not closed");
      ++lex.pos;
      return inner;
    }
    return {Conjunction{parse_criterion()}};
  };
  auto parse_term = [&](int depth) -> std::vector<Conjunction> {
    std::vector<Conjunction> result = parse_factor(depth);
    while (lex.TakeKeyword("AND")) {
      std::vector<Conjunction> next = parse_factor(depth);
      if (result.size() > 1 || next.size() > 1) {
        BadFilter(text, "clauses joined by OR may not be grouped and joined by AND");
      }
      result[0].insert(result[0].end(), next[0].begin(), next[0].end());
    }
    return result;
  };
  parse_expr = [&](int depth) -> std::vector<Conjunction> {
    if (depth > 32) BadFilter(text, "parentheses nested too deep");
    std::vector<Conjunction> result = parse_term(depth);
    while (lex.TakeKeyword("OR")) {
      std::vector<Conjunction> next = parse_term(depth);
      result.insert(result.end(), next.begin(), next.end());
    }
    return result;
  };
  RecordFilter filter;
  filter.groups_ = parse_expr(0);
  if (!lex.AtEnd()) {
    BadFilter(text, fmt::format("unexpected \"{}\"", text.substr(lex.pos)));
  }
  return filter;
}

bool RecordFilter::Matches(const CellReader& cell) const {
  auto test = [&](const Criterion& c) {
    const Variant& value = cell(c.column);
    bool is_null = value.IsNull() || value.IsEmpty();
    switch (c.op) {
      case Op::kIsNull:
        return is_null;
      case Op::kIsNotNull:
        return !is_null;
      case Op::kLike: {
        if (is_null) return false;
        std::string folded;
        try {
          folded = LCase(CStr(value));
        } catch (const Error&) {
          return false;
        }
        if (c.wild_start) return folded.find(c.pattern) != std::string::npos;
        if (c.wild_end) return folded.starts_with(c.pattern);
        return folded == c.pattern;
      }
      default:
        break;
    }
    if (is_null) return false;
    int cmp = CompareRecordValues(value, c.value);
    switch (c.op) {
      case Op::kEq:
        return cmp == 0;
      case Op::kNe:
        return cmp != 0;
      case Op::kLt:
        return cmp < 0;
      case Op::kLe:
        return cmp <= 0;
      case Op::kGt:
        return cmp > 0;
      case Op::kGe:
        return cmp >= 0;
      default:
        return false;
    }
  };
  return std::any_of(groups_.begin(), groups_.end(), [&](const Conjunction& group) {
    return std::all_of(group.begin(), group.end(), test);
  });
}

}  // namespace qts::host
