#include "host/report/code39.h"

#include <utility>

#include "core/error.h"

namespace qts::host {

namespace {

// Bars and spaces of each character, bar first.
constexpr std::pair<char, std::string_view> kPatterns[] = {
    {'0', "nnnwwnwnn"}, {'1', "wnnwnnnnw"}, {'2', "nnwwnnnnw"}, {'3', "wnwwnnnnn"},
    {'4', "nnnwwnnnw"}, {'5', "wnnwwnnnn"}, {'6', "nnwwwnnnn"}, {'7', "nnnwnnwnw"},
    {'8', "wnnwnnwnn"}, {'9', "nnwwnnwnn"}, {'A', "wnnnnwnnw"}, {'B', "nnwnnwnnw"},
    {'C', "wnwnnwnnn"}, {'D', "nnnnwwnnw"}, {'E', "wnnnwwnnn"}, {'F', "nnwnwwnnn"},
    {'G', "nnnnnwwnw"}, {'H', "wnnnnwwnn"}, {'I', "nnwnnwwnn"}, {'J', "nnnnwwwnn"},
    {'K', "wnnnnnnww"}, {'L', "nnwnnnnww"}, {'M', "wnwnnnnwn"}, {'N', "nnnnwnnww"},
    {'O', "wnnnwnnwn"}, {'P', "nnwnwnnwn"}, {'Q', "nnnnnnwww"}, {'R', "wnnnnnwwn"},
    {'S', "nnwnnnwwn"}, {'T', "nnnnwnwwn"}, {'U', "wwnnnnnnw"}, {'V', "nwwnnnnnw"},
    {'W', "wwwnnnnnn"}, {'X', "nwnnwnnnw"}, {'Y', "wwnnwnnnn"}, {'Z', "nwwnwnnnn"},
    {'-', "nwnnnnwnw"}, {'.', "wwnnnnwnn"}, {' ', "nwwnnnwnn"}, {'$', "nwnwnwnnn"},
    {'/', "nwnwnnnwn"}, {'+', "nwnnnwnwn"}, {'%', "nnnwnwnwn"}, {'*', "nwnnwnwnn"},
};

std::string_view PatternOf(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const auto& [character, pattern] : kPatterns) {
    if (character == c) return pattern;
  }
  return {};
}

}  // namespace

std::string Code39Elements(std::string_view text) {
  std::string out(PatternOf('*'));
  for (char c : text) {
    std::string_view pattern = c == '*' ? std::string_view() : PatternOf(c);
    if (pattern.empty()) {
      throw Error(kErrInvalidCall, "Code39",
                  "\"" + std::string(1, c) + "\" of \"" + std::string(text) +
                      "\" cannot be drawn as a Code 39 bar code");
    }
    out += 'n';
    out += pattern;
  }
  out += 'n';
  out += PatternOf('*');
  return out;
}

}  // namespace qts::host
