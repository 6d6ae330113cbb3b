#include "CheckedCopy.h"
