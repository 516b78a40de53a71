#include "COtherInterfacePlugin.h"
