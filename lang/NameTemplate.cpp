#include "lang/NameTemplate.h"

#include "lang/Expr.h"

namespace lang {

NameTemplate::NameTemplate() = default;
NameTemplate::~NameTemplate() = default;
NameTemplate::NameTemplate(NameTemplate&&) noexcept = default;
NameTemplate& NameTemplate::operator=(NameTemplate&&) noexcept = default;

NameTemplate NameTemplate::Plain(std::string name, const SourceLocation& location) {
  NameTemplate t;
  t.parts.push_back({name, nullptr});
  t.location = location;
  t.resolved = std::move(name);
  return t;
}

bool NameTemplate::isPlain() const {
  for (const Part& p : parts) {
    if (p.index)
      return false;
  }
  return true;
}

std::string NameTemplate::spelling() const {
  if (!resolved.empty())
    return resolved;
  std::string s;
  for (const Part& p : parts)
    s += p.index ? "{...}" : p.text;
  return s;
}

NameTemplate NameTemplate::clone() const {
  NameTemplate t;
  for (const Part& p : parts)
    t.parts.push_back({p.text, p.index ? p.index->clone() : nullptr});
  t.location = location;
  t.resolved = resolved;
  return t;
}

} // namespace lang
