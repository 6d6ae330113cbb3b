#include "DispatcherPlatform.h"

DispatcherPlatform::~DispatcherPlatform() = default;
