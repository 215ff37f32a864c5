#ifndef LANG_DIAGNOSTICS_H
#define LANG_DIAGNOSTICS_H

#include <string>
#include <vector>

#include "lang/SourceFile.h"
#include "lang/SourceLocation.h"

namespace lang {

// The error messages of one compilation, in the form of a mature compiler:
//
//   kanban.san:12:7: error: unknown place 'Pm5'; did you mean 'Pm4'?
//      12 |   Pm5 += 1
//         |   ^~~
//
// followed by its notes (a previous declaration, the iteration of a
// repetition). One message per problem: a second error at a position that
// already has one is dropped (it is a consequence of the first, or the same
// problem in another copy of a repetition). Messages are shown in source
// order, at most `limit` of them; collection stops at a generous cap so that
// hostile input cannot grow it without bound.
class Diagnostics {
public:
  struct Note {
    SourceLocation location;
    std::string text;
  };
  // Locations are kept without their `expansion` (the note that names the
  // repetition's iteration is made when the error is recorded), so messages
  // never refer to the expander's data.
  struct Message {
    SourceLocation location;
    std::string text;
    std::vector<Note> notes;
    bool repetitionNote = false; // the last note names the iteration
  };

  explicit Diagnostics(const SourceFile& file, int limit = 10);

  // Records an error at `location` (ignored when that position already has
  // one).
  void error(const SourceLocation& location, std::string text);
  // Adds a note to the error recorded last; dropped with it when that error
  // was a duplicate.
  void note(const SourceLocation& location, std::string text);

  bool hasErrors() const { return !Messages.empty(); }
  int errorCount() const { return static_cast<int>(Messages.size()); }
  // The errors in source order.
  std::vector<Message> sorted() const;
  // The errors in source order as text, at most `limit` of them, with a
  // closing line when more were found.
  std::string render() const;

  const SourceFile& file() const { return File; }

private:
  static constexpr int Cap = 1000;

  const SourceFile& File;
  int Limit;
  std::vector<Message> Messages;
  bool LastDropped = false;

  void renderLocation(std::string& out, const SourceLocation& location, const char* kind,
                      const std::string& text) const;
};

} // namespace lang

#endif
