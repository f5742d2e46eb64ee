#include "measure/AudioFFT.h"
