// The gateway's process codes and the process type each one posts.
#pragma once

#include <cstdint>
#include <string>

#include "gateway/pin_pad.hpp"

namespace tovalix::gateway {

inline constexpr std::int16_t kGiftCard = 1;         // GCActivateCard ... GCCancel
inline constexpr std::int16_t kRemittanceCheck = 3;  // OREXCheck
inline constexpr std::int16_t kRemittancePay = 4;    // OREXPay
inline constexpr std::int16_t kConnectUser = 5;      // ConnectUser
inline constexpr std::int16_t kLog = 7;              // Log
inline constexpr std::int16_t kCardSale = 11;        // CDSaleCancel or CDCash
inline constexpr std::int16_t kInitPos = 32;         // CDInitPOS
inline constexpr std::int16_t kGiftCardSetNip = 33;  // GCSetNip
inline constexpr std::int16_t kTellersCheck = 40;    // TellersCheck

// True for the nine codes above.
bool IsKnownProcess(std::int16_t process);

// The `process_type` value posted for `process`: for a card sale "CDSaleCancel" when
// FunctionType is 1 and "CDCash" otherwise; for a gift card by Operation_Type (0 to 4; empty
// for any other value). Empty for an unknown process.
std::string ProcessType(const PinPad& record, std::int16_t process);

}  // namespace tovalix::gateway
