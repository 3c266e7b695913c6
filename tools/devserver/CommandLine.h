#pragma once
// The development server's command line.
#include <string>
#include <vector>

#include "devserver/DevServer.h"

namespace peckish::devserver {

struct CommandLine {
  ServerOptions server;
  std::string portFile;  // --print-port-file
  bool quiet = false;
  bool help = false;
  bool version = false;
  std::string error;  // set when the arguments are not understood
};

// args excludes the program name. defaultSecret fills server.secret unless --analytics-secret is given.
CommandLine parseCommandLine(const std::vector<std::string>& args, const std::string& defaultSecret);

std::string usageText();

}  // namespace peckish::devserver
