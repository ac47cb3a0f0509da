// A host program run as a user runs it: its temporary files in a folder of the
// test's, its standard error kept, its standard output dropped.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace progtest {

// Everything in a folder (names only), sorted.
inline std::vector<std::string> Listing(const std::string &dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto &entry : std::filesystem::directory_iterator(dir, ec)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class HostProcess {
 public:
  // `fileSizeLimit` (bytes, RLIMIT_FSIZE) applies when it is 0 or more.
  HostProcess(const std::string &program, const std::vector<std::string> &args, const std::string &tmpdir,
              const std::vector<std::pair<std::string, std::string>> &environment = {}, long fileSizeLimit = -1) {
    int err[2];
    if (pipe(err) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      setenv("TMPDIR", tmpdir.c_str(), 1);
      for (const auto &[name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
      dup2(err[1], STDERR_FILENO);
      int null = open("/dev/null", O_WRONLY);
      if (null >= 0) dup2(null, STDOUT_FILENO);
      if (fileSizeLimit >= 0) {
        rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
      std::vector<char *> argv;
      std::string name = program;
      argv.push_back(name.data());
      std::vector<std::string> copies = args;
      for (std::string &a : copies) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(err[1]);
    err_ = err[0];
  }
  // The exit code, or 1000 + the signal that ended it. Its standard error is read to the end first.
  int Wait() {
    char buffer[4096];
    ssize_t n;
    while ((n = read(err_, buffer, sizeof buffer)) > 0) stderr_.append(buffer, size_t(n));
    close(err_);
    int status = 0;
    waitpid(pid_, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  }
  bool Running() {
    int status = 0;
    return waitpid(pid_, &status, WNOHANG) == 0;
  }
  void Signal(int signal) { kill(pid_, signal); }
  const std::string &Stderr() const { return stderr_; }

 private:
  pid_t pid_ = -1;
  int err_ = -1;
  std::string stderr_;
};

}  // namespace progtest
