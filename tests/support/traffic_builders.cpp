#include "support/traffic_builders.h"
