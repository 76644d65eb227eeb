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
#include <cstdio>
#include <cstdlib>
#include <optional>
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
#include "support/terminal_fixture.hpp"

namespace tovalix::settings {
namespace {

using tovalix::testing::RecordingOperator;

unsigned long FromEnvironment(const char* name, unsigned long fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoul(text, nullptr, 10) : fallback;
}

// Says once on `ready` (then closes it) that the writer has stored something.
void SayStored(int& ready) {
  if (ready >= 0 && ::write(ready, "1", 1) != 1) ::_exit(4);
  if (ready >= 0) ::close(ready);
  ready = -1;
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
  char byte = 0;
  const bool stored = ::poll(&first_write, 1, 60000) == 1 && ::read(ready[0], &byte, 1) == 1;
  ::close(ready[0]);
  if (stored) {
    std::this_thread::sleep_for(std::chrono::microseconds(200) +
                                3 * share * (std::chrono::steady_clock::now() - started));
  }
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(stored) << "the writer never stored its first generation";
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own: " << status;
}

// Kills a writer started by `start(kill, ready)` TOVALIX_CRASH_KILLS times at random moments;
// after each kill every line of the file must be whole (a section, a key with decimal codes
// and blanks, or empty), loading must say why it refused, and `check(loaded, p, text)` judges
// what CargaParametros made of the file.
template <typename Start, typename Check>
void KillRepeatedly(Start start, Check check) {
  const testing::TerminalFixture terminal;  // the settings file and the log in a scratch folder
  const unsigned long kills = FromEnvironment("TOVALIX_CRASH_KILLS", 30);
  const unsigned long seed = FromEnvironment("TOVALIX_CRASH_SEED", std::random_device{}());
  std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
  std::uniform_real_distribution<double> share(0, 1);
  static const std::regex kLine(R"(\[[A-Za-z]+\]|param[0-9]+=[0-9 ]*|)");
  unsigned long complete = 0;

  for (unsigned long kill = 0; kill < kills && !::testing::Test::HasFailure(); ++kill) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", kill " + std::to_string(kill));
    KillWhileWriting([&](int ready) { start(kill, ready); }, share(random));
    const std::string text = testing::ReadFile(terminal.folder() / "PinPad.ini");
    EXPECT_TRUE(text.empty() || text.back() == '\n') << "the file ends inside a line";
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      EXPECT_TRUE(std::regex_match(line, kLine)) << "torn line \"" << line << "\"";
    }
    RecordingOperator op;
    Parametros p;
    const bool loaded = CargaParametros(p, op);
    EXPECT_EQ(op.shown.size(), loaded ? 0u : 1u);  // false always comes with its message
    complete += loaded ? 1 : 0;
    check(loaded, p, text);
  }
  EXPECT_TRUE(kills < 20 || complete > 0) << "no kill ever found a stored generation";
  std::printf("%lu kills (seed %lu): %lu complete\n", kills, seed, complete);
}

TEST(SettingsUnderKill, AKilledWriterLeavesOneWholeGenerationOrNone) {
  // The child stores generation n, the text of n under every key, until it is killed.
  const auto write_forever = [](unsigned long kill, int ready) {
    RecordingOperator op;
    for (unsigned long n = kill * 1000000 + 1;; ++n) {
      if (n % 7 == 0) {
        BorraParametros(op);
        continue;
      }
      std::vector<std::pair<std::string, std::string>> values;
      for (const std::string_view key : kParameterKeys) values.emplace_back(key, std::to_string(n));
      if (!GuardaParametros(values, op)) ::_exit(3);
      SayStored(ready);
    }
  };
  KillRepeatedly(write_forever, [](bool loaded, Parametros& p, const std::string&) {
    // One generation: every key holds the same text, or every key is empty.
    std::string generation;
    for (const std::string_view key : kParameterKeys) {
      const std::string& value = *FieldOf(p, key);
      if (generation.empty()) generation = value;
      EXPECT_TRUE(value.empty() || value == generation) << key << " comes from another write";
    }
    // A stored generation always loads; a refusal leaves nothing behind.
    EXPECT_EQ(loaded, !generation.empty());
  });
}

TEST(SettingsUnderKill, AKilledInitializationLeavesTheWholeTerminalOrAnErasedOne) {
  // The child initializes a terminal without PIN pad over and over, store n with serial
  // "SER-n", against a gateway simulator of its own. After each one it stays initialized for
  // as long as that took, as a terminal is used once set up; otherwise a whole terminal would
  // only be seen in the instant before the next initialization erases it.
  const auto initialize_forever = [](unsigned long kill, int ready) {
    sim::GatewaySimulator gateway;
    ::setenv("TOVALIX_GATEWAY_URL", gateway.Url().c_str(), 1);
    RecordingOperator op;
    Cliente cliente(op);
    for (unsigned long n = kill * 1000000 + 1;; ++n) {
      const std::string store = std::to_string(n);
      const auto began = std::chrono::steady_clock::now();
      if (cliente.InicializaPinPad(store, 4321, "NINGUNA", "SER-" + store, "ta", "pwd") != 1) {
        ::_exit(3);
      }
      SayStored(ready);
      std::this_thread::sleep_for(std::chrono::steady_clock::now() - began);
    }
  };
  // Every whole terminal is the first one seen but for its store, serial and gateway address.
  std::optional<Parametros> whole;
  KillRepeatedly(initialize_forever, [&whole](bool loaded, Parametros& p, const std::string& text) {
    if (!loaded) {
      // Erased, not half-initialized: no value of a killed initialization stays behind.
      static const std::regex kStoredValue(R"(param[0-9]+= *[0-9])");
      EXPECT_FALSE(std::regex_search(text, kStoredValue)) << "a half-initialized terminal was kept";
      return;
    }
    EXPECT_EQ(p.Serie, "SER-" + p.IdStore) << "store and serial of different runs";
    EXPECT_EQ(p.UrlGateway.rfind("http://127.0.0.1:", 0), 0u) << p.UrlGateway;
    if (!whole) whole = p;
    EXPECT_FALSE(whole->Telefono.empty() || whole->Direccion3.empty() || whole->PwdTA.empty());
    for (const std::string_view key : kParameterKeys) {
      if (key == "param1" || key == "param2" || key == "param5") continue;
      EXPECT_EQ(*FieldOf(p, key), *FieldOf(*whole, key)) << key << " is not whole";
    }
  });
}

}  // namespace
}  // namespace tovalix::settings
