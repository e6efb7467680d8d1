// Where the window's connection starts: the start address ("-url"), the host given on the
// command line, or the configured server. Reading the start address needs the toolkit's
// address parser, so this decision stays beside the window.
#pragma once

#include <cstdint>
#include <string>

#include <optional>

#include "common/Errors.h"
#include "config/CommandLine.h"
#include "config/Config.h"
#include "connection/ServerUri.h"

namespace zent {

// A start address ("-url") that is no absolute address with a scheme and a host.
ZENT_DECLARE_ERROR(EUriError, Exception)

enum class StartSource { ParamUrl, ParamHost, Config };

struct TStartAddress {
  StartSource source = StartSource::Config;
  TServerUri uri;       // where the direct query and the page start from
  std::string logLine;  // the level-1 log line naming the choice
  // The endpoint the network watch is pointed at for a start address: its port, else the
  // scheme's default. Only set for StartSource::ParamUrl.
  std::string watchHost;
  uint16_t watchPort = 0;
};

// The first match wins: the start address (only its host is taken), the host given on the
// command line, the configured server. Throws EUriError naming `paramUrl` when it is set and
// is no absolute address with a scheme and a host.
TStartAddress ChooseStartAddress(const std::string& paramUrl, const std::string& hostText,
                                 const ServerConfig& config);

class ServerConnection;

// Starts `connection` from the command line's start address or host, else from the
// configured server (the direct query runs from here on; the network watch is pointed at a
// start address). The text of a start address that cannot be read, logged; nullopt on success.
std::optional<std::string> BeginConnection(ServerConnection& connection, const CommandLine& commandLine);

}  // namespace zent
