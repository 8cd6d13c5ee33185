// The host's settings from the per-user settings record: each key changes what the host does, an
// absent key or record keeps the default, and an unattended set-up line is never replaced.

#include "host/settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/text.h"
#include "files/path.h"
#include "host/cmdline.h"

namespace {

std::string parse(const char* line, unsigned options) {
  Text* list = cmdline_parse(line, 1, options);
  std::string out;
  for (const char* s = text_cstr(list); *s; ++s)
    if (*s != '\r') out += *s == '\n' ? '|' : *s;
  text_free(list);
  return out;
}

class Settings : public ::testing::Test {
 protected:
  std::filesystem::path dir;
  HostSettings saved;
  void SetUp() override {
    saved = host_settings;
    dir = std::filesystem::temp_directory_path() /
          ("zq_settings_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(dir);
    path_set_program_path((dir / "zq9utl.exe").string().c_str());
  }
  void TearDown() override {
    host_settings = saved;
    path_set_program_path(nullptr);
    std::filesystem::remove_all(dir);
  }
  // Writes the record and loads it as the start-up does.
  bool load(const std::string& record) {
    FILE* f = std::fopen((dir / "idsystem.sys").string().c_str(), "wb");
    EXPECT_NE(f, nullptr);
    std::fwrite(record.data(), 1, record.size(), f);
    std::fclose(f);
    return host_settings_load();
  }
};

// Each setting as the record gives it, seen in what the command line and the loop do.
TEST_F(Settings, EachKeyChangesWhatTheHostDoes) {
  struct {
    const char* record;
    const char* line;  // parsed with the start-up's options
    std::string list;
  } cases[] = {
      {"SETUP: 1\r\n", "prog a.txt", "app\tcab|show\t1|file\ta.txt|"},
      {"EDWMOD: 1\r\n", "prog a.txt", "app\tedmdi1|show\t1|file\ta.txt|"},
      {"EDWMOD: 5\r\n", "prog a.txt", "app\tedmdi1|show\t1|file\ta.txt|"},  // two bits
      {"EDWMOD: 2\r\n", "prog a.txt", "app\tcab|show\t1|file\ta.txt|"},
      {"SCRJMP: 1\r\n", "prog /j4 a", "app\tcab|show\t1|file\ta|sw\tjmpara\t4|sw\tscrjmp|"},
      {"SCRJMP: 0\r\n", "prog /j4 a", "app\tcab|show\t1|file\ta|sw\tjmpara\t4|"},
      {"ZQNAME: @zq -y(2)\r\n", "prog -x", "app\tcab|show\t1|sw\ty\t2|"},
      {"ZQNAME: @zqx -y(2)\r\n", "prog -x", "app\tcab|show\t1|sw\tx\t0|"},
      {"ZQNAME: @zq -y(2)\r\n", "prog -uninst -silent",
       "app\tcab|show\t1|sw\tuninst\t0|sw\tsilent\t0|"},
      {"ZQNAME: @zq -y(2)\r\n", "prog /SILENT", "app\tcab|show\t1|word\t/SILENT|"},
      {"ZQNAME: @zq -y(2)\r\n", "prog \"-exe(x)\"",
       "app\tcab|show\t1|sw\texe\t" + std::to_string(ID("X")) + "|"},
      {"ZQNAME: @zq -y(2)\r\n", "prog -user", "app\tcab|show\t1|sw\tuser\t0|"},
      {"ZQNAME: @zq -y(2)\r\n", "prog /VerySilent", "app\tcab|show\t1|word\t/VerySilent|"},
      {"ZQNAME: @zq -y(2)\r\n", "prog /qn", "app\tcab|show\t1|word\t/qn|"},
      {"ZQNAME: @zq -y(2)\r\n", "prog -zqrmv(\"x\")", "app\tcab|show\t1|swstr\tzqrmv\tx|"},
      // The editor-window mode gives a bare word to the editor, but not on the set-up's line.
      {"EDWMOD: 1\r\n", "prog -silent stray", "app\tcab|show\t1|sw\tsilent\t0|file\tstray|"},
      {"ZQNAME: @zq -y(2)\r\n", "prog -log(\"l\") -opt(1) -force -debug",
       "app\tcab|show\t1|swstr\tlog\tl|sw\topt\t1|sw\tforce\t0|sw\tdebug\t0|"},
  };
  for (auto& c : cases) {
    host_settings = saved;
    ASSERT_TRUE(load(c.record)) << c.record;
    EXPECT_EQ(parse(cmdline_source(c.line, host_settings.zqname), cmdline_startup_options(c.line)),
              c.list)
        << c.record << c.line;
  }
}

TEST_F(Settings, LoopIconAndSoundSettingsAreRead) {
  ASSERT_TRUE(load("ZQICON: 1\r\nKEYACC: 1\r\nKEYDLY: 2162888\r\nSOUND: 0\r\n"));
  EXPECT_TRUE(host_settings.zqicon);
  EXPECT_TRUE(host_settings.key_repeat);
  EXPECT_EQ(host_settings.key_delays & 0xFFFF, 200u);
  EXPECT_EQ(host_settings.key_delays >> 16, 33u);
  EXPECT_EQ(host_settings.sound, 0u);
  ASSERT_TRUE(load("ZQICON: 0\r\n"));  // only what the record holds changes
  EXPECT_FALSE(host_settings.zqicon);
  EXPECT_TRUE(host_settings.key_repeat);
}

// A record that is missing, or a ZQNAME too long for the setting, changes nothing.
TEST_F(Settings, MissingRecordAndOverlongNameKeepTheDefaults) {
  EXPECT_FALSE(host_settings_load());
  EXPECT_EQ(host_settings.editor_mode, saved.editor_mode);
  EXPECT_STREQ(host_settings.zqname, saved.zqname);
  std::string name = "@zq -y(\"" + std::string(90, 'a') + "\")";
  ASSERT_TRUE(load("ZQNAME: " + name + "\r\nEDWMOD: 1\r\n"));
  EXPECT_STREQ(host_settings.zqname, saved.zqname);
  EXPECT_EQ(host_settings.editor_mode, 1);
}

}  // namespace
