#pragma once

#include "document/scan_request.h"

#include <string>
#include <vector>

namespace vemra {

// The masks a scan enumerates with, in order: the request's mask text cut at
// ";" and ",", blanks around each mask dropped and empty ones skipped; every
// name ("*.*") when the request uses no mask. One file opened as a folder
// keeps its whole name, even when that holds a "," or ";".
std::vector<std::string> scanMasks(const ScanRequest& request);

// Whether `mask` takes every name whatever it is ("*" and "*.*").
bool maskTakesEveryName(const std::string& mask);

} // namespace vemra
