#include "study/ModelExecutable.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "study/ChildProcess.h"

namespace {

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, '\t'))
    fields.push_back(field);
  return fields;
}

} // namespace

ModelExecutable::Listing ModelExecutable::Parse(const std::string& text) {
  std::stringstream in(text);
  std::string line;
  if (!std::getline(in, line))
    throw std::runtime_error("it printed nothing");
  std::vector<std::string> header = Fields(line);
  if (header.empty() || header[0] != "experiment")
    throw std::runtime_error("its first line is not the listing's header: '" + line + "'");
  Listing listing;
  listing.Names.assign(header.begin() + 1, header.end());
  while (std::getline(in, line)) {
    std::vector<std::string> fields = Fields(line);
    if (fields.size() != header.size() || fields[0] != std::to_string(listing.count()))
      throw std::runtime_error("line " + std::to_string(listing.count() + 2) +
                               " is not experiment " + std::to_string(listing.count()) + " with " +
                               std::to_string(listing.Names.size()) + " values: '" + line + "'");
    listing.Values.emplace_back(fields.begin() + 1, fields.end());
  }
  if (listing.count() == 0)
    throw std::runtime_error("it lists no experiment");
  return listing;
}

ModelExecutable::Listing ModelExecutable::List(const std::string& executable,
                                               const std::string& scratchFile) {
  int status = ChildProcess::Run({executable, "--list-experiments"}, scratchFile);
  std::ifstream in(scratchFile, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::remove(scratchFile.c_str());
  const std::string what = executable + " --list-experiments";
  if (status != 0)
    throw std::runtime_error(what + " ended with exit status " + std::to_string(status) +
                             (text.str().empty() ? "" : ":\n" + text.str()));
  try {
    return Parse(text.str());
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(what + ": not a list of experiments (" + e.what() +
                             "); is it a model executable of this framework?");
  }
}
