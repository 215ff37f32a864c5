#ifndef LANG_SOURCEFILE_H
#define LANG_SOURCEFILE_H

#include <string>
#include <string_view>
#include <vector>

namespace lang {

// The text of one model file (or of one expression given on a command line)
// with the name used in messages. Lines end in '\n'; a '\r' before it is part
// of no line's text.
class SourceFile {
public:
  SourceFile(std::string name, std::string text);

  const std::string& name() const { return Name; }
  const std::string& text() const { return Text; }
  int lineCount() const { return static_cast<int>(LineStarts.size()); }
  // The text of line `line` (1-based) without its line end; empty outside
  // the file.
  std::string_view lineText(int line) const;

private:
  std::string Name;
  std::string Text;
  std::vector<size_t> LineStarts; // byte offset of each line's first character
};

} // namespace lang

#endif
