// The airtime web service on loopback HTTP for tests, the demo and integrators. It reads the
// form text of every POST, keeps each request, and answers in XML the way the service does:
// "/GetCat" gives its catalogue, "/TopUpPurchase" sells an amount the catalogue lists and
// remembers the sale by its posTimeStamp, "/VerifyTopUpPurchase" finds that sale again and
// "/GetBalance" gives the merchant's balances. A script may then change any answer: refuse it,
// drop or rename elements, send a body that is not XML, another status, or answer late.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/gateway/form_decoder.hpp"
#include "sim/http/loopback_server.hpp"

namespace tovalix::sim {

struct AirtimeRequest {
  std::string path;
  std::string content_type;
  std::string body;             // as it arrived, before decoding
  std::vector<FormPair> pairs;  // decoded, in the order sent

  // Value of the first field named `name` (exact), "" when there is none.
  std::string Value(std::string_view name) const;
  bool Has(std::string_view name) const;
  std::vector<std::string> Names() const;
};

struct AirtimeAnswer {
  int status = 200;
  std::string root = "Response";  // name of the root element
  // The root's child elements in order; texts are escaped when the body is written.
  std::vector<std::pair<std::string, std::string>> elements;
  std::optional<std::string> raw;      // sent as the body instead of the elements when set
  std::chrono::milliseconds delay{0};  // wait before answering (cut short by Stop)

  // Replaces the element `name` (exact) or appends it.
  AirtimeAnswer& Set(const std::string& name, std::string text);
  // Leaves the element `name` out.
  AirtimeAnswer& Remove(std::string_view name);
  // Text of element `name`, "" when absent.
  std::string Element(std::string_view name) const;
  // What goes on the wire: `raw`, or the XML document of the elements.
  std::string Body() const;
};

// The catalogue: masters, each with one operation mode of providers, each listing amounts as
// the service writes them ("20.00").
struct CatalogueProvider {
  std::string id;
  std::string description;
  std::vector<std::string> amounts;
};
struct CatalogueMaster {
  std::string id;
  std::vector<CatalogueProvider> providers;
};
struct Catalogue {
  std::string accepted = "True";
  std::string response_text;  // a RESPONSETEXT element when not empty
  std::vector<CatalogueMaster> masters;
};

// The catalogue's XML: names in the service's mixed case, the master id as MASTER's first
// child, each provider's id just before its description, each amount as AMOUNT's second child.
std::string CatalogueXml(const Catalogue& catalogue);

// Master 7 with TELCEL (id 12: 20, 30, 50, 100, 200, 500), MOVISTAR (id 15: 20, 50, 100) and
// IUSACELL (id 17: 50, 100, 300).
Catalogue DefaultCatalogue();

// XML text with "&", "<", ">" and quotes escaped.
std::string XmlEscape(std::string_view text);

class AirtimeSimulator {
 public:
  // Changes the answer before it is sent. Runs on a server thread, one request at a time.
  using Script = std::function<void(const AirtimeRequest&, AirtimeAnswer&)>;

  // Listens on `host`:`port` (0 chooses a free port) until Stop or destruction. Throws
  // std::runtime_error when it cannot listen.
  explicit AirtimeSimulator(int port = 0, const std::string& host = "127.0.0.1");
  ~AirtimeSimulator();
  AirtimeSimulator(const AirtimeSimulator&) = delete;
  AirtimeSimulator& operator=(const AirtimeSimulator&) = delete;

  int Port() const { return server_.Port(); }
  // "http://<host>:<port>", without a trailing "/": what the terminal stores as its base.
  std::string BaseUrl() const;

  void SetCatalogue(Catalogue catalogue);
  void SetScript(Script script);

  std::vector<AirtimeRequest> Requests() const;
  std::size_t RequestCount() const;
  // The requests to `path` only, in order of arrival.
  std::vector<AirtimeRequest> RequestsTo(std::string_view path) const;

  // Stops serving; a delayed answer is cut short. Prompt and idempotent.
  void Stop();

 private:
  // Turns one HTTP request into the simulator's answer.
  void Respond(const HttpRequest& in, HttpResponse& out);
  AirtimeAnswer Handle(const AirtimeRequest& request);
  AirtimeAnswer Serve(const AirtimeRequest& request, std::size_t sequence);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::vector<AirtimeRequest> requests_;
  Script script_;
  Catalogue catalogue_ = DefaultCatalogue();
  std::map<std::string, AirtimeAnswer> sales_;  // accepted sales by posTimeStamp
  // Last: it serves only once everything its handler uses exists, and stops first.
  LoopbackServer server_;
};

}  // namespace tovalix::sim
