// The simulated Nurit 293 library: the seven VB_ functions over a scripted terminal, built as
// a shared object of its own so that the driver's dlopen loader is what opens it.
#include "sim/nurit293_library/nurit293_sim.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "drivers/nurit293/nurit293_vendor.h"

namespace {

struct Card {
  std::string pos_entry_mode;
  std::string track2;
  std::string track1;
  bool has_emv = false;
  std::string emv_tags;
};

struct Fault {
  std::int16_t status;
  std::int32_t number;
  std::string description;
};

// Invented test card: a 16-digit number, expiry December 2049, service code 201 (chip).
Card DefaultCard() {
  return {"Chip", "4000000000000002=49122010000000000000",
          "B4000000000000002^PRUEBA/TOVALIX^4912201000000000", true,
          "5F2A0204845F340101820239008407A0000000031010950500000080009A032412319C0100"
          "9F02060000000100009F1A0204849F1E0831323334353637389F260811223344556677889F2701"
          "809F360200019F3704A1B2C3D4"};
}

struct State {
  std::mutex mutex;
  std::deque<Card> cards;
  std::map<std::string, std::deque<Fault>> faults;
  std::vector<std::string> calls;
  bool prepared = false;
  bool in_transaction = false;
};

State& S() {
  static State state;
  return state;
}

std::string Text(const char* text) {
  return text == nullptr ? std::string() : std::string(text);
}

std::string Describe(const Nurit293Dictionary* d) {
  std::string out = "{";
  if (d != nullptr) {
    for (std::size_t i = 0; i < d->count; ++i) {
      if (i > 0) out += "|";
      out += Text(d->pairs[i].key) + "=" + Text(d->pairs[i].value);
    }
  }
  return out + "}";
}

std::string Value(const Nurit293Dictionary* d, const char* key) {
  if (d == nullptr) return {};
  for (std::size_t i = 0; i < d->count; ++i) {
    if (Text(d->pairs[i].key) == key) return Text(d->pairs[i].value);
  }
  return {};
}

bool Has(const Nurit293Dictionary* d, const char* key) {
  if (d == nullptr) return false;
  for (std::size_t i = 0; i < d->count; ++i) {
    if (Text(d->pairs[i].key) == key) return true;
  }
  return false;
}

std::int16_t Fill(Nurit293Error* error, std::int16_t status, std::int32_t number,
                  const std::string& description) {
  if (error != nullptr) {
    error->number = number;
    std::strncpy(error->description, description.c_str(), sizeof error->description - 1);
    error->description[sizeof error->description - 1] = '\0';
  }
  return status;
}

// Records the call; a queued fault of `function` answers it.
bool Scripted(State& s, const char* function, const std::string& call, Nurit293Error* error,
              std::int16_t& status) {
  s.calls.push_back(call);
  auto it = s.faults.find(function);
  if (it == s.faults.end() || it->second.empty()) return false;
  const Fault fault = it->second.front();
  it->second.pop_front();
  status = Fill(error, fault.status, fault.number, fault.description);
  return true;
}

constexpr std::int32_t kNotPrepared = 1001;
constexpr std::int32_t kAlreadyPrepared = 1002;
constexpr std::int32_t kBadSettings = 1003;
constexpr std::int32_t kNoTransaction = 1004;
constexpr std::int32_t kBadArgument = 1005;

std::int16_t NotPrepared(Nurit293Error* error) {
  return Fill(error, -1, kNotPrepared, "Dispositivo no preparado");
}

}  // namespace

extern "C" {

void TovalixSimNurit293_Reset(void) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.cards.clear();
  s.faults.clear();
  s.calls.clear();
  s.prepared = false;
  s.in_transaction = false;
}

void TovalixSimNurit293_AddCard(const char* pos_entry_mode, const char* track2, const char* track1,
                                const char* emv_tags) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.cards.push_back(
      {Text(pos_entry_mode), Text(track2), Text(track1), emv_tags != nullptr, Text(emv_tags)});
}

void TovalixSimNurit293_Fail(const char* function, int16_t status, int32_t number,
                             const char* description) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.faults[Text(function)].push_back({status, number, Text(description)});
}

size_t TovalixSimNurit293_CallCount(void) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  return s.calls.size();
}

size_t TovalixSimNurit293_Call(size_t index, char* buffer, size_t size) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  if (index >= s.calls.size()) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return 0;
  }
  const std::string& call = s.calls[index];
  if (buffer != nullptr && size > 0) {
    const std::size_t n = call.size() < size - 1 ? call.size() : size - 1;
    std::memcpy(buffer, call.data(), n);
    buffer[n] = '\0';
  }
  return call.size();
}

int TovalixSimNurit293_Prepared(void) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  return s.prepared ? 1 : 0;
}

int16_t NURIT293_CALL VB_prepareDevice(const char* device, Nurit293Dictionary* settings,
                                       Nurit293Error* error) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  std::int16_t status = 0;
  if (Scripted(s, "VB_prepareDevice", "VB_prepareDevice " + Text(device) + " " + Describe(settings),
               error, status)) {
    return status;
  }
  if (s.prepared) return Fill(error, -1, kAlreadyPrepared, "Dispositivo ya preparado");
  if (Text(device) != "NURIT293") return Fill(error, -1, kBadArgument, "Dispositivo desconocido");
  if (Value(settings, "Port").empty() || Value(settings, "BaudRate") != "19200" ||
      Value(settings, "Parity") != "N" || Value(settings, "StopBits") != "1" ||
      Value(settings, "DataBits") != "8") {
    return Fill(error, -1, kBadSettings, "Configuracion de puerto invalida");
  }
  s.prepared = true;
  return 0;
}

int16_t NURIT293_CALL VB_startTransaction(Nurit293Error* error) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  std::int16_t status = 0;
  if (Scripted(s, "VB_startTransaction", "VB_startTransaction", error, status)) return status;
  if (!s.prepared) return NotPrepared(error);
  s.in_transaction = true;
  return 0;
}

int16_t NURIT293_CALL VB_readCardEx(Nurit293Dictionary* transaction, Nurit293Dictionary* card,
                                    Nurit293Error* error) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  std::int16_t status = 0;
  if (Scripted(s, "VB_readCardEx", "VB_readCardEx " + Describe(transaction) + " " + Describe(card),
               error, status)) {
    return status;
  }
  if (!s.prepared) return NotPrepared(error);
  if (!s.in_transaction) return Fill(error, -1, kNoTransaction, "No hay transaccion iniciada");
  if (!Has(transaction, "Total") || card == nullptr || card->set == nullptr) {
    return Fill(error, -1, kBadArgument, "Faltan datos de la transaccion");
  }
  Card reading = DefaultCard();
  if (!s.cards.empty()) {
    reading = s.cards.front();
    s.cards.pop_front();
  }
  bool ok = card->set(card, "Track2", reading.track2.c_str()) == 0 &&
            card->set(card, "Track1", reading.track1.c_str()) == 0 &&
            card->set(card, "PosEntryMode", reading.pos_entry_mode.c_str()) == 0;
  if (ok && reading.has_emv) ok = card->set(card, "EMVTags", reading.emv_tags.c_str()) == 0;
  if (!ok) return Fill(error, -1, kBadArgument, "No se pudieron entregar los datos de la tarjeta");
  return 0;
}

int16_t NURIT293_CALL VB_notifyResult(Nurit293Dictionary* outcome, Nurit293Error* error) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  std::int16_t status = 0;
  if (Scripted(s, "VB_notifyResult", "VB_notifyResult " + Describe(outcome), error, status)) {
    return status;
  }
  if (!s.prepared) return NotPrepared(error);
  const std::string result = Value(outcome, "Result");
  if (result != "Approved" && result != "Declined" && result != "No response") {
    return Fill(error, -1, kBadArgument, "Resultado desconocido");
  }
  return 0;
}

int16_t NURIT293_CALL VB_displayText(const char* text, Nurit293Error* error) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  std::int16_t status = 0;
  if (Scripted(s, "VB_displayText", "VB_displayText " + Text(text), error, status)) {
    return status;
  }
  if (!s.prepared) return NotPrepared(error);
  return 0;
}

int16_t NURIT293_CALL VB_endTransaction(Nurit293Error* error) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  std::int16_t status = 0;
  if (Scripted(s, "VB_endTransaction", "VB_endTransaction", error, status)) return status;
  if (!s.prepared) return NotPrepared(error);
  s.in_transaction = false;  // ending with no transaction open is harmless
  return 0;
}

int16_t NURIT293_CALL VB_releaseDevice(Nurit293Error* error) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  std::int16_t status = 0;
  if (Scripted(s, "VB_releaseDevice", "VB_releaseDevice", error, status)) return status;
  if (!s.prepared) return NotPrepared(error);
  s.prepared = false;
  s.in_transaction = false;
  return 0;
}

}  // extern "C"
