// The default package's sources: the writer finds every file of its lists in package/, and the
// entries the installation relies on read back as they must.

#include <cstdlib>

#include "setup/pak.h"
#include "setup_env.h"
#include "ui/notify.h"

namespace {

struct Entries {
  std::vector<std::string> names;
  std::string contract, uninst, help;
};

bool collect(void* ctx, const PakEntry* e) {
  Entries* x = (Entries*)ctx;
  x->names.push_back(e->name);
  size_t n = 0;
  uint8_t* data = pak_entry_data(e, &n);
  std::string bytes(data ? (const char*)data : "", data ? n : 0);
  std::free(data);
  std::string name = e->name;
  if (name == "contract.txt") x->contract = bytes;
  if (name == "uninst.bat") x->uninst = bytes;
  if (name == "zq9.txt") x->help = bytes;
  return true;
}

}  // namespace

TEST_F(SetupTest, PackageSourcesGiveEveryEntryOfTheWritersLists) {
  const char* src = std::getenv("ZQ_SOURCE_DIR");
  fs::path stage = root / "src", exe = root / "exe", out = root / "_zq64_.pak";
  fs::create_directories(stage);
  for (const auto& f : fs::directory_iterator(fs::path(src ? src : ".") / "package"))
    fs::copy_file(f.path(), stage / f.path().filename());
  // What the build adds: the two programs and the component library.
  put(exe / "zqeditor.exe", "MZ editor");
  put(exe / "zq9utl.exe", "MZ setup");
  put(stage / "ZOdo64.dll", "MZ library");
  std::string s = stage.string() + "/", e = exe.string() + "/", o = out.string();
  PakBuildPaths paths = {s.c_str(), e.c_str(), s.c_str(), o.c_str(), 0};
  notify_set_sink(
      [](NotifyKind, const char*, unsigned) -> int { return NOTIFY_YES; });  // the "add" lines
  bool built = pak_build(0, &paths);
  notify_set_sink(nullptr);
  ASSERT_TRUE(built) << "a file of the writer's lists is missing in package/";

  std::string pak;
  {
    std::ifstream in(out, std::ios::binary);
    pak.assign(std::istreambuf_iterator<char>(in), {});
  }
  PakBlock block;
  ASSERT_TRUE(pak_block(pak.data(), pak.size(), &block));
  Entries x;
  EXPECT_EQ(pak_walk(&block, collect, &x), PAK_END);
  EXPECT_EQ(x.names.size(), 60u);  // 21 + 2 images + 12 + 21 + 4
  EXPECT_EQ(x.names[1], "zqsetup.exe");
  EXPECT_EQ(x.uninst, "zqsetup.exe -uninst\r\n");
  EXPECT_EQ(x.contract.rfind("VI RIDEVA 9 64ved 使用許諾契約書\r\n", 0), 0u);
  Text* help = text_new();
  text_puts(help, x.help.c_str());
  Text* setup = help_section(help, ID("HLPSUP"));
  EXPECT_NE(setup, nullptr);
  text_free(setup);
  text_free(help);
}
