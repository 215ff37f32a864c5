#include "solver/io/PVTypeReader.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "solver/io/BlockReader.h"

namespace {

std::string_view Next(BlockReader& in, const char* what) {
  std::string_view line;
  if (!in.nextLine(line))
    in.failAtLine(in.lineNumber() + 1, std::string("the file ends before ") + what);
  return line;
}

double Time(BlockReader& in, std::string_view line, std::string_view keyword) {
  std::string_view text = in.expectKeyword(line, keyword);
  double t = in.parseDouble(text, "a time");
  if (!std::isfinite(t) || t < 0)
    in.fail("time " + BlockReader::Quote(text) + " must be a finite number not below 0");
  return t;
}

} // namespace

std::vector<PVTypeReader::Variable> PVTypeReader::Read(const std::string& fileName) {
  BlockReader in(fileName, "reward-variable type file (.pvtype)", std::size_t(64) * 1024);
  std::string_view line = Next(in, "the version line");
  std::string_view version = in.expectKeyword(line, "Version:");
  if (in.parseUnsigned(version, "the version") != 1)
    in.fail("version " + BlockReader::Quote(version) + " is not supported (expected 1)");
  const std::uint64_t count =
      in.parseUnsigned(in.expectKeyword(Next(in, "the NumPV line"), "NumPV:"), "a variable count");
  if (count > 1000000)
    in.fail("variable count " + std::to_string(count) + " is implausibly large");

  // A variable takes at least 24 bytes ("Name:", "Type:0" and "NumTimes:0",
  // each on a line): the reservation is no larger than the file can back.
  std::vector<Variable> variables;
  variables.reserve(std::min<std::uint64_t>(count, in.fileSize() / 24 + 1));
  for (std::uint64_t v = 0; v < count; v++) {
    Variable var;
    var.Name = std::string(in.expectKeyword(Next(in, "a Name line"), "Name:"));
    const std::uint64_t type =
        in.parseUnsigned(in.expectKeyword(Next(in, "a Type line"), "Type:"), "a time type");
    if (type > 3)
      in.fail("time type " + std::to_string(type) + " of variable '" + var.Name +
              "' is not one of 0 (instant-of-time), 1 (interval-of-time), 2 (time-averaged "
              "interval-of-time), 3 (steady-state)");
    var.TimeType = static_cast<Type>(type);
    const std::uint64_t times = in.parseUnsigned(
        in.expectKeyword(Next(in, "a NumTimes line"), "NumTimes:"), "a number of time points");
    if (times > 1000000)
      in.fail("number of time points " + std::to_string(times) + " is implausibly large");
    for (std::uint64_t k = 0; k < times; k++) {
      Interval interval;
      interval.Start = Time(in, Next(in, "a Start line"), "Start:");
      interval.Stop = Time(in, Next(in, "a Stop line"), "Stop:");
      if (var.TimeType == IntervalOfTime && interval.Stop < interval.Start)
        in.fail("interval of variable '" + var.Name + "' ends before it starts");
      if (var.TimeType == TimeAveragedInterval && !(interval.Stop > interval.Start))
        in.fail("time-averaged interval of variable '" + var.Name +
                "' must end after it starts (its length divides the reward)");
      var.Times.push_back(interval);
    }
    variables.push_back(std::move(var));
  }
  std::string_view extra;
  if (in.nextLine(extra))
    in.fail("unexpected text after the last variable: " + BlockReader::Quote(extra));
  return variables;
}

const char* PVTypeReader::TypeName(Type type) {
  switch (type) {
  case InstantOfTime:
    return "instant-of-time";
  case IntervalOfTime:
    return "interval-of-time";
  case TimeAveragedInterval:
    return "time-averaged interval";
  case SteadyState:
    return "steady-state";
  }
  return "unknown";
}
