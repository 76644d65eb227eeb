// The layouts a card sale's result takes, key by key, written out here once so that the flow
// suites and the soak hold every sale to the same lists.
#pragma once

#include <string>
#include <vector>

namespace tovalix::testing {

using Keys = std::vector<std::string>;

// clang-format off
// The gateway answered: its headers in the order it sends them, then the chip values.
inline const Keys kGatewayAnswerKeys = {
    "ID_Store", "Truncated", "Amount", "Tip", "Total", "ID_Transaction", "ID_Tx",
    "Operation_Type", "Authorization_Number", "Pos_entry_mode", "Response_Message",
    "Affiliation", "OperType", "CardType", "IssuingBank", "ID_Terminal", "Num_Sec",
    "process_type", "ARQC", "AID"};

// The gateway's pre-filled result, kept when no usable answer came.
inline const Keys kGatewayDefaultKeys = {
    "process_type", "ARQC", "AID", "ID_Store", "Truncated", "Amount", "Tip", "Total",
    "ID_Transaction", "ID_Tx", "Operation_Type", "Authorization_Number", "Response_Message",
    "Affiliation", "OperType", "CardType", "IssuingBank", "ID_Terminal", "Num_Sec"};

// The first values of an Ingenico sale, before the PIN pad gave anything.
inline const Keys kIngenicoFirstKeys = {
    "ID_Store", "Truncated", "Amount", "Tip", "Total", "ID_Transaction", "ID_Tx",
    "Operation_Type", "Authorization_Number", "Response_Message", "Affiliation", "OperType",
    "CardType", "ARQC", "AID", "EMV_Tags", "IssuingBank", "ID_Terminal", "Num_Sec"};

// The first values of a Vx810 or Optimum sale.
inline const Keys kVerifoneFirstKeys = {
    "ID_Store", "Truncated", "Amount", "Tip", "Total", "ID_Transaction", "ID_Tx",
    "Operation_Type", "Authorization_Number", "Response_Message", "Affiliation", "OperType",
    "EMV_Tags", "ARQC", "AID", "CardType", "IssuingBank", "ID_Terminal", "Num_Sec"};
// clang-format on

}  // namespace tovalix::testing
