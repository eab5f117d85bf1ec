#include "view/zplane_view.h"
