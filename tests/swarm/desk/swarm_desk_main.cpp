// swarm_desk [--seconds S] [--seed N] [--rounds R] [--steps N] [--script FILE] [--print]
#include "desk_swarm.h"

int main(int argc, char** argv) {
  swarm::DeskSwarm desk;
  return swarm::RunSwarmMain(desk, argc, argv);
}
