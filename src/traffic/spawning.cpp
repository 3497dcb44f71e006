#include "traffic/spawning.h"
