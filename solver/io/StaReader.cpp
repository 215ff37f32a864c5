#include "solver/io/StaReader.h"

#include <charconv>
#include <string_view>
#include <sys/stat.h>

#include "solver/io/BlockReader.h"
#include "solver/Progress.h"
#include "solver/SolverError.h"

namespace {

// The prefix a state-marking file belongs to (its name without ".sta").
std::string PrefixOf(const std::string& fileName) {
  const std::string suffix = ".sta";
  if (fileName.size() > suffix.size() &&
      fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) == 0)
    return fileName.substr(0, fileName.size() - suffix.size());
  return fileName;
}

} // namespace

StaReader::StaReader(std::string fileName) : Name(std::move(fileName)) {
  struct stat info;
  if (::stat(Name.c_str(), &info) != 0)
    throw SolverError(SolverError::InputError,
                      Name +
                          ": no state-marking file: a model executable writes it when run with "
                          "--states (run it again for " +
                          PrefixOf(Name) + ", with --states added to its options)");
  In = std::make_unique<BlockReader>(Name, "state-marking file");
  std::string_view header;
  if (!In->nextLine(header))
    In->fail("the file is empty (it should begin with the list of place names)");
  if (header.size() < 2 || header.front() != '(' || header.back() != ')')
    In->failAtLine(1, "the first line is not a list of names in parentheses: " +
                          BlockReader::Quote(header));
  std::string_view list = header.substr(1, header.size() - 2);
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view name = list.substr(0, comma);
    if (name.empty())
      In->failAtLine(1, "an empty name in the list of names");
    Names.emplace_back(name);
    if (comma == std::string_view::npos)
      break;
    list.remove_prefix(comma + 1);
    if (list.empty())
      In->failAtLine(1, "an empty name in the list of names");
  }
  if (Names.empty())
    In->failAtLine(1, "the list of names is empty");
}

StaReader::~StaReader() = default;

bool StaReader::Exists(const std::string& prefix) {
  struct stat info;
  return ::stat((prefix + ".sta").c_str(), &info) == 0;
}

void StaReader::read(std::uint32_t states,
                     const std::function<void(std::uint32_t, const std::int64_t*)>& visit,
                     Progress& progress) {
  std::vector<std::int64_t> values(Names.size());
  std::string_view line;
  for (std::uint64_t expected = 1; expected <= states; expected++) {
    if (!In->nextLine(line))
      In->fail("the file ends after " + std::to_string(expected - 1) + " of the chain's " +
               std::to_string(states) + " states (is it complete? is it from this run?)");
    // "<n>:(v1,...,vk)"
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || line.size() < colon + 3 || line[colon + 1] != '(' ||
        line.back() != ')')
      In->fail("not a state record <number>:(<values>): " + BlockReader::Quote(line));
    const std::uint64_t number = In->parseUnsigned(line.substr(0, colon), "state number");
    if (number != expected)
      In->fail("state " + std::to_string(number) + " where state " + std::to_string(expected) +
               " was expected (records are in state-number order)");
    std::string_view list = line.substr(colon + 2, line.size() - colon - 3);
    std::size_t count = 0;
    for (;;) {
      const std::size_t comma = list.find(',');
      const std::string_view item = list.substr(0, comma);
      std::int64_t value = 0;
      auto [ptr, ec] = std::from_chars(item.data(), item.data() + item.size(), value);
      if (item.empty() || ec != std::errc() || ptr != item.data() + item.size())
        In->fail("'" + std::string(item) + "' is not a whole number");
      if (count == values.size())
        In->fail("more values than the " + std::to_string(values.size()) +
                 " names of the first line");
      values[count++] = value;
      if (comma == std::string_view::npos)
        break;
      list.remove_prefix(comma + 1);
    }
    if (count != values.size())
      In->fail(std::to_string(count) + " values where the first line names " +
               std::to_string(values.size()));
    visit(static_cast<std::uint32_t>(number), values.data());
    if ((expected & 0xFFFF) == 0 && progress.due())
      progress.show("reading " + Name + ": state " + std::to_string(expected) + " of " +
                    std::to_string(states));
  }
  if (In->nextLine(line))
    In->fail("text after the last of the chain's " + std::to_string(states) +
             " states (is the file from another run?)");
}
