#include "lang/SymbolTable.h"

#include <algorithm>
#include <cctype>

namespace lang {

namespace {

constexpr size_t MaxCompared = 64; // longer names get no suggestion

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Edits (insertions, deletions, substitutions, swaps of neighbours) from a
// to b.
size_t EditDistance(std::string_view a, std::string_view b) {
  const size_t n = a.size(), m = b.size();
  std::vector<std::vector<size_t>> d(n + 1, std::vector<size_t>(m + 1));
  for (size_t i = 0; i <= n; i++)
    d[i][0] = i;
  for (size_t j = 0; j <= m; j++)
    d[0][j] = j;
  for (size_t i = 1; i <= n; i++) {
    for (size_t j = 1; j <= m; j++) {
      const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[n][m];
}

} // namespace

const Symbol* SymbolTable::add(Symbol symbol) {
  auto it = ByName.find(symbol.name);
  if (it != ByName.end())
    return &Symbols[it->second];
  ByName.emplace(symbol.name, Symbols.size());
  Symbols.push_back(std::move(symbol));
  return nullptr;
}

const Symbol* SymbolTable::find(std::string_view name) const {
  auto it = ByName.find(std::string(name));
  return it == ByName.end() ? nullptr : &Symbols[it->second];
}

std::string SymbolTable::Closest(std::string_view name,
                                 const std::vector<std::string>& candidates) {
  if (name.size() > MaxCompared)
    return {};
  const std::string lower = Lower(name);
  const size_t allowed = std::max<size_t>(1, name.size() / 3);
  std::string best;
  size_t bestDistance = allowed + 1;
  for (const std::string& c : candidates) {
    if (c == name || c.size() > MaxCompared)
      continue;
    if (Lower(c) == lower)
      return c;
    const size_t lengthGap =
        c.size() > name.size() ? c.size() - name.size() : name.size() - c.size();
    if (lengthGap > allowed)
      continue;
    const size_t d = EditDistance(name, c);
    if (d < bestDistance) {
      bestDistance = d;
      best = c;
    }
  }
  return best;
}

std::string SymbolTable::suggest(std::string_view name,
                                 std::initializer_list<SymbolKind> kinds) const {
  std::vector<std::string> candidates;
  for (const Symbol& s : Symbols) {
    if (kinds.size() == 0 || std::find(kinds.begin(), kinds.end(), s.kind) != kinds.end())
      candidates.push_back(s.name);
  }
  return Closest(name, candidates);
}

} // namespace lang
