#include "support/aircraft_fixture.h"
