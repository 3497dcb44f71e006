#include "traffic/position_stream.h"
