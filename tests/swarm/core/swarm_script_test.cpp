// Replay rests on two things: a round's script is a function of its seed alone, and a printed
// script reads back as the same steps.
#include <gtest/gtest.h>

#include <vector>

#include "chat_swarm.h"
#include "fetch_swarm.h"
#ifdef KUVO_SWARM_SCRIPT_DESK
#include "desk_swarm.h"
#endif
#include "swarm_script.h"

namespace swarm {
namespace {

std::string Generated(Swarm& swarm, uint64_t seed) {
  Rng rng(seed);
  const Script script = swarm.Generate(rng, 80);
  return ScriptText(script, script.size());
}

TEST(SwarmScript, TheSameSeedGivesTheSameScriptAndAnotherSeedAnother) {
  FetchSwarm fetch;
  ChatSwarm chat;
  std::vector<Swarm*> swarms{&fetch, &chat};
#ifdef KUVO_SWARM_SCRIPT_DESK
  DeskSwarm desk;
  swarms.push_back(&desk);
#endif
  for (Swarm* swarm : swarms) {
    EXPECT_EQ(Generated(*swarm, 42), Generated(*swarm, 42)) << swarm->Name();
    EXPECT_NE(Generated(*swarm, 42), Generated(*swarm, 43)) << swarm->Name();
  }
}

TEST(SwarmScript, APrintedScriptReadsBackAsTheSameSteps) {
  ChatSwarm chat;
  Rng rng(7);
  const Script script = chat.Generate(rng, 80);
  const Script read = ParseScript("# a comment\n\n" + ScriptText(script, script.size()));
  ASSERT_EQ(read.size(), script.size());
  for (size_t i = 0; i < script.size(); ++i) EXPECT_EQ(read[i].Text(), script[i].Text()) << i;

  Step step("start");
  step.Set("url", "a b=c\nd").Set("n", 3).Set("n", 4);
  EXPECT_EQ(step.Text(), "start url=a_b_c_d n=4");  // values never break the line format
  EXPECT_EQ(step.Int("n"), 4);
  EXPECT_EQ(step.Int("missing", -1), -1);
}

}  // namespace
}  // namespace swarm
