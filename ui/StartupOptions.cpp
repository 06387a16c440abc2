#include "StartupOptions.h"

bool openWithoutDriver = false;
