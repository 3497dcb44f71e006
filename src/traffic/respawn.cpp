#include "traffic/respawn.h"
