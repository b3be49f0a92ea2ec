#include "TKVAPI.h"
