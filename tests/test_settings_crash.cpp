// The settings file under a writer killed at random moments. A child process either stores
// whole generations of the parameters (and clears them now and then) or initializes a terminal
// over and over against a gateway simulator of its own, until it is killed with SIGKILL; after
// every kill the file must hold one whole generation or none, and loading it must answer true
// or false without crashing. TOVALIX_CRASH_KILLS sets the number of kills of each writer (30
// by default; the long run uses 200), TOVALIX_CRASH_SEED the random moments.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <tovalix/cliente.hpp>

#include "settings/parametros.hpp"
#include "settings/store.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "support/test_environment.hpp"

namespace tovalix::settings {
namespace {

using tovalix::testing::ReadFile;
using tovalix::testing::RecordingOperator;
using tovalix::testing::ScopedEnv;
using tovalix::testing::ScratchFolder;

class SilentOperator : public Operator {
 public:
  void MessageBox(const std::string&, int, const std::string&) override {}
  void Pump() override {}
};

unsigned long FromEnvironment(const char* name, unsigned long fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoul(text, nullptr, 10) : fallback;
}

// Starts `writer` in a child process, waits until it says on its pipe that it stored once
// (so that a slow machine, or valgrind, is not killed before it ever wrote), lets it run for
// `share` of three times that first store's time more and kills it with SIGKILL. Measuring
// the moment in the writer's own time keeps every stage of its cycle in reach at any speed.
template <typename Writer>
void KillWhileWriting(Writer writer, double share) {
  const auto started = std::chrono::steady_clock::now();
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    writer(ready[1]);
    ::_exit(5);  // writers never return
  }
  ::close(ready[1]);
  pollfd first_write{ready[0], POLLIN, 0};
  const bool wrote = ::poll(&first_write, 1, 60000) == 1;
  char byte = 0;
  const bool said_so = wrote && ::read(ready[0], &byte, 1) == 1;
  ::close(ready[0]);
  if (!said_so) ::kill(child, SIGKILL);
  if (!said_so) ::waitpid(child, nullptr, 0);
  ASSERT_TRUE(said_so) << "the writer never stored its first generation";
  const auto first_store = std::chrono::steady_clock::now() - started;
  std::this_thread::sleep_for(std::chrono::microseconds(200) + 3 * share * first_store);
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own: " << status;
}

// Says once on `ready` (then closes it) that the writer has stored something.
void SayStored(int& ready) {
  if (ready < 0) return;
  if (::write(ready, "1", 1) != 1) ::_exit(4);
  ::close(ready);
  ready = -1;
}

// Runs in the child until killed: generation n stores the text of n under every key.
[[noreturn]] void WriteForever(unsigned long first, int ready) {
  SilentOperator op;
  for (unsigned long n = first;; ++n) {
    if (n % 7 == 0) {
      BorraParametros(op);
      continue;
    }
    std::vector<std::pair<std::string, std::string>> values;
    for (const std::string_view key : kParameterKeys) {
      values.emplace_back(std::string(key), std::to_string(n));
    }
    if (!GuardaParametros(values, op)) ::_exit(3);
    SayStored(ready);
  }
}

// Every line of the stored file is a section, a key with decimal codes and blanks, or empty.
void ExpectWholeLines(const std::string& text, unsigned long kill) {
  static const std::regex kLine(R"(\[[A-Za-z]+\]|param[0-9]+=[0-9 ]*|)");
  if (!text.empty()) {
    EXPECT_EQ(text.back(), '\n') << "file ends inside a line after kill " << kill;
  }
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    EXPECT_TRUE(std::regex_match(line, kLine))
        << "torn line \"" << line << "\" after kill " << kill;
  }
}

// Kills a writer started by `start(kill, ready)` TOVALIX_CRASH_KILLS times at random moments;
// after each kill the file must read as whole lines and `check(loaded, p, stored_text)`
// judges what CargaParametros made of it.
template <typename Start, typename Check>
void KillRepeatedly(const char* what, Start start, Check check) {
  ScratchFolder folder;
  const auto file = folder / "PinPad.ini";
  ScopedEnv settings{"TOVALIX_SETTINGS", file.string()};
  ScopedEnv log_dir{"TOVALIX_LOG_DIR", folder.path().string()};
  const unsigned long kills = FromEnvironment("TOVALIX_CRASH_KILLS", 30);
  const unsigned long seed = FromEnvironment("TOVALIX_CRASH_SEED", std::random_device{}());
  std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
  std::uniform_real_distribution<double> share(0, 1);
  unsigned long complete = 0;
  unsigned long cleared = 0;

  for (unsigned long kill = 0; kill < kills; ++kill) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", kill " + std::to_string(kill));
    KillWhileWriting([&](int ready) { start(kill, ready); }, share(random));
    if (::testing::Test::HasFatalFailure()) break;

    const std::string text = std::filesystem::exists(file) ? ReadFile(file) : std::string();
    ExpectWholeLines(text, kill);
    RecordingOperator op;
    Parametros p;
    const bool loaded = CargaParametros(p, op);
    if (loaded) {
      EXPECT_TRUE(op.shown.empty());
      ++complete;
    } else {
      EXPECT_EQ(op.shown.size(), 1u);  // false always comes with its message
      ++cleared;
    }
    check(loaded, p, text);
    if (::testing::Test::HasFailure()) break;
  }
  // Stale temporary files of killed writes are never read back as settings.
  std::size_t leftovers = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    leftovers += entry.path().filename().string().rfind("PinPad.ini.tmp", 0) == 0 ? 1 : 0;
  }
  std::printf(
      "%s, %lu kills (seed %lu): %lu complete, %lu empty or cleared, %zu temporary file(s) "
      "left\n",
      what, kills, seed, complete, cleared, leftovers);
  // Each write clears the leftovers of earlier kills: only the last kill's may remain.
  EXPECT_LE(leftovers, 1u);
  if (kills >= 20) {
    EXPECT_GT(complete, 0u) << "no kill ever found a stored generation";
  }
}

TEST(SettingsUnderKill, AKilledWriterLeavesOneWholeGenerationOrNone) {
  KillRepeatedly(
      "settings writer",
      [](unsigned long kill, int ready) { WriteForever(kill * 1000000 + 1, ready); },
      [](bool loaded, Parametros& p, const std::string&) {
        // One generation: every key holds the same text, or every key is empty.
        std::string generation;
        for (const std::string_view key : kParameterKeys) {
          const std::string& value = *FieldOf(p, key);
          if (value.empty()) continue;
          if (generation.empty()) generation = value;
          EXPECT_EQ(value, generation) << key << " comes from another write";
        }
        // A stored generation always loads; a refusal leaves nothing behind.
        EXPECT_EQ(loaded, !generation.empty());
      });
}

// Runs in the child until killed: initializes a terminal without PIN pad over and over, store
// n with serial "SER-n", against a gateway simulator of its own. After each one it stays
// initialized for as long as that took, as a terminal is used once set up; otherwise a whole
// terminal would only be seen in the instant before the next initialization erases it.
[[noreturn]] void InitializeForever(unsigned long first, int ready) {
  sim::GatewaySimulator gateway;
  ::setenv("TOVALIX_GATEWAY_URL", gateway.Url().c_str(), 1);
  SilentOperator op;
  Cliente cliente(op);
  for (unsigned long n = first;; ++n) {
    const std::string store = std::to_string(n);
    const auto began = std::chrono::steady_clock::now();
    if (cliente.InicializaPinPad(store, 4321, "NINGUNA", "SER-" + store, "ta_user", "ta_pwd") !=
        1) {
      ::_exit(3);
    }
    SayStored(ready);
    std::this_thread::sleep_for(std::chrono::steady_clock::now() - began);
  }
}

TEST(SettingsUnderKill, AKilledInitializationLeavesTheWholeTerminalOrAnErasedOne) {
  // What one whole initialization stores, apart from its store, serial and gateway address.
  Parametros whole;
  {
    ScratchFolder folder;
    ScopedEnv settings{"TOVALIX_SETTINGS", (folder / "PinPad.ini").string()};
    ScopedEnv log_dir{"TOVALIX_LOG_DIR", folder.path().string()};
    sim::GatewaySimulator gateway;
    ScopedEnv url{"TOVALIX_GATEWAY_URL", gateway.Url()};
    RecordingOperator op;
    ASSERT_EQ(Cliente(op).InicializaPinPad("7", 4321, "NINGUNA", "SER-7", "ta_user", "ta_pwd"), 1);
    ASSERT_TRUE(CargaParametros(whole, op));
    ASSERT_FALSE(whole.Telefono.empty());
    ASSERT_FALSE(whole.Direccion3.empty());
  }
  KillRepeatedly(
      "initialization",
      [](unsigned long kill, int ready) { InitializeForever(kill * 1000000 + 1, ready); },
      [&whole](bool loaded, Parametros& p, const std::string& text) {
        if (!loaded) {
          // Erased, not half-initialized: no value of a killed initialization stays behind.
          static const std::regex kStoredValue(R"(param[0-9]+= *[0-9])");
          EXPECT_FALSE(std::regex_search(text, kStoredValue)) << "part of a terminal was kept";
          return;
        }
        EXPECT_EQ(p.Serie, "SER-" + p.IdStore) << "store and serial of different runs";
        EXPECT_EQ(p.UrlGateway.rfind("http://127.0.0.1:", 0), 0u) << p.UrlGateway;
        for (const std::string_view key : kParameterKeys) {
          if (key == "param1" || key == "param2" || key == "param5") continue;
          EXPECT_EQ(*FieldOf(p, key), *FieldOf(whole, key)) << key << " is not whole";
        }
      });
}

}  // namespace
}  // namespace tovalix::settings
