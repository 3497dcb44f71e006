#include "support/free_port.h"
