#ifndef LANG_NAMETEMPLATE_H
#define LANG_NAMETEMPLATE_H

#include <memory>
#include <string>
#include <vector>

#include "lang/SourceLocation.h"

namespace lang {

struct Expr;

// A name as written: plain ("Pm1") or indexed by whole numbers known when
// compiling ("Pm{i}", "Synch{i}_{i + 1}"). Each part is either text or an
// index expression. After expansion `resolved` holds the name itself
// ("Pm2"); a plain name is resolved from the start.
struct NameTemplate {
  struct Part {
    std::string text;
    std::unique_ptr<Expr> index; // set for an index part
  };

  std::vector<Part> parts;
  SourceLocation location;
  std::string resolved;

  NameTemplate();
  ~NameTemplate();
  NameTemplate(NameTemplate&&) noexcept;
  NameTemplate& operator=(NameTemplate&&) noexcept;

  static NameTemplate Plain(std::string name, const SourceLocation& location);
  bool isPlain() const;
  bool empty() const { return parts.empty(); }
  // As written, for messages: "Pm{...}" for an indexed name.
  std::string spelling() const;
  NameTemplate clone() const;
};

} // namespace lang

#endif
