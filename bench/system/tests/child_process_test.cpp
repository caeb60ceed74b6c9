// Helper programs: input through the pipe, an end by itself or by force,
// and the processor time of each.
#include "bench/system/child_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(ChildProcess, EndsByItselfOrIsKilled) {
  ChildProcess reader;
  ASSERT_TRUE(reader.start({"sh", "-c", "cat > /dev/null; i=0; while [ $i -lt 20000 ]; do i=$((i+1)); done"},
                           ChildProcess::Pipe::ToStdin, ""));
  ASSERT_EQ(write(reader.fd(), "pictures", 8), 8);
  reader.finish(20000);  // closes its input: it ends by itself
  EXPECT_FALSE(reader.running());
  EXPECT_TRUE(WIFEXITED(reader.status()) && WEXITSTATUS(reader.status()) == 0);
  EXPECT_GT(reader.cpuSeconds(), 0);

  ChildProcess stuck;
  ASSERT_TRUE(stuck.start({"sleep", "60"}, ChildProcess::Pipe::None, ""));
  stuck.finish(50);
  EXPECT_TRUE(WIFSIGNALED(stuck.status()));

  EXPECT_FALSE(ChildProcess().start({"no-such-program-here"}, ChildProcess::Pipe::FromStdout, ""));
  EXPECT_TRUE(onPath("sh"));
  EXPECT_FALSE(commandSucceeds({"sh", "-c", "exit 3"}));
}
