#include "host/data/named_value_list.h"

#include <atomic>
#include <unordered_set>

#include "core/error.h"
#include "core/text.h"

namespace qts::host {

namespace {
[[noreturn]] void NoSuchEntry(std::string_view name) {
  throw Error(kErrSubscript, "NamedValueList",
              "Subscript out of range: no entry \"" + std::string(name) + "\"");
}
}  // namespace

NamedValue& NamedValueList::Add(std::string_view name, int32_t kind, Variant value) {
  if (index_.find(name) != index_.end()) {
    throw Error(kErrInvalidCall, "NamedValueList",
                "the list already has an entry \"" + std::string(name) + "\"");
  }
  entries_.push_back(std::make_shared<NamedValue>(std::string(name), kind, std::move(value)));
  index_.emplace(std::string(name), entries_.size() - 1);
  layout_ = NextLayout();
  return *entries_.back();
}

NamedValue& NamedValueList::Append(NamedValuePtr entry) {
  if (index_.find(entry->Name()) != index_.end()) {
    throw Error(kErrInvalidCall, "NamedValueList",
                "the list already has an entry \"" + entry->Name() + "\"");
  }
  std::string name = entry->Name();
  entries_.push_back(std::move(entry));
  index_.emplace(std::move(name), entries_.size() - 1);
  layout_ = NextLayout();
  return *entries_.back();
}

NamedValue& NamedValueList::AddColumn(std::string_view name, int32_t kind,
                                      std::string_view expression) {
  if (Find(name) != nullptr) Exclude({std::string(name)});
  NamedValue& column = Add(name, kind);
  column.SetExpression(std::string(expression));
  return column;
}

NamedValue* NamedValueList::Find(std::string_view name) {
  auto it = index_.find(name);
  return it == index_.end() ? nullptr : entries_[it->second].get();
}

const NamedValue* NamedValueList::Find(std::string_view name) const {
  auto it = index_.find(name);
  return it == index_.end() ? nullptr : entries_[it->second].get();
}

NamedValue& NamedValueList::Item(std::string_view name) {
  if (NamedValue* v = Find(name)) return *v;
  NoSuchEntry(name);
}

const NamedValue& NamedValueList::Item(std::string_view name) const {
  if (const NamedValue* v = Find(name)) return *v;
  NoSuchEntry(name);
}

NamedValue& NamedValueList::At(size_t index) {
  if (index >= entries_.size()) NoSuchEntry("#" + std::to_string(index));
  return *entries_[index];
}

const NamedValue& NamedValueList::At(size_t index) const {
  if (index >= entries_.size()) NoSuchEntry("#" + std::to_string(index));
  return *entries_[index];
}

void NamedValueList::Exclude(const std::vector<std::string>& names) {
  std::unordered_set<std::string> drop;
  for (const auto& n : names) drop.insert(AsciiLower(n));
  std::erase_if(entries_,
                [&](const NamedValuePtr& e) { return drop.count(AsciiLower(e->Name())); });
  Reindex();
}

void NamedValueList::KeepOnly(const std::vector<std::string>& names) {
  std::unordered_set<std::string> keep;
  for (const auto& n : names) keep.insert(AsciiLower(n));
  std::erase_if(entries_,
                [&](const NamedValuePtr& e) { return !keep.count(AsciiLower(e->Name())); });
  Reindex();
}

void NamedValueList::ClearValues() {
  for (auto& e : entries_) e->SetValue(Variant());
}

void NamedValueList::Clear() {
  entries_.clear();
  index_.clear();
  layout_ = NextLayout();
}

void NamedValueList::Reindex() {
  index_.clear();
  for (size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i]->Name(), i);
  layout_ = NextLayout();
}

uint64_t NamedValueList::NextLayout() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}

}  // namespace qts::host
