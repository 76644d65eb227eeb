// One gateway request through our client against curl posting the same body to the same
// simulator: the median of 50 requests each. curl is timed twice: the whole process (what a
// script that shells out pays) and curl's own time_total (the request alone).
//
//   bench_gateway            prints Markdown rows; exits 1 when curl cannot be run
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <tovalix/operator.hpp>

#include "gateway/pin_pad.hpp"
#include "gateway/web_transaction.hpp"
#include "sim/gateway/gateway_simulator.hpp"

#include "bench_support.hpp"

extern char** environ;

namespace {

using namespace tovalix::bench;
constexpr int kRequests = 50;

// Runs curl with `args`; its standard output goes to `out_path`. False when it failed.
bool RunCurl(const std::vector<std::string>& args, const std::string& out_path) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>("curl"));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "curl", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main() {
  QuietOperator op;
  tovalix::sim::GatewaySimulator gateway;
  const tovalix::gateway::PinPad record = SampleSale();

  std::vector<double> ours;
  for (int i = 0; i < kRequests; ++i) {
    const auto begin = Steady::now();
    const auto answer = tovalix::gateway::WebTransaction(record, gateway.Url(), 11, "10", op);
    ours.push_back(Ms(Steady::now() - begin));
    if (answer.Item("Response_Message") != "APROBADA") {
      std::fprintf(stderr, "our request was not approved\n");
      return 1;
    }
  }
  const auto sent = gateway.Requests().back();
  char folder_pattern[] = "/tmp/bench-gateway-XXXXXX";
  const char* folder = mkdtemp(folder_pattern);
  if (folder == nullptr) return 1;
  const std::string body_path = std::string(folder) + "/body";
  const std::string out_path = std::string(folder) + "/out";
  std::ofstream(body_path, std::ios::binary) << sent.body;

  std::vector<double> curl_process;
  std::vector<double> curl_request;
  for (int i = 0; i < kRequests; ++i) {
    const auto begin = Steady::now();
    if (!RunCurl(
            {"-s", "-o", "/dev/null", "-w", "%{time_total}", "-H",
             "Content-Type: " + sent.content_type, "--data-binary", "@" + body_path, gateway.Url()},
            out_path)) {
      std::fprintf(stderr, "curl could not be run\n");
      return 1;
    }
    curl_process.push_back(Ms(Steady::now() - begin));
    std::ifstream in(out_path);
    double total = 0;
    in >> total;
    curl_request.push_back(total * 1000.0);
  }
  std::remove(body_path.c_str());
  std::remove(out_path.c_str());
  rmdir(folder);

  std::printf("| gateway request (median of %d, same body, same simulator) | time |\n", kRequests);
  std::printf("|---|---|\n");
  std::printf("| our client (WebTransaction, in process) | %.3f ms |\n", Median(ours));
  std::printf("| curl, its own time_total | %.3f ms |\n", Median(curl_request));
  std::printf("| curl, whole process (spawn to exit) | %.3f ms |\n", Median(curl_process));
  return 0;
}
