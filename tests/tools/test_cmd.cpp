// The stand-in interpreter: start detaches, taskkill ends only the named program of this folder.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "PastaTeste.h"

namespace fs = std::filesystem;
extern char** environ;

namespace {

// Runs the built interpreter with `/c comando` in the current folder; returns its exit status.
int Cmd(const std::string& comando) {
  const std::string programa = (PastaBuild() / "app" / "cmd").string();
  std::string a0 = "cmd", a1 = "/c", a2 = comando;
  char* argv[] = {a0.data(), a1.data(), a2.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, programa.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
  int estado = 0;
  waitpid(pid, &estado, 0);
  return WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
}

pid_t Iniciar(const fs::path& programa) {
  std::string p = programa.string(), arg = "60";
  char* argv[] = {p.data(), arg.data(), nullptr};
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, p.c_str(), nullptr, nullptr, argv, environ), 0);
  return pid;
}

bool Terminou(pid_t pid, int& estado) {
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid, &estado, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

class Interpretador : public PastaTeste {};

TEST_F(Interpretador, TaskkillEndsOnlyTheProgramOfThisFolder) {
  fs::create_directory("outra");
  fs::copy_file("/bin/sleep", "Mercanta.exe");
  fs::copy_file("/bin/sleep", "outra/Mercanta.exe");
  const pid_t daqui = Iniciar(Pasta / "Mercanta.exe");
  const pid_t dali = Iniciar(Pasta / "outra" / "Mercanta.exe");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));

  EXPECT_EQ(Cmd("taskkill /f /im Mercanta.exe"), 0);
  int estado = 0;
  ASSERT_TRUE(Terminou(daqui, estado));
  EXPECT_TRUE(WIFSIGNALED(estado) && WTERMSIG(estado) == SIGKILL);
  EXPECT_EQ(waitpid(dali, &estado, WNOHANG), 0) << "the other folder's program must live";
  kill(dali, SIGKILL);
  waitpid(dali, &estado, 0);
}

TEST_F(Interpretador, TaskkillWithNothingRunningIsNoError) {
  EXPECT_EQ(Cmd("taskkill /f /im Mercanta.exe"), 0);
}

TEST_F(Interpretador, StartLaunchesDetachedAndMakesTheProgramRunnable) {
  Escrever("prog.exe", "#!/bin/sh\nsleep 0.3\necho rodou > marca.txt\n");
  fs::permissions("prog.exe", fs::perms::owner_read | fs::perms::owner_write);
  const auto inicio = std::chrono::steady_clock::now();
  EXPECT_EQ(Cmd("start .\\prog.exe"), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::milliseconds(300))
      << "start must not wait for the program";
  for (int i = 0; i < 250 && !fs::exists("marca.txt"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(Ler("marca.txt"), "rodou\n");
  EXPECT_NE(Cmd("start .\\naoexiste.exe"), 0);
}

TEST_F(Interpretador, OtherCommandsGoToTheShell) {
  EXPECT_EQ(Cmd("exit 4"), 4);
  EXPECT_EQ(Cmd("echo a > b.txt"), 0);
  EXPECT_EQ(Ler("b.txt"), "a\n");
}
