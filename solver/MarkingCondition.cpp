#include "solver/MarkingCondition.h"

#include <cctype>
#include <optional>

#include "lang/Diagnostics.h"
#include "lang/Evaluator.h"
#include "lang/SourceFile.h"
#include "lang/StandaloneExpression.h"
#include "lang/SymbolTable.h"
#include "solver/SolverError.h"
#include "solver/io/StaReader.h"

namespace {

bool IsIdentifier(const std::string& name) {
  if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_'))
    return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
      return false;
  return true;
}

// The values of one marking, as the evaluator asks for them.
class MarkingValues : public lang::ValueSource {
public:
  explicit MarkingValues(const std::int64_t* values) : Values(values) {}
  std::optional<lang::Value> place(int index) const override {
    return lang::Value::Int(Values[index]);
  }

private:
  const std::int64_t* Values;
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

} // namespace

MarkingCondition::MarkingCondition(const std::string& text, const std::vector<std::string>& names)
    : Text(text), Names(names), Source(std::make_unique<lang::SourceFile>("--where", text)) {
  lang::SymbolTable symbols;
  for (std::size_t i = 0; i < names.size(); i++)
    if (IsIdentifier(names[i]))
      symbols.add(
          {names[i], lang::SymbolKind::Place, static_cast<int>(i), lang::ValueType::Int, {}});
  lang::Diagnostics diagnostics(*Source);
  std::optional<lang::StandaloneExpression> parsed =
      lang::StandaloneExpression::Parse(*Source, symbols, diagnostics, lang::ValueType::Bool);
  if (!parsed) {
    std::string message = diagnostics.render();
    while (!message.empty() && message.back() == '\n')
      message.pop_back();
    throw SolverError(SolverError::InputError,
                      message + "\n(the places of this chain: " + NameList(names) + ")");
  }
  Expression = std::make_unique<lang::StandaloneExpression>(std::move(*parsed));
}

MarkingCondition::~MarkingCondition() = default;
MarkingCondition::MarkingCondition(MarkingCondition&&) noexcept = default;

bool MarkingCondition::holds(const std::int64_t* values, std::uint32_t state) const {
  MarkingValues source(values);
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
                                                        std::uint32_t states, Progress& progress) {
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
        for (std::size_t c = 0; c < parsed.size(); c++)
          indicators[c].push_back(parsed[c].holds(values, state) ? 1.0 : 0.0);
      },
      progress);
  return indicators;
}
