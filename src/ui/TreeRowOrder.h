// The order of rows in a sorted listing: folders first, then by the key the flags choose.
#pragma once

#include "TreeRow.h"

// Negative, zero or positive as `a` sorts before, with or after `b` under the listing flags.
int CompareRows(const TTreeRow& a, const TTreeRow& b, unsigned flags);
