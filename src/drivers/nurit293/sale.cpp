#include "drivers/nurit293/sale.hpp"

#include "drivers/nurit293/commands.hpp"

namespace tovalix::drivers::nurit293 {

Dictionary VentaNurit293(EntornoVenta& entorno, const SolicitudVenta& s) {
  Dictionary entrada;
  entrada.Add("ID_Store", std::to_string(s.ID_Store));
  entrada.Add("Amount", s.Amount.Text());
  entrada.Add("Tip", s.Tip.Text());
  entrada.Add("Total", s.Total.Text());
  entrada.Add("ID_Transaction", std::to_string(s.ID_Transaction));
  entrada.Add("Operation_Type", std::to_string(s.Operation_Type));
  entrada.Add("Authorization_Number", s.Authorization_Number);
  entrada.Add("Port", entorno.puerto);
  entrada.Add("Cvv2", "");
  entrada.Add("FunctionType", "1");
  entrada.Add("Serial", entorno.parametros.Serie);
  entrada.Add("PTid", entorno.parametros.PTid);
  entrada.Add("InitialDeferment", s.InitialDeferment);
  entrada.Add("NumberOfPayments", s.NumberOfPayments);
  entrada.Add("PlanType", s.PlanType);
  entrada.Add("ID_Client_Tx", std::to_string(s.ID_Client_Tx));
  entrada.Add("ID_Server_Tx", std::to_string(s.ID_Server_Tx));
  return UnicaBancaria(entrada, entorno.parametros.UrlGateway, s.TimeOut, entorno.op,
                       entorno.clock);
}

}  // namespace tovalix::drivers::nurit293
