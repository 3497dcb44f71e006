#include "realtraffic/traffic_lines.h"
