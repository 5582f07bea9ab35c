#include "iqa_fixture.h"
