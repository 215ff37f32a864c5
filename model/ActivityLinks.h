#ifndef MODEL_ACTIVITYLINKS_H
#define MODEL_ACTIVITYLINKS_H

class BaseActionClass;
class BaseGroupClass;

// Whether every activity of a model has been linked to its places.
//
// A generated activity reads and writes markings through cached pointers,
// its fields, which its LinkVariables() sets and registers with each place
// it uses (Place::RegisterPointer, no owner). An activity whose model never
// called LinkVariables() keeps null pointers and crashes when first
// evaluated. Linking leaves a trace on the places: a registration whose
// location lies inside the activity object. So an activity with arcs
// (enabling or affected places) is linked exactly when one of its arc
// places has a registration located in it.
//
// The object a registration lies in is found by address: the nearest start
// at or below it among the known objects (the actions, the groups and the
// arc places). A registration of an unknown object can only make an
// unlinked activity look linked, never the reverse, so the check never
// refuses a linked activity; nor does it judge an activity with an arc to a
// variable that is not a place. Cost: once per run, the arcs times the
// registrations of their places.
class ActivityLinks {
public:
  // The first of the `numActions` actions that has arcs but no
  // registration inside it, or null when every such action is linked.
  static BaseActionClass* FindUnlinked(BaseActionClass* const* actions, int numActions,
                                       BaseGroupClass* const* groups, int numGroups);
};

#endif
