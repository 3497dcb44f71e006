#include "support/pass_harness.h"
