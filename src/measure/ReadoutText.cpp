#include "measure/ReadoutText.h"
