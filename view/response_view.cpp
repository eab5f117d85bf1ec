#include "view/response_view.h"
