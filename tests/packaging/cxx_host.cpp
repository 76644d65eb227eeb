// A C++ host of the installed package: the version, a dictionary, a frame built by IPP320
// through the host's own Operator.
#include <cstdio>
#include <cstring>
#include <tovalix/dictionary.hpp>
#include <tovalix/ipp320.hpp>
#include <tovalix/version.hpp>

struct Silent : tovalix::Operator {
  void MessageBox(const std::string&, int, const std::string&) override {}
};

int main(int argc, char** argv) {
  Silent op;
  tovalix::IPP320 pinpad(op);
  tovalix::Dictionary dictionary;
  dictionary.Add("ID_Store", "5");
  const bool ok = argc > 1 && std::strcmp(tovalix::Version(), argv[1]) == 0 &&
                  dictionary.Item("ID_Store") == "5" &&
                  pinpad.RefreshLogo() == "024453500001FE03BB";
  std::printf("c++ host: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
