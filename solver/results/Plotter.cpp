#include "solver/results/Plotter.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "solver/results/ResultTable.h"

extern char** environ;

namespace {

// A temporary file removed when this goes out of scope.
struct TempFile {
  std::string Name;
  explicit TempFile(const char* pattern) {
    std::string name = std::string("/tmp/") + pattern;
    int fd = mkstemp(name.data());
    if (fd >= 0) {
      ::close(fd);
      Name = name;
    }
  }
  ~TempFile() {
    if (!Name.empty())
      std::remove(Name.c_str());
  }
};

// A gnuplot string literal.
std::string Quoted(const std::string& text) {
  std::string q = "'";
  for (char c : text) {
    if (c == '\'')
      q += "''";
    else
      q += c;
  }
  return q + "'";
}

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

} // namespace

std::string Plotter::FindGnuplot() {
  const char* path = std::getenv("PATH");
  if (path == nullptr)
    return "";
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty())
      continue;
    std::string candidate = dir + "/gnuplot";
    struct stat info;
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return "";
}

std::string Plotter::Draw(const std::string& fileName, const std::string& title,
                          const ChainSolver::Result& result) {
  if (result.Curves.empty())
    return "there is no instant-of-time variable to plot";
  const std::string gnuplot = FindGnuplot();
  if (gnuplot.empty())
    return std::string("gnuplot is not installed (install it with: ") + InstallHint + ")";

  TempFile data("ssg-solve-data-XXXXXX");
  TempFile script("ssg-solve-plot-XXXXXX");
  TempFile errors("ssg-solve-gnuplot-XXXXXX");
  if (data.Name.empty() || script.Name.empty() || errors.Name.empty())
    return std::string("cannot create a temporary file in /tmp: ") + std::strerror(errno);

  // Blocks: the curve of each variable, then its own time points.
  {
    std::ofstream out(data.Name);
    for (const ChainSolver::Curve& curve : result.Curves) {
      for (std::size_t i = 0; i < curve.Times.size(); i++)
        out << ResultTable::Exact(curve.Times[i]) << ' ' << ResultTable::Exact(curve.Values[i])
            << '\n';
      out << "\n\n";
      for (const ChainSolver::Row& row : result.Rows)
        if (row.Variable == curve.Variable && row.Type == PVTypeReader::InstantOfTime)
          out << ResultTable::Exact(row.Start) << ' ' << ResultTable::Exact(row.Value) << '\n';
      out << "\n\n";
    }
    if (!out)
      return "cannot write the plot data to " + data.Name;
  }
  {
    std::ofstream out(script.Name);
    if (EndsWith(fileName, ".svg"))
      out << "set terminal svg size 900,600 dynamic noenhanced\n";
    else
      out << "set terminal pngcairo size 900,600 noenhanced\n";
    out << "set output " << Quoted(fileName) << '\n'
        << "set title " << Quoted(title) << '\n'
        << "set xlabel 'time'\nset ylabel 'value'\nset grid\nset key outside right top\n"
        << "plot ";
    for (std::size_t c = 0; c < result.Curves.size(); c++) {
      if (c > 0)
        out << ", ";
      out << Quoted(data.Name) << " index " << 2 * c << " with lines lw 2 lc " << c + 1 << " title "
          << Quoted(result.Curves[c].Variable +
                    (result.Curves[c].Note.empty() ? "" : " (" + result.Curves[c].Note + ")"))
          << ", " << Quoted(data.Name) << " index " << 2 * c + 1 << " with points pt 7 ps 1.2 lc "
          << c + 1 << " notitle";
    }
    out << "\nset output\n";
    if (!out)
      return "cannot write the gnuplot script to " + script.Name;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errors.Name.c_str(), O_WRONLY | O_TRUNC, 0);
  std::string arg0 = gnuplot;
  std::string arg1 = script.Name;
  char* argv[] = {arg0.data(), arg1.data(), nullptr};
  pid_t pid;
  int spawned = posix_spawn(&pid, gnuplot.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0)
    return "cannot run " + gnuplot + ": " + std::strerror(spawned);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  std::ifstream err(errors.Name);
  std::stringstream messages;
  messages << err.rdbuf();
  struct stat info;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || ::stat(fileName.c_str(), &info) != 0 ||
      info.st_size == 0) {
    std::string text = messages.str();
    if (text.size() > 400)
      text.replace(400, std::string::npos, "...");
    return "gnuplot could not draw " + fileName + (text.empty() ? "" : ":\n" + text);
  }
  return "";
}
