// swarm_fetch [--seconds S] [--seed N] [--rounds R] [--steps N] [--script FILE] [--print]
#include <cstdio>

#include "fetch_servers.h"
#include "fetch_swarm.h"

int main(int argc, char** argv) {
  const auto& servers = fetch_test::GetServers();
  if (!servers.ok) {
    std::fprintf(stderr, "swarm_fetch: no loopback servers: %s\n", servers.error.c_str());
    return 1;
  }
  swarm::FetchSwarm fetch;
  return swarm::RunSwarmMain(fetch, argc, argv);
}
