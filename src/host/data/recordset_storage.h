// The storage engine under Recordset: the rows of a recordset and its clones, kept column by
// column in compact cells.
//
// A column's cells sit in blocks of kBlockRows rows: a VarType code per row and an 8-byte
// payload (the value of a scalar; for a text, where it is in the column's text blocks: block
// number in the high 32 bits, offset in the low, a 4-byte length before the characters). Blocks
// are never moved, so the store grows without copying. A text of up to kShortTextMax bytes is
// kept in the payload itself, its length in the last byte, under the type code kShortText
// (beyond VarType's codes). Objects, rare in a recordset, live beside the cells in `objects`,
// sized to the rows once the column holds one. Freed blocks go back to a pool for the thread's
// next recordset.
#ifndef QTS_HOST_DATA_RECORDSET_STORAGE_H_
#define QTS_HOST_DATA_RECORDSET_STORAGE_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/object.h"
#include "core/text.h"
#include "core/variant.h"
#include "host/data/recordset.h"

namespace qts::host {

inline constexpr size_t kBlockRows = 4096;
inline constexpr size_t kTextBlockBytes = 64 * 1024;
inline constexpr uint8_t kShortText = 0x80;
inline constexpr size_t kShortTextMax = sizeof(uint64_t) - 1;

struct CellBlock {
  uint8_t types[kBlockRows];
  uint64_t payloads[kBlockRows];
};

// Freed blocks wait here for the thread's next recordset, up to kPoolBytes: a query opened
// again fills memory that is already mapped instead of faulting in fresh pages. A block taken
// from the pool holds whatever its last owner left in it.
class BlockPool {
 public:
  static constexpr size_t kPoolBytes = size_t{64} << 20;

  // The calling thread's pool.
  static BlockPool& Local();

  std::unique_ptr<CellBlock> TakeCells();
  // A text block of kTextBlockBytes.
  std::unique_ptr<char[]> TakeText();
  void Give(std::unique_ptr<CellBlock> block);
  // Only blocks of kTextBlockBytes may come back.
  void GiveText(std::unique_ptr<char[]> block);

 private:
  std::vector<std::unique_ptr<CellBlock>> cells_;
  std::vector<std::unique_ptr<char[]>> texts_;
  size_t bytes_ = 0;
};

// The cells of one column.
struct ColumnCells {
  std::vector<std::unique_ptr<CellBlock>> blocks;
  std::vector<std::unique_ptr<char[]>> texts;
  std::vector<size_t> text_sizes;  // bytes of each text block
  size_t text_used = 0;            // bytes used in the last text block
  size_t text_capacity = 0;        // its size
  std::vector<ObjectPtr> objects;

  uint8_t& Type(size_t row) { return blocks[row / kBlockRows]->types[row % kBlockRows]; }
  uint8_t Type(size_t row) const { return blocks[row / kBlockRows]->types[row % kBlockRows]; }
  uint64_t& Payload(size_t row) { return blocks[row / kBlockRows]->payloads[row % kBlockRows]; }
  uint64_t Payload(size_t row) const {
    return blocks[row / kBlockRows]->payloads[row % kBlockRows];
  }
};

// The rows of a recordset and its clones: the field definitions and every cell. `generation`
// grows whenever a stored value changes, so recordsets know when the values they made are
// stale. Row and column numbers are the caller's to keep in range.
struct RowStore {
  std::vector<FieldDef> fields;
  std::unordered_map<std::string, size_t, IgnoreCaseHash, IgnoreCaseEqual> index;  // name -> column
  std::vector<ColumnCells> columns;
  size_t rows = 0;
  uint64_t generation = 1;

  RowStore() = default;
  RowStore(const RowStore&) = delete;
  RowStore& operator=(const RowStore&) = delete;
  // Gives the blocks back to the thread's pool.
  ~RowStore();

  size_t Columns() const { return fields.size(); }

  // Appends a record of Empty values.
  void AppendRow();
  // Drops the last record.
  void DropLastRow();
  // Stores a scalar cell: `payload` as the file comment describes it for `type`.
  void Put(size_t row, size_t column, VarType type, uint64_t payload) {
    ColumnCells& cells = columns[column];
    if (!cells.objects.empty()) cells.objects[row].reset();
    CellBlock& block = *cells.blocks[row / kBlockRows];
    block.types[row % kBlockRows] = static_cast<uint8_t>(type);
    block.payloads[row % kBlockRows] = payload;
    ++generation;
  }
  // Stores a text; error 0x80040E21 for a text of 4 GB or more.
  void PutText(size_t row, size_t column, std::string_view value);
  void PutObject(size_t row, size_t column, ObjectPtr value);
  // Stores any value as it is, without conversion.
  void Set(size_t row, size_t column, const Variant& value);
  // The value of a cell.
  Variant Get(size_t row, size_t column) const {
    const ColumnCells& cells = columns[column];
    const uint64_t payload = cells.Payload(row);
    const uint8_t type = cells.Type(row);
    if (type == kShortText) {
      char bytes[sizeof(uint64_t)];
      std::memcpy(bytes, &payload, sizeof payload);
      return Variant(std::string_view(bytes, static_cast<size_t>(bytes[kShortTextMax])));
    }
    switch (static_cast<VarType>(type)) {
      case VarType::kEmpty:
        break;
      case VarType::kNull:
        return Variant::Null();
      case VarType::kBoolean:
        return Variant(payload != 0);
      case VarType::kInteger:
        return Variant(static_cast<int16_t>(payload));
      case VarType::kLong:
        return Variant(static_cast<int32_t>(payload));
      case VarType::kDouble:
        return Variant(std::bit_cast<double>(payload));
      case VarType::kCurrency:
        return Variant(Currency::FromScaled(static_cast<int64_t>(payload)));
      case VarType::kDate:
        return Variant(Date(std::bit_cast<double>(payload)));
      case VarType::kString: {
        const char* at = cells.texts[payload >> 32].get() + (payload & 0xFFFFFFFFu);
        uint32_t length = 0;
        std::memcpy(&length, at, sizeof length);
        return Variant(std::string_view(at + sizeof length, length));
      }
      case VarType::kObject:
        return Variant(cells.objects[row]);
    }
    return Variant();
  }
};

}  // namespace qts::host

#endif  // QTS_HOST_DATA_RECORDSET_STORAGE_H_
