#include "support/fake_simulator.h"
