// Loading and writing the terminal's parameters in the user's settings file (named by
// TOVALIX_SETTINGS, else the XDG configuration folder: platform/settings_file.hpp).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <tovalix/operator.hpp>

#include "settings/parametros.hpp"

namespace tovalix::settings {

// The loader of every operation: clears `p`, then reads and deciphers the parameters in their
// fixed order, telling the operator what is missing. True only when the terminal was
// initialized completely. A false result leaves the fields read so far filled and the rest
// empty. A settings file that cannot be read is reported and gives false.
bool CargaParametros(Parametros& p, Operator& op);

// Stores "" under all 21 keys in one write: the terminal counts as not initialized.
// A failure is reported.
void BorraParametros(Operator& op);

// Stores one value enciphered with its key's password and coded as decimal codes; "" is
// stored as "" (not enciphered). False, after a report, for an unknown key or a failure; the
// stored value is then left as it was.
bool GuardaParametro(std::string_view key, std::string_view value, Operator& op);

// GuardaParametro for several keys in one write: either all are stored or none is.
bool GuardaParametros(const std::vector<std::pair<std::string, std::string>>& values, Operator& op);

}  // namespace tovalix::settings
