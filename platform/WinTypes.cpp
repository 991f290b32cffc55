#include "platform/WinTypes.h"
