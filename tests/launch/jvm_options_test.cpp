#include "launch/jvm_options.h"

#include <gtest/gtest.h>

#include "support/fake_option_system.h"

namespace vexlo {
namespace {

using testing_support::FakeOptionSystem;
using Lines = std::vector<std::string>;

TEST(OwnOptions, PresenceRules) {
  OwnOptionInputs inputs;
  inputs.module_path = "C:\\app\\svc.exe";
  inputs.process_comm_file = "C:\\tmp\\vxl_p7.tmp";
  inputs.library_path = "C:\\windows;C:\\jre\\bin";
  inputs.unextracted_position = -5;
  EXPECT_EQ(OwnOptions(inputs),
            (Lines{"-Dvexlo.isService=true", "-Dvexlo.moduleName=C:\\app\\svc.exe", "-Dsun.java.command=C:\\app\\svc.exe",
                   "-Dvexlo.tempDir=", "-Dvexlo.unextractedPosition=-5",
                   "-Djava.library.path=C:\\windows;C:\\jre\\bin"}));
  inputs.semaphore_name = "Local\\c:_app_svc.exe0";
  inputs.tavrelium = true;
  inputs.single_instance = true;
  inputs.temp_dir = "C:\\tmp\\vxl1.tmp_dir5";
  inputs.has_console_codepage = true;
  inputs.console_codepage = 850;
  EXPECT_EQ(OwnOptions(inputs),
            (Lines{"-Dvexlo.semaphoreName=Local\\c:_app_svc.exe0", "-Dvexlo.isTavrelium=true", "-Dvexlo.isService=true",
                   "-Dvexlo.moduleName=C:\\app\\svc.exe", "-Dsun.java.command=C:\\app\\svc.exe",
                   "-Dvexlo.processCommFile=C:\\tmp\\vxl_p7.tmp", "-Dvexlo.tempDir=C:\\tmp\\vxl1.tmp_dir5",
                   "-Dvexlo.unextractedPosition=-5", "-Djava.library.path=C:\\windows;C:\\jre\\bin",
                   "-Dvexlo.consoleCodepage=cp850"}));
}

class AssembleJvmOptionsTest : public ::testing::Test {
 protected:
  // The options without the class path, and the class path text.
  bool Assemble() {
    options_.clear();
    failure_ = ClassPathFailure();
    const bool ok = AssembleJvmOptions(inputs_, fake_.System(), &options_, &failure_);
    if (ok && !options_.empty()) {
      class_path_ = options_.back();
      options_.pop_back();
      EXPECT_EQ(class_path_.rfind("-Djava.class.path=", 0), 0u) << class_path_;
      class_path_.erase(0, 18);
    }
    EXPECT_EQ(fake_.open_files, 0);
    return ok;
  }

  FakeOptionSystem fake_;
  StartArgumentInputs inputs_;
  Lines options_;
  std::string class_path_;
  ClassPathFailure failure_;
};

TEST_F(AssembleJvmOptionsTest, SourcesInTheirOrder) {
  inputs_.own_options = {"-Downed=1"};
  inputs_.vm_parameters = "-Xmx1g -include-options extra.vmoptions \"-Da=b c\" -Dexe=%EXEDIR%";
  inputs_.allow_j_arguments = true;
  inputs_.program_arguments = {"-Jfirst", "-J-Dj=1", "-Dsun.locale.formatasdefault=false", "x", "-J-Dk=2"};
  inputs_.language = "de";
  inputs_.country = "AT";
  fake_.files["C:\\app\\extra.vmoptions"] = "-Dextra=1";
  fake_.files["C:\\app\\svc.vmoptions"] = "-Dfile=1\n-include-options svc.vmoptions\n";
  fake_.default_file = "C:\\app\\svc.vmoptions";
  ASSERT_TRUE(Assemble());
  EXPECT_EQ(options_, (Lines{"-Downed=1", "-Xmx1g", "-Dextra=1", "-Da=b c", "-Dexe=C:\\app\\", "first", "-Dj=1",
                             "-Dk=2", "-Dsun.locale.formatasdefault=false", "-Duser.language=de", "-Duser.country=AT",
                             "-Dfile=1"}));
  // The default file counts as being read: including it again is refused.
  EXPECT_TRUE(fake_.Logged("ERROR: vmoptions file <C:\\app\\svc.vmoptions> is already being read: include refused"));
  EXPECT_TRUE(fake_.Logged("adding options\n"));
  EXPECT_TRUE(fake_.Logged("vmoption count 13"));
  EXPECT_TRUE(fake_.Logged("vmoption 0: -Downed=1"));
  EXPECT_TRUE(fake_.Logged("vmoption 12: -Djava.class.path="));
}

// The Java side's stop timeout goes last before the class path, unless a
// configured option, of whatever source, sets the property already.
TEST_F(AssembleJvmOptionsTest, StopTimeoutUnlessConfigured) {
  inputs_.own_options = {"-Downed=1"};
  fake_.files["C:\\app\\svc.vmoptions"] = "-Dfile=1";
  fake_.default_file = "C:\\app\\svc.vmoptions";
  const struct {
    uint64_t timeout_ms;
    const char* vm_parameters;
    Lines options;
  } cases[] = {
      {25000, "", {"-Downed=1", "-Dfile=1", "-Dvexlo.stopTimeoutMillis=25000"}},
      {25000, "-Dvexlo.stopTimeoutMillis=9000", {"-Downed=1", "-Dvexlo.stopTimeoutMillis=9000", "-Dfile=1"}},
      {25000, "-Dvexlo.stopTimeoutMillis", {"-Downed=1", "-Dvexlo.stopTimeoutMillis", "-Dfile=1"}},
      {25000, "-Dvexlo.stopTimeoutMillisX=1",
       {"-Downed=1", "-Dvexlo.stopTimeoutMillisX=1", "-Dfile=1", "-Dvexlo.stopTimeoutMillis=25000"}},
      {0, "", {"-Downed=1", "-Dfile=1"}},
  };
  for (const auto& c : cases) {
    inputs_.java_stop_timeout_ms = c.timeout_ms;
    inputs_.vm_parameters = c.vm_parameters;
    ASSERT_TRUE(Assemble());
    EXPECT_EQ(options_, c.options) << c.vm_parameters;
  }
  fake_.files["C:\\app\\svc.vmoptions"] = "-Dvexlo.stopTimeoutMillis=1";
  inputs_.java_stop_timeout_ms = 25000;
  inputs_.vm_parameters = "";
  ASSERT_TRUE(Assemble());
  EXPECT_EQ(options_, (Lines{"-Downed=1", "-Dvexlo.stopTimeoutMillis=1"}));
}

// The stop method and the rotation reach the Java side as the builder wrote
// them, the stop record expanded; without them, nothing.
TEST_F(AssembleJvmOptionsTest, StopMethodAndRotationAsProperties) {
  inputs_.java_stop = "org.example.Server\nmain\nstop\n%EXEDIR%data";
  inputs_.log_rotation = "10MB 5";
  ASSERT_TRUE(Assemble());
  EXPECT_EQ(options_, (Lines{"-Dvexlo.stop=org.example.Server\nmain\nstop\nC:\\app\\data",
                             "-Dvexlo.logs.rotate=10MB 5"}));
  inputs_ = StartArgumentInputs();
  ASSERT_TRUE(Assemble());
  EXPECT_EQ(options_, Lines{});
}

TEST_F(AssembleJvmOptionsTest, IncludeOptionsJoinsTheNextToken) {
  fake_.files["C:\\app\\a b.vmoptions"] = "-Dspaced=1";
  const struct {
    const char* parameters;
    Lines options;
  } cases[] = {
      {"-include-options \"a b.vmoptions\" -Dx", {"-Dspaced=1", "-Dx"}},
      {"-Dx -include-options", {"-Dx", "-include-options"}},
      {"-include-options -include-options", {}},  // the second is taken as the file name
      {"'-include-options a' -Dy", {"-Dy"}},      // one quoted token: a missing file
  };
  for (const auto& c : cases) {
    inputs_.vm_parameters = c.parameters;
    ASSERT_TRUE(Assemble());
    EXPECT_EQ(options_, c.options) << c.parameters;
  }
}

TEST_F(AssembleJvmOptionsTest, JArgumentsOnlyWhenAllowed) {
  inputs_.program_arguments = {"svc", "-J-Xmx1g", "x-J"};
  ASSERT_TRUE(Assemble());
  EXPECT_EQ(options_, Lines{});
  inputs_.allow_j_arguments = true;
  ASSERT_TRUE(Assemble());
  EXPECT_EQ(options_, Lines{"-Xmx1g"});
}

TEST_F(AssembleJvmOptionsTest, LocaleOptions) {
  const struct {
    Lines arguments;
    const char* language;
    const char* country;
    Lines options;
  } cases[] = {
      {{"svc"}, "de", "AT", {}},
      {{"-Dsun.locale.formatasdefault=true"}, "de", "AT", {"-Dsun.locale.formatasdefault=true"}},
      {{"-Dsun.locale.formatasdefault=false"}, "de", "AT",
       {"-Dsun.locale.formatasdefault=false", "-Duser.language=de", "-Duser.country=AT"}},
      {{"-Dsun.locale.formatasdefault=x", "-Dsun.locale.formatasdefault=true"}, "de", "AT",
       {"-Dsun.locale.formatasdefault=true"}},
      {{"-Dsun.locale.formatasdefault=no"}, "de", "", {"-Dsun.locale.formatasdefault=no", "-Duser.language=de"}},
      {{"-Dsun.locale.formatasdefault=no"}, "", "", {"-Dsun.locale.formatasdefault=no"}},
  };
  for (const auto& c : cases) {
    inputs_.program_arguments = c.arguments;
    inputs_.language = c.language;
    inputs_.country = c.country;
    ASSERT_TRUE(Assemble());
    EXPECT_EQ(options_, c.options) << c.arguments.back();
  }
}

TEST_F(AssembleJvmOptionsTest, ClassPathFromEverySource) {
  // One token each: the blank after the prefix is part of it.
  inputs_.vm_parameters = "\"-classpath/p pre.jar\" '-classpath/a post.jar'";
  inputs_.launcher_temp_dir = "C:\\tmp\\d";
  // Archives come from the extracted files, never from a listing of the folder.
  inputs_.extracted_files = {"user\\v.jar", "t.ZIP", "t.jar", "lib\\l.jar", "USER/u.jar", "n.jarx", "users\\x.jar"};
  inputs_.tavrelium = true;
  inputs_.installation_directory = "C:\\app\\inst\\";
  inputs_.class_path_entries = "A0lib\\a.jar;;D0classes;E0CP;S0C:\\shared";
  fake_.directories = {"C:\\tmp\\d", "C:\\tmp\\d\\user", "C:\\shared"};
  fake_.listings["C:\\tmp\\d\\*.jar"] = {"planted.jar", "t.jar"};
  fake_.listings["C:\\tmp\\d\\user\\*.jar"] = {"planted.jar", "u.jar", "v.jar"};
  fake_.listings["C:\\shared\\*.jar"] = {"s.jar"};
  fake_.listings["C:\\shared\\*.zip"] = {"s.zip"};
  fake_.environment["CP"] = "\"D:\\x.jar;D:\\y.jar\"";
  ASSERT_TRUE(Assemble());
  EXPECT_EQ(class_path_,
            "pre.jar;C:\\tmp\\d\\t.jar;C:\\tmp\\d\\t.ZIP;C:\\tmp\\d\\user\\v.jar;C:\\tmp\\d\\USER/u.jar;"
            "C:\\app\\inst\\.tavrelium\\tvlruntime.jar;C:\\app\\lib\\a.jar;C:\\app\\classes;D:\\x.jar;D:\\y.jar;"
            "C:\\shared\\s.jar;C:\\shared\\s.zip;post.jar");
  EXPECT_TRUE(fake_.Logged("classpath entry A0lib\\a.jar;;D0classes;E0CP;S0C:\\shared"));
}

TEST_F(AssembleJvmOptionsTest, ClassPathOverridesAndSeparators) {
  inputs_.class_path_entries = "A0lib\\a.jar";
  const struct {
    const char* vm_parameters;
    bool tavrelium;
    const char* class_path;
  } cases[] = {
      {"", false, "C:\\app\\lib\\a.jar;"},
      {"-classpath c.jar", false, "C:\\app\\lib\\a.jar;"},  // two tokens: two JVM options
      {"\"-classpath c.jar\"", false, "c.jar"},
      {"\"-classpath c.jar\" \"-classpath/a d.jar\"", false, "c.jar;d.jar"},
      {"\"-classpath c.jar;\" \"-classpath/a d.jar\"", false, "c.jar;d.jar"},
      {"\"-classpath \" \"-classpath/a d.jar\"", false, "d.jar"},  // nothing before: no empty element
      {"\"-classpath \" \"-classpath/a d.jar\"", true, "C:\\inst\\.tavrelium\\tvlruntime.jar;d.jar"},
      {"\"-classpath/p \" \"-classpath \"", false, ""},
  };
  inputs_.installation_directory = "C:\\inst";
  for (const auto& c : cases) {
    inputs_.vm_parameters = c.vm_parameters;
    inputs_.tavrelium = c.tavrelium;
    ASSERT_TRUE(Assemble());
    EXPECT_EQ(class_path_, c.class_path) << c.vm_parameters;
  }
}

TEST_F(AssembleJvmOptionsTest, ConfiguredEntries) {
  fake_.files["C:\\app\\lib\\a.jar"] = "";
  fake_.files["C:\\app\\lib\\b.jar"] = "";
  fake_.directories = {"C:\\app\\lib", "C:\\app\\empty"};
  fake_.listings["C:\\app\\lib\\*.jar"] = {"a.jar", "b.jar"};
  fake_.environment = {{"SET", "E:\\e.jar;"}, {"EMPTY", ""}, {"QUOTED", "\"E:\\q.jar\""}, {"HALF", "\"E:\\h.jar"}};
  const struct {
    const char* entries;
    bool ok;
    const char* class_path;  // or the failure's argument
    int message = 0;
  } cases[] = {
      {"A1lib\\a.jar", true, "C:\\app\\lib\\a.jar;"},
      {"A0lib\\missing.jar", true, "C:\\app\\lib\\missing.jar;"},
      {"A1lib\\missing.jar", false, "lib\\missing.jar", 1006},
      {"A1lib\\a.jar;lib\\b.jar", true, "C:\\app\\lib\\a.jar;"},  // the second piece is its own entry: type l
      {"D1%EXEDIR%lib", true, "C:\\app\\lib;"},
      {"E1SET;E1QUOTED;E0HALF", true, "E:\\e.jar;E:\\q.jar;\"E:\\h.jar;"},
      {"E1EMPTY", true, ""},
      {"E0UNSET", true, ""},
      {"E1UNSET", false, "UNSET", 1008},
      {"S1lib", true, "C:\\app\\lib\\a.jar;C:\\app\\lib\\b.jar;"},
      {"S1empty", true, ""},
      {"S0nodir", true, ""},
      {"S1nodir", false, "nodir", 1006},
      {"Q1what;A0x.jar", true, "C:\\app\\x.jar;"},
      {"A", true, ""},
  };
  for (const auto& c : cases) {
    inputs_.class_path_entries = c.entries;
    EXPECT_EQ(Assemble(), c.ok) << c.entries;
    if (c.ok) {
      EXPECT_EQ(class_path_, c.class_path) << c.entries;
    } else {
      EXPECT_EQ(failure_.message_id, c.message) << c.entries;
      EXPECT_EQ(failure_.argument, c.class_path) << c.entries;
    }
  }
  EXPECT_TRUE(fake_.Logged("ERROR: unknown classpath entry type Q in Q1what: entry ignored"));
  EXPECT_TRUE(fake_.Logged("ERROR: unknown classpath entry type l in lib\\b.jar: entry ignored"));
}

TEST(ScanDirectory, AppendsMatchingFiles) {
  FakeOptionSystem fake;
  fake.directories = {"C:\\libs"};
  fake.listings["C:\\libs\\*.jar"] = {"b.jar", "a.jar"};
  std::string class_path = "x;";
  EXPECT_TRUE(ScanDirectory(&class_path, "C:\\libs", "jar", fake.System()));
  EXPECT_TRUE(ScanDirectory(&class_path, "C:\\libs", ".jar", fake.System()));
  EXPECT_TRUE(ScanDirectory(&class_path, "C:\\libs", "zip", fake.System()));  // none: still true
  EXPECT_EQ(class_path, "x;C:\\libs\\b.jar;C:\\libs\\a.jar;C:\\libs\\b.jar;C:\\libs\\a.jar;");
  EXPECT_FALSE(ScanDirectory(&class_path, "C:\\missing", "jar", fake.System()));
}

}  // namespace
}  // namespace vexlo
