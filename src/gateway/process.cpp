#include "gateway/process.hpp"

namespace tovalix::gateway {

bool IsKnownProcess(std::int16_t process) {
  switch (process) {
    case kGiftCard:
    case kRemittanceCheck:
    case kRemittancePay:
    case kConnectUser:
    case kLog:
    case kCardSale:
    case kInitPos:
    case kGiftCardSetNip:
    case kTellersCheck:
      return true;
    default:
      return false;
  }
}

std::string ProcessType(const PinPad& record, std::int16_t process) {
  switch (process) {
    case kGiftCard:
      switch (record.Operation_Type()) {
        case 0:
          return "GCActivateCard";
        case 1:
          return "GCBalanceIncrease";
        case 2:
          return "GCPurchase";
        case 3:
          return "GCBalance";
        case 4:
          return "GCCancel";
        default:
          return "";
      }
    case kRemittanceCheck:
      return "OREXCheck";
    case kRemittancePay:
      return "OREXPay";
    case kConnectUser:
      return "ConnectUser";
    case kLog:
      return "Log";
    case kCardSale:
      return record.FunctionType() == 1 ? "CDSaleCancel" : "CDCash";
    case kInitPos:
      return "CDInitPOS";
    case kGiftCardSetNip:
      return "GCSetNip";
    case kTellersCheck:
      return "TellersCheck";
    default:
      return "";
  }
}

}  // namespace tovalix::gateway
