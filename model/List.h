#ifndef MODEL_LIST_H
#define MODEL_LIST_H

#include <iostream>
#include <new>

#include "model/StandardErrors.h"

// List<T>: a growable array of non-owning pointers to T that never holds the
// same pointer twice (compared by address).
//
// Layout: `list` is a heap array of `arraySize` slots; the first `numItems`
// hold distinct pointers, slots above them are null after every growth.
// Growth: a single append doubles a full array before it looks for the item
// (so a full list grows even when the item is already held); appending a
// whole list grows to twice the combined size when the items might not fit.
// Doubling keeps appends amortised constant apart from the duplicate scan.
// Cost: append, contains and remove are linear scans; lists are short (the
// places or actions of one model, the actions touching one variable).
//
// The list never deletes what it points to; it frees its slot array. It is
// used for BaseStateVariableClass, BaseActionClass, BaseGroupClass and
// BaseModelClass. Copying is not allowed (the slot array is owned).
template <class T> class List {
public:
  T** list;
  int numItems;
  int arraySize;

  // 10 null slots.
  List() : List(10) {}
  // n null slots; n below 1 gives one slot so that doubling can grow it.
  explicit List(int n) : list(nullptr), numItems(0), arraySize(0) {
    int size = n < 1 ? 1 : n;
    list = new (std::nothrow) T*[size]();
    if (list == nullptr)
      MemoryAllocationError();
    arraySize = size;
  }
  ~List() { delete[] list; }
  List(const List&) = delete;
  List& operator=(const List&) = delete;

  // Adds x at the end unless it is held; a full list doubles first.
  void append(T* x) {
    if (arraySize <= numItems)
      grow(2 * arraySize);
    addItem(x);
  }
  // append(T*) for each of xs[0 .. n-1] in order; nothing for n < 1.
  void append(T** xs, int n) {
    for (int i = 0; i < n; i++)
      append(xs[i]);
  }
  // Adds the items of other, in its order, that are not held yet. When the
  // two counts together exceed the capacity, grows to twice their sum first.
  void append(List<T>* other) {
    int otherCount = other->numItems;
    if (numItems + otherCount > arraySize)
      grow(2 * (numItems + otherCount));
    for (int i = 0; i < otherCount; i++)
      addItem(other->list[i]);
  }
  // Adds x unless it is held; never grows: the caller guarantees a free slot.
  void insertItem(T* x) { addItem(x); }

  // old not held: no change. old held, newItem not held: newItem takes old's
  // slot. Both held: old is removed as by remove(), so newItem stays unique.
  void replaceItem(T* old, T* newItem) {
    int oldIndex = -1;
    int newIndex = -1;
    for (int i = 0; i < numItems && (oldIndex < 0 || newIndex < 0); i++) {
      if (oldIndex < 0 && list[i] == old)
        oldIndex = i;
      if (newIndex < 0 && list[i] == newItem)
        newIndex = i;
    }
    if (oldIndex < 0)
      return;
    if (newIndex < 0)
      list[oldIndex] = newItem;
    else if (oldIndex != newIndex)
      removeAt(oldIndex);
  }

  // Moves the last item into x's slot; order is not kept. No effect when x
  // is not held.
  void remove(T* x) {
    for (int i = 0; i < numItems; i++) {
      if (list[i] == x) {
        removeAt(i);
        return;
      }
    }
  }

  // Removes every item that other holds; the rest keep their relative order.
  // Takes the other list by reference (lists are not copied).
  void removeSetOfItems(const List<T>& other) {
    int kept = 0;
    for (int i = 0; i < numItems; i++) {
      if (!other.contains(list[i]))
        list[kept++] = list[i];
    }
    numItems = kept;
  }

  // Reallocates to exactly n slots, keeping the items; the other slots are
  // null. A request below the item count (or below 1) is raised to it.
  void increaseArraySize(int n) {
    int size = n < numItems ? numItems : n;
    grow(size < 1 ? 1 : size);
  }

  bool contains(T* x) const {
    for (int i = 0; i < numItems; i++) {
      if (list[i] == x)
        return true;
    }
    return false;
  }

  // No bounds check: 0 <= i < numItems is the caller's duty.
  T* getItem(int i) const { return list[i]; }
  T* operator[](int i) const { return list[i]; }
  int getNumItems() const { return numItems; }
  // The slot array itself, for direct iteration over the first numItems.
  T** getList() const { return list; }
  // Forgets the items; the capacity is kept.
  void clearList() { numItems = 0; }

  // "No items in the list" when empty, then "[i] <address>" per item.
  void printList() const {
    if (numItems == 0)
      std::cout << "No items in the list" << std::endl;
    for (int i = 0; i < numItems; i++)
      std::cout << "[" << i << "] " << static_cast<const void*>(list[i]) << std::endl;
  }

private:
  void addItem(T* x) {
    for (int i = 0; i < numItems; i++) {
      if (list[i] == x)
        return;
    }
    list[numItems++] = x;
  }

  void removeAt(int i) {
    list[i] = list[numItems - 1];
    numItems--;
  }

  // Replaces the slot array by one of `size` null slots holding the items.
  void grow(int size) {
    if (size < 1)
      size = 1;
    T** fresh = new (std::nothrow) T*[size]();
    if (fresh == nullptr) {
      std::cerr << "!! Crtical error in "
                << "List<C>::append(List*)"
                << " do to insufficient memory...exiting" << std::endl;
      MemoryAllocationError();
    }
    for (int i = 0; i < numItems; i++)
      fresh[i] = list[i];
    delete[] list;
    list = fresh;
    arraySize = size;
  }
};

class BaseStateVariableClass;
class BaseActionClass;
class BaseGroupClass;
class BaseModelClass;

extern template class List<BaseStateVariableClass>;
extern template class List<BaseActionClass>;
extern template class List<BaseGroupClass>;
extern template class List<BaseModelClass>;

#endif
