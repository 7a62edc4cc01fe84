#include "sql/catalogue.h"

#include <utility>

#include "core/text.h"

namespace qts::sql {

const ColumnInfo* SourceInfo::FindColumn(std::string_view column) const {
  for (const ColumnInfo& info : columns) {
    if (EqualsIgnoreCase(info.name, column)) return &info;
  }
  return nullptr;
}

void MemoryCatalogue::Add(SourceInfo source) {
  std::string key = AsciiUpper(source.name);
  sources_.insert_or_assign(std::move(key), std::move(source));
}

const SourceInfo* MemoryCatalogue::FindSource(std::string_view logical_name) const {
  auto it = sources_.find(AsciiUpper(logical_name));
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
