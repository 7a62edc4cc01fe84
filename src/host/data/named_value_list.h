// Ordered lists of named values. They carry document headers, specification rows, parameter
// lists, report values and query column lists. Names compare as EqualsIgnoreCase does; order is the
// order of addition.
#ifndef QTS_HOST_DATA_NAMED_VALUE_LIST_H_
#define QTS_HOST_DATA_NAMED_VALUE_LIST_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/object.h"
#include "core/text.h"
#include "core/variant.h"
#include "host/data/kind_codes.h"

namespace qts::host {

// The aggregate a query column carries: 0 none, 4 sum (the query then groups by its other
// columns).
inline constexpr int32_t kAggregateNone = 0;
inline constexpr int32_t kAggregateSum = 4;

class NamedValue : public virtual Object {
 public:
  NamedValue(std::string name, int32_t kind, Variant value)
      : name_(std::move(name)), kind_(kind), value_(std::move(value)) {}
  std::string_view ClassName() const override { return "NamedValue"; }

  const std::string& Name() const { return name_; }
  // The host's kind code (value and column type), passed through unchanged.
  int32_t Kind() const { return kind_; }
  void SetKind(int32_t kind) { kind_ = kind; }
  void SetKind(host::Kind kind) { kind_ = Code(kind); }
  const Variant& Value() const { return value_; }
  void SetValue(const Variant& value) { value_ = value; }
  void SetValue(Variant&& value) { value_ = std::move(value); }
  // The caption shown for the value; the name when none was given.
  const std::string& DisplayText() const { return display_text_.empty() ? name_ : display_text_; }
  void SetDisplayText(std::string text) { display_text_ = std::move(text); }
  int32_t Aggregate() const { return aggregate_; }
  void SetAggregate(int32_t aggregate) { aggregate_ = aggregate; }
  // For a query column: its SQL expression (a query qualifies the columns of its source with
  // its alias, "oTable.GoodCode"); empty for an entry that is not a query column.
  const std::string& Expression() const { return expression_; }
  void SetExpression(std::string expression) { expression_ = std::move(expression); }

 private:
  std::string name_;
  int32_t kind_;
  Variant value_;
  std::string display_text_;
  int32_t aggregate_ = kAggregateNone;
  std::string expression_;
};

using NamedValuePtr = std::shared_ptr<NamedValue>;

class NamedValueList : public virtual Object {
 public:
  std::string_view ClassName() const override { return "NamedValueList"; }

  // Appends an entry. A name the list already has raises an error naming it.
  NamedValue& Add(std::string_view name, int32_t kind, Variant value = Variant());
  NamedValue& Add(std::string_view name, Kind kind, Variant value = Variant()) {
    return Add(name, Code(kind), std::move(value));
  }
  // Appends an entry that another list holds too (both see its changes). A name the list
  // already has raises an error naming it.
  NamedValue& Append(NamedValuePtr entry);
  // Appends a computed column with its SQL expression (query column lists). A column of that
  // name already in the list is dropped first: redeclaring a column gives it the new
  // expression and the last place.
  NamedValue& AddColumn(std::string_view name, int32_t kind, std::string_view expression);
  NamedValue& AddColumn(std::string_view name, Kind kind, std::string_view expression) {
    return AddColumn(name, Code(kind), expression);
  }

  // The entry of that name; error 9 naming the entry when there is none.
  NamedValue& Item(std::string_view name);
  const NamedValue& Item(std::string_view name) const;
  // The entry at a 0-based position; error 9 when out of range.
  NamedValue& At(size_t index);
  const NamedValue& At(size_t index) const;
  // The entry, or null.
  NamedValue* Find(std::string_view name);
  const NamedValue* Find(std::string_view name) const;
  bool ExistsField(std::string_view name) const { return Find(name) != nullptr; }
  size_t Count() const { return entries_.size(); }

  // Drops the named entries; names the list does not have are ignored.
  void Exclude(const std::vector<std::string>& names);
  // Keeps only the named entries, in the list's order; an empty array keeps none.
  void KeepOnly(const std::vector<std::string>& names);
  // Empties every value (to Empty) and keeps the entries.
  void ClearValues();
  void Clear();

  const std::vector<NamedValuePtr>& Entries() const { return entries_; }

  // A token of the list's names and their order: it changes whenever an entry is added or
  // dropped, and no two lists share one unless one is a copy of the other's layout. A caller
  // that maps names to positions may keep the map while the token stays the same.
  uint64_t Layout() const { return layout_; }

 private:
  void Reindex();
  static uint64_t NextLayout();
  std::vector<NamedValuePtr> entries_;
  uint64_t layout_ = NextLayout();
  std::unordered_map<std::string, size_t, IgnoreCaseHash, IgnoreCaseEqual>
      index_;  // name -> position
};

}  // namespace qts::host

#endif  // QTS_HOST_DATA_NAMED_VALUE_LIST_H_
