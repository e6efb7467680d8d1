// Starting the outside programs shipped beside ours: RunProgram starts one directly (no
// shell) in its own folder and session; RunNFCCheckProgram starts the NFC check program
// once per main start when it is present, and never waits for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zent {

inline constexpr const char* kNFCCheckProgram = "vetu-6.6.100.2810.exe";

// Starts `file` with `parameters` (each one argument, passed as it stands) in the file's
// folder, in a session of its own, with our environment. With `wait`, returns only once
// it has ended. The process id, or 0 when it could not be started. Children not waited for
// are reaped by a later call once they have ended.
uint32_t RunProgram(const std::string& file, const std::vector<std::string>& parameters, bool wait);

// Starts `folder` + "vetu-6.6.100.2810.exe" when that file exists (the executable's folder
// by default; `folder` ends in "/"). The process id, or 0 when nothing was started.
uint32_t RunNFCCheckProgram(const std::string& folder);
uint32_t RunNFCCheckProgram();

}  // namespace zent
