#include "support/airport_fixture.h"
