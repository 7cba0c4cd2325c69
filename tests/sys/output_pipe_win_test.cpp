// The child's output pipe as the service main reads it.
#include "sys/output_pipe_win.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

std::string g_received;
void Receive(const char* data, size_t size) { g_received.append(data, size); }

bool Inheritable(HANDLE handle) {
  DWORD flags = 0;
  EXPECT_TRUE(GetHandleInformation(handle, &flags)) << GetLastError();
  return (flags & HANDLE_FLAG_INHERIT) != 0;
}

// A read that has to wait leaves the event unsignalled, so the reader's wait
// sleeps until output comes; output arrives in order, and the end comes
// when the last writer has closed its end.
TEST(OutputPipe, ReadsWhatComesAndSeesTheEnd) {
  OutputPipe pipe;
  UniqueFile write;
  DWORD error = 0;
  ASSERT_TRUE(CreateOutputPipe(&pipe, &write, &error)) << error;
  EXPECT_TRUE(Inheritable(write.get()));
  EXPECT_FALSE(Inheritable(pipe.server.get()));
  g_received.clear();
  ASSERT_EQ(WaitForSingleObject(pipe.ready.get(), 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReadAvailableOutput(pipe, Receive, 16));
  EXPECT_EQ(WaitForSingleObject(pipe.ready.get(), 100), static_cast<DWORD>(WAIT_TIMEOUT));
  for (const char* text : {"first\n", "second\n"}) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(write.get(), text, static_cast<DWORD>(strlen(text)), &written, nullptr));
    ASSERT_EQ(WaitForSingleObject(pipe.ready.get(), 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(ReadAvailableOutput(pipe, Receive, 16));
  }
  EXPECT_EQ(g_received, "first\nsecond\n");
  write.reset();
  ASSERT_EQ(WaitForSingleObject(pipe.ready.get(), 5000), WAIT_OBJECT_0);
  EXPECT_FALSE(ReadAvailableOutput(pipe, Receive, 16));
  EXPECT_TRUE(pipe.ended);
}

}  // namespace
}  // namespace vexlo
