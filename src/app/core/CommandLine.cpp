#include "app/core/CommandLine.h"
