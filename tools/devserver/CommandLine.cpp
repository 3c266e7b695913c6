#include "devserver/CommandLine.h"

#include <charconv>

namespace peckish::devserver {

CommandLine parseCommandLine(const std::vector<std::string>& args, const std::string& defaultSecret) {
  CommandLine cl;
  cl.server.log = true;
  cl.server.secret = defaultSecret;
  auto fail = [&](std::string why) {
    cl.error = std::move(why);
    return cl;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      cl.help = true;
    } else if (a == "--version") {
      cl.version = true;
    } else if (a == "--quiet") {
      cl.quiet = true;
      cl.server.log = false;
    } else if (a == "--port") {
      if (!value(v)) return fail("--port needs a number");
      int port = -1;
      auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), port);
      if (ec != std::errc() || end != v.data() + v.size() || port < 0 || port > 65535)
        return fail("--port needs a number from 0 to 65535, not \"" + v + "\"");
      cl.server.port = port;
    } else if (a == "--host") {
      if (!value(v) || v.empty()) return fail("--host needs an address");
      cl.server.host = v;
    } else if (a == "--db") {
      if (!value(v) || v.empty()) return fail("--db needs a file name");
      cl.server.db = v;
    } else if (a == "--fault") {
      if (!value(v)) return fail(std::string("--fault needs a mode: ") + faultModeNames());
      auto mode = faultModeFromName(v);
      if (!mode) return fail("unknown fault mode \"" + v + "\"; known: " + faultModeNames());
      cl.server.fault = *mode;
    } else if (a == "--print-port-file") {
      if (!value(v) || v.empty()) return fail("--print-port-file needs a file name");
      cl.portFile = v;
    } else if (a == "--analytics-secret") {
      if (!value(v)) return fail("--analytics-secret needs a value");
      cl.server.secret = v;
    } else {
      return fail("unknown option \"" + a + "\"");
    }
  }
  if (cl.server.secret.empty() && !cl.help && !cl.version) return fail("the analytics secret must not be empty");
  return cl;
}

std::string usageText() {
  return std::string(
             "usage: peckish-devserver [options]\n"
             "Local stand-in for the Peckish high-score and analytics servers.\n"
             "\n"
             "  --port N                 port to listen on (default 0: any free port, printed)\n"
             "  --host ADDRESS           address to listen on (default 127.0.0.1)\n"
             "  --db FILE                SQLite file, created with its folder if missing (default: in memory)\n"
             "  --fault MODE             start misbehaving: ") +
         faultModeNames() +
         "\n"
         "  --print-port-file FILE   write the port to FILE once listening\n"
         "  --analytics-secret TEXT  RC4 key of the analytics exchange (default: the build's secret,\n"
         "                           or PECKISH_ANALYTICS_SECRET)\n"
         "  --quiet                  no line per request\n"
         "  --help, --version\n";
}

}  // namespace peckish::devserver
