#include "solver/property/PropertyQueries.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "lang/SymbolTable.h"
#include "solver/ChainQueries.h"
#include "solver/MarkingCondition.h"
#include "solver/Progress.h"
#include "solver/SolverError.h"
#include "solver/SolverOptions.h"
#include "solver/io/ChainFiles.h"
#include "solver/io/StaReader.h"
#include "solver/numeric/BottomComponents.h"
#include "solver/property/PathSolver.h"
#include "solver/property/PropertyParser.h"
#include "solver/results/ChainExport.h"
#include "solver/results/ResultTable.h"
#include "solver/results/SolveOutcome.h"
#include "solver/results/SolveRecord.h"

namespace {

using Mask = ReachabilityGraph::Mask;

std::vector<Property> ParseAll(const SolverOptions& options) {
  std::vector<Property> properties;
  for (const std::string& text : options.Properties)
    properties.push_back(PropertyParser::Parse(text, {"--property", 1}));
  for (const std::string& file : options.PropertyFiles)
    for (Property& p : PropertyParser::ReadFile(file))
      properties.push_back(std::move(p));
  for (const Property& p : properties) {
    const bool grid = p.Upper.Grid || p.Lower.Grid;
    if (grid && options.Times.empty())
      throw SolverError(SolverError::InputError,
                        p.Origin.Source + ":" + std::to_string(p.Origin.Line) + ": " + p.Text +
                            ": a time bound written as a name stands for each time of --times; "
                            "give them (e.g. --times 0:1000:50)");
  }
  return properties;
}

// The times of a property's upper bound.
std::vector<double> TimesOf(const Property& p, const SolverOptions& options) {
  return p.Upper.Grid ? options.Times : std::vector<double>{p.Upper.Value};
}

// The rows a property gives, without values: what a refused solve stores.
std::vector<PVTypeReader::Variable> RowsOf(const std::vector<Property>& properties,
                                           const SolverOptions& options) {
  std::vector<PVTypeReader::Variable> rows;
  for (const Property& p : properties) {
    PVTypeReader::Variable v{p.Text, PVTypeReader::SteadyState, {}};
    const bool bounded = (p.What == Property::Kind::Until && p.HasBound) ||
                         p.What == Property::Kind::Cumulative || p.What == Property::Kind::Instant;
    if (bounded) {
      const bool interval = p.What == Property::Kind::Cumulative || p.Lower.Value > 0;
      v.TimeType = interval ? PVTypeReader::IntervalOfTime : PVTypeReader::InstantOfTime;
      for (double t : TimesOf(p, options))
        v.Times.push_back({interval ? p.Lower.Value : t, t});
    }
    rows.push_back(std::move(v));
  }
  return rows;
}

// The conditions of the properties, parsed against the .sta file's columns,
// and the states satisfying each, found in one pass over the file.
class ConditionSet {
public:
  ConditionSet(const std::string& prefix, const std::vector<Property>& properties) {
    const bool haveSta = StaReader::Exists(prefix);
    if (haveSta)
      Reader = std::make_unique<StaReader>(prefix + ".sta");
    const std::vector<std::string> none;
    const std::vector<std::string>& names = haveSta ? Reader->names() : none;
    for (const Property& p : properties) {
      const int before = add(p, p.Phi, names, haveSta, prefix);
      const int target = add(p, p.Psi, names, haveSta, prefix);
      Index.emplace_back(before, target);
    }
  }

  // Evaluates every condition in every state.
  void evaluate(const RateMatrix& matrix, Progress& progress) {
    const std::uint32_t n = matrix.states();
    Masks.assign(Conditions.size(), Mask(n, 0));
    auto visit = [&](std::uint32_t state, const std::int64_t* values) {
      const bool deadlock = matrix.rowBegin(state - 1) == matrix.rowEnd(state - 1);
      for (std::size_t c = 0; c < Conditions.size(); c++)
        Masks[c][state - 1] = Conditions[c].holds(values, state, deadlock) ? 1 : 0;
    };
    bool marking = false;
    for (const MarkingCondition& c : Conditions)
      marking = marking || c.readsMarking();
    if (marking) {
      Reader->read(n, visit, progress);
    } else {
      for (std::uint32_t s = 1; s <= n; s++)
        visit(s, nullptr);
    }
  }

  // The states of property p's phi (empty: true) and psi.
  const Mask& phi(std::size_t p) const {
    return Index[p].first < 0 ? Empty : Masks[std::size_t(Index[p].first)];
  }
  const Mask& psi(std::size_t p) const {
    return Index[p].second < 0 ? Empty : Masks[std::size_t(Index[p].second)];
  }

private:
  std::unique_ptr<StaReader> Reader;
  std::vector<MarkingCondition> Conditions;
  std::vector<std::pair<int, int>> Index;
  std::vector<Mask> Masks;
  Mask Empty;

  int add(const Property& p, const Property::Range& range, const std::vector<std::string>& names,
          bool haveSta, const std::string& prefix) {
    if (range.empty())
      return -1;
    try {
      Conditions.emplace_back(p.Line, range.Begin, range.End, names, p.Origin);
    } catch (const SolverError& error) {
      if (haveSta)
        throw;
      // Without markings only "init" and "deadlock" are known: say how to
      // get the places and labels.
      throw SolverError(SolverError::InputError,
                        std::string(error.what()) + "\n" + prefix +
                            ".sta: no state-marking file, so no places and no labels but "
                            "\"init\" and \"deadlock\" (run the model executable again with "
                            "--states)");
    }
    return int(Conditions.size() - 1);
  }
};

// The reward variable of R{"v"}, by its index in the files; -1 for time.
int VariableOf(const Property& p, const ChainFiles& files) {
  if (p.Variable.empty())
    return -1;
  std::vector<std::string> names;
  for (std::size_t v = 0; v < files.Variables.size(); v++) {
    if (files.Variables[v].Name == p.Variable)
      return int(v);
    names.push_back(files.Variables[v].Name);
  }
  const std::string close = lang::SymbolTable::Closest(p.Variable, names);
  std::string list;
  for (const std::string& n : names)
    list += (list.empty() ? "" : ", ") + n;
  throw MarkingCondition::PositionError(
      p.Line, p.Origin, p.VariableAt, p.Variable.size() + 2,
      "unknown reward variable \"" + p.Variable + "\"" +
          (close.empty() ? std::string() : "; did you mean \"" + close + "\"?") +
          " (the variables of " + files.Prefix + ".pvtype: " + (list.empty() ? "none" : list) +
          ")");
}

ChainSolver::Result Solve(const std::vector<Property>& properties, const SolverOptions& options,
                          const ChainFiles& files, Progress& progress) {
  const bool curves = !options.PlotFile.empty();
  ChainSolver::Result total;
  total.Info.States = files.Matrix.states();
  total.Info.Transitions = files.Matrix.transitions();
  if (!options.Conditions.empty())
    PropertyQueries::Merge(total, ChainQueries::SolveConditions(options, files, progress, curves));

  std::vector<int> variables;
  variables.reserve(properties.size());
  for (const Property& p : properties)
    variables.push_back(VariableOf(p, files));
  ConditionSet conditions(options.Prefix, properties);
  conditions.evaluate(files.Matrix, progress);

  PathSolver paths(files.Matrix, options, progress);
  for (std::size_t i = 0; i < properties.size(); i++) {
    const Property& p = properties[i];
    const CompactColumn* reward =
        variables[i] < 0 ? nullptr : &files.Rewards[std::size_t(variables[i])].RateValues;
    const bool impulse = variables[i] >= 0 && files.Rewards[std::size_t(variables[i])].HasImpulse;
    ChainSolver::Result part;
    switch (p.What) {
    case Property::Kind::Until:
      if (!p.HasBound)
        part.Rows.push_back(paths.untilUnbounded(p.Text, conditions.phi(i), conditions.psi(i)));
      else if (p.Lower.Value > 0)
        part.Rows.push_back(paths.untilInterval(p.Text, conditions.phi(i), conditions.psi(i),
                                                p.Lower.Value, p.Upper.Value));
      else
        part = paths.untilBounded(p.Text, conditions.phi(i), conditions.psi(i), TimesOf(p, options),
                                  curves && p.Upper.Grid);
      break;
    case Property::Kind::ReachReward: {
      // With the .imp file, the impulses earned until psi are the impulse
      // rate of each state it leaves before psi (the completion that
      // reaches psi included): r + a accumulated, as for interval measures.
      const std::size_t v = std::size_t(std::max(variables[i], 0));
      const bool impulses = impulse && !files.Impulses.empty() && files.Impulses[v].Any;
      part.Rows.push_back(paths.reachReward(p.Text, conditions.psi(i),
                                            impulses ? &files.RatePlusImpulse[v] : reward));
      if (impulse && !impulses && part.Rows.back().Valid && part.Rows.back().Note.empty())
        part.Rows.back().Note = "impulse part not included (no .imp file)";
      break;
    }
    default: {
      // The measures the reward variables have, and S=? [ phi ].
      CompactColumn indicator;
      ChainSolver::Measure measure;
      measure.Name = p.Text;
      measure.Reward = reward;
      measure.HasImpulse = impulse;
      if (p.What == Property::Kind::SteadyState) {
        for (std::uint8_t m : conditions.psi(i))
          indicator.push_back(m != 0 ? 1.0 : 0.0);
        measure.Reward = &indicator;
      }
      if (p.What == Property::Kind::Cumulative) {
        measure.Type = PVTypeReader::IntervalOfTime;
        for (double t : TimesOf(p, options))
          measure.Times.push_back({0, t});
      } else if (p.What == Property::Kind::Instant) {
        measure.Type = PVTypeReader::InstantOfTime;
        for (double t : TimesOf(p, options))
          measure.Times.push_back({t, t});
      } else {
        measure.Type = PVTypeReader::SteadyState;
        measure.Times = {{0, 1}};
      }
      part = ChainSolver::Solve(files.Matrix, {measure}, options, progress, curves && p.Upper.Grid);
      break;
    }
    }
    PropertyQueries::Merge(total, part);
  }
  ChainSolver::Result pathInfo;
  pathInfo.Info = paths.info();
  PropertyQueries::Merge(total, pathInfo);
  // The summary's closed classes are the chain's own (the solves above saw
  // chains with states made absorbing).
  if (total.Info.SteadyStateSolved) {
    BottomComponents classes;
    classes.find(files.Matrix, progress);
    total.Info.Classes = classes.classes();
    total.Info.Components = classes.components();
    total.Info.TransientStates = classes.transientCount();
  }
  return total;
}

} // namespace

bool PropertyQueries::Wanted(const SolverOptions& options) {
  return !options.Properties.empty() || !options.PropertyFiles.empty();
}

void PropertyQueries::Merge(ChainSolver::Result& total, const ChainSolver::Result& part) {
  for (const ChainSolver::Row& row : part.Rows)
    total.Rows.push_back(row);
  for (const ChainSolver::Curve& curve : part.Curves)
    total.Curves.push_back(curve);
  ChainSolver::Summary& t = total.Info;
  const ChainSolver::Summary& p = part.Info;
  t.Classes = std::max(t.Classes, p.Classes);
  t.Components = std::max(t.Components, p.Components);
  t.TransientStates = std::max(t.TransientStates, p.TransientStates);
  if (p.SteadyStateSolved) {
    t.SteadyStateForDetectionOnly =
        t.SteadyStateSolved ? t.SteadyStateForDetectionOnly && p.SteadyStateForDetectionOnly
                            : p.SteadyStateForDetectionOnly;
    t.SteadyStateSolved = true;
  }
  t.SteadyStateConverged = t.SteadyStateConverged && p.SteadyStateConverged;
  std::size_t from = 0;
  while (from < p.Methods.size()) {
    std::size_t comma = p.Methods.find(", ", from);
    if (comma == std::string::npos)
      comma = p.Methods.size();
    const std::string method = p.Methods.substr(from, comma - from);
    if (t.Methods.find(method) == std::string::npos)
      t.Methods += (t.Methods.empty() ? "" : ", ") + method;
    from = comma + 2;
  }
  t.Iterations += p.Iterations;
  if (!(p.Residual <= t.Residual))
    t.Residual = p.Residual;
  if (t.Failure.empty())
    t.Failure = p.Failure;
  if (p.TransientSolved) {
    t.TransientSolved = true;
    t.Transient.Rate = std::max(t.Transient.Rate, p.Transient.Rate);
    t.Transient.Steps += p.Transient.Steps;
    t.Transient.Needed += p.Transient.Needed;
    t.Transient.Detected = t.Transient.Detected || p.Transient.Detected;
  }
  t.ClassSeconds += p.ClassSeconds;
  t.SteadySeconds += p.SteadySeconds;
  t.TransientSeconds += p.TransientSeconds;
}

int PropertyQueries::Run(const SolverOptions& options, Progress& progress,
                         std::chrono::steady_clock::time_point started) {
  const std::vector<Property> properties = ParseAll(options);
  SolveRecord record;
  std::unique_ptr<ChainFiles> files;
  ChainSolver::Result result;
  try {
    files = std::make_unique<ChainFiles>(ChainFiles::Read(options.Prefix, progress));
    for (const SolverOptions::Export& e : options.Exports) {
      ChainExport::Written written = ChainExport::Write(e.Format, *files, e.Prefix, progress);
      progress.finish();
      for (const std::string& note : written.Notes)
        std::cerr << "ssg-solve: --export " << e.Format << ": " << note << std::endl;
      std::string list;
      for (const std::string& file : written.Files)
        list += (list.empty() ? "" : ", ") + file;
      std::cerr << "ssg-solve: --export " << e.Format << " wrote " << list << std::endl;
    }
    result = Solve(properties, options, *files, progress);
  } catch (const SolverError& error) {
    progress.finish();
    record.Message = error.what();
    record.Status = error.status() == SolverError::Unsupported ? SolveRecord::Outcome::Refused
                                                               : SolveRecord::Outcome::Failed;
    if (record.Status == SolveRecord::Outcome::Refused)
      record.Variables = RowsOf(properties, options);
    SolveOutcome::Store(options, record, started);
    throw;
  }
  progress.finish();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  ResultTable::PrintTable(std::cout, result);
  ResultTable::PrintSummary(std::cout, *files, result, seconds);
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "ssg-solve: cannot write the results to standard output" << std::endl;
    return 1;
  }
  if (!options.CsvFile.empty())
    ResultTable::WriteCsv(options.CsvFile, result);
  int status = 0;
  record.Result = &result;
  record.Status = SolveRecord::Outcome::Completed;
  if (!result.complete()) {
    std::string failure = result.Info.Failure;
    for (const ChainSolver::Row& row : result.Rows)
      if (failure.empty() && !row.Valid)
        failure = row.Note;
    std::cerr << "ssg-solve: not converged: " << failure
              << "; its rows have no value (raise --max-iterations or try another --method)"
              << std::endl;
    status = SolverError::NotConverged;
    record.Status = SolveRecord::Outcome::NotConverged;
    record.Message = "not converged: " + failure;
  }
  return SolveOutcome::Finish(options, record, result, status, started);
}
