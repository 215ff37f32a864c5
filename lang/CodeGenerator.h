#ifndef LANG_CODEGENERATOR_H
#define LANG_CODEGENERATOR_H

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "lang/ModelDescription.h"

namespace lang {

// One file of generated code: its name inside the output directory and its
// text.
struct GeneratedFile {
  std::string name;
  std::string text;
};

// Writes the C++ of a checked model in the pattern of the framework's
// hand-written models:
//   SAN.h/.cpp            <Model>SAN, a SANModel with one Activity class per
//                         activity (Enabled, Rate, Weight, Rank, Fire,
//                         LinkVariables, the distribution's parameters) and
//                         its places, groups and arcs;
//   RewardPVModel.h/.cpp  <Model>RewardPVModel, the PVModel over a new SAN;
//   RewardPVNodes.h/.cpp  one PerformanceVariableNode, worker and impulse
//                         class per reward variable;
//   Study.h/.cpp          <Model>Study with the global variables'
//                         values per experiment, GenerateStudy and
//                         DestructStudy.
// The file names do not depend on the model, so a build can name its outputs
// before the compiler runs.
//
// Each activity registers exactly the places its expressions and effect
// read or write (its slots), its enabling arcs are the places its condition
// reads and its affecting arcs the places its effect assigns, so the
// framework's lists are right by construction. Model names reach C++ only
// with a prefix (G_ global, P_ place, M_ cached marking, A_ activity, Grp_
// group, V_ local value of an effect, L_ definition computed once) or a suffix (<Name>Activity), so
// no name of a model can clash with a C++ keyword or a framework member.
class CodeGenerator {
public:
  static const std::vector<std::string>& FileNames();

  explicit CodeGenerator(const ModelDescription& model) : Model(model) {}
  std::vector<GeneratedFile> generate();

  // How an expression reads places and rates where it is emitted.
  struct EmitContext {
    std::function<std::string(int)> place;
    // rate(activity), rewards only; called with the context in use.
    std::function<std::string(int, const EmitContext&)> rate;
    bool wide = false; // whole numbers in 64 bits
    // Definitions computed once into locals, by number: their names.
    const std::map<int, std::string>* locals = nullptr;
  };
  // The C++ of a checked expression (fully parenthesised; same operations
  // in the same order as written).
  std::string emit(const Expr& e, const EmitContext& context) const;
  // The same for the body of a function without side effects (Enabled,
  // Rate, Weight, a reward function): a definition that the expression uses
  // more than once (also through rate(...)) is computed once, into a local
  // declared in `prelude`, in the order the definitions are given. The
  // value is the same: the marking does not change within the function.
  std::string emitPure(const Expr& e, const EmitContext& context, std::string& prelude) const;

private:
  const ModelDescription& Model;

  std::string emitNode(const Expr& e, const EmitContext& context, bool useLocal) const;
  // Counts the definitions used in e (and in the activities rate(...) reads
  // when `throughRates`), keeping one copy of each.
  void countDefinitions(const Expr& e, bool throughRates,
                        std::map<int, std::pair<int, const Expr*>>& counts) const;

  std::string sanHeader() const;
  std::string sanSource() const;
  std::string rewardModelHeader() const;
  std::string rewardModelSource() const;
  std::string nodesHeader() const;
  std::string nodesSource() const;
  std::string studyHeader() const;
  std::string studySource() const;

  std::string banner(const std::string& what) const;
  std::string sanClass() const { return Model.name + "SAN"; }
  std::string globalChecks() const;
  // The checks of the declared ranges of the places `a` changes, at the end
  // of its Fire.
  std::string rangeChecks(const ActivityDescription& a) const;
  // LabelHolds, LabelNames and LabelPlaces of a model with labels.
  std::string labelFunctions() const;
  void emitStatements(std::string& out, const std::vector<StmtPtr>& statements,
                      const EmitContext& context, int indent) const;
  EmitContext activityContext() const;
  EmitContext rewardContext() const;
  std::string constant(const Value& v, const std::string& typeName) const;
};

} // namespace lang

#endif
