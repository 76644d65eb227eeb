#include "sim/airtime/airtime_simulator.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/clock.hpp"

namespace tovalix::sim {
namespace {

constexpr double kMerchantFunds = 5000;

std::string Money(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

std::string Now() {
  const platform::WallTime now = platform::LocalNow();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", now.date.year, now.date.month,
                now.date.day, now.hour, now.minute, now.second);
  return text;
}

// The amount a form field or a catalogue entry holds; nullopt when it is not a number.
std::optional<double> Amount(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == nullptr || *end != '\0') return std::nullopt;
  return value;
}

const CatalogueProvider* FindSold(const Catalogue& catalogue, const AirtimeRequest& request) {
  const auto amount = Amount(request.Value("amount"));
  for (const CatalogueMaster& master : catalogue.masters) {
    if (master.id != request.Value("idMaster")) continue;
    for (const CatalogueProvider& provider : master.providers) {
      if (provider.id != request.Value("idProvider")) continue;
      for (const std::string& listed : provider.amounts) {
        if (amount && Amount(listed) == amount) return &provider;
      }
    }
  }
  return nullptr;
}

void Balances(AirtimeAnswer& answer, double sold) {
  answer.Set("groupBalance", Money(100000 - sold))
      .Set("chainBalance", Money(25000 - sold))
      .Set("merchantBalance", Money(kMerchantFunds - sold))
      .Set("groupFrozenBalance", "0.00")
      .Set("chainFrozenBalance", "0.00")
      .Set("merchantFrozenBalance", "0.00");
}

AirtimeAnswer Refusal(std::string root, std::string text, std::string code) {
  AirtimeAnswer answer;
  answer.root = std::move(root);
  answer.Set("accepted", "False")
      .Set("responseText", std::move(text))
      .Set("responseCode", std::move(code));
  return answer;
}

}  // namespace

std::string AirtimeRequest::Value(std::string_view name) const {
  for (const auto& pair : pairs) {
    if (pair.name == name) return pair.value;
  }
  return "";
}

bool AirtimeRequest::Has(std::string_view name) const {
  return std::any_of(pairs.begin(), pairs.end(), [&](const auto& p) { return p.name == name; });
}

std::vector<std::string> AirtimeRequest::Names() const {
  std::vector<std::string> names;
  for (const auto& pair : pairs) names.push_back(pair.name);
  return names;
}

AirtimeSimulator::AirtimeSimulator(int port, const std::string& host)
    : server_("airtime simulator", port, host,
              [this](const HttpRequest& in, HttpResponse& out) { Respond(in, out); }) {}

void AirtimeSimulator::Respond(const HttpRequest& in, HttpResponse& out) {
  const AirtimeRequest request{in.path, in.Header("Content-Type"), in.body, DecodeForm(in.body)};
  AirtimeAnswer answer;
  try {
    answer = Handle(request);
  } catch (const std::exception& error) {
    answer = AirtimeAnswer{};
    answer.status = 500;
    answer.raw = error.what();
  }
  out.status = answer.status;
  out.headers.emplace_back("Content-Type", "text/xml; charset=utf-8");
  out.body = answer.Body();
}

AirtimeSimulator::~AirtimeSimulator() {
  Stop();
}

std::string AirtimeSimulator::BaseUrl() const {
  return server_.Origin();
}

void AirtimeSimulator::SetCatalogue(Catalogue catalogue) {
  std::lock_guard lock(mutex_);
  catalogue_ = std::move(catalogue);
}

void AirtimeSimulator::SetScript(Script script) {
  std::lock_guard lock(mutex_);
  script_ = std::move(script);
}

std::vector<AirtimeRequest> AirtimeSimulator::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t AirtimeSimulator::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

std::vector<AirtimeRequest> AirtimeSimulator::RequestsTo(std::string_view path) const {
  std::lock_guard lock(mutex_);
  std::vector<AirtimeRequest> found;
  for (const auto& request : requests_) {
    if (request.path == path) found.push_back(request);
  }
  return found;
}

void AirtimeSimulator::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  wake_.notify_all();
  server_.Stop();
}

AirtimeAnswer AirtimeSimulator::Handle(const AirtimeRequest& request) {
  Script script;
  AirtimeAnswer answer;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    answer = Serve(request, requests_.size());
    script = script_;
  }
  if (script) script(request, answer);
  if (request.path == "/TopUpPurchase" && answer.status == 200 && !answer.raw &&
      answer.Element("accepted") == "True") {
    AirtimeAnswer kept = answer;
    kept.Set("idProvider", request.Value("idProvider"));
    std::lock_guard lock(mutex_);
    sales_.emplace(request.Value("posTimeStamp"), std::move(kept));
  }
  if (answer.delay.count() > 0) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, answer.delay, [this] { return stopping_; });
  }
  return answer;
}

// The service's own answer; called with the mutex held.
AirtimeAnswer AirtimeSimulator::Serve(const AirtimeRequest& request, std::size_t sequence) {
  double sold = 0;
  for (const auto& [stamp, sale] : sales_) sold += Amount(sale.Element("faceValue")).value_or(0);

  if (request.path == "/GetCat") {
    AirtimeAnswer answer;
    answer.raw = CatalogueXml(catalogue_);
    return answer;
  }
  if (request.path == "/TopUpPurchase") {
    if (sales_.count(request.Value("posTimeStamp")) != 0) {
      return Refusal("TopUpPurchaseResult", "posTimeStamp duplicado", "13");
    }
    const CatalogueProvider* provider = FindSold(catalogue_, request);
    if (provider == nullptr) {
      return Refusal("TopUpPurchaseResult", "Importe no disponible para el proveedor", "12");
    }
    const std::string amount = request.Value("amount");
    const std::string login = request.Value("tellerLogin");
    AirtimeAnswer answer;
    answer.root = "TopUpPurchaseResult";
    answer.Set("accepted", "True")
        .Set("idTrans", std::to_string(100000 + sequence))
        .Set("ticketDateTime", Now())
        .Set("tellerName", login.empty() ? "" : "Cajero " + login)
        .Set("providerName", provider->description)
        .Set("faceValue", amount)
        .Set("totalCost", amount)
        .Set("telephone", request.Value("topUpTelephone"))
        .Set("valid", "30 dias")
        .Set("notes", "Recarga aplicada")
        .Set("instructions", "Entregue el ticket al cliente")
        .Set("idPIN", "")
        .Set("idPOS", request.Value("ptid"))
        .Set("transID", "T" + std::to_string(sequence));
    Balances(answer, sold + Amount(amount).value_or(0));
    answer.Set("responseText", "Transaccion exitosa").Set("responseCode", "00");
    return answer;
  }
  if (request.path == "/VerifyTopUpPurchase") {
    const auto sale = sales_.find(request.Value("posTimeStamp"));
    if (sale == sales_.end()) {
      AirtimeAnswer answer =
          Refusal("VerifyTopUpPurchaseResult", "Transaccion no encontrada", "14");
      answer.Set("processing", "False");
      return answer;
    }
    const AirtimeAnswer& s = sale->second;
    AirtimeAnswer answer;
    answer.root = "VerifyTopUpPurchaseResult";
    answer.Set("accepted", "True").Set("processing", "False");
    for (const char* name : {"idTrans", "ticketDateTime", "tellerName", "providerName"}) {
      answer.Set(name, s.Element(name));
    }
    answer.Set("idProvider", s.Element("idProvider"));
    for (const char* name : {"faceValue", "totalCost", "telephone", "valid", "notes",
                             "instructions", "idPIN", "idPOS", "transID"}) {
      answer.Set(name, s.Element(name));
    }
    answer.Set("posDescription", "Terminal " + request.Value("ptid"));
    Balances(answer, sold);
    answer.Set("responseText", "Transaccion encontrada").Set("responseCode", "00");
    return answer;
  }
  if (request.path == "/GetBalance") {
    const std::string login = request.Value("tellerLogin");
    AirtimeAnswer answer;
    answer.root = "GetBalanceResult";
    answer.Set("accepted", "True")
        .Set("tellerName", login.empty() ? "" : "Cajero " + login)
        .Set("idPOS", request.Value("ptid"));
    Balances(answer, sold);
    answer.Set("responseText", "Consulta exitosa");
    return answer;
  }
  AirtimeAnswer answer;
  answer.status = 404;
  answer.raw = "Not Found";
  return answer;
}

}  // namespace tovalix::sim
