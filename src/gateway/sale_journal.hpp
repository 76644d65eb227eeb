// The sale journal: JSON lines kept beside the settings file, written ahead of every card sale
// posted to the gateway, so that the merchant can reconcile with the gateway any sale whose
// request went out but whose answer never came, or came unusable ("in doubt"). The file is
// only ever appended to. Each sale has an id and up to three lines, in this order:
//   "state":"pending"  written before the request leaves (a sale killed while the gateway
//                      holds it stays at this line);
//   "state":"outcome"  written once WebTransaction returned, with what the host was told;
//   "state":"settled"  written by an operator who confirmed with the gateway whether a sale in
//                      doubt was charged ("charged":true or false).
// The last key of every line is "in_doubt".
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "gateway/pin_pad.hpp"
#include "gateway/web_transaction.hpp"
#include "platform/clock.hpp"

namespace tovalix::gateway {

// The Response_Message of a sale in doubt (ID_Tx "-4"); the operator's box shows it after
// "TOVALIX: ", followed by the sale's journal id.
inline constexpr const char* kVentaEnDuda =
    "VENTA EN DUDA: EL CARGO PUDO HABERSE HECHO. CONFIRME CON EL GATEWAY (tovalix journal "
    "--in-doubt) ANTES DE COBRAR DE NUEVO";

// The one approval decision of a card sale, which the chip card, the host and the command
// line all follow: the result's Response_Message is "APROBADA" or "DEMO - APROBADA" and its
// Authorization_Number, blanks aside, is not empty and not made only of zeros. Letters count
// ("AB12" is an authorization); "000000" is none.
bool Aprobada(const Dictionary& result);

// "journal.jsonl" in the folder of the settings file. Throws Failure as
// SettingsFile::DefaultPath does.
std::filesystem::path JournalPath();

// The last four digits of the card number in track 2 (the digits before "=" or "D"); "" when
// the track holds fewer than four. Nothing else of the track ever leaves this function.
std::string LastFourDigits(std::string_view track2);

// A request is in doubt when it went out and no usable answer came back: a time-out, a
// dropped connection, a missing header or a status other than 200.
inline bool InDoubt(const WebOutcome& outcome) {
  return outcome.sent && !outcome.answered;
}

// A fresh journal id for one sale: sixteen hexadecimal digits.
std::string NewSaleId();

// The pending line (no line end) of sale `id` about to be posted with `record`. Keys in this
// order: time, id, state, model, ID_Store, ID_Transaction, Amount, Total, Operation_Type,
// last4, in_doubt (true).
std::string PendingLine(const PinPad& record, std::string_view model, std::string_view id,
                        const platform::WallTime& when);

// The outcome line of sale `id` that gave `result`: the pending line's keys up to last4, then
// ID_Tx, Authorization_Number, Response_Message, sent, answered, in_doubt (true when the
// result's ID_Tx is "-4").
std::string JournalLine(const PinPad& record, std::string_view model, std::string_view id,
                        const Dictionary& result, const WebOutcome& outcome,
                        const platform::WallTime& when);

// The settled line of sale `id`: time, id, state, charged, in_doubt (false).
std::string SettledLine(std::string_view id, bool charged, const platform::WallTime& when);

// The sales of `journal_text` still in doubt, in the order they first appear: for each, its id
// and its latest line. A sale is in doubt while its latest line says so (a pending line, or an
// outcome line with "in_doubt":true) and no settled line followed. A line cut short (no line
// end) or not a JSON object is skipped; a line of an older journal, without an id, goes by
// "#" and its line number ("#3").
std::vector<std::pair<std::string, std::string>> SalesInDoubt(std::string_view journal_text);

// SalesInDoubt of the journal file (none when there is no file yet). Throws Failure when the
// file cannot be read.
std::vector<std::pair<std::string, std::string>> SalesInDoubt();

// Appends the settled line of sale `id`. Throws Failure, and writes nothing, when `id` is not
// a sale in doubt or the journal cannot be read or written.
void SettleSale(std::string_view id, bool charged);

// Every card sale goes through here: the pending line, WebTransaction for the sale process,
// then the outcome line. Returns what WebTransaction returned, except that a sale that may
// have been charged without a usable answer returns ID_Tx "-4" and kVentaEnDuda (shown to the
// operator): the request went out and the answer never came or was unusable, its amount is
// not the amount sent, or it says "APROBADA" without an authorization number. Keys and their
// order stay those of WebTransaction's result. A journal that cannot be written is reported
// with the common error report and the sale goes on.
Dictionary WebSale(const PinPad& record, std::string_view model, const std::string& url,
                   const std::string& timeout, Operator& op);

}  // namespace tovalix::gateway
