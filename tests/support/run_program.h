#pragma once
// Runs the built varnok program with arguments and an input on standard input
// and collects its standard output, standard error and exit status.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace varnok_test {

struct RunResult {
  // Exit status, or minus the signal number when the process was killed
  // (SIGALRM: it ran longer than its time limit).
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh directory below the tests' scratch directory.
inline std::string scratchDirectory(const std::string& name) {
  const std::string base = VARNOK_TEST_TMPDIR, dir = base + "/" + name + "." + std::to_string(getpid());
  mkdir(base.c_str(), 0777);
  mkdir(dir.c_str(), 0777);
  return dir;
}

// Runs varnok with the arguments in directory dir, the input on standard
// input.
inline RunResult runVarnok(const std::vector<std::string>& arguments, const std::string& input,
                           const std::string& dir, unsigned timeLimitSeconds = 60) {
  static unsigned counter = 0;
  const std::string base = dir + "/run" + std::to_string(counter++);
  std::ofstream(base + ".in", std::ios::binary) << input;
  std::vector<std::string> argvText = {VARNOK_BINARY};
  argvText.insert(argvText.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : argvText) argv.push_back(&text[0]);
  argv.push_back(nullptr);
  const char* const suffixes[] = {".in", ".out", ".err"};
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    for (int fd = 0; fd < 3; ++fd) {
      const int file = fd == 0 ? open((base + suffixes[fd]).c_str(), O_RDONLY)
                               : open((base + suffixes[fd]).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (file < 0 || dup2(file, fd) < 0) _exit(126);
      close(file);
    }
    alarm(timeLimitSeconds);  // survives exec: a hanging run is killed
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  RunResult result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  result.out = readWholeFile(base + ".out");
  result.err = readWholeFile(base + ".err");
  for (const char* suffix : suffixes) std::remove((base + suffix).c_str());
  return result;
}

}  // namespace varnok_test
