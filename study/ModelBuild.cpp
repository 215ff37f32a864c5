#include "study/ModelBuild.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

#include "lang/CodeGenerator.h"
#include "lang/Compiler.h"
#include "lang/Lexer.h"
#include "lang/OutputDirectory.h"
#include "study/ChildProcess.h"

// What the framework was built with, set by the build (CMakeLists.txt).
#ifndef SSG_MODEL_CXX
#error "SSG_MODEL_CXX, SSG_MODEL_FLAGS, SSG_MODEL_LIBS and SSG_SOURCE_DIR must be defined"
#endif

namespace fs = std::filesystem;

namespace {

constexpr int MaxExperiments = 100000;

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;)
    words.push_back(word);
  return words;
}

// FNV-1a, 64 bits: names a cache entry, nothing more.
class Fingerprint {
public:
  void add(std::string_view bytes) {
    for (unsigned char c : bytes) {
      Hash ^= c;
      Hash *= 0x100000001b3ULL;
    }
    Hash ^= 0xff; // a separator, so that "ab","c" and "a","bc" differ
    Hash *= 0x100000001b3ULL;
  }
  std::string hex() const {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(Hash));
    return text;
  }

private:
  std::uint64_t Hash = 0xcbf29ce484222325ULL;
};

bool ParseWhole(const std::string& text, long long& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

bool ParseReal(const std::string& text, double& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// The value `text` of a --set for a global variable of C++ type `typeName`.
lang::Value Convert(const std::string& name, const std::string& typeName, const std::string& text) {
  auto bad = [&](const std::string& what) -> lang::Value {
    throw ModelBuild::Error("--set " + name + ": '" + text + "' " + what);
  };
  if (typeName == "bool") {
    if (text == "1" || text == "true")
      return lang::Value::Bool(true);
    if (text == "0" || text == "false")
      return lang::Value::Bool(false);
    return bad("is not a value of the bool " + name + " (0, 1, true or false)");
  }
  if (typeName == "double" || typeName == "float") {
    double real = 0;
    if (!ParseReal(text, real))
      return bad("is not a number");
    return lang::Value::Real(real);
  }
  long long whole = 0;
  if (!ParseWhole(text, whole))
    return bad("is not a whole number (" + name + " is " + (typeName == "int" ? "an " : "a ") +
               typeName + ")");
  const long long low = typeName == "char" ? -128 : typeName == "short" ? -32768 : INT64_MIN;
  const long long high = typeName == "char" ? 127 : typeName == "short" ? 32767 : INT64_MAX;
  const bool fits =
      typeName == "int" ? whole >= INT32_MIN && whole <= INT32_MAX : whole >= low && whole <= high;
  if (!fits)
    return bad("does not fit the " + typeName + " " + name);
  return lang::Value::Int(whole);
}

// The text with every study block blanked out (line ends kept, so that
// positions stay), for the values the globals have without a study.
std::string WithoutStudy(const lang::SourceFile& file) {
  lang::Diagnostics ignored(file);
  std::vector<lang::Token> tokens = lang::Lexer(file, ignored).tokens();
  std::string text = file.text();
  for (std::size_t i = 0; i + 1 < tokens.size(); i++) {
    if (!tokens[i].isName("study") || !tokens[i + 1].isSymbol("{"))
      continue;
    std::size_t close = i + 2;
    while (close < tokens.size() && !tokens[close].isSymbol("}") &&
           tokens[close].kind != lang::TokenKind::End)
      close++;
    if (close >= tokens.size() || !tokens[close].isSymbol("}"))
      break;
    for (std::size_t at = tokens[i].begin; at < tokens[close].end; at++)
      if (text[at] != '\n')
        text[at] = ' ';
    i = close;
  }
  return text;
}

// Replaces the model's study by every combination of the settings.
void ApplySettings(lang::ModelDescription& model, const lang::ModelDescription& plain,
                   const std::vector<ModelBuild::Setting>& settings) {
  long long count = 1;
  for (const ModelBuild::Setting& s : settings) {
    count *= static_cast<long long>(s.Values.size());
    if (count > MaxExperiments)
      throw ModelBuild::Error("--set: " + std::to_string(count) +
                              " or more combinations; at most " + std::to_string(MaxExperiments) +
                              " experiments");
  }
  const auto experiments = static_cast<std::size_t>(count);
  for (std::size_t g = 0; g < model.globals.size(); g++)
    model.globals[g].values.assign(experiments, plain.globals[g].values.at(0));
  std::size_t repeat = experiments; // experiments per value of the setting
  for (const ModelBuild::Setting& s : settings) {
    lang::GlobalDescription* global = nullptr;
    std::string names;
    for (lang::GlobalDescription& g : model.globals) {
      names += (names.empty() ? "" : ", ") + g.name;
      if (g.name == s.Name)
        global = &g;
    }
    if (global == nullptr)
      throw ModelBuild::Error("--set " + s.Name + ": the model has no global variable '" + s.Name +
                              "'" + (names.empty() ? "" : " (it has " + names + ")"));
    std::vector<lang::Value> values;
    for (const std::string& text : s.Values)
      values.push_back(Convert(s.Name, global->typeName, text));
    repeat /= values.size();
    for (std::size_t e = 0; e < experiments; e++)
      global->values[e] = values[(e / repeat) % values.size()];
  }
  model.experiments = static_cast<int>(experiments);
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buffer;
  if (in)
    buffer << in.rdbuf();
  if (!in || in.bad() || fs::is_directory(path))
    throw ModelBuild::Error(path + ": cannot read the model file");
  return buffer.str();
}

} // namespace

ModelBuild::Setting ModelBuild::ParseSetting(const std::string& text) {
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0 || eq + 1 == text.size())
    throw Error("--set " + text +
                ": expected NAME=VALUES, e.g. --set N=1..7 or --set "
                "lambda=0.1,0.2");
  Setting setting{text.substr(0, eq), {}};
  std::size_t start = eq + 1;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos)
      comma = text.size();
    const std::string item = text.substr(start, comma - start);
    const std::size_t dots = item.find("..");
    if (dots != std::string::npos) {
      long long low = 0, high = 0;
      if (!ParseWhole(item.substr(0, dots), low) || !ParseWhole(item.substr(dots + 2), high) ||
          high < low)
        throw Error("--set " + text + ": '" + item + "' is not a range of whole numbers like 1..7");
      if (high - low >= MaxExperiments)
        throw Error("--set " + text + ": '" + item + "' has more than " +
                    std::to_string(MaxExperiments) + " values");
      for (long long v = low; v <= high; v++)
        setting.Values.push_back(std::to_string(v));
    } else {
      if (item.empty())
        throw Error("--set " + text + ": an empty value");
      setting.Values.push_back(item);
    }
    start = comma + 1;
  }
  return setting;
}

bool ModelBuild::IsModelFile(const std::string& path) {
  return path.size() > 4 && path.compare(path.size() - 4, 4, ".san") == 0;
}

std::string ModelBuild::CacheDirectory() {
  fs::path dir;
  if (const char* own = std::getenv("SSG_CACHE_DIR"); own != nullptr && *own != '\0')
    dir = own;
  else if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg != '\0')
    dir = fs::path(xdg) / "ssg-study";
  else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    dir = fs::path(home) / ".cache" / "ssg-study";
  else
    dir = fs::temp_directory_path() / "ssg-study-cache";
  std::error_code error;
  fs::create_directories(dir, error);
  if (!fs::is_directory(dir))
    throw Error(dir.string() + ": cannot create the build cache directory" +
                (error ? ": " + error.message() : ""));
  return dir.string();
}

std::string ModelBuild::Prepare(const std::string& modelFile, const std::vector<Setting>& settings,
                                std::ostream& messages, bool quiet) {
  const std::string text = ReadText(modelFile);
  const std::string stem = fs::path(modelFile).stem().string();

  // Everything the executable is made of.
  Fingerprint key;
  key.add(text);
  for (const Setting& s : settings) {
    key.add(s.Name);
    for (const std::string& v : s.Values)
      key.add(v);
  }
  key.add(SSG_MODEL_CXX);
  key.add(SSG_MODEL_FLAGS);
  key.add(SSG_MODEL_LIBS);
  std::vector<std::string> inputs = Words(SSG_MODEL_LIBS);
  inputs.push_back(std::string(SSG_SOURCE_DIR) + "/driver/main.cpp");
  for (const std::string& input : inputs) {
    std::error_code error;
    if (input.empty() || input[0] != '/' || !fs::is_regular_file(input, error))
      continue;
    key.add(input);
    key.add(std::to_string(fs::file_size(input, error)));
    key.add(std::to_string(fs::last_write_time(input, error).time_since_epoch().count()));
  }
  const fs::path entry = fs::path(CacheDirectory()) / (stem + "-" + key.hex());
  const fs::path executable = entry / ("gen-" + stem);
  if (fs::exists(executable))
    return executable.string();

  // The model's errors as the compiler shows them.
  lang::SourceFile file(modelFile, text);
  lang::Diagnostics diagnostics(file);
  std::optional<lang::ModelDescription> model = lang::Compiler::Check(file, diagnostics);
  if (!model) {
    messages << diagnostics.render() << std::flush;
    throw Error(modelFile + ": the model has errors; nothing was built or run");
  }
  if (!settings.empty()) {
    lang::SourceFile plainFile(modelFile, WithoutStudy(file));
    lang::Diagnostics plainDiagnostics(plainFile);
    std::optional<lang::ModelDescription> plain =
        lang::Compiler::Check(plainFile, plainDiagnostics);
    if (!plain)
      throw Error(modelFile + ": the model without its study does not compile; --set needs one "
                              "that does");
    ApplySettings(*model, *plain, settings);
  }
  std::vector<lang::GeneratedFile> generated = lang::CodeGenerator(*model).generate();

  // Built in a directory of its own, renamed into place when complete, so
  // that two studies building the same model never see half an entry.
  const fs::path work = fs::path(entry.string() + ".building-" + std::to_string(getpid()));
  std::error_code ignored;
  fs::remove_all(work, ignored);
  std::string error;
  if (!lang::OutputDirectory(work).write(generated, error))
    throw Error(error);
  if (!quiet)
    messages << "ssg-study: building the model executable of " << modelFile << " (once; kept in "
             << entry.string() << ")" << std::endl;
  std::vector<std::string> command = {SSG_MODEL_CXX};
  for (const std::string& flag : Words(SSG_MODEL_FLAGS))
    command.push_back(flag);
  command.push_back(std::string("-I") + SSG_SOURCE_DIR);
  command.push_back("-I" + work.string());
  for (const lang::GeneratedFile& f : generated)
    if (f.name.size() > 4 && f.name.compare(f.name.size() - 4, 4, ".cpp") == 0)
      command.push_back((work / f.name).string());
  command.push_back(std::string(SSG_SOURCE_DIR) + "/driver/main.cpp");
  for (const std::string& lib : Words(SSG_MODEL_LIBS))
    command.push_back(lib);
  command.emplace_back("-o");
  command.push_back((work / executable.filename()).string());
  const std::string log = (work / "build.log").string();
  const int status = ChildProcess::Run(command, log);
  if (status != 0)
    throw Error("building the model executable of " + modelFile + " failed (status " +
                std::to_string(status) + "; the C++ compiler's messages are in " + log +
                "); the model itself compiled without error, so please report this");
  fs::rename(work, entry, ignored);
  if (!fs::exists(executable)) // another study renamed its build there first
    fs::remove_all(work, ignored);
  if (!fs::exists(executable))
    throw Error(entry.string() + ": cannot keep the built model executable there");
  return executable.string();
}
