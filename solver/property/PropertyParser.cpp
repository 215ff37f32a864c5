#include "solver/property/PropertyParser.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>

#include "solver/SolverError.h"

namespace {

bool IdentifierChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// A cursor over one line.
class Cursor {
public:
  Cursor(const std::string& line, const MarkingCondition::Origin& origin, std::size_t end)
      : Line(line), Origin(origin), End(end) {}

  std::size_t at() const { return At; }
  void moveTo(std::size_t at) { At = at; }
  void skipBlanks() {
    while (At < End && std::isspace(static_cast<unsigned char>(Line[At])))
      At++;
  }
  bool atEnd() {
    skipBlanks();
    return At >= End;
  }
  char peek() {
    skipBlanks();
    return At < End ? Line[At] : '\0';
  }
  // Takes `text` when it comes next (after blanks).
  bool take(const std::string& text) {
    skipBlanks();
    if (Line.compare(At, text.size(), text) != 0 || At + text.size() > End)
      return false;
    At += text.size();
    return true;
  }
  // Takes the one-letter operator `word` when it comes next as a word of
  // its own.
  bool takeWord(char word) {
    skipBlanks();
    if (At >= End || Line[At] != word || (At + 1 < End && IdentifierChar(Line[At + 1])))
      return false;
    At++;
    return true;
  }
  void expect(const std::string& text, const std::string& what) {
    if (!take(text))
      fail("expected " + what);
  }
  // A time: a number that is not negative, or a name (each of --times).
  Property::Time time(const std::string& what) {
    skipBlanks();
    Property::Time t;
    const std::size_t start = At;
    if (At < End && (std::isalpha(static_cast<unsigned char>(Line[At])) || Line[At] == '_')) {
      while (At < End && IdentifierChar(Line[At]))
        At++;
      t.Grid = true;
      return t;
    }
    const char* first = Line.data() + At;
    auto [ptr, ec] = std::from_chars(first, Line.data() + End, t.Value);
    if (ec != std::errc() || ptr == first)
      fail("expected " + what + " (a number, or a name such as T for each time of --times)");
    At += std::size_t(ptr - first);
    if (!std::isfinite(t.Value) || t.Value < 0)
      failAt(start, At - start,
             "the time " + Line.substr(start, At - start) +
                 " is not allowed (times are finite and not negative)");
    return t;
  }
  [[noreturn]] void fail(const std::string& message) {
    skipBlanks();
    failAt(At, 1, message);
  }
  [[noreturn]] void failAt(std::size_t at, std::size_t length, const std::string& message) {
    throw MarkingCondition::PositionError(Line, Origin, at, length, message);
  }

  // Blanks trimmed off both ends of [begin, end).
  Property::Range trimmed(std::size_t begin, std::size_t end) const {
    while (begin < end && std::isspace(static_cast<unsigned char>(Line[begin])))
      begin++;
    while (end > begin && std::isspace(static_cast<unsigned char>(Line[end - 1])))
      end--;
    return {begin, end};
  }

  const std::string& line() const { return Line; }

private:
  const std::string& Line;
  const MarkingCondition::Origin& Origin;
  std::size_t End;
  std::size_t At = 0;
};

// The position of the until operator U in [begin, end): the word U outside
// quotes and parentheses; npos when there is none.
std::size_t UntilAt(const std::string& line, std::size_t begin, std::size_t end) {
  int depth = 0;
  for (std::size_t i = begin; i < end; i++) {
    const char c = line[i];
    if (c == '"') {
      const std::size_t close = line.find('"', i + 1);
      if (close == std::string::npos || close >= end)
        return std::string::npos;
      i = close;
    } else if (c == '(') {
      depth++;
    } else if (c == ')') {
      depth--;
    } else if (c == 'U' && depth == 0 && (i == begin || !IdentifierChar(line[i - 1])) &&
               (i + 1 >= end || !IdentifierChar(line[i + 1]))) {
      return i;
    }
  }
  return std::string::npos;
}

// The optional bound after F or U: <=t or [t1,t2].
void Bound(Cursor& in, Property& p) {
  if (in.peek() == '<') {
    in.expect("<=", "'<=' and a time, or '[t1,t2]'");
    p.HasBound = true;
    p.Upper = in.time("the time bound after '<='");
  } else if (in.peek() == '[') {
    in.take("[");
    p.HasBound = true;
    const std::size_t lower = in.at();
    p.Lower = in.time("the start of the time interval");
    in.expect(",", "',' between the interval's start and end");
    p.Upper = in.time("the end of the time interval");
    in.expect("]", "']' closing the time interval");
    if (p.Lower.Grid || p.Upper.Grid)
      in.failAt(lower, 1,
                "an interval's times are numbers (a name stands for each time of "
                "--times only in a bound '<=T')");
    if (p.Lower.Value > p.Upper.Value)
      in.failAt(lower, 1, "the interval ends before it starts");
  } else if (in.peek() == '>') {
    in.fail("expected '<=' and a time, or '[t1,t2]' (a lower bound alone is written "
            "[t1,t2])");
  }
}

Property::Range Condition(Cursor& in, std::size_t end, const std::string& what) {
  const Property::Range range = in.trimmed(in.at(), end);
  if (range.empty())
    in.fail("expected " + what);
  in.moveTo(end);
  return range;
}

} // namespace

Property PropertyParser::Parse(const std::string& line, const MarkingCondition::Origin& origin) {
  Property p;
  p.Origin = origin;
  p.Line = line;
  std::size_t end = line.size();
  while (end > 0 && std::isspace(static_cast<unsigned char>(line[end - 1])))
    end--;
  Cursor in(line, origin, end);
  in.skipBlanks();
  const std::size_t start = in.at();
  p.Text = line.substr(start, end - start);
  if (in.atEnd())
    in.fail("expected a property: P=? [ ... ], R=? [ ... ] or S=? [ ... ]");

  const char op = in.peek();
  if (op != 'P' && op != 'R' && op != 'S')
    in.fail("expected a property: P=? [ ... ], R=? [ ... ] or S=? [ ... ]");
  in.take(std::string(1, op));
  if (op == 'R' && in.take("{")) {
    in.expect("\"", "'\"' and the name of a reward variable");
    const std::size_t name = in.at();
    const std::size_t close = line.find('"', name);
    if (close == std::string::npos || close >= end)
      in.fail("expected the reward variable's name and a closing '\"'");
    p.Variable = line.substr(name, close - name);
    p.VariableAt = name - 1;
    if (p.Variable.empty())
      in.failAt(name - 1, 2, "expected the name of a reward variable between the quotes");
    in.moveTo(close + 1);
    in.expect("}", "'}' after the reward variable's name");
  }
  if (!in.take("=?")) {
    const char c = in.peek();
    if (c == '<' || c == '>' || c == '=')
      in.fail("expected '=?': only the value is computed (a bound such as P>=0.9 is not "
              "supported; compare the value)");
    in.fail(std::string("expected '=?'") + (op == 'R' ? " or '{\"variable\"}'" : ""));
  }
  in.expect("[", "'[' before the path formula");
  // The body: up to the last ']'.
  if (end == 0 || line[end - 1] != ']' || end - 1 < in.at()) {
    in.moveTo(end);
    in.fail("expected ']' at the end of the property");
  }
  const std::size_t close = end - 1;
  Cursor body(line, origin, close);
  body.moveTo(in.at());

  switch (op) {
  case 'P': {
    const std::size_t until = UntilAt(line, body.at(), close);
    p.What = Property::Kind::Until;
    if (until != std::string::npos) {
      p.Phi = body.trimmed(body.at(), until);
      if (p.Phi.empty())
        body.fail("expected a condition before 'U'");
      body.moveTo(until + 1);
    } else if (!body.takeWord('F')) {
      body.fail("expected 'F' (eventually) or a condition followed by 'U' (until)");
    }
    Bound(body, p);
    p.Psi =
        Condition(body, close,
                  until != std::string::npos ? "a condition after 'U'" : "a condition after 'F'");
    break;
  }
  case 'R':
    if (body.takeWord('F')) {
      p.What = Property::Kind::ReachReward;
      if (body.peek() == '<' || body.peek() == '[')
        body.fail("expected a condition: a reward until a condition takes no time bound "
                  "(R{\"v\"}=? [ C<=t ] is the reward accumulated up to t)");
      p.Psi = Condition(body, close, "a condition after 'F'");
    } else if (body.takeWord('C')) {
      p.What = Property::Kind::Cumulative;
      body.expect("<=", "'<=' and a time after 'C'");
      p.Upper = body.time("the time after 'C<='");
    } else if (body.takeWord('I')) {
      p.What = Property::Kind::Instant;
      body.expect("=", "'=' and a time after 'I'");
      p.Upper = body.time("the time after 'I='");
    } else if (body.takeWord('S')) {
      p.What = Property::Kind::LongRun;
    } else {
      body.fail("expected 'F' and a condition, 'C<=t', 'I=t' or 'S'");
    }
    if (!body.atEnd())
      body.fail("expected ']' closing the property");
    if (p.Variable.empty() && p.What != Property::Kind::ReachReward)
      in.failAt(start, 1,
                "this reward needs a reward variable: R{\"name\"}=? [ ... ] (without one, R=? "
                "is the time, which only R=? [ F phi ] asks for)");
    break;
  default: // 'S'
    p.What = Property::Kind::SteadyState;
    p.Psi = Condition(body, close, "a condition");
    break;
  }
  return p;
}

std::vector<Property> PropertyParser::ReadFile(const std::string& fileName) {
  errno = 0;
  std::ifstream in(fileName);
  if (!in)
    throw SolverError(SolverError::InputError,
                      fileName + ": cannot read the properties file: " + std::strerror(errno));
  std::vector<Property> properties;
  std::string line;
  for (int number = 1; std::getline(in, line); number++) {
    // The comment: "//" outside a quoted name.
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); i++) {
      if (line[i] == '"')
        quoted = !quoted;
      else if (!quoted && line.compare(i, 2, "//") == 0) {
        line.resize(i);
        break;
      }
    }
    if (line.find_first_not_of(" \t\r") == std::string::npos)
      continue;
    properties.push_back(Parse(line, {fileName, number}));
  }
  if (in.bad())
    throw SolverError(SolverError::InputError, fileName + ": cannot read the properties file");
  if (properties.empty())
    throw SolverError(SolverError::InputError, fileName + ": no property in the file");
  return properties;
}
