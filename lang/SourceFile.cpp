#include "lang/SourceFile.h"

namespace lang {

SourceFile::SourceFile(std::string name, std::string text)
    : Name(std::move(name)), Text(std::move(text)) {
  LineStarts.push_back(0);
  for (size_t i = 0; i < Text.size(); i++) {
    if (Text[i] == '\n' && i + 1 < Text.size())
      LineStarts.push_back(i + 1);
  }
}

std::string_view SourceFile::lineText(int line) const {
  if (line < 1 || line > lineCount())
    return {};
  size_t start = LineStarts[line - 1];
  size_t end = Text.find('\n', start);
  if (end == std::string::npos)
    end = Text.size();
  if (end > start && Text[end - 1] == '\r')
    end--;
  return std::string_view(Text).substr(start, end - start);
}

} // namespace lang
