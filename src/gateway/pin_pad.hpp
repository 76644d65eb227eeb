// The transaction record: the 29 fields of one gateway transaction, each with a setter and a
// getter named after it. A new record holds empty texts and zeros. Setters store exactly what
// they are given and getters return exactly what is stored; nothing else happens here. The
// operations that post a record are free functions (web_transaction.hpp, prueba_config.hpp).
// Long fields are 32-bit, Integer fields 16-bit, amounts whole centavos (common/money.hpp).
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "common/money.hpp"

namespace tovalix::gateway {

class PinPad {
 public:
  // user name of the teller log-in
  void OpNumber(std::string value) { op_number_ = std::move(value); }
  const std::string& OpNumber() const { return op_number_; }
  // payment plan type
  void PlanType(std::string value) { plan_type_ = std::move(value); }
  const std::string& PlanType() const { return plan_type_; }
  // chip cryptogram read from the card
  void ARQC(std::string value) { arqc_ = std::move(value); }
  const std::string& ARQC() const { return arqc_; }
  // chip application identifier
  void AID(std::string value) { aid_ = std::move(value); }
  const std::string& AID() const { return aid_; }
  // monthly payments of a plan
  void NumberOfPayments(std::string value) { number_of_payments_ = std::move(value); }
  const std::string& NumberOfPayments() const { return number_of_payments_; }
  // months of initial deferment of a plan
  void InitialDeferment(std::string value) { initial_deferment_ = std::move(value); }
  const std::string& InitialDeferment() const { return initial_deferment_; }
  // server-side transaction id given by the host
  void ID_Server_Tx(std::int32_t value) { id_server_tx_ = value; }
  std::int32_t ID_Server_Tx() const { return id_server_tx_; }
  // client-side transaction id given by the host
  void ID_Client_Tx(std::int32_t value) { id_client_tx_ = value; }
  std::int32_t ID_Client_Tx() const { return id_client_tx_; }
  // card verification value captured on the PIN pad, or empty
  void Cvv2(std::string value) { cvv2_ = std::move(value); }
  const std::string& Cvv2() const { return cvv2_; }
  // terminal type text
  void Tipo_Terminal(std::string value) { tipo_terminal_ = std::move(value); }
  const std::string& Tipo_Terminal() const { return tipo_terminal_; }
  // store identifier
  void ID_Store(std::int32_t value) { id_store_ = value; }
  std::int32_t ID_Store() const { return id_store_; }
  // 1 a sale, anything else a sale with cash back
  void FunctionType(std::int16_t value) { function_type_ = value; }
  std::int16_t FunctionType() const { return function_type_; }
  // truncated card number
  void Truncated(std::string value) { truncated_ = std::move(value); }
  const std::string& Truncated() const { return truncated_; }
  // amount of the sale
  void Amount(Money value) { amount_ = value; }
  Money Amount() const { return amount_; }
  // tip
  void Tip(Money value) { tip_ = value; }
  Money Tip() const { return tip_; }
  // 1 stripe, 2 chip, 3 the flow's fallback reading
  void Pos_entry_mode(std::int16_t value) { pos_entry_mode_ = value; }
  std::int16_t Pos_entry_mode() const { return pos_entry_mode_; }
  // chip data built by the driver
  void emv_tags(std::string value) { emv_tags_ = std::move(value); }
  const std::string& emv_tags() const { return emv_tags_; }
  // amount plus tip
  void Total(Money value) { total_ = value; }
  Money Total() const { return total_; }
  // host's transaction number
  void ID_Transaction(std::int32_t value) { id_transaction_ = value; }
  std::int32_t ID_Transaction() const { return id_transaction_; }
  // read by no operation
  void ID_Tx(std::int32_t value) { id_tx_ = value; }
  std::int32_t ID_Tx() const { return id_tx_; }
  // operation type given by the host
  void Operation_Type(std::int16_t value) { operation_type_ = value; }
  std::int16_t Operation_Type() const { return operation_type_; }
  // authorization number, or the order number, teller login or operation number
  void Authorization_Number(std::string value) { authorization_number_ = std::move(value); }
  const std::string& Authorization_Number() const { return authorization_number_; }
  // a response text to be logged
  void Response_Message(std::string value) { response_message_ = std::move(value); }
  const std::string& Response_Message() const { return response_message_; }
  // track 2 of the card
  void track2(std::string value) { track2_ = std::move(value); }
  const std::string& track2() const { return track2_; }
  // track 1 of the card
  void track1(std::string value) { track1_ = std::move(value); }
  const std::string& track1() const { return track1_; }
  // serial number of the PIN pad
  void Serial(std::string value) { serial_ = std::move(value); }
  const std::string& Serial() const { return serial_; }
  // terminal number
  void PTid(std::string value) { ptid_ = std::move(value); }
  const std::string& PTid() const { return ptid_; }
  // time stamp of the point of sale
  void PosTimeStamp(std::string value) { pos_time_stamp_ = std::move(value); }
  const std::string& PosTimeStamp() const { return pos_time_stamp_; }
  // PIN or NIP text of a gift card or teller
  void Nip(std::string value) { nip_ = std::move(value); }
  const std::string& Nip() const { return nip_; }

 private:
  std::string op_number_;
  std::string plan_type_;
  std::string arqc_;
  std::string aid_;
  std::string number_of_payments_;
  std::string initial_deferment_;
  std::int32_t id_server_tx_ = 0;
  std::int32_t id_client_tx_ = 0;
  std::string cvv2_;
  std::string tipo_terminal_;
  std::int32_t id_store_ = 0;
  std::int16_t function_type_ = 0;
  std::string truncated_;
  Money amount_;
  Money tip_;
  std::int16_t pos_entry_mode_ = 0;
  std::string emv_tags_;
  Money total_;
  std::int32_t id_transaction_ = 0;
  std::int32_t id_tx_ = 0;
  std::int16_t operation_type_ = 0;
  std::string authorization_number_;
  std::string response_message_;
  std::string track2_;
  std::string track1_;
  std::string serial_;
  std::string ptid_;
  std::string pos_time_stamp_;
  std::string nip_;
};

}  // namespace tovalix::gateway
