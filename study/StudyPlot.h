#ifndef STUDY_STUDYPLOT_H
#define STUDY_STUDYPLOT_H

#include <string>

class StudyTable;

// Draws a study's measures with gnuplot, PNG or SVG by the file's
// extension: one panel per measure, its value against the table's x axis
// (the global variable that changes, or the experiment number), a point
// per experiment. The script is written next to the plot (<file>.gp) and
// kept, so the figure can be redrawn or restyled.
class StudyPlot {
public:
  // Empty on success, else the reason (nothing to plot, gnuplot missing
  // with how to install it, gnuplot's own messages).
  static std::string Draw(const std::string& fileName, const std::string& title,
                          const StudyTable& table);
  // The gnuplot script Draw runs.
  static std::string Script(const std::string& fileName, const std::string& title,
                            const StudyTable& table);
};

#endif
