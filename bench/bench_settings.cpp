// What one CargaParametros costs: a read of the settings file and 21 values decoded and
// deciphered. Every card and airtime operation pays it once at its start.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "settings/parametros.hpp"
#include "settings/store.hpp"
#include "settings/stored_form.hpp"
#include "tovalix/operator.hpp"

namespace {

using tovalix::settings::Parametros;

class SilentOperator : public tovalix::Operator {
 public:
  void MessageBox(const std::string& text, int, const std::string&) override {
    std::fprintf(stderr, "unexpected message: %s\n", text.c_str());
    std::abort();
  }
};

// A settings file of a completely initialized terminal in a folder of its own.
const std::filesystem::path& InitializedSettings() {
  static const std::filesystem::path file = [] {
    const auto folder =
        std::filesystem::temp_directory_path() / ("tovalix-bench-" + std::to_string(::getpid()));
    const auto path = folder / "PinPad.ini";
    ::setenv("TOVALIX_SETTINGS", path.c_str(), 1);
    SilentOperator op;
    std::vector<std::pair<std::string, std::string>> values;
    for (const std::string_view key : tovalix::settings::kParameterKeys) {
      values.emplace_back(key, "valor de prueba de " + std::string(key) + " 0123456789");
    }
    if (!tovalix::settings::GuardaParametros(values, op)) std::abort();
    return path;
  }();
  return file;
}

void BM_CargaParametros(benchmark::State& state) {
  InitializedSettings();
  SilentOperator op;
  Parametros p;
  for (auto _ : state) {
    if (!tovalix::settings::CargaParametros(p, op)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(p);
  }
}
BENCHMARK(BM_CargaParametros)->Unit(benchmark::kMillisecond);

void BM_DesencriptaOneValue(benchmark::State& state) {
  SilentOperator op;
  const std::string_view password = tovalix::settings::PasswordOf("param5");
  const std::string cipher =
      tovalix::settings::Encripta("https://gw.example.mx/gateway.asp", password, op);
  for (auto _ : state) {
    benchmark::DoNotOptimize(tovalix::settings::Desencripta(cipher, password, op));
  }
}
BENCHMARK(BM_DesencriptaOneValue)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(InitializedSettings().parent_path(), ignored);
  return 0;
}
