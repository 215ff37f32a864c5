#ifndef STATE_STRUCTSTATEVARIABLE_H
#define STATE_STRUCTSTATEVARIABLE_H

#include <cstring>
#include <utility>
#include <vector>

#include "state/BaseStateVariableClass.h"

// Element types of structured state variables. Only the element size matters
// to the framework; any value above FLOAT_TYPE is a structured element that
// takes its child's own StateSize().
enum ArrayType {
  SHORT_TYPE = 0,  // 2 bytes
  INT_TYPE = 1,    // 4 bytes
  CHAR_TYPE = 2,   // 1 byte (char or bool)
  DOUBLE_TYPE = 3, // 8 bytes
  FLOAT_TYPE = 4,  // 4 bytes
  STRUCT_TYPE = 5  // the child's StateSize()
};

// An array or record of state variables. The fields (child variable, element
// type) are laid out back to back in field order with no padding; for
// element types 0-4 the offset advances by the type's size, for structured
// elements by the child's StateSize(). Children are not owned; a derived
// variable stores them into the fields before first use, and a field without
// a child must not be written, read or printed.
//
// Actions never list a structured variable that has fields: the action links
// are forwarded to the children, and the leaves are what actions list.
class BaseStructStateVariable : public BaseStateVariableClass {
public:
  using Field = std::pair<BaseStateVariableClass*, ArrayType>;

  // Cached state size in bytes; -1 when it must be recomputed.
  int StructSize;
  std::vector<Field> fields;

  // No fields, StructSize 0.
  BaseStructStateVariable();
  // No fields, StructSize -1.
  BaseStructStateVariable(const char* name, const char* prefix);
  // One child-less field per type, in order; StructSize -1.
  BaseStructStateVariable(const char* name, const char* prefix, const ArrayType* types, int n);

  ~BaseStructStateVariable() override;
  // The cached size, computed and cached when it is negative.
  int StateSize() override;
  void SetState(void* p) override;
  void CurrentState(void* p) override;
  using BaseStateVariableClass::printState;
  // Name " = {", then "." and each child's own line, then "}".
  void printState(std::ostream* os) override;
  // other must be a BaseStructStateVariable (asserted); then ShareWith.
  void share(BaseStateVariableClass* other) override;
  void appendAffectingAction(BaseActionClass* a) override;
  void addSelfAsEnablingSVToAction(BaseActionClass* a) override;
  void addSelfAsAffectedSVToAction(BaseActionClass* a) override;
  void removeSelfFromEnablingSVOfAction(BaseActionClass* a) override;
  void removeSelfFromAffectedSVOfAction(BaseActionClass* a) override;
  // The leaves of all children in field order, without duplicates.
  List<BaseStateVariableClass>* getLeafNodes() override;
  int getNumLeafNodes() override;
  bool isLeafNode() override;
  void appendEnabledAction(BaseActionClass* a) override;
  // Shares field by field with other (same shape, at least as many fields)
  // and takes over other's action lists; actions listing other list this.
  virtual void ShareWith(BaseStructStateVariable* other);
  // No class overrides it, so the constructor's call through makeArrays
  // means this version.
  // cppcheck-suppress virtualCallInConstructor
  virtual Field field(ArrayType type, BaseStateVariableClass* child) const;

  // The size sum, without using or updating the cache.
  int calculateStateSize() const;
  // No bounds check: 0 <= i < getSize().
  ArrayType getType(int i) const { return fields[i].second; }
  int getSize() const { return static_cast<int>(fields.size()); }
  // Appends one child-less field per type and invalidates the cached size.
  void makeArrays(const ArrayType* types, int n);

  // Bytes that one element of the given type takes (0 for structured ones).
  static int elementSize(ArrayType type);
};

// Raw host-order copies between typed values and state buffers.
template <class T> void writeArray(T* values, void* buffer, int n) {
  if (n > 0)
    std::memcpy(buffer, values, sizeof(T) * n);
}
template <class T> void readArray(T* values, void* buffer, int n) {
  if (n > 0)
    std::memcpy(values, buffer, sizeof(T) * n);
}
template <class T> void writeMemory(T value, void* buffer) {
  std::memcpy(buffer, &value, sizeof(T));
}
template <class T> void readMemory2(void* buffer, T* value) {
  std::memcpy(value, buffer, sizeof(T));
}

#endif
