#include "traffic/live_update.h"
