#include "measure/MeasurementEngine.h"
