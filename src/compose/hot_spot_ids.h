#pragma once
// The hot spot ID rules live with the project model, which also applies them when it opens files.
#include "project/hot_spot_ids.h"
