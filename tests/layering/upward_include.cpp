// Compiled as part of raster/: must not build, raster/ sits below job/.
#include "job/jobsteps.h"
