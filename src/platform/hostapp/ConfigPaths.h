// Where vantry keeps its own files: $XDG_CONFIG_HOME/vantry (else ~/.config/vantry).
#pragma once

#include <string>

// The user's configuration folder ($XDG_CONFIG_HOME, else $HOME/.config); empty when neither
// is known.
std::string UserConfigHome();
// UserConfigHome() + "/vantry"; empty when no configuration folder is known.
std::string VantryConfigDir();
// $XDG_RUNTIME_DIR/vantry; empty when $XDG_RUNTIME_DIR is not set.
std::string VantryRuntimeDir();
// Writes the file (made or emptied first) readable and writable by its owner alone, making its
// folder private too. Returns an error text, empty on success.
std::string WritePrivateFile(const std::string& strFile, const std::string& strContent);
// Makes the folder and its missing parents, the last one readable by its owner alone. Returns
// an error text, empty on success.
std::string MakePrivateDir(const std::string& strDir);
