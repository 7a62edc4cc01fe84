#include "host/ui/dialog_text.h"

#include <algorithm>
#include <vector>

#include "host/documents/table_layout.h"

namespace qts::host {

namespace {

// The first `chars` characters of UTF-8 `text`.
std::string Utf8Prefix(const std::string& text, size_t chars) {
  size_t i = 0;
  size_t seen = 0;
  while (i < text.size()) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (seen == chars) break;
      ++seen;
    }
    ++i;
  }
  return text.substr(0, i);
}

// `text` cut or padded with blanks to `width` characters; right-aligned when `right`.
std::string Fit(const std::string& text, size_t width, bool right = false) {
  const size_t length = Utf8Length(text);
  if (length > width) {
    if (width == 0) return {};
    return Utf8Prefix(text, width - 1) + "~";
  }
  std::string pad(width - length, ' ');
  return right ? pad + text : text + pad;
}

std::string Rule(const std::string& left, const std::string& right, size_t width) {
  std::string line = "== " + left + " ";
  const size_t used = Utf8Length(line) + Utf8Length(right) + 4;
  line += std::string(width > used ? width - used : 2, '=');
  if (!right.empty()) line += " " + right + " ==";
  return line + "\n";
}

bool Drawn(const DialogField& field) {
  return field.visible && field.type != ControlType::kLabel && field.type != ControlType::kFrame;
}

// A read-only control's value is marked; the legend under the form explains the mark.
constexpr const char* kReadOnlyMark = " *";

std::string FieldCell(const DialogField& field, size_t caption_width, size_t value_width) {
  std::string value = field.text;
  if (!field.enabled && value_width >= 3) {
    // The mark survives a value cut to fit.
    if (Utf8Length(value) > value_width - 2) value = Fit(value, value_width - 2);
    value += kReadOnlyMark;
  }
  value = Fit(value, value_width);
  return Fit(field.caption, caption_width) + " " + Fit(field.name, 14) + " " + value;
}

std::string ButtonText(const DialogField& button) {
  const std::string inner = button.name + (button.caption.empty() ? "" : " " + button.caption);
  return button.enabled ? "[" + inner + "]" : "(" + inner + ")";
}

void RenderHeader(const DialogView& view, const DialogTextOptions& options, std::string& out) {
  constexpr size_t kCaption = 21;
  const size_t half = options.width / 2;
  const size_t half_value = half > kCaption + 18 ? half - kCaption - 18 : 10;
  const size_t wide_value = options.width > kCaption + 18 ? options.width - kCaption - 18 : 20;
  std::string pending;  // a fixed field waiting for its neighbour on the line
  auto flush = [&] {
    if (!pending.empty()) out += " " + pending + "\n";
    pending.clear();
  };
  for (const DialogField& field : view.fields) {
    if (!Drawn(field) || field.type == ControlType::kButton || field.type == ControlType::kGrid) {
      continue;
    }
    if (field.layout == LayoutCode::kBottom || field.layout == LayoutCode::kBottomLeft ||
        field.layout == LayoutCode::kBottomRight) {
      continue;
    }
    if (field.type == ControlType::kTabs) {
      flush();
      out +=
          " " + Fit(field.caption, kCaption) + " " + Fit(field.name, 14) + " " + field.text + "\n";
      continue;
    }
    if (field.layout == LayoutCode::kWide) {
      flush();
      out += " " + FieldCell(field, kCaption, wide_value) + "\n";
      continue;
    }
    const std::string cell = FieldCell(field, kCaption, half_value);
    if (pending.empty()) {
      pending = cell;
    } else {
      out += " " + pending + "  " + cell + "\n";
      pending.clear();
    }
  }
  flush();
}

constexpr const char* kTotalsLabel = "Iš viso";

void RenderGrid(const DialogGrid& grid, const DialogTextOptions& options, std::string& out) {
  const size_t count = grid.rows.size();
  std::string title = grid.name + ": " + std::to_string(count) + " eil.";
  if (grid.read_only) title += ", tik skaityti (" + grid.read_only_reason + ")";
  out +=
      "-- " + title + " " +
      std::string(options.width > Utf8Length(title) + 4 ? options.width - Utf8Length(title) - 4 : 2,
                  '-') +
      "\n";
  // When the grid is wider than the screen, the captions give way first (down to the widest
  // value), then the texts (down to 10 characters); a number keeps all its digits.
  std::vector<size_t> widths;
  std::vector<size_t> fitting;    // the widest value of each column
  std::vector<size_t> narrowest;  // the least each column may become
  for (size_t c = 0; c < grid.columns.size(); ++c) {
    size_t values = 0;
    for (const auto& row : grid.rows) values = std::max(values, Utf8Length(row[c]));
    if (c < grid.totals.size()) values = std::max(values, Utf8Length(grid.totals[c]));
    // The first column also carries the totals' label.
    const size_t least = c == 0 ? Utf8Length(kTotalsLabel) : 3;
    const size_t w =
        std::max<size_t>(std::min<size_t>(Utf8Length(grid.columns[c].caption), 14), values);
    widths.push_back(std::max(std::clamp<size_t>(w, 3, 30), least));
    fitting.push_back(std::clamp<size_t>(values, least, widths.back()));
    narrowest.push_back(std::clamp<size_t>(
        grid.columns[c].numeric ? values : std::min<size_t>(values, 10), least, fitting.back()));
  }
  size_t total = 3;
  for (size_t w : widths) total += w + 1;
  for (const std::vector<size_t>* floor : {&fitting, &narrowest}) {
    while (total > options.width) {
      size_t widest = widths.size();
      for (size_t c = 0; c < widths.size(); ++c) {
        if (widths[c] > (*floor)[c] &&
            (widest == widths.size() ||
             widths[c] - (*floor)[c] > widths[widest] - (*floor)[widest])) {
          widest = c;
        }
      }
      if (widest == widths.size()) break;
      --widths[widest];
      --total;
    }
  }
  std::string line = "   ";
  for (size_t c = 0; c < grid.columns.size(); ++c) {
    line += Fit(grid.columns[c].caption, widths[c], grid.columns[c].numeric) + " ";
  }
  out += line + "\n";
  line = "   ";
  for (size_t c = 0; c < grid.columns.size(); ++c) {
    line += Fit(grid.columns[c].key, widths[c], grid.columns[c].numeric) + " ";
  }
  out += line + "\n";
  // A window of rows around the current one; what lies outside is counted.
  size_t first = 0;
  if (count > options.max_rows && grid.current_row >= 0) {
    const size_t current = static_cast<size_t>(grid.current_row);
    first = current >= options.max_rows / 2 ? current - options.max_rows / 2 : 0;
    first = std::min(first, count - options.max_rows);
  }
  const size_t last = std::min(count, first + options.max_rows);
  if (first > 0) out += "   ... " + std::to_string(first) + " eil. aukščiau\n";
  for (size_t r = first; r < last; ++r) {
    line = static_cast<int32_t>(r) == grid.current_row ? " > " : "   ";
    for (size_t c = 0; c < grid.columns.size(); ++c) {
      line += Fit(grid.rows[r][c], widths[c], grid.columns[c].numeric) + " ";
    }
    out += line + "\n";
  }
  if (last < count) out += "   ... " + std::to_string(count - last) + " eil. žemiau\n";
  if (count == 0) out += "   (eilučių nėra; cell new GoodCode KODAS prideda eilutę)\n";
  bool any_total = false;
  line = "   ";
  for (size_t c = 0; c < grid.columns.size(); ++c) {
    const std::string& total = c < grid.totals.size() ? grid.totals[c] : std::string();
    any_total = any_total || !total.empty();
    line += (c == 0 ? Fit(kTotalsLabel, widths[c]) : Fit(total, widths[c], true)) + " ";
  }
  if (any_total) out += line + "\n";
}

void RenderFooter(const DialogView& view, const DialogTextOptions& options, std::string& out) {
  out += std::string(options.width, '-') + "\n";
  std::string sums;
  for (const DialogField& field : view.fields) {
    if (!Drawn(field) || field.type == ControlType::kButton) continue;
    if (field.layout != LayoutCode::kBottom && field.layout != LayoutCode::kBottomLeft &&
        field.layout != LayoutCode::kBottomRight) {
      continue;
    }
    sums += " " + field.caption + " (" + field.name + "): " + field.text +
            (field.enabled ? "" : kReadOnlyMark) + "  ";
  }
  if (!sums.empty()) out += sums + "\n";
  std::string left;
  std::string middle;
  std::string right;
  for (const DialogField& field : view.fields) {
    if (!field.visible || field.type != ControlType::kButton) continue;
    if (field.layout == LayoutCode::kBottomRight) {
      right += ButtonText(field) + " ";
    } else if (field.layout == LayoutCode::kBottomLeft) {
      left += ButtonText(field) + " ";
    } else {
      // The grid's and the form's own buttons, as many to a line as fit.
      const std::string button = ButtonText(field) + " ";
      if (!middle.empty() && Utf8Length(middle) + Utf8Length(button) + 1 > options.width) {
        out += " " + middle + "\n";
        middle.clear();
      }
      middle += button;
    }
  }
  if (!middle.empty()) out += " " + middle + "\n";
  if (!left.empty() || !right.empty()) {
    const size_t used = Utf8Length(left) + Utf8Length(right) + 1;
    out += " " + left + std::string(options.width > used ? options.width - used : 1, ' ') + right +
           "\n";
  }
  bool any_read_only = false;
  for (const DialogField& field : view.fields) {
    any_read_only =
        any_read_only || (field.visible && !field.enabled && field.type != ControlType::kButton &&
                          field.type != ControlType::kLabel);
  }
  if (any_read_only) out += " * tik skaityti; (mygtukas) - neveikia\n";
  if (!view.print_forms.empty()) {
    std::string forms;
    for (const std::string& form : view.print_forms) forms += (forms.empty() ? "" : ", ") + form;
    out += " Spausdinimo formos: " + forms + "\n";
  }
}

}  // namespace

LayoutCode LayoutCodeOf(int32_t code) {
  switch (code) {
    case static_cast<int32_t>(LayoutCode::kBottom):
    case static_cast<int32_t>(LayoutCode::kWide):
    case static_cast<int32_t>(LayoutCode::kBottomLeft):
    case static_cast<int32_t>(LayoutCode::kBottomRight):
    case static_cast<int32_t>(LayoutCode::kFill):
      return static_cast<LayoutCode>(code);
    default:
      return LayoutCode::kFixed;
  }
}

std::string RenderDialogText(const DialogView& view, const DialogTextOptions& options) {
  std::string out;
  out += Rule(view.caption, view.form + (view.status.empty() ? "" : " · " + view.status),
              options.width);
  RenderHeader(view, options, out);
  if (view.grid) RenderGrid(*view.grid, options, out);
  RenderFooter(view, options, out);
  return out;
}

}  // namespace qts::host
