// What the translator needs to know about the book: which logical sources exist, their columns
// and types, and the physical name each one has in the database.
#ifndef QTS_SQL_CATALOGUE_H_
#define QTS_SQL_CATALOGUE_H_

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qts::sql {

enum class SqlType {
  kUnknown,
  kInteger,  // identifiers, counters, kind codes
  kNumber,   // money and quantities: NUMERIC(19,4) on the server
  kFloat,
  kText,
  kDate,
  kBoolean,
};

// Decimal places of money and quantities (NUMERIC(19,4)): a catalogue column of kNumber keeps
// this many.
inline constexpr int kNumberScale = 4;
// The most places a number expression carries: products are exact up to here, quotients (and
// products with more places) are cut toward zero here.
inline constexpr int kMaxNumberScale = 18;

struct ColumnInfo {
  std::string name;  // canonical spelling
  SqlType type = SqlType::kUnknown;
  int length = 0;  // text columns: declared length; 0 = unbounded
};

struct SourceInfo {
  std::string name;  // canonical logical name, e.g. "THGoodSpec"
  std::vector<ColumnInfo> columns;

  // Case-insensitive lookup; null when absent.
  const ColumnInfo* FindColumn(std::string_view column) const;
};

// Identifiers are case-insensitive, as on the original server.
class Catalogue {
 public:
  virtual ~Catalogue() = default;
  // The source with this logical name (any case), or null.
  virtual const SourceInfo* FindSource(std::string_view logical_name) const = 0;
  // The physical table name, "<book Code>$<logical name>".
  virtual std::string PhysicalName(std::string_view logical_name) const = 0;
};

// A catalogue held in memory: the book's Code and its sources. Tests and tools that build a
// book's description by hand use it; the host may fill one from its schema.
class MemoryCatalogue : public Catalogue {
 public:
  explicit MemoryCatalogue(std::string code) : code_(std::move(code)) {}

  // Adds or replaces the source of that (case-insensitive) name.
  void Add(SourceInfo source);
  const std::string& Code() const noexcept { return code_; }
  // Every source, ordered by its name in upper case (AsciiUpper).
  std::vector<const SourceInfo*> Sources() const;

  const SourceInfo* FindSource(std::string_view logical_name) const override;
  // "<Code>$<canonical logical name>" for a known source; "<Code>$<name as given>" otherwise.
  std::string PhysicalName(std::string_view logical_name) const override;

 private:
  std::string code_;
  std::map<std::string, SourceInfo, std::less<>> sources_;  // keyed by AsciiUpper(name)
};

}  // namespace qts::sql

#endif  // QTS_SQL_CATALOGUE_H_
