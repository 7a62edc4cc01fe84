// The message resource set "QTSFormRes": every text the component shows or fetches by number
// must be there, with exactly the placeholders the caller fills.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/report/print_layout.h"
#include "host/services/message_table.h"

namespace qts::host {
namespace {

struct MessageUse {
  int32_t number;
  int placeholders;  // arguments the caller formats into the text: %0 .. %(n-1)
  const char* use;
};

// Every number the component asks the message table for.
constexpr MessageUse kMessages[] = {
    {301, 0, "write-off and finished-goods forms: the document number is empty"},
    {336, 0, "finished-goods form: no store chosen"},
    {396, 0, "write-off and finished-goods forms: the document date is empty"},
    {504, 0, "write-off and finished-goods forms: no department chosen"},
    {550, 0, "finished-goods form: caption of the grid column GoodCode"},
    {618, 0, "progress caption: filling the rows from a material list"},
    {619, 0, "progress caption: filling labour operations (variants 3 and 5)"},
    {620, 0, "progress caption: pricing the rows (stock orders, write-off cost)"},
    {622, 0, "write-off form: the price buttons finished"},
    {842, 1, "no book to report on; formatted with one (empty) argument"},
    {1080, 0, "finished-goods receipt act: report title"},
    {1081, 0, "write-off form: window title"},
    {8365, 0, "progress caption: filling equipment operations"},
    {13073, 0, "report parameter forms: caption \"iki :\" of the end date"},
    {13301, 0, "report parameter form frmRepStoreRestByTerm: window caption"},
    {13302, 0, "report parameter forms: caption of the goods selector"},
    {13303, 0, "report parameter forms: caption of the store selector"},
    {13304, 0, "report parameter forms: caption of the day count (and of the begin date)"},
    {22621, 0, "report parameter form frmRepWriteOffBDK: caption \"Ataskaitos parametrai\""},
    {22622, 0, "report parameter form frmRepWriteOffBDK: caption \"NURAŠYMAS PAGAL BDK\""},
    {22623, 0, "report parameter form frmRepWriteOffBDK: caption \"Laikotarpis nuo :\""},
    {22624, 0, "report parameter form frmRepWriteOffBDK: caption \"iki :\""},
    {22625, 0, "report parameter form frmRepWriteOffBDK: caption \"Nurašymo kategorija :\""},
    {22626, 0, "report parameter form frmRepWriteOffBDK: caption \"Tiekėjas :\""},
    {22627, 0,
     "report parameter form frmRepWriteOffBDK: caption \"Parodyti prekės turinčias nurašymą\""},
    {22630, 0, "report parameter form frmRepRestOffBDK: caption \"Ataskaitos parametrai\""},
    {22631, 0, "report parameter form frmRepRestOffBDK: caption \"PREKIŲ LIKUČIAI PAGAL BDK\""},
    {22632, 0, "report parameter form frmRepRestOffBDK: caption \"Data :\""},
    {22633, 0, "report parameter form frmRepRestOffBDK: caption \"Nurašymo kategorija :\""},
    {22634, 0, "report parameter form frmRepRestOffBDK: caption \"Tiekėjas :\""},
    {22721, 0, "report parameter form frmRepWriteOffSvyd: caption \"Ataskaitos parametrai\""},
    {22722, 0, "report parameter form frmRepWriteOffSvyd: caption \"Akto numeris :\""},
    {22723, 0, "report parameter form frmRepWriteOffSvyd: caption \"Laikotarpis nuo :\""},
    {22724, 0, "report parameter form frmRepWriteOffSvyd: caption \"iki :\""},
    {22725, 0, "report parameter form frmRepWriteOffSvyd: caption \"Komisija :\""},
    {22726, 0, "report parameter form frmRepWriteOffSvyd: caption \"Pirmininkas :\""},
    {22727, 0, "report parameter form frmRepWriteOffSvyd: caption \"Nariai :\""},
    {30816, 0, "report parameter form frmRepPack: caption \"Metai :\""},
    {30817, 0, "report parameter form frmRepPack: caption \"Ataskaitos rengėjas :\""},
    {8381, 3, "fuel write-off: rest too small; shortage, quantity, rest"},
    {8382, 0, "write-off title for a fuel-store write-off of a vehicle period document"},
    {8383, 0, "write-off title for an other-store write-off of a vehicle period document"},
    {8388, 1, "write-off title under an ITR parent; the parent's code"},
    {20213, 1, "fuel write-off: replace the rows of the existing document; its code"},
    {20215, 0, "progress caption: the fuel write-off's distribution"},
    {20222, 1, "fuel write-off: a quantity stays unlinked to receipts; the item code"},
    {22170, 0, "wait window text"},
    {27409, 0, "packaging form: the document has rows already; replace them"},
    {27410, 1, "packaging fill: progress text; the count of rows written"},
    {27411, 0, "packaging form: another declaration exists for the period"},
    {27412, 0, "packaging form: the period dates do not belong to one period"},
    {30001, 0, "printed reports: the label of the totals"},
    {30002, 2, "printed reports: the page foot; the page and the count of pages"},
    {30003, 1, "printed reports: the page foot; the print time"},
    {30004, 0, "printed reports: a data list without rows"},
    {30005, 0, "printed reports: under a signature line"},
    {30006, 0, "printed reports: under the name on a signature line"},
    {30007, 1, "printed reports: a long selection; the count of codes not named"},
};

// The texts print layouts use: a composed text or a caption has exactly the placeholders its
// arguments fill; every other text has none.
std::map<int32_t, int> LayoutMessages() {
  std::map<int32_t, int> uses;
  auto use = [&](int32_t key, size_t args) {
    auto [it, added] = uses.emplace(key, static_cast<int>(args));
    EXPECT_TRUE(added || it->second == static_cast<int>(args))
        << "message " << key << " is used with " << it->second << " and " << args << " arguments";
  };
  for (const std::string& name : PrintLayoutClasses()) {
    std::optional<PrintLayout> layout = LoadPrintLayout(name);
    use(layout->title, 0);
    for (const LayoutHeaderItem& item : layout->header) {
      if (item.caption) use(*item.caption, 0);
      if (item.text) use(*item.text, item.args.size());
      if (item.all) use(*item.all, 0);
    }
    for (const LayoutTable& table : layout->tables) {
      if (table.caption) use(*table.caption, 0);
      for (const PrintLayoutColumn& column : table.columns)
        use(column.caption, column.caption_args.size());
      if (table.group && table.group->subtotal) use(*table.group->subtotal, 0);
    }
    for (const LayoutSignature& signature : layout->signatures) {
      if (signature.role) use(*signature.role, 0);
    }
  }
  return uses;
}

std::set<int> Placeholders(const std::string& text) {
  static const std::regex kPlaceholder("%([0-9]+)");
  std::set<int> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), kPlaceholder);
       it != std::sregex_iterator(); ++it) {
    found.insert(std::stoi((*it)[1].str()));
  }
  return found;
}

TEST(MessagesTest, EveryMessageTheComponentShowsHasItsTextAndPlaceholders) {
  MessageTable table;
  table.SetResourceName("QTSFormRes");
  std::vector<MessageUse> uses(std::begin(kMessages), std::end(kMessages));
  for (const auto& [key, args] : LayoutMessages()) uses.push_back({key, args, "a print layout"});
  for (const MessageUse& message : uses) {
    SCOPED_TRACE(std::to_string(message.number) + " (" + message.use + ")");
    ASSERT_TRUE(table.HasText(message.number));
    std::string text = table.GetText(message.number);
    EXPECT_FALSE(text.empty());
    std::set<int> expected;
    for (int i = 0; i < message.placeholders; ++i) expected.insert(i);
    // A missing placeholder drops an argument; an extra one would show "%n" to the user.
    EXPECT_EQ(Placeholders(text), expected) << text;
  }
}

TEST(MessagesTest, TheResourceFileHoldsOnlyKnownNumbersInLithuanian) {
  std::ifstream in(MessageTable::ResourceDir() / "QTSFormRes.json", std::ios::binary);
  ASSERT_TRUE(in) << MessageTable::ResourceDir();
  std::stringstream buffer;
  buffer << in.rdbuf();
  nlohmann::json doc = nlohmann::json::parse(buffer.str());  // also rejects invalid UTF-8
  EXPECT_EQ(doc["resourceSet"], "QTSFormRes");
  EXPECT_EQ(doc["language"], "lt");

  std::set<std::string> known;
  for (const MessageUse& message : kMessages) known.insert(std::to_string(message.number));
  for (const auto& [key, args] : LayoutMessages()) known.insert(std::to_string(key));
  bool any_lithuanian_letter = false;
  for (auto& [key, value] : doc["messages"].items()) {
    EXPECT_TRUE(known.count(key)) << "message " << key << " is not used by the component";
    std::string text = value.get<std::string>();
    ASSERT_FALSE(text.empty()) << key;
    EXPECT_NE(text.front(), ' ') << "message " << key << " starts with a blank";
    EXPECT_NE(text.back(), ' ') << "message " << key << " ends with a blank";
    // UTF-8 read once too often turns "ą" into "Ä…" and "š" into "Å¡".
    for (const char* mojibake : {"Ã", "Ä", "Å"}) {
      EXPECT_EQ(text.find(mojibake), std::string::npos) << "message " << key << ": " << text;
    }
    for (const char* letter : {"ą", "č", "ę", "ė", "į", "š", "ų", "ū", "ž", "Ą", "Č", "Ę", "Ė", "Į",
                               "Š", "Ų", "Ū", "Ž"}) {
      if (text.find(letter) != std::string::npos) any_lithuanian_letter = true;
    }
  }
  EXPECT_EQ(doc["messages"].size(), known.size());
  EXPECT_TRUE(any_lithuanian_letter);
}

}  // namespace
}  // namespace qts::host
