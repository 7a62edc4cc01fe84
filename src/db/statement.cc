#include "db/statement.h"

#include <variant>

namespace qts::db {

void Statement::Bind(int index, const Value& value) {
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          BindNull(index);
        } else if constexpr (std::is_same_v<T, int64_t>) {
          BindInt64(index, v);
        } else if constexpr (std::is_same_v<T, double>) {
          BindDouble(index, v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          BindText(index, v);
        } else if constexpr (std::is_same_v<T, Currency>) {
          BindCurrency(index, v);
        } else {
          BindBlob(index, v);
        }
      },
      value.storage());
}

void Statement::BindAll(std::initializer_list<Value> values) {
  int index = 1;
  for (const Value& value : values) Bind(index++, value);
}

void Statement::Run() {
  while (Step()) {
  }
}

Value Statement::GetValue(int column) const {
  switch (ColumnKind(column)) {
    case ValueKind::kNull:
      return Value();
    case ValueKind::kInteger:
      return Value(GetInt64(column));
    case ValueKind::kReal:
      return Value(GetDouble(column));
    case ValueKind::kText:
      return Value(std::string(GetTextView(column)));
    case ValueKind::kBlob:
      return Value(GetBlob(column));
    case ValueKind::kMoney:
      break;
  }
  return Value();
}

void Statement::ReadRow(RowVisitor& visitor, const std::vector<bool>& money) const {
  const int count = ColumnCount();
  for (int c = 0; c < count; ++c) {
    const ValueKind kind = ColumnKind(c);
    if (kind != ValueKind::kNull && static_cast<size_t>(c) < money.size() && money[c]) {
      visitor.Money(c, GetCurrency(c));
      continue;
    }
    switch (kind) {
      case ValueKind::kNull:
        visitor.Null(c);
        break;
      case ValueKind::kInteger:
        visitor.Integer(c, GetInt64(c));
        break;
      case ValueKind::kReal:
        visitor.Real(c, GetDouble(c));
        break;
      case ValueKind::kText:
        visitor.Text(c, GetTextView(c));
        break;
      case ValueKind::kBlob:
      case ValueKind::kMoney:
        visitor.Bytes(c, GetBlob(c));
        break;
    }
  }
}

}  // namespace qts::db
