#include "host/data/query_build.h"

#include <algorithm>
#include <map>
#include <set>

#include "core/error.h"
#include "core/text.h"
#include "host/data/app_context.h"
#include "host/data/kind_codes.h"
#include "host/data/sql_tools.h"
#include "host/schema/schema.h"
#include "sql/fragment.h"

namespace qts::host {
namespace {

[[noreturn]] void Fail(const std::string& description) {
  throw Error(kErrQuery, "Query", description);
}

std::string Rename(const std::string& text, const std::string& from, const std::string& to) {
  if (text.empty() || EqualsIgnoreCase(from, to)) return text;
  return sql::RenameQualifier(text, from, to);
}

std::string ColumnExpression(const NamedValue& field, const std::string& alias) {
  if (!field.Expression().empty()) return field.Expression();
  return sql::QuoteName(alias) + "." + sql::QuoteName(field.Name());
}

bool HasAggregate(const NamedValueList& fields) {
  for (const NamedValuePtr& f : fields.Entries()) {
    if (f->Aggregate() != kAggregateNone) return true;
  }
  return false;
}

}  // namespace

bool QueryBuild::Mergeable(const Query& q) {
  return !q.table_.empty() && !q.from_ && q.unions_.empty() && !q.distinct_ && q.top_ == 0 &&
         q.order_by_.empty() && !HasAggregate(*q.fields_);
}

bool QueryBuild::IsPlainSelection(const Query& q) {
  if (!Mergeable(q) || q.parameterised_) return false;
  const schema::SourceDef* def = schema::FindSourceDef(q.table_);
  if (def == nullptr || def->kind != schema::SourceKind::kTable) return false;
  for (const Query::Join& j : q.joins_) {
    if (!IsPlainSelection(*j.query)) return false;
  }
  return true;
}

void QueryBuild::JoinColumns(const Query& joined, const std::string& alias,
                             std::vector<OutputColumn>& out) {
  // A query joined as a derived table (grouped, distinct, TOP, derived, union) adds no output
  // columns: its columns are reached through "alias.column" in expressions. Reports join such
  // queries (spent quantities, manufactured goods) for their conditions and rely on the output
  // being their own columns only, in unions aligned by position and in GROUP BY lists.
  if (!Mergeable(joined)) return;
  for (const NamedValuePtr& f : joined.fields_->Entries()) {
    out.push_back({alias + "." + f->Name(), f->Kind(),
                   Rename(ColumnExpression(*f, joined.alias_), joined.alias_, alias),
                   kAggregateNone});
  }
  for (const Query::Join& sub : joined.joins_) JoinColumns(*sub.query, sub.alias, out);
}

std::vector<OutputColumn> QueryBuild::Columns(const Query& q) {
  std::vector<OutputColumn> out;
  for (const NamedValuePtr& f : q.fields_->Entries()) {
    out.push_back({f->Name(), f->Kind(), ColumnExpression(*f, q.alias_), f->Aggregate()});
  }
  for (const Query::Join& j : q.joins_) JoinColumns(*j.query, j.alias, out);
  return out;
}

std::string QueryBuild::ParameterLiteral(const Query& q, const std::string& name, int32_t kind) {
  const NamedValue* own = q.parameters_->Find(name);
  const NamedValue* chosen = (own && !own->Value().IsEmpty()) ? own : nullptr;
  for (auto it = parameters_.rbegin(); chosen == nullptr && it != parameters_.rend(); ++it) {
    const NamedValue* p = (*it)->Find(name);
    if (p && !p->Value().IsEmpty()) chosen = p;
  }
  if (chosen == nullptr) {
    Fail("parameter \"" + name + "\" of \"" + q.table_ + "\" (alias " + q.alias_ +
         ") has no value");
  }
  int32_t value_kind = chosen->Kind() != Code(Kind::kNone) ? chosen->Kind() : kind;
  return SqlTools::Instance()->SqlValue(chosen->Value(), value_kind);
}

std::string QueryBuild::MainSource(const Query& q) {
  if (q.from_) return "(" + Select(*q.from_, true) + ")";
  if (q.table_.empty()) {
    Fail("the query has no source: give it one with FromQuery");
  }
  if (!q.parameterised_) return sql::QuoteName(q.table_);
  const schema::SourceDef* def = schema::FindSourceDef(q.table_);
  std::map<std::string, std::string> literals;
  for (const schema::ParameterDef& p : def->parameters) {
    literals[p.name] = ParameterLiteral(q, p.name, Code(KindOfSqlType(p.type)));
  }
  return "(" + schema::SourceSql(q.table_, literals) + ")";
}

void QueryBuild::AddJoin(Flat& flat, const Query::Join& join, const std::string& from,
                         const std::string& to) {
  const Query& j = *join.query;
  std::string on = Rename(join.condition, from, to);
  if (!Mergeable(j)) {
    flat.joins.push_back({join.alias, "(" + Select(j, true) + ")", join.kind, on});
    return;
  }
  std::string where = Rename(j.where_, j.alias_, join.alias);
  if (!where.empty()) {
    if (join.kind == kJoinLeftOuter) {
      on = "(" + on + ") AND (" + where + ")";
    } else {
      flat.where.push_back(where);
    }
  }
  flat.joins.push_back({join.alias, MainSource(j), join.kind, on});
  for (const NamedValuePtr& f : j.fields_->Entries()) {
    flat.columns.push_back({join.alias + "." + f->Name(), f->Kind(),
                            Rename(ColumnExpression(*f, j.alias_), j.alias_, join.alias),
                            kAggregateNone});
  }
  for (const Query::Join& sub : j.joins_) AddJoin(flat, sub, j.alias_, join.alias);
}

void QueryBuild::SupplyWellKnownAliases(const Query& q, Flat& flat, const std::string& order_by) {
  std::set<std::string> defined{AsciiLower(flat.main_alias)};
  for (const FromItem& item : flat.joins) defined.insert(AsciiLower(item.alias));
  if (defined.count("g")) return;
  std::set<std::string> used = sql::Qualifiers(order_by);
  auto collect = [&](const std::string& text) {
    for (const std::string& name : sql::Qualifiers(text)) used.insert(name);
  };
  for (const std::string& w : flat.where) collect(w);
  for (const OutputColumn& c : flat.columns) collect(c.expression);
  for (const FromItem& item : flat.joins) collect(item.on);
  if (!used.count("g")) return;
  bool has_good_code = false;
  if (q.from_) {
    for (const OutputColumn& c : Columns(*q.from_)) {
      if (EqualsIgnoreCase(c.name, "GoodCode")) has_good_code = true;
    }
  } else if (!q.table_.empty()) {
    const schema::SourceDef* def = schema::FindSourceDef(q.table_);
    has_good_code = def != nullptr && def->FindColumn("GoodCode") != nullptr;
  }
  if (!has_good_code) return;  // the translator names the unknown alias
  flat.joins.push_back({"G", "REFGood", kJoinLeftOuter,
                        "G.Code = " + sql::QuoteName(flat.main_alias) + ".GoodCode"});
}

void QueryBuild::OrderJoins(Flat& flat) {
  std::set<std::string> all;
  for (const FromItem& item : flat.joins) all.insert(AsciiLower(item.alias));
  std::set<std::string> defined{AsciiLower(flat.main_alias)};
  std::set<std::string> outer;
  std::vector<FromItem> pending = std::move(flat.joins);
  std::vector<FromItem> ordered;
  auto dependencies = [&](const FromItem& item) {
    std::set<std::string> deps;
    for (const std::string& q : sql::Qualifiers(item.on)) {
      if (all.count(q) && q != AsciiLower(item.alias)) deps.insert(q);
    }
    return deps;
  };
  while (!pending.empty()) {
    auto ready = std::find_if(pending.begin(), pending.end(), [&](const FromItem& item) {
      for (const std::string& d : dependencies(item)) {
        if (!defined.count(d)) return false;
      }
      return true;
    });
    if (ready == pending.end()) ready = pending.begin();  // a cycle: keep the caller's order
    FromItem item = std::move(*ready);
    pending.erase(ready);
    if (item.kind != kJoinLeftOuter) {
      for (const std::string& d : dependencies(item)) {
        if (outer.count(d)) item.kind = kJoinLeftOuter;
      }
    }
    if (item.kind == kJoinLeftOuter) outer.insert(AsciiLower(item.alias));
    defined.insert(AsciiLower(item.alias));
    ordered.push_back(std::move(item));
  }
  flat.joins = std::move(ordered);
}

QueryBuild::Flat QueryBuild::Flatten(const Query& q) {
  Flat flat;
  flat.main_alias = q.alias_;
  flat.main_source = MainSource(q);
  for (const NamedValuePtr& f : q.fields_->Entries()) {
    flat.columns.push_back({f->Name(), f->Kind(), ColumnExpression(*f, q.alias_), f->Aggregate()});
  }
  if (!q.where_.empty()) flat.where.push_back(q.where_);
  for (const Query::Join& j : q.joins_) AddJoin(flat, j, q.alias_, q.alias_);
  SupplyWellKnownAliases(q, flat, q.order_by_);
  OrderJoins(flat);
  return flat;
}

bool QueryBuild::CheckFlat(const Query& q, const Flat& flat) {
  std::set<std::string> aliases{AsciiLower(flat.main_alias)};
  for (const FromItem& item : flat.joins) {
    if (!aliases.insert(AsciiLower(item.alias)).second) {
      Fail("the alias \"" + item.alias + "\" is used twice in one query");
    }
  }
  if (flat.columns.empty()) Fail("the query over \"" + q.table_ + "\" has no columns");
  std::set<std::string> names;
  bool grouped = false;
  for (const OutputColumn& c : flat.columns) {
    if (!names.insert(AsciiLower(c.name)).second) {
      Fail("the query has two columns named \"" + c.name + "\"");
    }
    if (c.aggregate != kAggregateNone && c.aggregate != kAggregateSum) {
      Fail("column \"" + c.name + "\": aggregate " + std::to_string(c.aggregate) +
           " is not supported (4 sums)");
    }
    grouped = grouped || c.aggregate == kAggregateSum;
  }
  return grouped;
}

std::string QueryBuild::SelectFromWhere(const Query& q, const Flat& flat, bool grouped) {
  std::string sql = "SELECT ";
  if (q.distinct_) sql += "DISTINCT ";
  if (q.top_ > 0) sql += "TOP " + std::to_string(q.top_) + " ";
  std::vector<std::string> group_by;
  for (size_t i = 0; i < flat.columns.size(); ++i) {
    const OutputColumn& c = flat.columns[i];
    if (i > 0) sql += ", ";
    if (c.aggregate == kAggregateSum) {
      sql += "SUM(" + c.expression + ")";
    } else {
      sql += c.expression;
      if (grouped && !sql::IsSingleLiteral(c.expression)) group_by.push_back(c.expression);
    }
    sql += " AS " + sql::QuoteName(c.name);
  }
  sql += " FROM " + flat.main_source + " " + sql::QuoteName(flat.main_alias);
  for (const FromItem& item : flat.joins) {
    sql += item.kind == kJoinLeftOuter ? " LEFT OUTER JOIN " : " INNER JOIN ";
    sql += item.source + " " + sql::QuoteName(item.alias) + " ON " + item.on;
  }
  if (!flat.where.empty()) {
    sql += " WHERE ";
    for (size_t i = 0; i < flat.where.size(); ++i) {
      sql +=
          flat.where.size() == 1 ? flat.where[i] : (i > 0 ? " AND (" : "(") + flat.where[i] + ")";
    }
  }
  if (!group_by.empty()) {
    sql += " GROUP BY ";
    for (size_t i = 0; i < group_by.size(); ++i) sql += (i > 0 ? ", " : "") + group_by[i];
  }
  return sql;
}

std::string QueryBuild::Select(const Query& q, bool embedded) {
  parameters_.push_back(q.parameters_.get());
  struct Pop {
    std::vector<const NamedValueList*>& stack;
    ~Pop() { stack.pop_back(); }
  } pop{parameters_};

  const Flat flat = Flatten(q);
  std::string sql = SelectFromWhere(q, flat, CheckFlat(q, flat));
  for (const Query::UnionPart& part : q.unions_) {
    size_t expected = flat.columns.size();
    size_t got = Columns(*part.query).size();
    if (got != expected) {
      Fail("the union \"" + part.alias + "\" has " + std::to_string(got) + " columns where " +
           std::to_string(expected) + " are expected");
    }
    sql += " UNION ALL " + Select(*part.query, true);
  }
  if (!q.order_by_.empty() && (!embedded || q.top_ > 0)) sql += " ORDER BY " + q.order_by_;
  return sql;
}

}  // namespace qts::host
