// The sale journal: one JSON line per card sale posted to the gateway, kept beside the
// settings file, so that the merchant can reconcile with the gateway any sale whose request
// went out but whose answer never came ("in doubt").
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "gateway/pin_pad.hpp"
#include "gateway/web_transaction.hpp"
#include "platform/clock.hpp"

namespace tovalix::gateway {

// "journal.jsonl" in the folder of the settings file. Throws Failure as
// SettingsFile::DefaultPath does.
std::filesystem::path JournalPath();

// The last four digits of the card number in track 2 (the digits before "=" or "D"); "" when
// the track holds fewer than four. Nothing else of the track ever leaves this function.
std::string LastFourDigits(std::string_view track2);

// A sale is in doubt when its request went out and no usable answer came back: a time-out,
// a dropped connection, a missing header or a status other than 200.
inline bool InDoubt(const WebOutcome& outcome) {
  return outcome.sent && !outcome.answered;
}

// The journal line (no line end) of a sale posted with `record` that gave `result`. Keys in
// this order: time, model, ID_Store, ID_Transaction, Amount, Total, Operation_Type, last4,
// ID_Tx, Authorization_Number, Response_Message, sent, answered, in_doubt.
std::string JournalLine(const PinPad& record, std::string_view model, const Dictionary& result,
                        const WebOutcome& outcome, const platform::WallTime& when);

// True for a whole journal line of a sale in doubt.
bool JournalLineInDoubt(std::string_view line);

// Appends the sale's line to JournalPath() (append, then flush to disk). A failure is told
// with the common error report and changes nothing else.
void AppendJournal(const PinPad& record, std::string_view model, const Dictionary& result,
                   const WebOutcome& outcome, Operator& op) noexcept;

// Every card sale goes through here: WebTransaction for the sale process, then its journal
// line. Returns exactly what WebTransaction returned.
Dictionary WebSale(const PinPad& record, std::string_view model, const std::string& url,
                   const std::string& timeout, Operator& op);

}  // namespace tovalix::gateway
