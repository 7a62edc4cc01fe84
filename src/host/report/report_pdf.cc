// The PDF document of a printed report, drawn with cairo (pages, lines, the PDF file with its
// fonts embedded) and pango (text set with real font shaping, so every Lithuanian letter comes
// out of the embedded font, and long names wrap inside their column).
//
// The document is laid out before anything is drawn: every block (a header line, a table's
// head, a line of a table, the signatures) is measured, then placed on pages -- a group that
// fits on a page is moved to the next page rather than split, and a table's head is repeated at
// the top of each page it continues on -- and only then drawn, so each page's foot can say
// "psl. N iš M".
#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/error.h"
#include "host/report/code39.h"
#include "host/report/report_writers.h"

namespace qts::host {

namespace {

constexpr double kMm = 72.0 / 25.4;
constexpr double kA4Short = 210 * kMm;
constexpr double kA4Long = 297 * kMm;
constexpr double kMarginSide = 12 * kMm;
constexpr double kMarginTop = 12 * kMm;
constexpr double kMarginBottom = 16 * kMm;
constexpr double kPadX = 2.5;
constexpr double kPadY = 1.6;
constexpr double kTableGap = 10;
constexpr double kSignatureRow = 34;
// A table's captions are made smaller, in steps of kCaptionStep points, to no less than this
// share of the head's size, before a word of one is broken.
constexpr double kSmallestCaption = 0.75;
constexpr double kCaptionStep = 0.25;
constexpr double kBarcodeHeight = 30;
// A group of up to this many lines is not split over two pages.
constexpr size_t kKeptLines = 8;
constexpr double kNarrowBar = 0.9;
constexpr double kWideBar = 2.3;

struct SurfaceCloser {
  void operator()(cairo_surface_t* s) const noexcept { cairo_surface_destroy(s); }
};
struct ContextCloser {
  void operator()(cairo_t* c) const noexcept { cairo_destroy(c); }
};
struct LayoutCloser {
  void operator()(PangoLayout* l) const noexcept { g_object_unref(l); }
};
struct FontCloser {
  void operator()(PangoFontDescription* f) const noexcept { pango_font_description_free(f); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceCloser>;
using ContextPtr = std::unique_ptr<cairo_t, ContextCloser>;
using LayoutPtr = std::unique_ptr<PangoLayout, LayoutCloser>;
using FontPtr = std::unique_ptr<PangoFontDescription, FontCloser>;

FontPtr Font(const char* description) {
  return FontPtr(pango_font_description_from_string(description));
}

enum class Align { kLeft, kCenter, kRight };

// Whether the UTF-8 letter `letter` is a vowel of Lithuanian (or of English).
bool IsVowel(std::string_view letter) {
  static constexpr std::string_view kVowels[] = {"a", "e", "i", "o", "u", "y", "A", "E",
                                                 "I", "O", "U", "Y", "ą", "ę", "ė", "į",
                                                 "ų", "ū", "Ą", "Ę", "Ė", "Į", "Ų", "Ū"};
  for (std::string_view v : kVowels) {
    if (letter == v) return true;
  }
  return false;
}

// `word` with a soft hyphen (U+00AD: a place to break the line, shown as a hyphen only there)
// where a syllable begins -- before a consonant followed by a vowel, with a vowel before it and
// at least two letters on either side -- or, in a word with no such place, between any two
// letters with two on either side.
std::string WithSoftHyphens(std::string_view word) {
  constexpr std::string_view kSoftHyphen = "\u00AD";
  std::vector<std::string_view> letters;
  for (size_t i = 0; i < word.size();) {
    size_t next = i + 1;
    while (next < word.size() && (static_cast<unsigned char>(word[next]) & 0xC0) == 0x80) ++next;
    letters.push_back(word.substr(i, next - i));
    i = next;
  }
  std::vector<bool> breaks(letters.size(), false);
  bool any = false;
  bool vowel_before = false;
  for (size_t k = 0; k + 1 < letters.size(); ++k) {
    if (k >= 2 && k + 2 <= letters.size() && vowel_before && !IsVowel(letters[k]) &&
        IsVowel(letters[k + 1])) {
      breaks[k] = any = true;
    }
    vowel_before = vowel_before || IsVowel(letters[k]);
  }
  std::string out;
  for (size_t k = 0; k < letters.size(); ++k) {
    if (any ? breaks[k] : k >= 2 && k + 2 <= letters.size()) out += kSoftHyphen;
    out += letters[k];
  }
  return out;
}

// Sets and draws text: through one reused pango layout, or through layouts kept per text.
class TextSetter {
 public:
  explicit TextSetter(cairo_t* cr) : cr_(cr), layout_(pango_cairo_create_layout(cr)) {
    // Font sizes are points of the page (72 to the inch, cairo's PDF unit), and glyphs are
    // placed by their true widths: screen hinting would round every advance to a whole point.
    context_ = pango_layout_get_context(layout_.get());
    pango_cairo_context_set_resolution(context_, 72);
    pango_context_set_round_glyph_positions(context_, FALSE);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(layout_.get());
    // Words are broken between letters only when one alone is wider than its column, and then
    // without a hyphen: a hyphen inside a code or a number would change what it says.
    attributes_ = pango_attr_list_new();
    pango_attr_list_insert(attributes_, pango_attr_insert_hyphens_new(FALSE));
    pango_layout_set_attributes(layout_.get(), attributes_);
    // Words of a column's caption may be broken with a hyphen where SetHyphenated allows it.
    hyphenated_ = pango_attr_list_new();
    pango_attr_list_insert(hyphenated_, pango_attr_insert_hyphens_new(TRUE));
  }
  ~TextSetter() {
    pango_attr_list_unref(attributes_);
    pango_attr_list_unref(hyphenated_);
  }
  TextSetter(const TextSetter&) = delete;
  TextSetter& operator=(const TextSetter&) = delete;

  // Lays `text` out in `width` points; returns its height.
  double Set(std::string_view text, const PangoFontDescription* font, double width, bool wrap,
             Align align = Align::kLeft) {
    pango_layout_set_attributes(layout_.get(), attributes_);
    return SetLaidOut(text, font, width, wrap, align);
  }
  // As Set, wrapping, and a word wider than `width` may be broken with a hyphen where a
  // syllable begins (before a consonant followed by a vowel, with a vowel before it and two
  // letters on either side; between any two letters in a word with no such place): for words
  // of running text, never for codes or numbers.
  double SetHyphenated(std::string_view text, const PangoFontDescription* font, double width,
                       Align align = Align::kLeft) {
    std::string hyphenated;
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find(' ', start);
      if (end == std::string_view::npos) end = text.size();
      const std::string_view word = text.substr(start, end - start);
      Set(word, font, -1, false);
      hyphenated += width_ <= width ? std::string(word) : WithSoftHyphens(word);
      if (end < text.size()) hyphenated += ' ';
      start = end + 1;
    }
    pango_layout_set_attributes(layout_.get(), hyphenated_);
    return SetLaidOut(hyphenated, font, width, true, align);
  }
  // The width of the widest word of `text` (words are parted by spaces) set on one line.
  double WidestWord(std::string_view text, const PangoFontDescription* font) {
    double widest = 0;
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find(' ', start);
      if (end == std::string_view::npos) end = text.size();
      if (end > start) {
        Set(text.substr(start, end - start), font, -1, false);
        widest = std::max(widest, width_);
      }
      start = end + 1;
    }
    return widest;
  }
  // The width of the text set last.
  double Width() const { return width_; }

  void Draw(double x, double y) {
    cairo_move_to(cr_, x, y);
    pango_cairo_show_layout(cr_, layout_.get());
  }

  // The height `text` takes, laid out as Show lays it out (and kept for Show).
  double Measure(std::string_view text, const PangoFontDescription* font, double width, bool wrap) {
    return Height(Kept(text, font, width, wrap, Align::kLeft));
  }

  // Draws `text` at (x, y) in `width` points; returns its height.
  double Show(std::string_view text, const PangoFontDescription* font, double x, double y,
              double width, bool wrap, Align align = Align::kLeft) {
    PangoLayout* layout = Kept(text, font, width, wrap, align);
    cairo_move_to(cr_, x, y);
    pango_cairo_show_layout(cr_, layout);
    return Height(layout);
  }

 private:
  static constexpr size_t kKeptLayouts = 8192;

  double SetLaidOut(std::string_view text, const PangoFontDescription* font, double width,
                    bool wrap, Align align) {
    Configure(layout_.get(), text, font, width, wrap, align);
    int w = 0;
    int h = 0;
    pango_layout_get_size(layout_.get(), &w, &h);
    width_ = static_cast<double>(w) / PANGO_SCALE;
    return static_cast<double>(h) / PANGO_SCALE;
  }

  void Configure(PangoLayout* l, std::string_view text, const PangoFontDescription* font,
                 double width, bool wrap, Align align) const {
    pango_layout_set_font_description(l, font);
    pango_layout_set_width(l, width > 0 ? static_cast<int>(width * PANGO_SCALE) : -1);
    pango_layout_set_wrap(l, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_ellipsize(l, wrap || width <= 0 ? PANGO_ELLIPSIZE_NONE : PANGO_ELLIPSIZE_END);
    pango_layout_set_alignment(l, align == Align::kRight    ? PANGO_ALIGN_RIGHT
                                  : align == Align::kCenter ? PANGO_ALIGN_CENTER
                                                            : PANGO_ALIGN_LEFT);
    pango_layout_set_text(l, text.data(), static_cast<int>(text.size()));
  }

  static double Height(PangoLayout* layout) {
    int w = 0;
    int h = 0;
    pango_layout_get_size(layout, &w, &h);
    return static_cast<double>(h) / PANGO_SCALE;
  }

  // The layout of `text` as set with these settings, set once and kept: dates, units, codes,
  // names and captions repeat on every page, a wrapped name is measured before it is drawn,
  // and setting text is the dearest part of a PDF. A text is set in a layout of its own, so it
  // is shaped only once.
  PangoLayout* Kept(std::string_view text, const PangoFontDescription* font, double width,
                    bool wrap, Align align) {
    key_.assign(text);
    key_ += '\0';
    key_.append(reinterpret_cast<const char*>(&font), sizeof font);
    const int32_t points = static_cast<int32_t>(width * 100);
    key_.append(reinterpret_cast<const char*>(&points), sizeof points);
    key_ += static_cast<char>(align);
    key_ += wrap ? 'w' : 'l';
    auto it = kept_.find(key_);
    if (it == kept_.end()) {
      if (kept_.size() >= kKeptLayouts) kept_.clear();
      LayoutPtr layout(pango_layout_new(context_));
      pango_layout_set_attributes(layout.get(), attributes_);
      Configure(layout.get(), text, font, width, wrap, align);
      it = kept_.emplace(key_, std::move(layout)).first;
    }
    return it->second.get();
  }

  cairo_t* cr_;
  std::unordered_map<std::string, LayoutPtr> kept_;
  std::string key_;
  LayoutPtr layout_;
  PangoContext* context_ = nullptr;  // owned by layout_
  PangoAttrList* attributes_ = nullptr;
  PangoAttrList* hyphenated_ = nullptr;
  double width_ = 0;
};

enum class BlockKind { kHeader, kCaption, kHead, kLine, kNoData, kSignatures };

struct Block {
  BlockKind kind;
  size_t table = 0;
  size_t index = 0;  // header line, table line
  double height = 0;
};

struct Placed {
  Block block;
  double y;
  // A group's line at the top of a page it continues on: it shows the group's own values
  // again, taken from the group's first line.
  std::optional<size_t> continues;
};

class PdfDocument {
 public:
  PdfDocument(const PrintedReport& report, cairo_t* cr)
      : report_(report),
        cr_(cr),
        text_(cr),
        body_(Font("DejaVu Sans 8")),
        bold_(Font("DejaVu Sans Bold 8")),
        italic_(Font("DejaVu Sans Oblique 8")),
        small_(Font("DejaVu Sans 7")),
        header_(Font("DejaVu Sans 9.5")),
        header_bold_(Font("DejaVu Sans Bold 9.5")),
        title_(Font("DejaVu Sans Bold 14")),
        company_(Font("DejaVu Sans Bold 11")) {
    const bool landscape = report.orientation == PageOrientation::kLandscape;
    width_ = landscape ? kA4Long : kA4Short;
    height_ = landscape ? kA4Short : kA4Long;
    content_ = width_ - 2 * kMarginSide;
    line_height_ = text_.Set("Ąg", body_.get(), -1, false) + 2 * kPadY;
    for (const PrintedTable& table : report.tables) columns_x_.push_back(ColumnEdges(table));
    MeasureCaptions();
  }

  double PageWidth() const { return width_; }
  double PageHeight() const { return height_; }

  // Places every block on pages.
  std::vector<std::vector<Placed>> Paginate() {
    pages_.clear();
    pages_.emplace_back();
    y_ = kMarginTop;
    for (size_t i = 0; i < report_.header.size(); ++i) {
      Block b{BlockKind::kHeader, 0, i, HeaderHeight(report_.header[i])};
      if (!Fits(b.height)) NewPage();
      Place(b);
    }
    for (size_t t = 0; t < report_.tables.size(); ++t) PaginateTable(t);
    if (!report_.signatures.empty()) {
      Block b{BlockKind::kSignatures, 0, 0,
              kSignatureRow * static_cast<double>(report_.signatures.size()) + 12};
      if (!Fits(b.height)) NewPage();
      Place(b);
    }
    return pages_;
  }

  void Draw(const std::vector<std::vector<Placed>>& pages) {
    const int count = static_cast<int>(pages.size());
    for (int p = 0; p < count; ++p) {
      const std::vector<Placed>& page = pages[static_cast<size_t>(p)];
      for (size_t i = 0; i < page.size(); ++i) {
        const Placed& placed = page[i];
        DrawBlock(placed);
        // A table's rule under its last line on the page.
        const bool line = placed.block.kind == BlockKind::kLine;
        const bool next_is_line = i + 1 < page.size() &&
                                  page[i + 1].block.kind == BlockKind::kLine &&
                                  page[i + 1].block.table == placed.block.table;
        if (line && !next_is_line) {
          Rule(kMarginSide, placed.y + placed.block.height, Right(placed.block.table),
               placed.y + placed.block.height, 0.6, 0.4);
        }
      }
      Foot(p + 1, count);
      DrawRules();
      cairo_show_page(cr_);
    }
  }

 private:
  // --- Measuring and placing ---

  bool Fits(double height) const { return y_ + height <= height_ - kMarginBottom; }
  double Usable() const { return height_ - kMarginBottom - kMarginTop; }
  void NewPage() {
    pages_.emplace_back();
    y_ = kMarginTop;
  }
  void Place(const Block& b) {
    pages_.back().push_back({b, y_, std::nullopt});
    y_ += b.height;
  }

  // The width of a number as set in `font`, from the widths of its characters.
  double NumberWidth(const std::string& text, const PangoFontDescription* font) {
    std::map<char, double>& widths = font == bold_.get() ? bold_digits_ : digits_;
    double width = 0;
    for (char c : text) {
      auto it = widths.find(c);
      if (it == widths.end()) {
        text_.Set(std::string_view(&c, 1), font, -1, false);
        it = widths.emplace(c, text_.Width()).first;
      }
      width += it->second;
    }
    return width;
  }

  // The columns' left edges and the table's right edge. A number is never cut: a numeric
  // column narrower than its widest value (totals included) takes the room it lacks from the
  // columns whose texts wrap, then from the other text columns.
  std::vector<double> ColumnEdges(const PrintedTable& table) {
    const size_t n = table.columns.size();
    std::vector<double> width(n);
    std::vector<double> need(n, 0);
    for (size_t c = 0; c < n; ++c) width[c] = table.columns[c].width * content_;
    for (const PrintedLine& line : table.lines) {
      const PangoFontDescription* font = line.kind == LineKind::kDetail ? body_.get() : bold_.get();
      for (size_t c = 0; c < n; ++c) {
        if (!table.columns[c].numeric || line.cells[c].IsEmpty()) continue;
        need[c] =
            std::max(need[c], NumberWidth(FormatValue(line.cells[c], table.columns[c].kind), font) +
                                  2 * kPadX + 1);
      }
    }
    double missing = 0;
    for (size_t c = 0; c < n; ++c) {
      if (need[c] > width[c]) {
        missing += need[c] - width[c];
        width[c] = need[c];
      }
    }
    for (const bool wrapping : {true, false}) {
      double spare = 0;
      for (size_t c = 0; c < n; ++c) {
        if (!table.columns[c].numeric && table.columns[c].wrap == wrapping) spare += width[c] * 0.4;
      }
      if (missing <= 0 || spare <= 0) continue;
      const double share = std::min(1.0, missing / spare);
      for (size_t c = 0; c < n; ++c) {
        if (table.columns[c].numeric || table.columns[c].wrap != wrapping) continue;
        const double taken = width[c] * 0.4 * share;
        width[c] -= taken;
        missing -= taken;
      }
    }
    std::vector<double> x{kMarginSide};
    for (double w : width) x.push_back(x.back() + w);
    return x;
  }

  void MeasureCaptions() {
    caption_width_ = 0;
    for (const PrintedHeaderLine& line : report_.header) {
      if (line.style != HeaderStyle::kLine || line.caption.empty()) continue;
      text_.Set(line.caption + ":", header_.get(), -1, false);
      caption_width_ = std::max(caption_width_, text_.Width());
    }
    caption_width_ = std::min(caption_width_ + 8, content_ * 0.4);
  }

  double HeaderHeight(const PrintedHeaderLine& line) {
    if (line.barcode) return kBarcodeHeight + 14;
    switch (line.style) {
      case HeaderStyle::kCompany:
        return text_.Set(line.text, company_.get(), content_, true) + 2;
      case HeaderStyle::kTitle:
        return text_.Set(line.text, title_.get(), content_, true) + 16;
      case HeaderStyle::kCenter:
        return text_.Set(line.text, header_.get(), content_, true) + 3;
      case HeaderStyle::kNote:
        return text_.Set(line.text, small_.get(), content_, true) + 2;
      case HeaderStyle::kLine:
        break;
    }
    return text_.Set(line.text, header_bold_.get(), content_ - caption_width_, true) + 3;
  }

  double HeadHeight(size_t t) {
    const PrintedTable& table = report_.tables[t];
    double h = 0;
    for (size_t c = 0; c < table.columns.size(); ++c) {
      h = std::max(h, SetCaption(t, c, Align::kLeft));
    }
    h += 2 * kPadY + 1;
    if (table.HasCodes()) h += line_height_;
    return h;
  }

  // Sets the caption of column `c` of table `t` in its cell's width; returns its height.
  // Captions break between words. When a word is wider than its cell, the table's captions
  // are all set smaller, as far as that word needs and down to kSmallestCaption of the head's
  // size; a word still too wide is then broken with a hyphen.
  double SetCaption(size_t t, size_t c, Align align) {
    const PrintedTable& table = report_.tables[t];
    auto it = caption_styles_.find(t);
    if (it == caption_styles_.end()) {
      const double normal =
          static_cast<double>(pango_font_description_get_size(bold_.get())) / PANGO_SCALE;
      const double smallest = normal * kSmallestCaption;
      double size = normal;
      for (size_t k = 0; k < table.columns.size(); ++k) {
        const double widest = text_.WidestWord(table.columns[k].caption, bold_.get());
        const double width = CellWidth(t, k);
        if (widest <= width) continue;
        // Text widths grow with the size; the step down keeps the size a whole step.
        double fits = normal * width / widest;
        fits = std::floor(fits / kCaptionStep) * kCaptionStep;
        size = std::min(size, std::max(smallest, fits));
      }
      CaptionStyle style{size < normal ? BoldOfSize(size) : bold_.get(), {}};
      for (size_t k = 0; k < table.columns.size(); ++k) {
        style.hyphens.push_back(text_.WidestWord(table.columns[k].caption, style.font) >
                                CellWidth(t, k));
      }
      it = caption_styles_.emplace(t, std::move(style)).first;
    }
    const CaptionStyle& style = it->second;
    const std::string& caption = table.columns[c].caption;
    return style.hyphens[c] ? text_.SetHyphenated(caption, style.font, CellWidth(t, c), align)
                            : text_.Set(caption, style.font, CellWidth(t, c), true, align);
  }

  // The head's bold font in `size` points, made once per size.
  const PangoFontDescription* BoldOfSize(double size) {
    const int key = static_cast<int>(size * PANGO_SCALE);
    auto it = bold_sizes_.find(key);
    if (it == bold_sizes_.end()) {
      FontPtr font(pango_font_description_copy(bold_.get()));
      pango_font_description_set_size(font.get(), key);
      it = bold_sizes_.emplace(key, std::move(font)).first;
    }
    return it->second.get();
  }

  double CellWidth(size_t t, size_t c) const {
    return columns_x_[t][c + 1] - columns_x_[t][c] - 2 * kPadX;
  }

  double LineHeight(size_t t, const PrintedLine& line) {
    const PrintedTable& table = report_.tables[t];
    double h = line_height_;
    for (size_t c = 0; c < table.columns.size(); ++c) {
      if (!table.columns[c].wrap || line.cells[c].IsEmpty()) continue;
      const std::string text = FormatValue(line.cells[c], table.columns[c].kind);
      h = std::max(h, text_.Measure(text, body_.get(), CellWidth(t, c), true) + 2 * kPadY);
    }
    return h;
  }

  void PaginateTable(size_t t) {
    const PrintedTable& table = report_.tables[t];
    const Block head{BlockKind::kHead, t, 0, HeadHeight(t)};
    const double caption = table.caption.empty()
                               ? 0
                               : text_.Set(table.caption, header_bold_.get(), content_, true) + 6;
    if (y_ > kMarginTop) y_ += kTableGap;
    // The caption and head stay with the table's first line.
    if (!Fits(caption + head.height + line_height_)) NewPage();
    if (caption > 0) Place({BlockKind::kCaption, t, 0, caption});
    Place(head);
    if (table.rows == 0) {
      Place({BlockKind::kNoData, t, 0, line_height_ * 2});
      return;
    }
    // Runs of lines that belong together: a group with its subtotal; the totals go with the
    // last group, so that they never stand alone at the top of a page.
    std::vector<std::vector<Block>> runs;
    for (size_t i = 0; i < table.lines.size(); ++i) {
      const PrintedLine& line = table.lines[i];
      if (i == 0 || (line.kind == LineKind::kDetail && line.group_start)) runs.emplace_back();
      runs.back().push_back({BlockKind::kLine, t, i, LineHeight(t, line)});
    }
    const double page_room = Usable() - head.height;
    for (const std::vector<Block>& run : runs) {
      double run_height = 0;
      for (const Block& b : run) run_height += b.height;
      // A group that fits on a page and is short is moved whole; a longer one is split, with
      // at least two of its lines at the foot of a page and two at the top of the next.
      const bool keep =
          run_height <= page_room && (run.size() <= kKeptLines || run_height <= page_room / 3);
      if (!Fits(run_height) &&
          (keep || !Fits(run[0].height + (run.size() > 1 ? run[1].height : 0)))) {
        NewPage();
        Place(head);
      }
      for (size_t k = 0; k < run.size(); ++k) {
        // The last two lines of a split group go over together.
        const bool second_last = k > 0 && run.size() - k == 2;
        const double needed = second_last ? run[k].height + run[k + 1].height : run[k].height;
        if (!Fits(needed)) {
          NewPage();
          Place(head);
          Place(run[k]);
          if (k > 0 && table.lines[run[k].index].kind == LineKind::kDetail) {
            pages_.back().back().continues = run[0].index;
          }
          continue;
        }
        Place(run[k]);
      }
    }
  }

  // --- Drawing ---

  // A rule is kept with the others of its width and shade and drawn with them when the page is
  // done: a page of a table has hundreds of rules, and each drawing operation costs the PDF
  // surface more than its segments do.
  void Rule(double x0, double y0, double x1, double y1, double width, double grey) {
    rules_[{width, grey}].push_back({x0, y0, x1, y1});
  }

  void DrawRules() {
    for (const auto& [style, segments] : rules_) {
      cairo_set_source_rgb(cr_, style.second, style.second, style.second);
      cairo_set_line_width(cr_, style.first);
      for (const auto& [x0, y0, x1, y1] : segments) {
        cairo_move_to(cr_, x0, y0);
        cairo_line_to(cr_, x1, y1);
      }
      cairo_stroke(cr_);
    }
    rules_.clear();
  }

  void Fill(double x, double y, double w, double h, double grey) {
    cairo_set_source_rgb(cr_, grey, grey, grey);
    cairo_rectangle(cr_, x, y, w, h);
    cairo_fill(cr_);
  }

  void Ink(double grey = 0.07) { cairo_set_source_rgb(cr_, grey, grey, grey); }

  void DrawBlock(const Placed& placed) {
    const Block& b = placed.block;
    switch (b.kind) {
      case BlockKind::kHeader:
        DrawHeader(report_.header[b.index], placed.y);
        break;
      case BlockKind::kCaption:
        Ink();
        text_.Show(report_.tables[b.table].caption, header_bold_.get(), kMarginSide, placed.y + 2,
                   content_, true);
        break;
      case BlockKind::kHead:
        DrawHead(b.table, placed.y, b.height);
        break;
      case BlockKind::kLine:
        DrawLine(b.table, b.index, placed.y, b.height, placed.continues);
        break;
      case BlockKind::kNoData:
        Ink(0.4);
        text_.Show(report_.texts.no_data, body_.get(), kMarginSide, placed.y + b.height / 4,
                   content_, false, Align::kCenter);
        Rule(kMarginSide, placed.y + b.height, kMarginSide + content_, placed.y + b.height, 0.6,
             0.4);
        break;
      case BlockKind::kSignatures:
        DrawSignatures(placed.y + 12);
        break;
    }
  }

  void DrawHeader(const PrintedHeaderLine& line, double y) {
    Ink();
    if (line.barcode) {
      DrawBarcode(line.text, y + 4);
      return;
    }
    const std::string text = line.caption.empty() || line.style == HeaderStyle::kLine
                                 ? line.text
                                 : line.caption + " " + line.text;
    switch (line.style) {
      case HeaderStyle::kCompany:
        text_.Show(text, company_.get(), kMarginSide, y, content_, true);
        break;
      case HeaderStyle::kTitle:
        text_.Show(text, title_.get(), kMarginSide, y + 8, content_, true, Align::kCenter);
        break;
      case HeaderStyle::kCenter:
        text_.Show(text, header_.get(), kMarginSide, y + 1, content_, true, Align::kCenter);
        break;
      case HeaderStyle::kNote:
        Ink(0.3);
        text_.Show(text, small_.get(), kMarginSide, y, content_, true);
        break;
      case HeaderStyle::kLine:
        Ink(0.3);
        if (!line.caption.empty()) {
          text_.Show(line.caption + ":", header_.get(), kMarginSide, y + 1, caption_width_, false);
        }
        Ink();
        text_.Show(text, header_bold_.get(), kMarginSide + caption_width_, y + 1,
                   content_ - caption_width_, true);
        break;
    }
  }

  void DrawBarcode(const std::string& text, double y) {
    const std::string elements = Code39Elements(text);
    double x = kMarginSide;
    Ink(0);
    for (size_t i = 0; i < elements.size(); ++i) {
      const double w = elements[i] == 'w' ? kWideBar : kNarrowBar;
      if (i % 2 == 0) {
        cairo_rectangle(cr_, x, y, w, kBarcodeHeight);
      }
      x += w;
    }
    cairo_fill(cr_);
    text_.Show(text, small_.get(), kMarginSide, y + kBarcodeHeight + 1, x - kMarginSide, false,
               Align::kCenter);
  }

  double Right(size_t t) const { return columns_x_[t].back(); }

  void Verticals(size_t t, double y, double h, double grey) {
    for (double x : columns_x_[t]) Rule(x, y, x, y + h, 0.4, grey);
  }

  void DrawHead(size_t t, double y, double h) {
    const PrintedTable& table = report_.tables[t];
    const std::vector<double>& x = columns_x_[t];
    Fill(kMarginSide, y, Right(t) - kMarginSide, h, 0.92);
    const double codes = table.HasCodes() ? line_height_ : 0;
    Ink();
    for (size_t c = 0; c < table.columns.size(); ++c) {
      const PrintedColumn& column = table.columns[c];
      const double th = SetCaption(t, c, column.numeric ? Align::kRight : Align::kLeft);
      // Captions sit on the bottom of the head, as the column's values hang under them.
      text_.Draw(x[c] + kPadX, y + h - codes - kPadY - th);
      if (codes > 0) {
        text_.Show(column.code, small_.get(), x[c] + kPadX, y + h - codes + kPadY, CellWidth(t, c),
                   false, Align::kCenter);
      }
    }
    if (codes > 0) Rule(kMarginSide, y + h - codes, Right(t), y + h - codes, 0.4, 0.5);
    Rule(kMarginSide, y, Right(t), y, 0.6, 0.4);
    Rule(kMarginSide, y + h, Right(t), y + h, 0.6, 0.4);
    Verticals(t, y, h, 0.4);
  }

  void DrawLine(size_t t, size_t index, double y, double h, std::optional<size_t> continues) {
    const PrintedTable& table = report_.tables[t];
    const PrintedLine& line = table.lines[index];
    const PrintedLine* group_line = continues ? &table.lines[*continues] : nullptr;
    const std::vector<double>& x = columns_x_[t];
    const PangoFontDescription* font = body_.get();
    switch (line.kind) {
      case LineKind::kDetail:
        if (line.group_start) Rule(kMarginSide, y, Right(t), y, 0.4, 0.55);
        break;
      case LineKind::kSubtotal:
        Fill(kMarginSide, y, Right(t) - kMarginSide, h, 0.965);
        Rule(kMarginSide, y, Right(t), y, 0.3, 0.7);
        font = italic_.get();
        break;
      case LineKind::kTotal:
        Fill(kMarginSide, y, Right(t) - kMarginSide, h, 0.92);
        if (index == 0 || table.lines[index - 1].kind != LineKind::kTotal) {
          Rule(kMarginSide, y, Right(t), y, 1.0, 0.15);
        }
        font = bold_.get();
        break;
    }
    size_t first = 0;
    if (!line.label.empty()) {
      while (first < line.cells.size() && line.cells[first].IsEmpty()) ++first;
    }
    // The label spans the empty cells it starts with: no rule between them.
    for (size_t c = 0; c < x.size(); ++c) {
      if (c == 0 || c >= first) Rule(x[c], y, x[c], y + h, 0.4, 0.6);
    }
    Ink();
    if (!line.label.empty()) {
      if (first > 0) {
        text_.Show(line.label, bold_.get(), x[0] + kPadX, y + kPadY, x[first] - x[0] - 2 * kPadX,
                   false);
      }
    }
    for (size_t c = first; c < table.columns.size(); ++c) {
      const PrintedColumn& column = table.columns[c];
      const bool again = group_line && column.group;
      const Variant& cell = again ? group_line->cells[c] : line.cells[c];
      if (cell.IsEmpty()) continue;
      Ink(again ? 0.45 : 0.07);
      text_.Show(FormatValue(cell, column.kind), font, x[c] + kPadX, y + kPadY, CellWidth(t, c),
                 column.wrap && !again, column.numeric ? Align::kRight : Align::kLeft);
    }
  }

  void DrawSignatures(double y) {
    const double role_w = content_ * 0.28;
    const double position_w = content_ * 0.24;
    const double sign_w = content_ * 0.2;
    const double name_x = kMarginSide + role_w + position_w + sign_w + 10;
    const double name_w = content_ - (name_x - kMarginSide);
    for (const PrintedSignature& s : report_.signatures) {
      const double base = y + kSignatureRow - 14;
      Ink();
      text_.Set(s.role, header_.get(), role_w - 6, true);
      text_.Draw(kMarginSide, base - 11);
      text_.Set(s.position, header_.get(), position_w - 6, true);
      text_.Draw(kMarginSide + role_w, base - 11);
      const double sign_x = kMarginSide + role_w + position_w;
      Rule(sign_x, base, sign_x + sign_w, base, 0.5, 0.2);
      Rule(name_x, base, name_x + name_w, base, 0.5, 0.2);
      Ink();
      text_.Show(s.name, header_.get(), name_x, base - 11, name_w, false, Align::kCenter);
      Ink(0.35);
      text_.Show(report_.texts.signature, small_.get(), sign_x, base + 1, sign_w, false,
                 Align::kCenter);
      text_.Show(report_.texts.name, small_.get(), name_x, base + 1, name_w, false, Align::kCenter);
      y += kSignatureRow;
    }
  }

  void Foot(int page, int pages) {
    const double y = height_ - kMarginBottom + 8;
    Rule(kMarginSide, y - 3, kMarginSide + content_, y - 3, 0.3, 0.6);
    Ink(0.35);
    text_.Show(report_.PrintedText(), small_.get(), kMarginSide, y, content_ / 2, false);
    text_.Show(report_.PageText(page, pages), small_.get(), kMarginSide + content_ / 2, y,
               content_ / 2, false, Align::kRight);
  }

  const PrintedReport& report_;
  cairo_t* cr_;
  TextSetter text_;
  FontPtr body_, bold_, italic_, small_, header_, header_bold_, title_, company_;
  std::map<int, FontPtr> bold_sizes_;  // BoldOfSize, by size in pango units
  struct CaptionStyle {
    const PangoFontDescription* font;
    std::vector<bool> hyphens;  // per column
  };
  std::map<size_t, CaptionStyle> caption_styles_;  // SetCaption's, per table
  double width_ = 0, height_ = 0, content_ = 0, line_height_ = 0, caption_width_ = 0;
  std::vector<std::vector<double>> columns_x_;
  std::map<char, double> digits_, bold_digits_;
  std::map<std::pair<double, double>, std::vector<std::array<double, 4>>> rules_;
  std::vector<std::vector<Placed>> pages_;
  double y_ = 0;
};

[[noreturn]] void CannotWrite(const std::filesystem::path& path, cairo_status_t status) {
  throw Error(kErrFileAccess, "ReportEngine",
              "cannot write \"" + path.string() + "\": " + cairo_status_to_string(status));
}

}  // namespace

int WritePdf(const PrintedReport& report, const std::filesystem::path& path) {
  const bool landscape = report.orientation == PageOrientation::kLandscape;
  SurfacePtr surface(cairo_pdf_surface_create(path.string().c_str(), landscape ? kA4Long : kA4Short,
                                              landscape ? kA4Short : kA4Long));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    CannotWrite(path, cairo_surface_status(surface.get()));
  }
  cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_TITLE, report.title.c_str());
  cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "qts");
  int pages = 0;
  {
    ContextPtr cr(cairo_create(surface.get()));
    PdfDocument document(report, cr.get());
    const std::vector<std::vector<Placed>> placed = document.Paginate();
    document.Draw(placed);
    pages = static_cast<int>(placed.size());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) CannotWrite(path, cairo_status(cr.get()));
  }
  cairo_surface_finish(surface.get());
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    CannotWrite(path, cairo_surface_status(surface.get()));
  }
  return pages;
}

}  // namespace qts::host
