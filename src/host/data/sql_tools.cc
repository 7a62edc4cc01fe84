#include "host/data/sql_tools.h"

#include <fmt/format.h>

#include <cmath>
#include <limits>

#include "core/convert.h"
#include "core/error.h"
#include "core/text.h"
#include "host/data/kind_codes.h"
#include "sql/fragment.h"
#include "sql/lexer.h"
#include "sql/literal_list.h"
#include "sql/sql_error.h"

namespace qts::host {
namespace {

constexpr std::string_view kSource = "SqlTools";

[[noreturn]] void Refuse(int32_t number, const std::string& description) {
  throw Error(number, std::string(kSource), description);
}

std::string Shorten(std::string_view text) {
  constexpr size_t kShown = 60;
  if (text.size() <= kShown) return std::string(text);
  return std::string(text.substr(0, kShown)) + "...";
}

std::string QuoteText(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) {
    Refuse(kErrTypeMismatch, "a text value holds a NUL character");
  }
  std::string out = "'";
  out.reserve(text.size() + 2);
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string NumberText(double value) {
  if (!std::isfinite(value)) Refuse(kErrTypeMismatch, "a number value is not finite");
  if (std::fabs(value) < 9.2e14) return Currency::FromDouble(value).ToString();
  return fmt::format("{}", value);
}

std::string DateText(const Date& date) { return QuoteText(date.ToIso()); }

// A scalar subquery the system writes as a value: "( SELECT ... )", its parentheses
// balanced, no statement break.
bool IsSubquery(std::string_view text) {
  if (!StripLeadingAsciiWhitespace(text).starts_with('(') || sql::HasStatementBreak(text)) {
    return false;
  }
  const std::vector<sql::Token> tokens = sql::Tokenize(text);  // readable: no statement break
  if (tokens.size() < 4 || !tokens[1].Is(sql::Keyword::kSelect)) return false;
  int depth = 0;
  for (size_t i = 0; i + 1 < tokens.size(); ++i) {
    if (tokens[i].Is('(')) ++depth;
    if (tokens[i].Is(')') && --depth == 0 && i + 2 != tokens.size()) return false;
  }
  return depth == 0;
}

std::string IntegerText(const Variant& value) {
  switch (value.Type()) {
    case VarType::kBoolean:
      return value.AsBool() ? "1" : "0";
    case VarType::kInteger:
    case VarType::kLong:
      return std::to_string(CLng(value));
    case VarType::kDouble:
    case VarType::kCurrency: {
      double d = CDbl(value);
      if (std::trunc(d) == d && std::fabs(d) < 9.2e18) {
        return std::to_string(static_cast<int64_t>(d));
      }
      return NumberText(d);
    }
    case VarType::kString: {
      const std::string& text = value.AsString();
      if (IsSubquery(text)) return text;
      std::optional<double> number = ParseNumber(text);
      if (number && sql::IsSingleLiteral(text)) return NumberText(*number);
      Refuse(kErrTypeMismatch, "\"" + Shorten(text) + "\" is not a number");
    }
    default:
      break;
  }
  Refuse(kErrTypeMismatch, "the value cannot be written as a number");
}

std::string ValueByType(const Variant& value) {
  switch (value.Type()) {
    case VarType::kBoolean:
      return value.AsBool() ? "1" : "0";
    case VarType::kInteger:
    case VarType::kLong:
      return std::to_string(CLng(value));
    case VarType::kDouble:
      return NumberText(value.AsDouble());
    case VarType::kCurrency:
      return value.AsCurrency().ToString();
    case VarType::kDate:
      return DateText(value.AsDate());
    case VarType::kString:
      return QuoteText(value.AsString());
    default:
      break;
  }
  Refuse(kErrTypeMismatch, "the value cannot be written as an SQL literal");
}

const char* OperatorText(int32_t op) {
  switch (op) {
    case kOpEqual:
      return "=";
    case kOpLess:
      return "<";
    case kOpLessOrEqual:
      return "<=";
    case kOpGreater:
      return ">";
    case kOpGreaterOrEqual:
      return ">=";
    case kOpNotEqual:
      return "<>";
    case kOpLike:
      return "LIKE";
    default:
      return nullptr;
  }
}

bool IsNullish(const Variant& v) { return v.IsNull() || v.IsEmpty(); }

}  // namespace

std::shared_ptr<SqlTools> SqlTools::Instance() {
  static const std::shared_ptr<SqlTools> instance = std::make_shared<SqlTools>();
  return instance;
}

std::string SqlTools::SqlValue(const Variant& value, int32_t kind) const {
  if (IsNullish(value)) return "NULL";
  if (value.IsObject()) Refuse(kErrTypeMismatch, "an object cannot be written as an SQL literal");
  switch (ClassOfKind(kind)) {
    case KindClass::kText:
      return QuoteText(value.Type() == VarType::kString ? value.AsString() : CStr(value));
    case KindClass::kInteger:
      return IntegerText(value);
    case KindClass::kNumber:
      if (value.Type() == VarType::kString) {
        std::optional<double> number = ParseNumber(value.AsString());
        if (!number || !sql::IsSingleLiteral(value.AsString())) {
          Refuse(kErrTypeMismatch, "\"" + Shorten(value.AsString()) + "\" is not a number");
        }
        return NumberText(*number);
      }
      if (value.Type() == VarType::kCurrency) return value.AsCurrency().ToString();
      if (value.Type() == VarType::kDate) break;
      return NumberText(CDbl(value));
    case KindClass::kDate:
      if (value.Type() == VarType::kDate) return DateText(value.AsDate());
      if (value.Type() == VarType::kString) {
        std::optional<Date> date = Date::ParseIso(value.AsString());
        if (!date) Refuse(kErrTypeMismatch, "\"" + Shorten(value.AsString()) + "\" is not a date");
        return DateText(*date);
      }
      break;
    case KindClass::kUnknown:
      return ValueByType(value);
  }
  Refuse(kErrTypeMismatch, "the value does not suit kind " + std::to_string(kind));
}

std::string SqlTools::ValueList(int32_t kind, const std::vector<Variant>& values) const {
  std::string out;
  for (const Variant& v : values) {
    if (!out.empty()) out += ", ";
    out += SqlValue(v, kind);
  }
  return out;
}

std::vector<std::string> SqlTools::SelectionLiterals(std::string_view selection) {
  try {
    return sql::ReadLiteralList(selection);
  } catch (const sql::SqlError&) {
    Refuse(kErrInvalidCall,
           "the selection \"" + Shorten(selection) + "\" is not a list of quoted codes or numbers");
  }
}

std::string SqlTools::Condition(const NamedValue& field, int32_t op, const Variant& value1,
                                const Variant& value2, const Variant& flag) const {
  std::string expression =
      field.Expression().empty() ? sql::QuoteName(field.Name()) : field.Expression();
  return ColumnCondition(expression, field.Kind(), op, value1, value2, flag);
}

std::string SqlTools::ColumnCondition(std::string_view expression, int32_t kind, int32_t op,
                                      const Variant& value1, const Variant& value2,
                                      const Variant& /*flag*/) const {
  std::string expr(expression);
  if (expr.empty()) Refuse(kErrInvalidCall, "a condition needs a column or expression");
  if (sql::HasStatementBreak(expr)) {
    Refuse(kErrInvalidCall,
           "the expression \"" + Shorten(expr) + "\" holds ';' or a comment, or cannot be read");
  }
  switch (op) {
    case kOpEqual:
      if (IsNullish(value1)) return expr + " IS NULL";
      break;
    case kOpNotEqual:
      if (IsNullish(value1)) return expr + " IS NOT NULL";
      break;
    case kOpInList: {
      std::vector<std::string> literals;
      if (value1.Type() == VarType::kString) {
        literals = SelectionLiterals(value1.AsString());
      } else {
        literals.push_back(SqlValue(value1, kind));
      }
      std::string list;
      for (const std::string& l : literals) list += (list.empty() ? "" : ", ") + l;
      return expr + " IN (" + list + ")";
    }
    case kOpBetween:
      return expr + " BETWEEN " + SqlValue(value1, kind) + " AND " + SqlValue(value2, kind);
    default:
      break;
  }
  const char* text = OperatorText(op);
  if (text == nullptr) Refuse(kErrInvalidCall, "unknown condition operator " + std::to_string(op));
  return expr + " " + text + " " + SqlValue(value1, kind);
}

std::string SqlTools::JoinConditions(int32_t how,
                                     const std::vector<std::string>& conditions) const {
  const char* word = how == kJoinAnd ? " AND " : how == kJoinOr ? " OR " : nullptr;
  if (word == nullptr) Refuse(kErrInvalidCall, "unknown condition join " + std::to_string(how));
  std::vector<const std::string*> parts;
  for (const std::string& c : conditions) {
    if (c.find_first_not_of(" \t\r\n") != std::string::npos) parts.push_back(&c);
  }
  if (parts.empty()) return "";
  if (parts.size() == 1) return *parts.front();
  std::string out;
  for (const std::string* p : parts) {
    if (!out.empty()) out += word;
    out += "(" + *p + ")";
  }
  return out;
}

}  // namespace qts::host
