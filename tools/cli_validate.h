#pragma once
// The validation pack: published datasets with the figures their sources
// print, run through the program's own computations (the coefficient method
// of the control limits and the capability study) and compared with the
// published figures to the precision they are printed with.
#include <iosfwd>
#include <string>

namespace trevolo::cli {

// Runs every dataset (*.json) of the folder and prints the table of figures
// to out; reasons a dataset cannot be read go to err. Returns 0 when every
// figure agrees, 1 when one does not, 2 when the pack cannot be read.
int RunValidate(const std::string& folder, std::ostream& out, std::ostream& err);

}  // namespace trevolo::cli
