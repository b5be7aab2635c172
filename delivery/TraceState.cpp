#include "delivery/TraceState.h"

TraceState Trace;
