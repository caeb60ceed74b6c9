// Helper programs: input through the pipe, an end by itself or by force,
// and the processor time of each.
#include "bench/system/child_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/system/line_reader.h"

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

TEST(ChildProcess, AnswersCommandsThroughBothPipes) {
  ChildProcess p;
  ASSERT_TRUE(p.start({"sh", "-c", "echo monitor line; while read l; do echo \"answer: $l\"; done"},
                      ChildProcess::Pipe::Both, ""));
  LineReader lines;
  ASSERT_TRUE(lines.start(p.outFd(), {"answer:"}, ""));
  ASSERT_EQ(write(p.fd(), "mode loupex\n", 12), 12);
  LineReader::Line answer;
  ASSERT_TRUE(lines.waitFor(&answer, 10000));
  EXPECT_EQ(answer.text, "answer: mode loupex");  // the monitor line is not an answer
  EXPECT_GT(answer.when, 0);
  EXPECT_FALSE(lines.waitFor(&answer, 50));
  p.finish(10000);  // the end of its input ends it, and its output
  lines.join();
  EXPECT_TRUE(WIFEXITED(p.status()) && WEXITSTATUS(p.status()) == 0);
}
