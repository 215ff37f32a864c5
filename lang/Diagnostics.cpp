#include "lang/Diagnostics.h"

#include <algorithm>

namespace lang {

namespace {

// Number of characters (UTF-8 code points) in `text`.
int CharacterCount(std::string_view text) {
  int n = 0;
  for (unsigned char c : text)
    n += (c & 0xC0) != 0x80;
  return n;
}

} // namespace

Diagnostics::Diagnostics(const SourceFile& file, int limit) : File(file), Limit(limit) {}

void Diagnostics::error(const SourceLocation& location, std::string text) {
  LastDropped = true;
  if (static_cast<int>(Messages.size()) >= Cap)
    return;
  for (const Message& m : Messages) {
    if (m.location.line == location.line && m.location.column == location.column)
      return;
  }
  SourceLocation plain = location;
  plain.expansion = nullptr;
  Messages.push_back({plain, std::move(text), {}, false});
  LastDropped = false;
  if (location.expansion != nullptr) {
    SourceLocation loop = location.expansion->loop;
    loop.expansion = nullptr;
    Messages.back().notes.push_back(
        {loop, "in the repetition with " + location.expansion->bindings});
    Messages.back().repetitionNote = true;
  }
}

void Diagnostics::note(const SourceLocation& location, std::string text) {
  if (LastDropped || Messages.empty())
    return;
  // The note about the repetition stays last.
  auto& notes = Messages.back().notes;
  auto at = notes.end();
  if (Messages.back().repetitionNote)
    at = notes.end() - 1;
  SourceLocation plain = location;
  plain.expansion = nullptr;
  notes.insert(at, {plain, std::move(text)});
}

std::vector<Diagnostics::Message> Diagnostics::sorted() const {
  std::vector<Message> out = Messages;
  std::stable_sort(out.begin(), out.end(),
                   [](const Message& a, const Message& b) { return a.location < b.location; });
  return out;
}

void Diagnostics::renderLocation(std::string& out, const SourceLocation& location, const char* kind,
                                 const std::string& text) const {
  out += File.name();
  if (location.known())
    out += ":" + std::to_string(location.line) + ":" + std::to_string(location.column);
  out += ": ";
  out += kind;
  out += ": ";
  out += text;
  out += '\n';
  if (!location.known() || location.line > File.lineCount())
    return;

  // The source line, then a caret under the column and tildes under the rest
  // of the designated text. Tabs before the column are repeated so that the
  // caret lines up whatever the tab width.
  const std::string_view line = File.lineText(location.line);
  const std::string number = std::to_string(location.line);
  const std::string gutter(std::max<size_t>(number.size(), 4), ' ');
  out += gutter.substr(number.size()) + number + " | ";
  out += line;
  out += '\n';
  out += gutter + " | ";
  int column = 1;
  size_t i = 0;
  for (; i < line.size() && column < location.column; i++) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if ((c & 0xC0) == 0x80)
      continue;
    out += c == '\t' ? '\t' : ' ';
    column++;
  }
  out += '^';
  const int rest = CharacterCount(line.substr(std::min(i, line.size())));
  const int tildes = std::min(location.length, std::max(rest, 1)) - 1;
  out += std::string(std::max(tildes, 0), '~');
  out += '\n';
}

std::string Diagnostics::render() const {
  std::string out;
  const std::vector<Message> messages = sorted();
  int shown = 0;
  for (const Message& m : messages) {
    if (shown == Limit)
      break;
    renderLocation(out, m.location, "error", m.text);
    for (const Note& n : m.notes)
      renderLocation(out, n.location, "note", n.text);
    shown++;
  }
  if (static_cast<int>(messages.size()) > shown) {
    out += File.name() + ": too many errors (" +
           (messages.size() >= static_cast<size_t>(Cap) ? "at least " : std::string()) +
           std::to_string(messages.size()) + "); stopping after the first " +
           std::to_string(shown) + "\n";
  }
  return out;
}

} // namespace lang
