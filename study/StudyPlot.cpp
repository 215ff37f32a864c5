#include "study/StudyPlot.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>

#include "solver/results/Plotter.h"
#include "study/ChildProcess.h"
#include "study/LogTail.h"
#include "study/StudyTable.h"

namespace {

std::string Quoted(const std::string& text) {
  std::string q = "'";
  for (char c : text)
    q += c == '\'' ? std::string("''") : std::string(1, c);
  return q + "'";
}

std::string Exact(double value) {
  char text[40];
  auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

} // namespace

std::string StudyPlot::Script(const std::string& fileName, const std::string& title,
                              const StudyTable& table) {
  const std::vector<StudyTable::Series> series = table.series();
  const bool svg = fileName.size() > 4 && fileName.compare(fileName.size() - 4, 4, ".svg") == 0;
  const std::size_t columns = series.size() > 1 ? 2 : 1;
  const std::size_t rows = (series.size() + columns - 1) / columns;
  std::string script;
  for (std::size_t s = 0; s < series.size(); s++) {
    script += "$m" + std::to_string(s) + " << EOD\n";
    for (const auto& [x, y] : series[s].Points)
      script += Exact(x) + ' ' + Exact(y) + '\n';
    script += "EOD\n";
  }
  const std::string size = std::to_string(columns * 500) + "," + std::to_string(rows * 360 + 40);
  script += svg ? "set terminal svg size " + size + " dynamic noenhanced\n"
                : "set terminal pngcairo size " + size + " noenhanced\n";
  script += "set output " + Quoted(fileName) + "\n";
  script += "set multiplot layout " + std::to_string(rows) + "," + std::to_string(columns) +
            " title " + Quoted(title) + "\n";
  script += "set grid\nset key off\nset offsets graph 0.05, graph 0.05, graph 0.1, graph 0.1\n";
  script += "set xlabel " + Quoted(table.xLabel()) + "\n";
  for (std::size_t s = 0; s < series.size(); s++) {
    script +=
        "set title " +
        Quoted(series[s].Measure + (series[s].Note.empty() ? "" : " (" + series[s].Note + ")")) +
        "\n";
    // Values between 0 and 1 (probabilities, availabilities) get an axis
    // that does not run past either end; others are scaled by gnuplot.
    double low = series[s].Points.front().second, high = low;
    for (const auto& point : series[s].Points) {
      low = std::min(low, point.second);
      high = std::max(high, point.second);
    }
    if (low >= 0 && high <= 1) {
      const double pad = high > low ? 0.1 * (high - low) : 0.05;
      script += "set yrange [" + Exact(std::max(0.0, low - pad)) + ":" +
                Exact(std::min(1.0, high + pad)) + "]\n";
    } else {
      script += "set autoscale y\n";
    }
    script += "plot $m" + std::to_string(s) + " using 1:2 with linespoints lw 2 pt 7 lc " +
              std::to_string(s % 8 + 1) + "\n";
  }
  script += "unset multiplot\nset output\n";
  return script;
}

std::string StudyPlot::Draw(const std::string& fileName, const std::string& title,
                            const StudyTable& table) {
  if (table.series().empty())
    return "no measure has a value to plot";
  const std::string gnuplot = Plotter::FindGnuplot();
  if (gnuplot.empty())
    return std::string("gnuplot is not installed (install it with: ") + Plotter::InstallHint + ")";
  const std::string scriptFile = fileName + ".gp";
  {
    std::ofstream out(scriptFile, std::ios::binary | std::ios::trunc);
    out << Script(fileName, title, table);
    out.close();
    if (!out)
      return "cannot write the gnuplot script " + scriptFile;
  }
  const std::string log = fileName + ".log";
  std::remove(fileName.c_str());
  int status;
  try {
    status = ChildProcess::Run({gnuplot, scriptFile}, log);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  std::string messages = LogTail::LastLines(log, 5);
  std::remove(log.c_str());
  struct stat info;
  if (status != 0 || ::stat(fileName.c_str(), &info) != 0 || info.st_size == 0)
    return "gnuplot could not draw " + fileName + (messages.empty() ? "" : ":\n" + messages);
  return "";
}
