#include "study/StudyTable.h"

#include <algorithm>
#include <charconv>
#include <ostream>
#include <set>

namespace {

std::string Number(double value, int digits) {
  char text[40];
  auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits).ptr;
  return std::string(text, end);
}

std::string Shortest(double value) {
  char text[40];
  auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

std::string Seconds(const std::optional<double>& s) {
  if (!s)
    return "-";
  char text[32];
  auto end = std::to_chars(text, text + sizeof text, *s, std::chars_format::fixed, 2).ptr;
  return std::string(text, end);
}

bool ParseNumber(const std::string& text, double& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

const std::string* GlobalValue(const StudyDatabase::Experiment& e, const std::string& name) {
  for (const auto& [n, v] : e.Globals)
    if (n == name)
      return &v;
  return nullptr;
}

} // namespace

StudyTable::StudyTable(std::vector<StudyDatabase::Experiment> experiments)
    : Experiments(std::move(experiments)) {
  for (const StudyDatabase::Experiment& e : Experiments) {
    for (const auto& g : e.Globals)
      if (std::find(Globals.begin(), Globals.end(), g.first) == Globals.end())
        Globals.push_back(g.first);
    for (const StudyDatabase::Value& v : e.Values) {
      std::string name = MeasureName(v);
      if (std::find(Measures.begin(), Measures.end(), name) == Measures.end())
        Measures.push_back(name);
    }
  }
  std::set<std::string> models;
  for (const StudyDatabase::Experiment& e : Experiments)
    if (!e.Model.empty())
      models.insert(e.Model);
  ShowModel = models.size() > 1;
  // The x axis of a plot: the one variable that changes, if it is numeric.
  int changing = 0;
  for (std::size_t g = 0; g < Globals.size(); g++) {
    std::set<std::string> values;
    bool numeric = true;
    for (const StudyDatabase::Experiment& e : Experiments) {
      if (const std::string* v = GlobalValue(e, Globals[g])) {
        double x;
        numeric = numeric && ParseNumber(*v, x);
        values.insert(*v);
      }
    }
    if (values.size() > 1) {
      changing++;
      XGlobal = numeric ? static_cast<int>(g) : -1;
    }
  }
  if (changing != 1)
    XGlobal = -1;
}

std::string StudyTable::MeasureName(const StudyDatabase::Value& v) {
  if (v.Type == "impulse-rate")
    return v.Variable + "/time";
  if (v.Type == "steady-state" || !v.Start)
    return v.Variable;
  if (v.Type == "instant-of-time")
    return v.Variable + "@" + Shortest(*v.Start);
  std::string interval = "[" + Shortest(*v.Start) + "," + Shortest(v.Stop.value_or(0)) + "]";
  return (v.Type == "time-averaged interval" ? "avg " : "") + v.Variable + interval;
}

std::string StudyTable::StatusText(const StudyDatabase::Experiment& e) {
  if (e.Status == "failed")
    return "failed";
  if (e.Status != "done")
    return e.Status.empty() ? "?" : e.Status;
  if (e.SolveStatus == "completed")
    return "ok";
  return e.SolveStatus.empty() ? "not solved" : e.SolveStatus;
}

std::string StudyTable::cell(const StudyDatabase::Experiment& e, const std::string& measure) const {
  for (const StudyDatabase::Value& v : e.Values) {
    if (MeasureName(v) != measure)
      continue;
    if (v.Number)
      return Number(*v.Number, 10) + (v.Note.empty() ? "" : "*");
    return e.SolveStatus == "refused" ? "refused" : e.SolveStatus;
  }
  return "-";
}

bool StudyTable::complete() const {
  for (const StudyDatabase::Experiment& e : Experiments) {
    if (StatusText(e) != "ok")
      return false;
    for (const std::string& m : Measures)
      if (cell(e, m) == "-")
        return false;
  }
  return true;
}

void StudyTable::print(std::ostream& out) const {
  std::vector<std::string> header = {"exp"};
  if (ShowModel)
    header.emplace_back("model");
  header.insert(header.end(), Globals.begin(), Globals.end());
  for (const char* h : {"states", "transitions", "gen s", "solve s"})
    header.emplace_back(h);
  header.insert(header.end(), Measures.begin(), Measures.end());
  header.emplace_back("status");

  std::vector<std::vector<std::string>> rows;
  for (const StudyDatabase::Experiment& e : Experiments) {
    std::vector<std::string> row = {std::to_string(e.Number)};
    if (ShowModel)
      row.push_back(e.Model.empty() ? "-" : e.Model);
    for (const std::string& g : Globals) {
      const std::string* v = GlobalValue(e, g);
      row.push_back(v ? *v : "-");
    }
    row.push_back(e.States ? std::to_string(*e.States) : "-");
    row.push_back(e.Transitions ? std::to_string(*e.Transitions) : "-");
    row.push_back(Seconds(e.CpuSeconds));
    row.push_back(Seconds(e.SolveSeconds));
    for (const std::string& m : Measures)
      row.push_back(cell(e, m));
    row.push_back(StatusText(e));
    rows.push_back(row);
  }

  std::vector<std::size_t> width(header.size());
  for (std::size_t c = 0; c < header.size(); c++) {
    width[c] = header[c].size();
    for (const auto& row : rows)
      width[c] = std::max(width[c], row[c].size());
  }
  auto line = [&](const std::vector<std::string>& fields) {
    std::string text;
    for (std::size_t c = 0; c < fields.size(); c++) {
      text += fields[c];
      if (c + 1 < fields.size())
        text += std::string(width[c] + 2 - fields[c].size(), ' ');
    }
    out << text << '\n';
  };
  line(header);
  for (const auto& row : rows)
    line(row);

  // Why an experiment has no values, or what its values' notes say.
  for (const StudyDatabase::Experiment& e : Experiments) {
    std::vector<std::pair<std::string, std::string>> notes; // note, measures
    for (const StudyDatabase::Value& v : e.Values) {
      if (v.Note.empty() || !v.Number)
        continue;
      auto same = std::find_if(notes.begin(), notes.end(),
                               [&](const auto& n) { return n.first == v.Note; });
      if (same == notes.end())
        notes.emplace_back(v.Note, MeasureName(v));
      else
        same->second += ", " + MeasureName(v);
    }
    for (const auto& [note, measures] : notes)
      out << "experiment " << e.Number << ": * " << measures << ": " << note << '\n';
    std::string why;
    if (e.Status == "failed")
      why = e.Message.empty() ? "failed" : e.Message;
    else if (e.Status == "done" && e.SolveStatus != "completed")
      why = "solver " + (e.SolveStatus.empty() ? std::string("stored no result") : e.SolveStatus) +
            (e.SolveMessage.empty() ? "" : ": " + e.SolveMessage);
    if (why.empty())
      continue;
    while (!why.empty() && why.back() == '\n')
      why.pop_back();
    std::string indented;
    for (char c : why)
      indented += c == '\n' ? std::string("\n    ") : std::string(1, c);
    out << "experiment " << e.Number << ": " << indented << '\n';
  }
}

std::string StudyTable::xLabel() const {
  return XGlobal >= 0 ? Globals[static_cast<std::size_t>(XGlobal)] : "experiment";
}

std::string StudyTable::fixedValues() const {
  std::string text;
  if (Experiments.empty())
    return text;
  for (const std::string& g : Globals) {
    const std::string* first = GlobalValue(Experiments.front(), g);
    bool same = first != nullptr;
    for (const StudyDatabase::Experiment& e : Experiments) {
      const std::string* v = GlobalValue(e, g);
      same = same && v != nullptr && *v == *first;
    }
    if (same)
      text += (text.empty() ? "" : ", ") + g + "=" + *first;
  }
  return text;
}

std::vector<StudyTable::Series> StudyTable::series() const {
  std::vector<Series> all;
  for (const std::string& m : Measures) {
    Series s{m, {}, ""};
    for (const StudyDatabase::Experiment& e : Experiments) {
      double x = e.Number;
      if (XGlobal >= 0) {
        const std::string* v = GlobalValue(e, Globals[static_cast<std::size_t>(XGlobal)]);
        if (v == nullptr || !ParseNumber(*v, x))
          continue;
      }
      for (const StudyDatabase::Value& v : e.Values)
        if (v.Number && MeasureName(v) == m) {
          s.Points.emplace_back(x, *v.Number);
          if (!v.Note.empty() && s.Note.find(v.Note) == std::string::npos)
            s.Note += (s.Note.empty() ? "" : "; ") + v.Note;
        }
    }
    if (!s.Points.empty())
      all.push_back(s);
  }
  return all;
}
