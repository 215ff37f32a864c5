#include "solver/MarkingCondition.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "lang/Diagnostics.h"
#include "lang/Evaluator.h"
#include "lang/SourceFile.h"
#include "lang/StandaloneExpression.h"
#include "lang/SymbolTable.h"
#include "solver/SolverError.h"
#include "solver/io/StaReader.h"
#include "solver/numeric/RateMatrix.h"

namespace {

bool IsIdentifier(const std::string& name) {
  if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_'))
    return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
      return false;
  return true;
}

// The values of one marking, as the evaluator asks for them: places by
// column, labels (the language's globals here) by their entry in `labels`.
class MarkingValues : public lang::ValueSource {
public:
  MarkingValues(const std::int64_t* values, const std::vector<int>& labels, bool init,
                bool deadlock)
      : Values(values), Labels(labels), Init(init), Deadlock(deadlock) {}
  std::optional<lang::Value> place(int index) const override {
    return lang::Value::Int(Values[index]);
  }
  std::optional<lang::Value> global(int index) const override {
    const int column = Labels[static_cast<std::size_t>(index)];
    if (column == -1)
      return lang::Value::Bool(Init);
    if (column == -2)
      return lang::Value::Bool(Deadlock);
    return lang::Value::Bool(Values[column] != 0);
  }

private:
  const std::int64_t* Values;
  const std::vector<int>& Labels;
  bool Init;
  bool Deadlock;
};

// "a, b, c" or, for many names, the first ones and how many more.
std::string NameList(const std::vector<std::string>& names) {
  std::string list;
  const std::size_t shown = names.size() <= 24 ? names.size() : 20;
  for (std::size_t i = 0; i < shown; i++)
    list += (i > 0 ? ", " : "") + names[i];
  if (shown < names.size())
    list += " and " + std::to_string(names.size() - shown) + " more";
  return list;
}

// Characters (UTF-8 code points) of text[0, end).
int Column(const std::string& text, std::size_t end) {
  int n = 1;
  for (std::size_t i = 0; i < end && i < text.size(); i++)
    n += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
  return n;
}

[[noreturn]] void Fail(const std::string& line, const MarkingCondition::Origin& origin,
                       std::size_t at, std::size_t length, const std::string& message) {
  throw MarkingCondition::PositionError(line, origin, at, length, message);
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

} // namespace

SolverError MarkingCondition::PositionError(const std::string& line, const Origin& origin,
                                            std::size_t at, std::size_t length,
                                            const std::string& message) {
  lang::SourceFile file(origin.Source, std::string(std::size_t(origin.Line - 1), '\n') + line);
  lang::Diagnostics diagnostics(file);
  diagnostics.error({origin.Line, Column(line, at), int(std::max<std::size_t>(length, 1)), nullptr},
                    message);
  std::string rendered = diagnostics.render();
  while (!rendered.empty() && rendered.back() == '\n')
    rendered.pop_back();
  return SolverError(SolverError::InputError, rendered);
}

std::vector<std::string> MarkingCondition::LabelNames(const std::vector<std::string>& names) {
  std::vector<std::string> labels;
  for (const std::string& name : names)
    if (name.size() > 7 && name.compare(0, 6, "label(") == 0 && name.back() == ')')
      labels.push_back(name.substr(6, name.size() - 7));
  return labels;
}

MarkingCondition::MarkingCondition(const std::string& text, const std::vector<std::string>& names)
    : MarkingCondition(text, 0, text.size(), names, Origin{}) {}

MarkingCondition::MarkingCondition(const std::string& line, std::size_t begin, std::size_t end,
                                   const std::vector<std::string>& names, const Origin& origin)
    : Text(line.substr(begin, end - begin)), Names(names) {
  // What the language parses: the line with everything outside the
  // condition blanked (one blank per character) and each quoted label
  // replaced by an identifier of the same length.
  std::string work;
  for (std::size_t i = 0; i < begin; i++)
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80)
      work += ' ';
  lang::SymbolTable symbols;
  for (std::size_t i = 0; i < names.size(); i++)
    if (IsIdentifier(names[i]))
      symbols.add(
          {names[i], lang::SymbolKind::Place, static_cast<int>(i), lang::ValueType::Int, {}});
  std::vector<std::string> labels = LabelNames(names);
  labels.emplace_back("init");
  labels.emplace_back("deadlock");
  std::vector<std::pair<std::string, std::string>> spellings; // identifier, "label"
  for (std::size_t i = begin; i < end; i++) {
    if (line[i] != '"') {
      work += line[i];
      continue;
    }
    const std::size_t close = line.find('"', i + 1);
    if (close == std::string::npos || close >= end)
      Fail(line, origin, i, 1, "a label's name has no closing '\"'");
    const std::string label = line.substr(i + 1, close - i - 1);
    int column = InitLabel;
    if (label == "deadlock") {
      column = DeadlockLabel;
    } else if (label != "init") {
      column = -3;
      for (std::size_t c = 0; c < names.size(); c++)
        if (names[c] == "label(" + label + ")")
          column = int(c);
    }
    if (column == -3) {
      const std::string nearest = lang::SymbolTable::Closest(label, labels);
      std::string list;
      for (const std::string& l : labels)
        list += (list.empty() ? "\"" : ", \"") + l + "\"";
      Fail(line, origin, i, label.size() + 2,
           "unknown label \"" + label + "\"" +
               (nearest.empty() ? std::string() : "; did you mean \"" + nearest + "\"?") +
               " (the labels of this chain: " + list + ")");
    }
    // The identifier: two characters that make it a name no column has.
    std::string id;
    for (char first : std::string("_QZ")) {
      for (char second : std::string("_0123456789")) {
        id = std::string{first, second} + label;
        if (symbols.find(id) == nullptr)
          break;
      }
      if (symbols.find(id) == nullptr)
        break;
    }
    const std::size_t index = LabelColumns.size();
    bool known = false;
    for (const auto& s : spellings)
      known = known || s.first == id;
    if (!known) {
      symbols.add(
          {id, lang::SymbolKind::Global, static_cast<int>(index), lang::ValueType::Bool, {}});
      LabelColumns.push_back(column);
      spellings.emplace_back(id, "\"" + label + "\"");
    }
    ReadsDeadlock = ReadsDeadlock || column == DeadlockLabel;
    ReadsMarking = ReadsMarking || column >= 0;
    work += id;
    i = close;
  }
  Source = std::make_unique<lang::SourceFile>(
      origin.Source, std::string(std::size_t(origin.Line - 1), '\n') + work);
  lang::Diagnostics diagnostics(*Source);
  std::optional<lang::StandaloneExpression> parsed =
      lang::StandaloneExpression::Parse(*Source, symbols, diagnostics, lang::ValueType::Bool);
  if (!parsed) {
    std::string message = diagnostics.render();
    while (!message.empty() && message.back() == '\n')
      message.pop_back();
    // Show the line as written, and labels by their quoted names.
    const std::size_t lineEnd = line.find('\n');
    const std::string written = line.substr(0, lineEnd);
    if (work != written)
      ReplaceAll(message, "| " + work + "\n", "| " + written + "\n");
    for (const auto& [id, quoted] : spellings)
      ReplaceAll(message, "'" + id + "'", quoted);
    throw SolverError(SolverError::InputError,
                      message + "\n(the places of this chain: " + NameList(names) + ")");
  }
  Expression = std::make_unique<lang::StandaloneExpression>(std::move(*parsed));
  ReadsMarking = ReadsMarking || !Expression->placesRead().empty();
}

MarkingCondition::~MarkingCondition() = default;
MarkingCondition::MarkingCondition(MarkingCondition&&) noexcept = default;

bool MarkingCondition::holds(const std::int64_t* values, std::uint32_t state, bool deadlock) const {
  MarkingValues source(values, LabelColumns, state == 1, deadlock);
  lang::Evaluator evaluator(source);
  std::optional<lang::Value> value = evaluator.evaluate(Expression->expression());
  if (!value || value->type != lang::ValueType::Bool) {
    std::string marking;
    for (std::size_t i = 0; i < Names.size(); i++)
      marking += (i > 0 ? ", " : "") + Names[i] + "=" + std::to_string(values[i]);
    throw SolverError(SolverError::InputError,
                      "--where \"" + Text + "\": cannot be evaluated in state " +
                          std::to_string(state) + " (" + marking +
                          "): " + (evaluator.error().empty() ? "no value" : evaluator.error()));
  }
  return value->boolean;
}

std::vector<CompactColumn> MarkingCondition::Indicators(const std::string& staFile,
                                                        const std::vector<std::string>& conditions,
                                                        std::uint32_t states, Progress& progress,
                                                        const RateMatrix* matrix) {
  StaReader reader(staFile);
  std::vector<MarkingCondition> parsed;
  parsed.reserve(conditions.size());
  for (const std::string& condition : conditions)
    parsed.emplace_back(condition, reader.names());
  std::vector<CompactColumn> indicators(conditions.size());
  for (CompactColumn& column : indicators)
    column.reserve(states);
  reader.read(
      states,
      [&](std::uint32_t state, const std::int64_t* values) {
        const bool deadlock =
            matrix != nullptr && matrix->rowBegin(state - 1) == matrix->rowEnd(state - 1);
        for (std::size_t c = 0; c < parsed.size(); c++)
          indicators[c].push_back(parsed[c].holds(values, state, deadlock) ? 1.0 : 0.0);
      },
      progress);
  return indicators;
}
