// swarm_chat [--seconds S] [--seed N] [--rounds R] [--steps N] [--script FILE] [--print]
//            [--no-holds]
// --no-holds: "hold" steps arm nothing, for a library whose exports still wait for a callback
// running on the task runner's thread (the rest of the script runs as generated).
#include <cstring>
#include <vector>

#include "chat_swarm.h"

int main(int argc, char** argv) {
  swarm::ChatSwarm chat;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-holds") == 0) {
      chat.SetHolds(false);
    } else {
      args.push_back(argv[i]);
    }
  }
  return swarm::RunSwarmMain(chat, static_cast<int>(args.size()), args.data());
}
