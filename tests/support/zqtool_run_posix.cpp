// The runner of zqtool and the scratch folder (popen, mkdtemp).

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "support/zqtool_run.h"

namespace {

std::string read_all(FILE* f) {
  std::string s;
  char buf[4096];
  size_t k;
  while (f && (k = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, k);
  return s;
}

}  // namespace

std::string zqtool_path() {
  const char* bin = std::getenv("ZQ_BINARY_DIR");
  if (!bin) return "";
  std::string tool = std::string(bin) + "/zqtool";
  return access(tool.c_str(), X_OK) == 0 ? tool : "";
}

ToolRun zqtool_run(const std::string& args) {
  ToolRun r;
  std::string tool = zqtool_path();
  char errname[] = "/tmp/zqtool-errXXXXXX";
  int fd = mkstemp(errname);
  if (tool.empty() || fd < 0) return r;
  close(fd);
  FILE* p = popen(("'" + tool + "' " + args + " 2>'" + errname + "'").c_str(), "r");
  if (p) {
    r.out = read_all(p);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  r.err = ScratchDir::get(errname);
  unlink(errname);
  return r;
}

ScratchDir::ScratchDir() {
  char dir[] = "/tmp/zqtest.XXXXXX";
  if (mkdtemp(dir)) path = dir;
}

ScratchDir::~ScratchDir() {
  if (!path.empty() && std::system(("rm -rf '" + path + "'").c_str()) != 0) {
  }
}

std::string ScratchDir::put(const std::string& name, const std::string& bytes) const {
  std::string file = path + "/" + name;
  if (FILE* f = std::fopen(file.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  return file;
}

std::string ScratchDir::get(const std::string& file) {
  FILE* f = std::fopen(file.c_str(), "rb");
  std::string s = read_all(f);
  if (f) std::fclose(f);
  return s;
}
