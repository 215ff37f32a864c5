#include "solver/results/ChainExport.h"

#include <cctype>
#include <set>

#include "solver/MarkingCondition.h"
#include "solver/Progress.h"
#include "solver/SolverError.h"
#include "solver/io/ChainFiles.h"
#include "solver/io/StaReader.h"
#include "solver/results/OutputFile.h"

namespace {

// The names of the reward variables as distinct identifiers.
std::vector<std::string> Identifiers(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  std::set<std::string> taken;
  for (const std::string& name : names) {
    std::string id = ChainExport::Identifier(name);
    std::string unique = id;
    for (int k = 2; !taken.insert(unique).second; k++)
      unique = id + "_" + std::to_string(k);
    out.push_back(unique);
  }
  return out;
}

std::vector<std::string> VariableNames(const ChainFiles& files) {
  std::vector<std::string> names;
  for (const PVTypeReader::Variable& v : files.Variables)
    names.push_back(v.Name);
  return names;
}

bool Absorbing(const RateMatrix& matrix, std::uint32_t i) {
  return matrix.rowBegin(i) == matrix.rowEnd(i);
}

void NoteImpulses(const ChainFiles& files, ChainExport::Written& written) {
  for (const VarReader::Variable& v : files.Rewards)
    if (v.HasImpulse)
      written.Notes.push_back("reward variable " + v.Name +
                              " has impulse rewards; only its rate rewards are exported");
}

// "(a,b,c)" of the names as identifiers.
std::string NameTuple(const std::vector<std::string>& names) {
  std::string tuple = "(";
  const std::vector<std::string> ids = Identifiers(names);
  for (std::size_t i = 0; i < ids.size(); i++)
    tuple += (i > 0 ? "," : "") + ids[i];
  return tuple + ")";
}

// The labels of the .sta file's `label(Name)` columns: their names and,
// per state, one byte per label.
struct StaLabels {
  std::vector<std::string> Names;
  std::vector<std::uint8_t> Values; // state i, label l at i * Names.size() + l
  bool holds(std::uint32_t i, std::size_t l) const { return Values[i * Names.size() + l] != 0; }
};

StaLabels ReadLabels(const ChainFiles& files, Progress& progress) {
  StaLabels labels;
  if (!StaReader::Exists(files.Prefix))
    return labels;
  StaReader reader(files.Prefix + ".sta");
  labels.Names = MarkingCondition::LabelNames(reader.names());
  if (labels.Names.empty())
    return labels;
  std::vector<std::size_t> columns;
  for (std::size_t c = 0; c < reader.names().size(); c++)
    if (reader.names()[c].rfind("label(", 0) == 0)
      columns.push_back(c);
  const std::uint32_t n = files.Matrix.states();
  labels.Values.reserve(std::size_t(n) * columns.size());
  reader.read(
      n,
      [&](std::uint32_t, const std::int64_t* values) {
        for (std::size_t c : columns)
          labels.Values.push_back(values[c] != 0 ? 1 : 0);
      },
      progress);
  return labels;
}

// Whether a .sta column is a label's (exported as a label, not a variable).
bool IsLabelColumn(const std::string& name) {
  return name.rfind("label(", 0) == 0 && name.back() == ')';
}

// The chain's name for the files' comments: its prefix without the
// directory.
std::string ChainName(const ChainFiles& files) {
  return files.Prefix.substr(files.Prefix.rfind('/') + 1);
}

} // namespace

std::string ChainExport::Identifier(const std::string& name) {
  std::string id;
  for (char c : name)
    id += std::isalnum(static_cast<unsigned char>(c)) || c == '_' ? c : '_';
  if (id.empty() || std::isdigit(static_cast<unsigned char>(id[0])))
    id = "_" + id;
  return id;
}

ChainExport::Written ChainExport::Write(const std::string& format, const ChainFiles& files,
                                        const std::string& prefix, Progress& progress) {
  if (format == "prism")
    return Prism(files, prefix, progress);
  if (format == "drn")
    return Drn(files, prefix);
  if (format == "mtx")
    return Mtx(files, prefix);
  if (format == "dot")
    return Dot(files, prefix, progress);
  throw SolverError(SolverError::InputError, "--export: unknown format '" + format + "'");
}

ChainExport::Written ChainExport::Prism(const ChainFiles& files, const std::string& prefix,
                                        Progress& progress) {
  const RateMatrix& matrix = files.Matrix;
  const std::uint32_t n = matrix.states();
  Written written;

  OutputFile tra(prefix + ".tra");
  tra.putWhole(n).put(' ').putWhole(matrix.transitions()).put('\n');
  for (std::uint32_t i = 0; i < n; i++)
    for (std::uint64_t e = matrix.rowBegin(i); e < matrix.rowEnd(i); e++)
      tra.putWhole(i)
          .put(' ')
          .putWhole(matrix.column(e))
          .put(' ')
          .putReal(matrix.rate(e))
          .put('\n');
  tra.close();
  written.Files.push_back(tra.fileName());

  if (StaReader::Exists(files.Prefix)) {
    StaReader reader(files.Prefix + ".sta");
    OutputFile sta(prefix + ".sta");
    // The variables: every column but the labels' (those go to the .lab).
    std::vector<std::string> variables;
    std::vector<std::size_t> columns;
    for (std::size_t c = 0; c < reader.names().size(); c++)
      if (!IsLabelColumn(reader.names()[c])) {
        variables.push_back(reader.names()[c]);
        columns.push_back(c);
      }
    sta.put(NameTuple(variables)).put('\n');
    reader.read(
        n,
        [&](std::uint32_t state, const std::int64_t* values) {
          sta.putWhole(state - 1).put(":(");
          for (std::size_t c = 0; c < columns.size(); c++) {
            if (c > 0)
              sta.put(',');
            sta.putSigned(values[columns[c]]);
          }
          sta.put(")\n");
        },
        progress);
    sta.close();
    written.Files.push_back(sta.fileName());
  } else {
    written.Notes.push_back("no " + files.Prefix + ".sta, so no " + prefix +
                            ".sta: run the model executable with --states for the markings");
  }

  // Labels: init and deadlock, then the model's (label(Name) columns of
  // the .sta file) numbered from 2.
  const StaLabels labels = ReadLabels(files, progress);
  OutputFile lab(prefix + ".lab");
  lab.put(R"(0="init" 1="deadlock")");
  for (std::size_t l = 0; l < labels.Names.size(); l++)
    lab.put(' ').putWhole(l + 2).put("=\"").put(labels.Names[l]).put('"');
  lab.put('\n');
  for (std::uint32_t i = 0; i < n; i++) {
    const bool deadlock = Absorbing(matrix, i);
    bool any = i == 0 || deadlock;
    for (std::size_t l = 0; l < labels.Names.size() && !any; l++)
      any = labels.holds(i, l);
    if (!any)
      continue;
    lab.putWhole(i).put(':');
    if (i == 0)
      lab.put(" 0");
    if (deadlock)
      lab.put(" 1");
    for (std::size_t l = 0; l < labels.Names.size(); l++)
      if (labels.holds(i, l))
        lab.put(' ').putWhole(l + 2);
    lab.put('\n');
  }
  lab.close();
  written.Files.push_back(lab.fileName());

  const std::vector<std::string> ids = Identifiers(VariableNames(files));
  for (std::size_t v = 0; v < files.Rewards.size(); v++) {
    const CompactColumn& reward = files.Rewards[v].RateValues;
    std::uint64_t nonZero = 0;
    for (std::uint32_t i = 0; i < n; i++)
      nonZero += reward[i] != 0.0;
    OutputFile srew(prefix + "." + ids[v] + ".srew");
    srew.putWhole(n).put(' ').putWhole(nonZero).put('\n');
    for (std::uint32_t i = 0; i < n; i++)
      if (reward[i] != 0.0)
        srew.putWhole(i).put(' ').putReal(reward[i]).put('\n');
    srew.close();
    written.Files.push_back(srew.fileName());
  }
  NoteImpulses(files, written);
  return written;
}

ChainExport::Written ChainExport::Drn(const ChainFiles& files, const std::string& prefix) {
  const RateMatrix& matrix = files.Matrix;
  const std::uint32_t n = matrix.states();
  Written written;
  Progress quiet(false);
  const StaLabels labels = ReadLabels(files, quiet);
  OutputFile drn(prefix + ".drn");
  drn.put("// continuous-time Markov chain of ").put(ChainName(files)).put("\n");
  drn.put("@type: CTMC\n@parameters\n\n@reward_models\n");
  const std::vector<std::string> ids = Identifiers(VariableNames(files));
  for (std::size_t v = 0; v < ids.size(); v++)
    drn.put(v > 0 ? " " : "").put(ids[v]);
  drn.put("\n@nr_states\n").putWhole(n).put("\n@nr_choices\n").putWhole(n).put("\n@model\n");
  for (std::uint32_t i = 0; i < n; i++) {
    drn.put("state ").putWhole(i);
    if (!files.Rewards.empty()) {
      drn.put(" [");
      for (std::size_t v = 0; v < files.Rewards.size(); v++) {
        if (v > 0)
          drn.put(", ");
        drn.putReal(files.Rewards[v].RateValues[i]);
      }
      drn.put(']');
    }
    const bool deadlock = Absorbing(matrix, i);
    if (i == 0)
      drn.put(" init");
    if (deadlock)
      drn.put(" deadlock");
    for (std::size_t l = 0; l < labels.Names.size(); l++)
      if (labels.holds(i, l))
        drn.put(' ').put(labels.Names[l]);
    drn.put("\n\taction 0\n");
    if (deadlock)
      drn.put("\t\t").putWhole(i).put(" : 1\n");
    for (std::uint64_t e = matrix.rowBegin(i); e < matrix.rowEnd(i); e++)
      drn.put("\t\t").putWhole(matrix.column(e)).put(" : ").putReal(matrix.rate(e)).put('\n');
  }
  drn.close();
  written.Files.push_back(drn.fileName());
  NoteImpulses(files, written);
  return written;
}

ChainExport::Written ChainExport::Mtx(const ChainFiles& files, const std::string& prefix) {
  const RateMatrix& matrix = files.Matrix;
  const std::uint32_t n = matrix.states();
  std::uint64_t entries = matrix.transitions();
  for (std::uint32_t i = 0; i < n; i++)
    entries += matrix.exitRate(i) != 0.0;
  Written written;
  OutputFile mtx(prefix + ".mtx");
  mtx.put("%%MatrixMarket matrix coordinate real general\n");
  mtx.put("% generator matrix Q of ")
      .put(ChainName(files))
      .put(": Q(i,j) rate from state i to state j, Q(i,i) minus the exit rate of i\n");
  mtx.putWhole(n).put(' ').putWhole(n).put(' ').putWhole(entries).put('\n');
  for (std::uint32_t i = 0; i < n; i++) {
    // Columns in increasing order, the diagonal in its place.
    const double exit = matrix.exitRate(i);
    bool diagonalDone = exit == 0.0;
    for (std::uint64_t e = matrix.rowBegin(i); e <= matrix.rowEnd(i); e++) {
      const bool last = e == matrix.rowEnd(i);
      if (!diagonalDone && (last || matrix.column(e) > i)) {
        mtx.putWhole(i + 1).put(' ').putWhole(i + 1).put(' ').putReal(-exit).put('\n');
        diagonalDone = true;
      }
      if (!last)
        mtx.putWhole(i + 1)
            .put(' ')
            .putWhole(matrix.column(e) + 1)
            .put(' ')
            .putReal(matrix.rate(e))
            .put('\n');
    }
  }
  mtx.close();
  written.Files.push_back(mtx.fileName());
  return written;
}

ChainExport::Written ChainExport::Dot(const ChainFiles& files, const std::string& prefix,
                                      Progress& progress) {
  const RateMatrix& matrix = files.Matrix;
  const std::uint32_t n = matrix.states();
  if (n > MaxDotStates)
    throw SolverError(SolverError::InputError,
                      "--export dot: the chain has " + std::to_string(n) +
                          " states; a drawing is made of at most " + std::to_string(MaxDotStates) +
                          " (Graphviz takes very long to lay out more, and no one can read "
                          "them): export prism, drn or mtx instead");
  Written written;
  std::vector<std::string> labels(n);
  if (StaReader::Exists(files.Prefix)) {
    StaReader reader(files.Prefix + ".sta");
    const std::vector<std::string>& names = reader.names();
    reader.read(
        n,
        [&](std::uint32_t state, const std::int64_t* values) {
          std::string& label = labels[state - 1];
          for (std::size_t c = 0; c < names.size(); c++)
            if (values[c] != 0)
              label += (label.empty() ? "" : " ") + names[c] + "=" + std::to_string(values[c]);
        },
        progress);
  } else {
    written.Notes.push_back("no " + files.Prefix +
                            ".sta: states are labelled with their numbers only (run the model "
                            "executable with --states for the markings)");
  }
  auto quoted = [](const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
      if (c == '"' || c == '\\')
        out += '\\';
      out += c;
    }
    return out + "\"";
  };
  OutputFile dot(prefix + ".dot");
  dot.put("digraph ").put(quoted(ChainName(files))).put(" {\n");
  dot.put("  rankdir=LR;\n  node [shape=box];\n");
  for (std::uint32_t i = 0; i < n; i++) {
    dot.put("  ").putWhole(i + 1).put(" [label=");
    std::string label = std::to_string(i + 1);
    if (!labels[i].empty())
      label += "\n" + labels[i];
    std::string text = quoted(label);
    // A line break in a label is written \n.
    std::string escaped;
    for (char c : text)
      escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    dot.put(escaped).put("];\n");
  }
  for (std::uint32_t i = 0; i < n; i++)
    for (std::uint64_t e = matrix.rowBegin(i); e < matrix.rowEnd(i); e++)
      dot.put("  ")
          .putWhole(i + 1)
          .put(" -> ")
          .putWhole(matrix.column(e) + 1)
          .put(" [label=\"")
          .putReal(matrix.rate(e))
          .put("\"];\n");
  dot.put("}\n");
  dot.close();
  written.Files.push_back(dot.fileName());
  return written;
}
