#include "host/data/query.h"

#include <algorithm>
#include <limits>

#include "core/error.h"
#include "core/text.h"
#include "db/connection.h"
#include "db/trace.h"
#include "host/data/app_context.h"
#include "host/data/kind_codes.h"
#include "host/data/query_build.h"
#include "host/schema/schema.h"
#include "sql/fragment.h"
#include "sql/lexer.h"
#include "sql/sql_error.h"
#include "sql/translator.h"

namespace qts::host {
namespace {

[[noreturn]] void Fail(const std::string& description) {
  throw Error(kErrQuery, "Query", description);
}

void CheckAlias(std::string_view alias) {
  if (!sql::IsPlainIdentifier(alias)) {
    throw Error(kErrInvalidCall, "Query", "\"" + std::string(alias) + "\" is not an alias");
  }
}

void CheckFragment(std::string_view text, std::string_view what) {
  if (sql::HasStatementBreak(text)) {
    throw Error(kErrInvalidCall, "Query",
                std::string(what) + " \"" + std::string(text.substr(0, 60)) +
                    "\" holds ';' or a comment, or cannot be read");
  }
}

// How a result column's values are read from the backend.
enum class Reading { kCurrency, kLong, kDate, kString, kDouble, kBoolean, kAny };

Reading ReadingOf(int32_t kind, sql::SqlType type) {
  switch (ClassOfKind(kind)) {
    case KindClass::kInteger:
      return Reading::kLong;
    case KindClass::kNumber:
      return kind == Code(Kind::kFloat) ? Reading::kDouble : Reading::kCurrency;
    case KindClass::kText:
      return Reading::kString;
    case KindClass::kDate:
      return Reading::kDate;
    case KindClass::kUnknown:
      break;
  }
  switch (type) {
    case sql::SqlType::kInteger:
      return Reading::kLong;
    case sql::SqlType::kNumber:
      return Reading::kCurrency;
    case sql::SqlType::kFloat:
      return Reading::kDouble;
    case sql::SqlType::kText:
      return Reading::kString;
    case sql::SqlType::kDate:
      return Reading::kDate;
    case sql::SqlType::kBoolean:
      return Reading::kBoolean;
    case sql::SqlType::kUnknown:
      break;
  }
  return Reading::kAny;
}

int32_t FieldTypeOf(Reading reading) {
  switch (reading) {
    case Reading::kCurrency:
      return adCurrency;
    case Reading::kLong:
      return adInteger;
    case Reading::kDate:
      return adDate;
    case Reading::kString:
      return adVarWChar;
    case Reading::kDouble:
      return adDouble;
    case Reading::kBoolean:
      return adBoolean;
    case Reading::kAny:
      break;
  }
  return adVariant;
}

Variant AnyValue(const db::Statement& s, int column) {
  switch (s.ColumnKind(column)) {
    case db::ValueKind::kNull:
      return Variant::Null();
    case db::ValueKind::kInteger: {
      int64_t v = s.GetInt64(column);
      if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()) {
        return Variant(static_cast<int32_t>(v));
      }
      return Variant(static_cast<double>(v));
    }
    case db::ValueKind::kReal:
      return Variant(s.GetDouble(column));
    case db::ValueKind::kText:
    case db::ValueKind::kBlob:
    case db::ValueKind::kMoney:
      break;
  }
  return Variant(s.GetTextView(column));
}

// A money value where the column reads as `reading`.
Variant MoneyAs(Currency value, Reading reading) {
  switch (reading) {
    case Reading::kCurrency:
      return Variant(value);
    case Reading::kString:
      return Variant(value.ToString());
    default:
      return Variant(value.ToDouble());
  }
}

// `money`: the translator typed the column as money, which the backend reads as Currency.
Variant ReadValue(const db::Statement& s, int column, Reading reading, bool money) {
  db::ValueKind storage = s.ColumnKind(column);
  if (storage == db::ValueKind::kNull) return Variant::Null();
  if (money) return MoneyAs(s.GetCurrency(column), reading);
  switch (reading) {
    case Reading::kCurrency:
      if (storage == db::ValueKind::kInteger)
        return Variant(Currency::FromLong(s.GetInt64(column)));
      if (storage == db::ValueKind::kReal)
        return Variant(Currency::FromDouble(s.GetDouble(column)));
      if (std::optional<Currency> c = Currency::Parse(s.GetTextView(column))) return Variant(*c);
      break;
    case Reading::kLong:
    case Reading::kBoolean:
      if (storage == db::ValueKind::kInteger || storage == db::ValueKind::kReal) {
        Variant v = AnyValue(s, column);
        if (reading == Reading::kBoolean && v.Type() == VarType::kLong) {
          return Variant(v.AsLong() != 0);
        }
        return v;
      }
      break;
    case Reading::kDate:
      if (storage == db::ValueKind::kText) {
        if (std::optional<Date> d = Date::ParseIso(s.GetTextView(column))) return Variant(*d);
      }
      break;
    case Reading::kString:
      if (storage == db::ValueKind::kText) return Variant(s.GetTextView(column));
      return Variant(s.GetText(column));
    case Reading::kDouble:
      if (storage == db::ValueKind::kInteger || storage == db::ValueKind::kReal) {
        return Variant(s.GetDouble(column));
      }
      break;
    case Reading::kAny:
      break;
  }
  return AnyValue(s, column);
}

// Loads the statement's rows into the recordset, each cell as ReadValue reads it; the common
// cases go straight to the store without making a Variant.
class RecordsetLoader final : public db::RowVisitor {
 public:
  RecordsetLoader(Recordset& recordset, const db::Statement& statement,
                  const std::vector<Reading>& readings, const std::vector<bool>& money)
      : recordset_(recordset), statement_(statement), readings_(readings), money_(money) {}

  // Appends a record and loads the statement's current row into it.
  void LoadRow() {
    recordset_.NewRow();
    statement_.ReadRow(*this, money_);
  }

  void Money(int column, Currency value) override {
    if (readings_[column] == Reading::kCurrency) {
      recordset_.Currency(Field(column), value);
    } else {
      recordset_.Value(Field(column), MoneyAs(value, readings_[column]));
    }
  }

  void Null(int column) override { recordset_.Null(Field(column)); }

  void Integer(int column, int64_t value) override {
    switch (readings_[column]) {
      case Reading::kCurrency:
        recordset_.Currency(Field(column), Currency::FromLong(value));
        return;
      case Reading::kLong:
      case Reading::kAny:
        // As AnyValue reads it: a Long when it fits, else a Double.
        if (value >= std::numeric_limits<int32_t>::min() &&
            value <= std::numeric_limits<int32_t>::max()) {
          recordset_.Long(Field(column), static_cast<int32_t>(value));
        } else {
          recordset_.Double(Field(column), static_cast<double>(value));
        }
        return;
      case Reading::kDouble:
        recordset_.Double(Field(column), static_cast<double>(value));
        return;
      default:
        break;
    }
    Slow(column);
  }

  void Real(int column, double value) override {
    switch (readings_[column]) {
      case Reading::kCurrency:
        recordset_.Currency(Field(column), Currency::FromDouble(value));
        return;
      case Reading::kDouble:
      case Reading::kLong:
      case Reading::kAny:
        recordset_.Double(Field(column), value);
        return;
      default:
        break;
    }
    Slow(column);
  }

  void Text(int column, std::string_view value) override {
    if (readings_[column] == Reading::kString || readings_[column] == Reading::kAny) {
      recordset_.Text(Field(column), value);
      return;
    }
    if (readings_[column] == Reading::kDate) {
      if (std::optional<Date> date = Date::ParseIso(value)) {
        recordset_.Date(Field(column), *date);
        return;
      }
    }
    Slow(column);
  }

  void Bytes(int column, const db::Blob& /*value*/) override { Slow(column); }

 private:
  static size_t Field(int column) { return static_cast<size_t>(column); }
  void Slow(int column) {
    recordset_.Value(Field(column), ReadValue(statement_, column, readings_[column], false));
  }

  Recordset::Appender recordset_;
  const db::Statement& statement_;
  const std::vector<Reading>& readings_;
  const std::vector<bool>& money_;
};

// A column whose SQL expression a result filter may name, with the expression's tokens.
struct NamedExpression {
  const OutputColumn* column;
  std::vector<sql::Token> tokens;  // without the end token; never empty
};

// The columns computed by an expression ("G.SubCategory", "ROUND(oTable.FreeAmount, 4)"),
// the longest expressions first. Constants and bare names are left out: "0" or "Amount" may
// mean themselves.
std::vector<NamedExpression> ComputedColumns(const std::vector<OutputColumn>& columns) {
  std::vector<NamedExpression> computed;
  for (const OutputColumn& c : columns) {
    if (c.expression.find_first_of(".(") == std::string::npos || c.expression == c.name ||
        sql::IsSingleLiteral(c.expression)) {
      continue;
    }
    try {
      std::vector<sql::Token> tokens = sql::Tokenize(c.expression);
      tokens.pop_back();
      if (!tokens.empty()) computed.push_back({&c, std::move(tokens)});
    } catch (const sql::SqlError&) {
      // Not an expression a condition can hold.
    }
  }
  std::stable_sort(computed.begin(), computed.end(),
                   [](const auto& a, const auto& b) { return a.tokens.size() > b.tokens.size(); });
  return computed;
}

// Whether `tokens` (ending with the end token) hold `expression` from `at` on, in any case.
bool HoldsAt(const std::vector<sql::Token>& tokens, size_t at,
             const std::vector<sql::Token>& expression) {
  if (at + expression.size() >= tokens.size()) return false;
  for (size_t k = 0; k < expression.size(); ++k) {
    if (tokens[at + k].kind != expression[k].kind ||
        !EqualsIgnoreCase(tokens[at + k].text, expression[k].text)) {
      return false;
    }
  }
  return true;
}

// A result filter names the finished rows' columns, but a caller builds it with
// SqlTools.Condition on the query's own column list, whose entries carry their SQL expressions
// ("G.SubCategory <> 101", "ROUND(oTable.FreeAmount, 4) > 0"). Each occurrence of a column's
// expression - the same tokens, any case, not after a '.' - becomes the column's name in
// brackets; longer expressions are tried first. A text the lexer cannot read is left to the
// filter, which names what it cannot read.
std::string ColumnNamesForExpressions(std::string_view text,
                                      const std::vector<OutputColumn>& columns) {
  std::vector<sql::Token> tokens;
  try {
    tokens = sql::Tokenize(text);
  } catch (const sql::SqlError&) {
    return std::string(text);
  }
  const std::vector<NamedExpression> computed = ComputedColumns(columns);
  std::string out;
  size_t copied = 0;
  for (size_t i = 0; i + 1 < tokens.size();) {
    const NamedExpression* hit = nullptr;
    if (i == 0 || !tokens[i - 1].Is('.')) {
      for (const NamedExpression& c : computed) {
        if (HoldsAt(tokens, i, c.tokens)) {
          hit = &c;
          break;
        }
      }
    }
    if (hit == nullptr) {
      ++i;
      continue;
    }
    const sql::Token& last = tokens[i + hit->tokens.size() - 1];
    out.append(text.substr(copied, tokens[i].offset - copied));
    out += "[" + hit->column->name + "]";
    copied = last.offset + last.text.size();
    i += hit->tokens.size();
  }
  out.append(text.substr(copied));
  return out;
}

}  // namespace

std::shared_ptr<Query> Query::Create(std::shared_ptr<AppContext> book, std::string_view table) {
  return std::shared_ptr<Query>(new Query(std::move(book), std::string(table)));
}

Query::Query(std::shared_ptr<AppContext> book, std::string table)
    : book_(std::move(book)),
      fields_(std::make_shared<NamedValueList>()),
      parameters_(std::make_shared<NamedValueList>()) {
  if (table.empty()) return;
  const schema::SourceDef* def = schema::FindSourceDef(table);
  if (def == nullptr) {
    throw Error(kErrInvalidCall, "Query", "the book has no table \"" + table + "\"");
  }
  table_ = def->name;
  parameterised_ = def->kind == schema::SourceKind::kParameterised ||
                   (def->kind == schema::SourceKind::kView && !def->plain_sql.empty() &&
                    schema::PlainStockSources());
  for (const schema::ColumnDef& c : def->columns) {
    fields_->AddColumn(c.name, KindOfSqlType(c.type), alias_ + "." + sql::QuoteName(c.name));
  }
  for (const schema::ParameterDef& p : def->parameters) {
    Kind kind = KindOfSqlType(p.type);
    if (kind == Kind::kText) kind = Kind::kCode;
    parameters_->Add(p.name, kind);
  }
}

Query::~Query() = default;

AppContext& Query::Book() const { return *book_; }

NamedValueList& Query::Fields() { return row_ ? *row_ : *fields_; }

void Query::SetAlias(std::string_view alias) {
  CheckAlias(alias);
  std::string old = alias_;
  std::string next(alias);
  auto rename = [&](std::string& text) {
    if (!text.empty()) text = sql::RenameQualifier(text, old, next);
  };
  rename(where_);
  rename(order_by_);
  for (Join& j : joins_) rename(j.condition);
  for (const NamedValuePtr& f : fields_->Entries()) {
    std::string expression = f->Expression();
    rename(expression);
    f->SetExpression(std::move(expression));
  }
  alias_ = std::move(next);
}

void Query::SetTop(int32_t rows) {
  if (rows < 0) throw Error(kErrInvalidCall, "Query", "Top must not be negative");
  top_ = rows;
}

void Query::AddWhere(std::string_view condition) {
  CheckFragment(condition, "the condition");
  std::string text(condition);
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) return;
  if (where_.empty() || text.find(where_) != std::string::npos) {
    where_ = std::move(text);
  } else {
    where_ = "(" + where_ + ") AND (" + text + ")";
  }
}

void Query::OrderBy(std::string_view columns) {
  CheckFragment(columns, "the order");
  order_by_ = std::string(columns);
}

void Query::AddJoin(std::shared_ptr<Query> other, std::string_view alias,
                    std::string_view condition, int32_t join_kind) {
  if (!other) Fail("a join needs a query");
  if (other.get() == this) Fail("a query cannot join itself");
  CheckAlias(alias);
  CheckFragment(condition, "the join condition");
  if (join_kind != kJoinInner && join_kind != kJoinLeftOuter) {
    Fail("join kind " + std::to_string(join_kind) + " is neither 0 (inner) nor 1 (left outer)");
  }
  if (condition.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    Fail("the join \"" + std::string(alias) + "\" has no condition");
  }
  joins_.push_back({std::move(other), std::string(alias), std::string(condition), join_kind});
}

void Query::InnerJoin(std::shared_ptr<Query> other, std::string_view alias,
                      std::string_view condition, int32_t join_kind, int32_t /*reserved*/) {
  AddJoin(std::move(other), alias, condition, join_kind);
}

void Query::LeftJoin(std::shared_ptr<Query> other, std::string_view alias,
                     std::string_view condition, int32_t join_kind, int32_t /*reserved*/) {
  AddJoin(std::move(other), alias, condition, join_kind);
}

void Query::FromQuery(std::shared_ptr<Query> inner, std::string_view alias, Variant extra) {
  if (!inner) Fail("FromQuery needs a query");
  if (inner.get() == this) Fail("a query cannot select from itself");
  if (!table_.empty() || from_) Fail("the query has a source already");
  CheckAlias(alias);
  std::vector<OutputColumn> columns = QueryBuild::Columns(*inner);
  fields_->Clear();
  alias_ = std::string(alias);
  for (const OutputColumn& c : columns) {
    fields_->AddColumn(c.name, c.kind, alias_ + "." + sql::QuoteName(c.name));
  }
  from_ = std::move(inner);
  from_extra_ = std::move(extra);
}

void Query::Union(std::shared_ptr<Query> other, std::string_view alias, Variant flag) {
  if (!other || other.get() == this) Fail("Union needs another query");
  unions_.push_back({std::move(other), std::string(alias), std::move(flag)});
}

std::string Query::SqlText() const { return QueryBuild().Select(*this, true); }

std::string Query::StatementText() const { return QueryBuild().Select(*this, false); }

std::string Query::TranslatedText() const {
  const std::string tsql = StatementText();
  std::string sql = sql::Translate(tsql, Book().Catalogue(), Book().Dialect());
  db::NoteTranslation(sql, tsql);
  return sql;
}

std::vector<std::string> Query::OutputNames() const {
  std::vector<std::string> names;
  for (const OutputColumn& c : QueryBuild::Columns(*this)) names.push_back(c.name);
  return names;
}

void Query::Open() {
  std::vector<OutputColumn> columns = QueryBuild::Columns(*this);
  const std::string tsql = StatementText();
  // A query opened again with the same text (a report run again) takes the book's kept
  // translation.
  const std::shared_ptr<const sql::Translation> translated = Book().Shapes().TranslateQuery(tsql);
  const sql::Translation& translation = *translated;
  db::NoteTranslation(translation.sql, tsql);
  if (translation.columns.size() != columns.size()) {
    Fail("the statement gives " + std::to_string(translation.columns.size()) +
         " columns where the query has " + std::to_string(columns.size()));
  }
  auto recordset = std::make_shared<Recordset>();
  auto row = std::make_shared<NamedValueList>();
  std::vector<Reading> readings;
  std::vector<bool> money;
  for (size_t i = 0; i < columns.size(); ++i) {
    Reading reading = ReadingOf(columns[i].kind, translation.columns[i].type);
    readings.push_back(reading);
    money.push_back(translation.columns[i].type == sql::SqlType::kNumber);
    recordset->Fields().Append(columns[i].name, FieldTypeOf(reading), translation.columns[i].length,
                               adFldIsNullable | adFldMayBeNull | adFldUpdatable, columns[i].kind);
    NamedValuePtr own = i < fields_->Count() ? fields_->Entries()[i] : nullptr;
    if (own && own->Name() == columns[i].name) {
      row->Append(own);
    } else {
      row->Add(columns[i].name, columns[i].kind);
    }
  }
  recordset->Open();
  // The store grows as rows arrive: counting them first would run the statement twice.
  db::StatementHandle statement = Book().Connection().Prepare(translation.sql);
  RecordsetLoader loader(*recordset, *statement, readings, money);
  while (statement->Step()) loader.LoadRow();
  if (!result_filter_.empty()) recordset->SetFilter(Variant(result_filter_));
  if (!sort_.empty()) recordset->SetSort(sort_);
  if (recordset->RecordCount() > 0) recordset->MoveFirst();
  recordset_ = std::move(recordset);
  row_ = std::move(row);
  SyncRow();
}

void Query::Requery() {
  if (!recordset_) Fail("the query is not open");
  const Variant filter = recordset_->Filter();
  const std::string sort = recordset_->Sort();
  const bool at_end = recordset_->Eof();
  const long position = recordset_->RecordCount() > 0 ? recordset_->AbsolutePosition() : 0;
  Open();
  Recordset& rs = *recordset_;
  if (!filter.SameAs(rs.Filter())) rs.SetFilter(filter);
  if (sort != rs.Sort()) rs.SetSort(sort);
  const long count = rs.RecordCount();
  if (!at_end && position >= 1 && position <= count) {
    rs.SetAbsolutePosition(position);
  } else if (count > 0 && (at_end || position > count)) {
    rs.MoveLast();
    rs.MoveNext();
  } else if (count > 0) {
    rs.MoveFirst();
  }
  SyncRow();
}

void Query::Close() {
  recordset_.reset();
  row_.reset();
}

void Query::SyncRow() {
  if (!recordset_) return;
  if (recordset_->Eof() || recordset_->Bof()) {
    row_->ClearValues();
    return;
  }
  const std::vector<NamedValuePtr>& entries = row_->Entries();
  recordset_->CopyValues(row_values_);
  if (entries.size() > row_values_.size()) recordset_->Fields().Item(row_values_.size());  // 3265
  for (size_t i = 0; i < entries.size(); ++i) entries[i]->SetValue(std::move(row_values_[i]));
}

void Query::MoveFirst() {
  if (!recordset_) Fail("the query is not open");
  if (recordset_->RecordCount() > 0) recordset_->MoveFirst();
  SyncRow();
}

void Query::MoveNext() {
  if (!recordset_) Fail("the query is not open");
  recordset_->MoveNext();
  SyncRow();
}

bool Query::Eof() const {
  if (!recordset_) Fail("the query is not open");
  return recordset_->Eof();
}

long Query::RecordCount() const {
  if (!recordset_) Fail("the query is not open");
  return recordset_->RecordCount();
}

void Query::AddResultFilter(std::string_view condition) {
  std::string text = ColumnNamesForExpressions(condition, QueryBuild::Columns(*this));
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) return;
  std::string combined = result_filter_.empty() ? text : result_filter_ + " AND " + text;
  if (recordset_) {
    recordset_->SetFilter(Variant(combined));  // raises 3001 and keeps the old filter
    SyncRow();
  }
  result_filter_ = std::move(combined);
}

void Query::Sort(std::string_view columns) {
  if (recordset_) {
    recordset_->SetSort(columns);
    SyncRow();
  }
  sort_ = std::string(columns);
}

RecordsetPtr Query::OpenRecordset() {
  if (!recordset_) Fail("the query is not open");
  return recordset_;
}

}  // namespace qts::host
