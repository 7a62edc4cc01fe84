#include "host/data/recordset_storage.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "host/data/recordset_values.h"

namespace qts::host {

// ---- BlockPool -------------------------------------------------------------------------------

BlockPool& BlockPool::Local() {
  thread_local BlockPool pool;
  return pool;
}

std::unique_ptr<CellBlock> BlockPool::TakeCells() {
  if (cells_.empty()) return std::make_unique_for_overwrite<CellBlock>();
  std::unique_ptr<CellBlock> block = std::move(cells_.back());
  cells_.pop_back();
  bytes_ -= sizeof(CellBlock);
  return block;
}

std::unique_ptr<char[]> BlockPool::TakeText() {
  if (texts_.empty()) return std::make_unique_for_overwrite<char[]>(kTextBlockBytes);
  std::unique_ptr<char[]> block = std::move(texts_.back());
  texts_.pop_back();
  bytes_ -= kTextBlockBytes;
  return block;
}

void BlockPool::Give(std::unique_ptr<CellBlock> block) {
  if (bytes_ + sizeof(CellBlock) > kPoolBytes) return;
  bytes_ += sizeof(CellBlock);
  cells_.push_back(std::move(block));
}

void BlockPool::GiveText(std::unique_ptr<char[]> block) {
  if (bytes_ + kTextBlockBytes > kPoolBytes) return;
  bytes_ += kTextBlockBytes;
  texts_.push_back(std::move(block));
}

// ---- RowStore --------------------------------------------------------------------------------

RowStore::~RowStore() {
  BlockPool& pool = BlockPool::Local();
  for (ColumnCells& column : columns) {
    for (std::unique_ptr<CellBlock>& block : column.blocks) pool.Give(std::move(block));
    for (size_t i = 0; i < column.texts.size(); ++i) {
      if (column.text_sizes[i] == kTextBlockBytes) pool.GiveText(std::move(column.texts[i]));
    }
  }
}

void RowStore::AppendRow() {
  const size_t row = rows;
  for (ColumnCells& column : columns) {
    if (row / kBlockRows == column.blocks.size()) {
      column.blocks.push_back(BlockPool::Local().TakeCells());
    }
    column.Type(row) = static_cast<uint8_t>(VarType::kEmpty);
    if (!column.objects.empty()) column.objects.emplace_back();
  }
  ++rows;
}

void RowStore::DropLastRow() {
  --rows;
  for (ColumnCells& column : columns) {
    if (!column.objects.empty()) column.objects.pop_back();
    if (rows % kBlockRows == 0) {
      BlockPool::Local().Give(std::move(column.blocks.back()));
      column.blocks.pop_back();
    }
  }
  ++generation;
}

void RowStore::PutText(size_t row, size_t column, std::string_view value) {
  ColumnCells& cells = columns[column];
  if (value.size() > std::numeric_limits<uint32_t>::max() - sizeof(uint32_t)) {
    RaiseAdo(kAdErrMultipleStep, "a text of 4 GB or more cannot be stored", "ADODB.Field");
  }
  if (value.size() <= kShortTextMax) {
    char bytes[sizeof(uint64_t)] = {};
    if (!value.empty()) std::memcpy(bytes, value.data(), value.size());
    bytes[kShortTextMax] = static_cast<char>(value.size());
    uint64_t payload = 0;
    std::memcpy(&payload, bytes, sizeof payload);
    Put(row, column, VarType::kString, payload);
    cells.Type(row) = kShortText;
    return;
  }
  auto length = static_cast<uint32_t>(value.size());
  const size_t needed = sizeof length + value.size();
  if (cells.texts.empty() || cells.text_capacity - cells.text_used < needed) {
    cells.text_capacity = std::max(kTextBlockBytes, needed);
    cells.texts.push_back(cells.text_capacity == kTextBlockBytes
                              ? BlockPool::Local().TakeText()
                              : std::make_unique_for_overwrite<char[]>(cells.text_capacity));
    cells.text_sizes.push_back(cells.text_capacity);
    cells.text_used = 0;
  }
  char* at = cells.texts.back().get() + cells.text_used;
  std::memcpy(at, &length, sizeof length);
  if (!value.empty()) std::memcpy(at + sizeof length, value.data(), value.size());
  uint64_t payload = (static_cast<uint64_t>(cells.texts.size() - 1) << 32) | cells.text_used;
  cells.text_used += needed;
  Put(row, column, VarType::kString, payload);
}

void RowStore::PutObject(size_t row, size_t column, ObjectPtr value) {
  ColumnCells& cells = columns[column];
  if (cells.objects.empty()) cells.objects.resize(rows);
  Put(row, column, VarType::kObject, 0);
  cells.objects[row] = std::move(value);
}

void RowStore::Set(size_t row, size_t column, const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      Put(row, column, value.Type(), 0);
      return;
    case VarType::kBoolean:
      Put(row, column, VarType::kBoolean, value.AsBool() ? 1 : 0);
      return;
    case VarType::kInteger:
      Put(row, column, VarType::kInteger, static_cast<uint64_t>(value.AsInteger()));
      return;
    case VarType::kLong:
      Put(row, column, VarType::kLong, static_cast<uint64_t>(value.AsLong()));
      return;
    case VarType::kDouble:
      Put(row, column, VarType::kDouble, std::bit_cast<uint64_t>(value.AsDouble()));
      return;
    case VarType::kCurrency:
      Put(row, column, VarType::kCurrency, static_cast<uint64_t>(value.AsCurrency().Scaled()));
      return;
    case VarType::kDate:
      Put(row, column, VarType::kDate, std::bit_cast<uint64_t>(value.AsDate().Serial()));
      return;
    case VarType::kString:
      PutText(row, column, value.AsString());
      return;
    case VarType::kObject:
      PutObject(row, column, value.AsObject());
      return;
  }
}

}  // namespace qts::host
