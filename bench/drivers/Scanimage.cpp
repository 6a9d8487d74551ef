#include "Scanimage.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

extern char** environ;

namespace bench {

double scanimageSeconds(const std::vector<std::string>& arguments) {
  std::vector<std::string> words = arguments;
  words.insert(words.begin(), "scanimage");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, "scanimage", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(child, &status, 0);
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed : -1;
}

std::string useTestBackend(const std::string& testConf) {
  char folder[] = "/tmp/vestaro-sane-bench-XXXXXX";
  if (!mkdtemp(folder)) return "";
  std::ofstream(std::string(folder) + "/dll.conf") << "test\n";
  std::ofstream(std::string(folder) + "/test.conf") << testConf;
  setenv("SANE_CONFIG_DIR", folder, 1);
  return folder;
}

}  // namespace bench
