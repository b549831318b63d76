// Hands the served folders to the file layer: the drive table, the desktop folder and the OEM
// code page.
#pragma once

#include "ServeConfig.h"

#include <string>

// Returns an error text, empty on success.
std::string InstallServeDrives(const TServeConfig& config);
