#include "MoveChecks.h"
