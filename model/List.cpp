#include "model/List.h"

// The four element types the framework keeps lists of.
template class List<BaseStateVariableClass>;
template class List<BaseActionClass>;
template class List<BaseGroupClass>;
template class List<BaseModelClass>;
