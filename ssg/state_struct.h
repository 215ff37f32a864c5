#ifndef SSG_STATE_STRUCT_H
#define SSG_STATE_STRUCT_H

// A state vector and its state number, as handed to and taken from the queue.
// `state` points to a vector of the queue's element size; `number` 0 is never
// a state number.
struct state_struct {
  char* state;
  unsigned int number;
};

#endif
