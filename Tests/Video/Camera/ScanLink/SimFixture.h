// Shared pieces of the scan-link and firmware tests that run against the
// simulator: a temporary folder and the log capture.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "Support/LogCapture.h"
#include "Support/TempFolder.h"

using testsupport::LogCapture;
