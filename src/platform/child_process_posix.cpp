// POSIX side of the child processes.

#include "platform/child_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace platform {

void SetEnvironmentValue(const char* name, const char* value) { setenv(name, value, 1); }

int ReportedExitCode(int code) { return code & 0xFF; }

bool SpawnProcess(const std::vector<std::string>& arguments, const std::string& directory,
                  const std::string& outputFile, ChildProcess& child, bool withInput) {
  if (arguments.empty()) return false;
  int inputPipe[2] = {-1, -1};
  if (withInput && pipe2(inputPipe, O_CLOEXEC) != 0) return false;
  std::vector<std::string> words = arguments;
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  std::fflush(stdout);
  pid_t pid = fork();
  if (pid < 0) {
    if (withInput) {
      close(inputPipe[0]);
      close(inputPipe[1]);
    }
    return false;
  }
  if (pid == 0) {
    // Only async-signal-safe calls from here to exec.
    int input = withInput ? inputPipe[0] : open("/dev/null", O_RDONLY);
    if (input >= 0) dup2(input, STDIN_FILENO);
    if (!outputFile.empty()) {
      int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (output >= 0) {
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
      }
    }
    if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  child.id = pid;
  if (withInput) {
    close(inputPipe[0]);
    child.input = inputPipe[1];
  }
  return true;
}

bool WriteToChild(ChildProcess& child, const std::string& text) {
  if (child.input == 0) return false;
  // A child that has ended takes the writer with it through SIGPIPE, and
  // leaves its own children behind: held back here, and taken if it came.
  sigset_t brokenPipe, before;
  sigemptyset(&brokenPipe);
  sigaddset(&brokenPipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &brokenPipe, &before);
  size_t written = 0;
  bool ok = true;
  while (ok && written < text.size()) {
    ssize_t n = write(static_cast<int>(child.input), text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0 && errno == EPIPE) {
        const struct timespec none {0, 0};
        sigtimedwait(&brokenPipe, nullptr, &none);
      }
      ok = false;
    } else {
      written += static_cast<size_t>(n);
    }
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return ok;
}

bool WaitProcess(ChildProcess& child, uint32_t timeoutMs, int& exitCode) {
  if (child.id == 0) return false;
  for (uint32_t waited = 0;; waited += 10) {
    int status = 0;
    pid_t result = waitpid(static_cast<pid_t>(child.id), &status, WNOHANG);
    if (result == static_cast<pid_t>(child.id)) {
      if (child.input != 0) close(static_cast<int>(child.input));
      child.input = 0;
      exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      child.id = 0;
      return true;
    }
    if (result < 0 || waited >= timeoutMs) return false;
    SleepMs(10);
  }
}

void KillProcess(ChildProcess& child) {
  if (child.input != 0) {
    close(static_cast<int>(child.input));
    child.input = 0;
  }
  if (child.id == 0) return;
  kill(static_cast<pid_t>(child.id), SIGKILL);
  int status = 0;
  waitpid(static_cast<pid_t>(child.id), &status, 0);
  child.id = 0;
}

bool AdoptOrphanedDescendants() { return prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0; }

std::vector<ChildProcess> CurrentChildren() {
  std::vector<ChildProcess> children;
  // /proc/self/task/*/children lists each thread's children.
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return children;
  while (dirent* task = readdir(tasks)) {
    if (task->d_name[0] == '.') continue;
    std::FILE* list = std::fopen(("/proc/self/task/" + std::string(task->d_name) + "/children").c_str(), "r");
    if (list == nullptr) continue;
    for (long id = 0; std::fscanf(list, "%ld", &id) == 1;) children.push_back(ChildProcess{id, 0});
    std::fclose(list);
  }
  closedir(tasks);
  return children;
}

}  // namespace platform
