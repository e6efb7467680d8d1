// Version information of executable files (placeholder until the reader lands).
#pragma once
#include <string>
#include <vector>
namespace zent {
struct TFileInfo {};
}
