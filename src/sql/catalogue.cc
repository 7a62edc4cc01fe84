#include "sql/catalogue.h"

#include <utility>

namespace qts::sql {

namespace {

char Upper(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

}  // namespace

std::string FoldIdentifier(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = Upper(c);
  return folded;
}

bool SameIdentifier(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

const ColumnInfo* SourceInfo::FindColumn(std::string_view column) const {
  for (const ColumnInfo& info : columns) {
    if (SameIdentifier(info.name, column)) return &info;
  }
  return nullptr;
}

void MemoryCatalogue::Add(SourceInfo source) {
  std::string key = FoldIdentifier(source.name);
  sources_.insert_or_assign(std::move(key), std::move(source));
}

const SourceInfo* MemoryCatalogue::FindSource(std::string_view logical_name) const {
  auto it = sources_.find(FoldIdentifier(logical_name));
  return it == sources_.end() ? nullptr : &it->second;
}

std::vector<const SourceInfo*> MemoryCatalogue::Sources() const {
  std::vector<const SourceInfo*> sources;
  sources.reserve(sources_.size());
  for (const auto& [key, source] : sources_) sources.push_back(&source);
  return sources;
}

std::string MemoryCatalogue::PhysicalName(std::string_view logical_name) const {
  const SourceInfo* source = FindSource(logical_name);
  std::string name = code_;
  name += '$';
  name += source != nullptr ? std::string_view(source->name) : logical_name;
  return name;
}

}  // namespace qts::sql
