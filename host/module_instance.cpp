#include "host/module_instance.h"

void* hInstance = nullptr;
