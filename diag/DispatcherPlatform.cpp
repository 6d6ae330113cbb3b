#include "diag/DispatcherPlatform.h"

DispatcherPlatform::~DispatcherPlatform() = default;
