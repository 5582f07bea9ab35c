// Joins document analysis and the scanner API in one program: the API answers the services analysis
// needs (parameters, trace, scanner identity), and analysis answers the API's analysis calls it
// implements. Calls analysis does not implement yet keep the API's placeholder answers.
#pragma once

#include "analysis/vekscan/vekscan.h"

namespace analysis {

// Installs both directions for the whole process. Call once at start-up, before connections open.
void InstallIntoApi();
// Restores the API's placeholder and analysis's default services.
void RemoveFromApi();

// The verified scan's calls as the program answers them (the API, the image operations and the readers).
vekscan::ScanCalls& VerifiedScanCalls();

}  // namespace analysis
