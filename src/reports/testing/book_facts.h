// The rows of a book read straight from its tables, for tests that compute a report's result
// in plain C++ and compare it with what the report's query gives.
#ifndef QTS_REPORTS_TESTING_BOOK_FACTS_H_
#define QTS_REPORTS_TESTING_BOOK_FACTS_H_

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/decimal.h"
#include "host/data/app_context.h"
#include "reports/testing/report_harness.h"

namespace qts::reports::testing {

struct BookFacts {
  struct Doc {
    std::string type, date, number, code, store, currency;
    bool posted = false;
    int64_t author = 0;  // -1 when Null
  };
  struct Type {
    bool income = false, stock = false;
  };
  struct Spec {
    int64_t id = 0, doc = 0, pos = 0;
    std::string good, unit;  // good "" when Null
    double amount = 0, amount_account = 0, summa = 0, cost = 0, vat = 0;
    int fix_category = 0;
  };
  struct Link {
    int64_t outcome, income;
    double amount;
  };
  struct Content {
    int64_t spec, cor_spec;
    double amount;
  };
  struct Good {
    std::string name, parent;
    bool group = false;
    int category = 0;
  };
  struct Person {
    std::string first, last;
  };

  std::map<int64_t, Doc> docs;
  std::map<std::string, Type> types;
  std::map<int64_t, Spec> specs;
  std::vector<Link> links;
  std::vector<Content> contents;
  std::map<std::string, Good> goods;
  std::map<std::string, std::string> account_units;
  std::map<int64_t, Person> persons_by_user;
  std::map<std::string, std::string> store_codes;  // IDC as text -> code

  explicit BookFacts(host::AppContext& book) {
    RawReader r(book);
    auto text = [](auto& s, int i) { return s.IsNull(i) ? std::string() : s.GetText(i); };
    // Money and quantity columns, read as the backend keeps them.
    auto num = [](auto& s, int i) { return s.IsNull(i) ? 0.0 : s.GetCurrency(i).ToDouble(); };
    r.Each(
        "SELECT \"IDC\", \"DocTypeCode\", \"DocumentDate\", \"Number\", \"Code\", \"StoreCode\", "
        "\"CurrencyCode\", \"IsPosted\", \"Author\" FROM " +
            r.Table("THDocument"),
        [&](auto& s) {
          docs[s.GetInt64(0)] = {text(s, 1),         text(s, 2).substr(0, 10),
                                 text(s, 3),         text(s, 4),
                                 text(s, 5),         text(s, 6),
                                 s.GetInt64(7) == 1, s.IsNull(8) ? -1 : s.GetInt64(8)};
        });
    r.Each("SELECT \"Code\", \"IsIncome\", \"IsStock\" FROM " + r.Table("THDocType"), [&](auto& s) {
      types[s.GetText(0)] = {s.GetInt64(1) == 1, s.GetInt64(2) == 1};
    });
    r.Each(
        "SELECT \"IDC\", \"DocID\", \"PosNumb\", \"GoodCode\", \"UnitCode\", \"Amount\", "
        "\"AmountAccount\", \"Summa\", "
        "\"CostSumm\", \"SummVAT\", \"FixCategory\" FROM " +
            r.Table("THGoodSpec"),
        [&](auto& s) {
          specs[s.GetInt64(0)] = {s.GetInt64(0),
                                  s.GetInt64(1),
                                  s.GetInt64(2),
                                  text(s, 3),
                                  text(s, 4),
                                  num(s, 5),
                                  num(s, 6),
                                  num(s, 7),
                                  num(s, 8),
                                  num(s, 9),
                                  s.IsNull(10) ? 0 : static_cast<int>(s.GetInt64(10))};
        });
    r.Each("SELECT \"OutcomeSpecID\", \"IncomeSpecID\", \"Amount\" FROM " +
               r.Table("THGoodSpecFixLog"),
           [&](auto& s) {
             links.push_back({s.GetInt64(0), s.GetInt64(1), num(s, 2)});
           });
    r.Each("SELECT \"SpecID\", \"CorSpecID\", \"AmountAccount\" FROM " + r.Table("THGoodContent"),
           [&](auto& s) {
             contents.push_back({s.GetInt64(0), s.GetInt64(1), num(s, 2)});
           });
    r.Each("SELECT \"Code\", \"Name\", \"ParentCode\", \"IsGroup\", \"Category\" FROM " +
               r.Table("REFGood"),
           [&](auto& s) {
             goods[s.GetText(0)] = {text(s, 1), text(s, 2), s.GetInt64(3) == 1,
                                    static_cast<int>(s.GetInt64(4))};
           });
    r.Each("SELECT \"GoodCode\", \"UnitCode\" FROM " + r.Table("REFGoodUnit") +
               " WHERE \"IsAccount\" = 1",
           [&](auto& s) { account_units[s.GetText(0)] = s.GetText(1); });
    r.Each("SELECT \"UserId\", \"FirstName\", \"LastName\" FROM " + r.Table("REFPerson") +
               " WHERE \"UserId\" IS NOT NULL",
           [&](auto& s) {
             persons_by_user[s.GetInt64(0)] = {text(s, 1), text(s, 2)};
           });
    r.Each("SELECT \"IDC\", \"Code\" FROM " + r.Table("STStore"),
           [&](auto& s) { store_codes[std::to_string(s.GetInt64(0))] = s.GetText(1); });
  }

  const Doc& DocOf(const Spec& s) const { return docs.at(s.doc); }
  bool IsReceipt(const Spec& s) const {
    const Doc& d = DocOf(s);
    const Type& t = types.at(d.type);
    return d.posted && t.stock && t.income;
  }
  // What the fix-log links dated up to `date` took from receipt row `id` (summed exactly).
  double Linked(int64_t id, const std::string& date) const {
    Decimal sum;
    for (const Link& l : links) {
      if (l.income == id && DocOf(specs.at(l.outcome)).date <= date) {
        sum = sum + Decimal::FromDouble(l.amount);
      }
    }
    return sum.ToDouble();
  }
  bool Below(std::string good, const std::string& group) const {
    for (int depth = 0; depth < 16 && !good.empty(); ++depth) {
      good = goods.at(good).parent;
      if (good == group) return true;
    }
    return false;
  }
  // Fixed rests of category 0 on `date` with a positive free quantity: good -> (free, cost).
  // Money is decimal: each receipt's share of its cost is summed exactly and the sum rounded
  // once, as the book computes it (in doubles a sum of x.xx5 can come out a hair below it).
  std::map<std::string, std::pair<double, double>> FixRests(const std::string& date) const {
    std::map<std::string, std::pair<Decimal, Decimal>> sums;
    for (const auto& [id, s] : specs) {
      if (!IsReceipt(s) || s.fix_category != 0 || DocOf(s).date > date) continue;
      const Decimal amount = Decimal::FromDouble(s.amount_account);
      const Decimal free = amount - Decimal::FromDouble(Linked(id, date));
      sums[s.good].first = sums[s.good].first + free;
      if (amount != Decimal()) {
        sums[s.good].second = sums[s.good].second + Decimal::FromDouble(s.cost) * free / amount;
      }
    }
    std::map<std::string, std::pair<double, double>> rests;
    for (auto& [good, v] : sums) {
      if (v.first.Round(4) > Decimal()) rests[good] = {v.first.ToDouble(), v.second.Round(2).ToDouble()};
    }
    return rests;
  }
  // Stock rests on `date` per (good, store).
  std::map<std::pair<std::string, std::string>, double> StoreRests(const std::string& date) const {
    std::map<std::pair<std::string, std::string>, double> rests;
    for (const auto& [id, s] : specs) {
      const Doc& d = DocOf(s);
      const Type& t = types.at(d.type);
      if (!d.posted || !t.stock || d.date > date) continue;
      rests[{s.good, d.store}] += t.income ? s.amount_account : -s.amount_account;
    }
    return rests;
  }
  // A quantity valued at the fixed rest's cost, as the reports compute it.
  static double Valued(double quantity, const std::map<std::string, std::pair<double, double>>& fix,
                       const std::string& good) {
    auto f = fix.find(good);
    if (f == fix.end()) return 0;
    return (Decimal::FromDouble(quantity) * Decimal::FromDouble(f->second.second) /
            Decimal::FromDouble(f->second.first))
        .Round(2)
        .ToDouble();
  }
};

}  // namespace qts::reports::testing

#endif  // QTS_REPORTS_TESTING_BOOK_FACTS_H_
