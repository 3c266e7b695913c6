// peckish-devserver: serves the high-score pages and the analytics endpoint on a local address
// until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "devserver/CommandLine.h"
#include "devserver/DevServer.h"
#include "platform/Config.h"

namespace {

bool writePortFile(const std::string& path, int port) {
  // Written under another name and renamed, so a reader never sees half a number.
  std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::trunc);
    out << port << "\n";
    if (!out) return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  return !ec;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace peckish::devserver;
  std::vector<std::string> args(argv + 1, argv + argc);
  CommandLine cl = parseCommandLine(args, peckish::platform::analyticsSecret());
  if (!cl.error.empty()) {
    std::cerr << "peckish-devserver: " << cl.error << "\n" << usageText();
    return 2;
  }
  if (cl.help) {
    std::cout << usageText();
    return 0;
  }
  if (cl.version) {
    std::cout << "peckish-devserver " << peckish::platform::versionString() << "\n";
    return 0;
  }

  // Signals are taken by sigwait below; block them before any server thread exists.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  try {
    DevServer server(cl.server);
    server.start();
    std::printf("peckish-devserver: listening on %s (port %d, database %s, fault mode %s)\n",
                server.baseUrl().c_str(), server.port(), cl.server.db.c_str(), faultModeName(server.fault()));
    std::fflush(stdout);
    if (!cl.portFile.empty() && !writePortFile(cl.portFile, server.port())) {
      std::fprintf(stderr, "peckish-devserver: cannot write %s\n", cl.portFile.c_str());
      return 1;
    }
    int received = 0;
    sigwait(&signals, &received);
    server.stop();
    std::printf("peckish-devserver: stopped\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "peckish-devserver: %s\n", e.what());
    return 1;
  }
  return 0;
}
