#include "view/paint.h"
