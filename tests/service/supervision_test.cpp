#include "service/supervision.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/args.h"

namespace vexlo {
namespace {

WideString W(const char* text) {
  WideString wide;
  for (const char* p = text; *p != '\0'; ++p) wide.push_back(static_cast<WideChar>(static_cast<unsigned char>(*p)));
  return wide;
}

std::vector<WideString> Ws(std::initializer_list<const char*> texts) {
  std::vector<WideString> wides;
  for (const char* text : texts) wides.push_back(W(text));
  return wides;
}

TEST(ChildCommandLine, QuotesElementsTheSplittingWouldChange) {
  WideString line;
  ASSERT_TRUE(BuildChildCommandLine(W("C:\\apps\\svc.exe"), W("My Svc"), {}, Ws({"-x", "a b"}), &line));
  EXPECT_EQ(line, W("C:\\apps\\svc.exe \"My Svc\" -x \"a b\" __tvl_restart"));

  ASSERT_TRUE(BuildChildCommandLine(W("C:\\Program Files\\svc.exe"), W("Svc"), Ws({"own"}), {}, &line));
  EXPECT_EQ(line, W("\"C:\\Program Files\\svc.exe\" Svc own __tvl_restart"));
}

// Whatever the service is called and started with, the child's splitting
// gives back exactly those elements, with the restart marker last.
TEST(ChildCommandLine, EveryPassableElementSurvivesTheChildsSplitting) {
  const std::vector<WideString> names = Ws({"Bob'sSvc", "say \"hi\"", "plain", "two  spaces", "tab\there"});
  const std::vector<WideString> parameters = Ws({"it's", "", "x=\"1 2\"", "-Dp='q'", "\\\\server\\share"});
  for (const WideString& executable : Ws({"C:\\Bob's apps\\svc.exe", "C:\\Bob's\\svc.exe"})) {
    for (const WideString& name : names) {
      WideString line;
      ASSERT_TRUE(BuildChildCommandLine(executable, name, Ws({"own arg"}), parameters, &line));
      std::vector<WideString> split;
      SplitArguments(line, &split);
      std::vector<WideString> expected = {executable, name, W("own arg")};
      expected.insert(expected.end(), parameters.begin(), parameters.end());
      expected.push_back(W("__tvl_restart"));
      EXPECT_EQ(split, expected);
    }
  }
}

TEST(ChildCommandLine, RefusesWhatCannotBePassed) {
  WideString line = W("unchanged");
  EXPECT_FALSE(BuildChildCommandLine(W("C:\\svc.exe"), W("Svc"), {}, Ws({"both ' and \""}), &line));
  EXPECT_FALSE(BuildChildCommandLine(W("C:\\svc.exe"), W("'\""), {}, {}, &line));
  EXPECT_FALSE(BuildChildCommandLine(W("C:\\svc.exe"), W("Svc"), {WideString(kMaxChildCommandLine, 'x')}, {}, &line));
  EXPECT_EQ(line, W("unchanged"));

  // Just within the limit.
  const WideString prefix = W("C:\\svc.exe Svc ");
  const WideString suffix = W(" __tvl_restart");
  const WideString filler(kMaxChildCommandLine - prefix.size() - suffix.size(), 'x');
  ASSERT_TRUE(BuildChildCommandLine(W("C:\\svc.exe"), W("Svc"), {filler}, {}, &line));
  EXPECT_EQ(line.size(), kMaxChildCommandLine);
  EXPECT_FALSE(BuildChildCommandLine(W("C:\\svc.exe"), W("Svc"), {filler + W("x")}, {}, &line));
}

TEST(PriorityClass, OnlyTheSixClassesPass) {
  for (uint32_t value : {0x20u, 0x40u, 0x80u, 0x100u, 0x4000u, 0x8000u}) EXPECT_TRUE(IsPriorityClass(value)) << value;
  for (uint32_t value : {0u, 0x1u, 0x2u, 0x4u, 0x8u, 0x8020u, 0x4040u, 0xFFFFFFFFu}) {
    EXPECT_FALSE(IsPriorityClass(value)) << value;
  }
}

struct Step {
  enum Kind { kControl, kCreated, kStartFailed, kEnded, kProgress } kind;
  uint32_t value;  // control code or exit code
  bool report;
  bool relay;
  uint32_t state_after;
};

struct Scenario {
  const char* name;
  std::vector<Step> steps;
  uint32_t final_check_point;
};

// Each scenario is a sequence of events with the report/relay the service
// must do after each, and the state it then shows.
TEST(Supervision, ControlsAndChildEvents) {
  const uint32_t kInterrogate = 4;
  const Scenario scenarios[] = {
      {"stop while the child runs",
       {{Step::kCreated, 0, true, false, kStateRunning},
        {Step::kControl, kControlStop, true, true, kStateStopPending},
        {Step::kEnded, 7, true, false, kStateStopped}},
       0},
      {"shutdown raises the check point",
       {{Step::kCreated, 0, true, false, kStateRunning},
        {Step::kControl, kControlShutdown, true, true, kStateStopPending},
        {Step::kEnded, 0, true, false, kStateStopped}},
       1},
      {"preshutdown is a stop",
       {{Step::kCreated, 0, true, false, kStateRunning},
        {Step::kControl, kControlPreshutdown, true, true, kStateStopPending},
        {Step::kControl, kControlShutdown, true, false, kStateStopPending},
        {Step::kEnded, 0, true, false, kStateStopped}},
       1},
      {"a second stop relays nothing more",
       {{Step::kCreated, 0, true, false, kStateRunning},
        {Step::kControl, kControlStop, true, true, kStateStopPending},
        {Step::kControl, kControlShutdown, true, false, kStateStopPending},
        {Step::kEnded, 0, true, false, kStateStopped}},
       1},
      {"an early stop is relayed once the child exists, never overwritten by running",
       {{Step::kControl, kControlStop, true, false, kStateStopPending},
        {Step::kCreated, 0, false, true, kStateStopPending},
        {Step::kEnded, 1, true, false, kStateStopped}},
       0},
      {"interrogate reports and relays nothing",
       {{Step::kCreated, 0, true, false, kStateRunning},
        {Step::kControl, kInterrogate, true, false, kStateRunning}},
       0},
      {"child ends with 0 on its own",
       {{Step::kCreated, 0, true, false, kStateRunning}, {Step::kEnded, 0, true, false, kStateStopped}},
       0},
      {"child fails on its own: stopped, as a failure",
       {{Step::kCreated, 0, true, false, kStateRunning}, {Step::kEnded, 1, true, false, kStateStopped}},
       0},
      {"a stop's progress raises the check point until the child ends",
       {{Step::kCreated, 0, true, false, kStateRunning},
        {Step::kControl, kControlStop, true, true, kStateStopPending},
        {Step::kProgress, 0, true, false, kStateStopPending},
        {Step::kProgress, 0, true, false, kStateStopPending},
        {Step::kEnded, 1460, true, false, kStateStopped},
        {Step::kProgress, 0, false, false, kStateStopped}},
       2},
      {"no progress without a stop",
       {{Step::kCreated, 0, true, false, kStateRunning}, {Step::kProgress, 0, false, false, kStateRunning}},
       0},
      {"nothing is reported after stopped",
       {{Step::kCreated, 0, true, false, kStateRunning},
        {Step::kEnded, 0, true, false, kStateStopped},
        {Step::kControl, kControlStop, false, false, kStateStopped},
        {Step::kControl, kInterrogate, false, false, kStateStopped}},
       0},
      {"start failure is final",
       {{Step::kStartFailed, 0, true, false, kStateStopped},
        {Step::kControl, kControlStop, false, false, kStateStopped}},
       0},
  };
  for (const Scenario& scenario : scenarios) {
    SupervisionState state;
    for (size_t i = 0; i < scenario.steps.size(); ++i) {
      const Step& step = scenario.steps[i];
      SupervisionAction action;
      switch (step.kind) {
        case Step::kControl: action = OnControl(state, step.value); break;
        case Step::kCreated: action = OnChildCreated(state); break;
        case Step::kStartFailed: action = OnStartFailed(state); break;
        case Step::kEnded: action = OnChildEnded(state, step.value); break;
        case Step::kProgress: action = OnStopProgress(state); break;
      }
      EXPECT_EQ(action.report, step.report) << scenario.name << ", step " << i;
      EXPECT_EQ(action.relay_stop, step.relay) << scenario.name << ", step " << i;
      EXPECT_EQ(state.current_state, step.state_after) << scenario.name << ", step " << i;
    }
    EXPECT_EQ(state.check_point, scenario.final_check_point) << scenario.name;
  }
}

TEST(Supervision, StartFailureCarriesTheServiceSpecificError) {
  SupervisionState state;
  OnStartFailed(state);
  EXPECT_EQ(state.win32_exit_code, 1066u);
  EXPECT_EQ(state.specific_exit_code, 5000u);
}

// A child that ends with a non-zero code while no stop was asked for shows as
// a failure with its code; after a stop or shutdown any end is a clean stop.
TEST(Supervision, HowTheChildsEndShows) {
  const struct {
    uint32_t control;  // 0: none
    uint32_t exit_code;
    uint32_t win32_exit_code;
    uint32_t specific_exit_code;
  } cases[] = {
      {0, 0, 0, 0},          {0, 3, 1066, 3}, {0, 2, 1066, 2}, {0, 0xC0000005u, 1066, 0xC0000005u},
      {kControlStop, 7, 0, 0}, {kControlShutdown, 1460, 0, 0},
  };
  for (const auto& c : cases) {
    SupervisionState state;
    OnChildCreated(state);
    if (c.control != 0) OnControl(state, c.control);
    EXPECT_TRUE(OnChildEnded(state, c.exit_code).report);
    EXPECT_EQ(state.current_state, kStateStopped);
    EXPECT_EQ(state.win32_exit_code, c.win32_exit_code) << c.exit_code;
    EXPECT_EQ(state.specific_exit_code, c.specific_exit_code) << c.exit_code;
  }
}

// A stop or shutdown starts the bounded wait and announces the short wait
// hint of a stop in progress; other controls do neither.
TEST(Supervision, StopsStartTheBoundedWait) {
  for (const uint32_t control : {kControlStop, kControlShutdown, kControlPreshutdown, 4u}) {
    SupervisionState state;
    OnChildCreated(state);
    EXPECT_EQ(state.wait_hint, kRunningWaitHintMs);
    const bool stopping = control != 4u;
    EXPECT_EQ(OnControl(state, control).stop_requested, stopping) << control;
    EXPECT_EQ(state.wait_hint, stopping ? kStopWaitHintMs : kRunningWaitHintMs) << control;
    OnChildEnded(state, 0);
    EXPECT_FALSE(OnControl(state, control).stop_requested) << control;
  }
}

TEST(Supervision, StopWaitSlices) {
  const struct {
    uint64_t elapsed, timeout;
    uint32_t slice;
  } cases[] = {{0, 30000, kStopProgressMs}, {29000, 30000, kStopProgressMs}, {29500, 30000, 500},
               {29999, 30000, 1},           {30000, 30000, 0},               {31000, 30000, 0},
               {0, 400, 400}};
  for (const auto& c : cases) EXPECT_EQ(StopWaitSlice(c.elapsed, c.timeout), c.slice) << c.elapsed;
}

}  // namespace
}  // namespace vexlo
