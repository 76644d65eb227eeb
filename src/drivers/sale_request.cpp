#include "drivers/sale_request.hpp"

#include "common/number_text.hpp"

namespace tovalix::drivers {

Dictionary PrimerosValoresVenta(const SolicitudVenta& s, std::string_view mensaje,
                                std::initializer_list<const char*> vacias) {
  Dictionary d;
  d.Add("ID_Store", std::to_string(s.ID_Store));
  d.Add("Truncated", "");
  d.Add("Amount", s.Amount.Text());
  d.Add("Tip", s.Tip.Text());
  d.Add("Total", s.Total.Text());
  d.Add("ID_Transaction", "");
  d.Add("ID_Tx", "-3");
  d.Add("Operation_Type", std::to_string(s.Operation_Type));
  d.Add("Authorization_Number", "000000");
  d.Add("Response_Message", std::string(mensaje));
  for (const char* key : vacias) d.Add(key, "");
  return d;
}

gateway::PinPad RegistroVenta(const SolicitudVenta& s, const settings::Parametros& parametros,
                              const Dictionary& tarjeta, std::int16_t pos_entry_mode,
                              bool con_datos_chip) {
  gateway::PinPad record;
  record.ID_Store(s.ID_Store);
  record.Amount(s.Amount);
  record.Tip(s.Tip);
  record.Total(s.Total);
  record.Cvv2(s.Cvv2);
  record.FunctionType(s.FunctionType);
  record.ID_Transaction(s.ID_Transaction);
  record.track2(tarjeta.Item("Track2"));
  record.track1(tarjeta.Item("Track1"));
  record.Serial(parametros.Serie);
  record.PTid(parametros.PTid);
  record.Operation_Type(s.Operation_Type);
  record.ARQC(con_datos_chip ? tarjeta.Item("ARQC") : "");
  record.AID(con_datos_chip ? tarjeta.Item("AID") : "");
  record.Authorization_Number(s.Authorization_Number);
  record.emv_tags(con_datos_chip ? tarjeta.Item("EMV_Tags") : "");
  record.Pos_entry_mode(pos_entry_mode);
  record.ID_Client_Tx(s.ID_Client_Tx);
  record.ID_Server_Tx(s.ID_Server_Tx);
  record.InitialDeferment(s.InitialDeferment);
  record.NumberOfPayments(s.NumberOfPayments);
  record.PlanType(s.PlanType);
  return record;
}

}  // namespace tovalix::drivers
