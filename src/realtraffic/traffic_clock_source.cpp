#include "realtraffic/traffic_clock_source.h"
