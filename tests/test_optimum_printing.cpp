// Printing on the Optimum: vouchers and tickets sent through a real pty to the simulated
// terminal, whose printer keeps each text it printed and answers with its short statuses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "drivers/optimum/commands.hpp"
#include "drivers/optimum/impresion.hpp"
#include "optimum_fixture.hpp"

namespace tovalix::drivers::optimum {
namespace {

using sim::OptimumReading;
using sim::PrinterStatus;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr platform::WallTime kAhora{{2024, 3, 5}, 14, 7, 9};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2) {
    lines.push_back(text.substr(from, at - from));
  }
  lines.push_back(text.substr(from));
  return lines;
}

// A reference line: the label and the value right-aligned in 20 characters.
std::string Ref(const std::string& label, const std::string& value) {
  return "@rnn " + label + std::string(20 - value.size(), ' ') + value;
}

class OptimumPrintingTest : public OptimumFixture {
 protected:
  // An approved sale as PagoTarjeta returns it: the flow's result and the merchant's data.
  Dictionary ApprovedSale(OptimumReading card) {
    pad.Queue(std::move(card));
    Dictionary sale = Sell(Venta(125));
    sale.Add("Servicio", "");
    sale.Add("Description", parametros.Descripcion);
    sale.Add("Address1", parametros.Direccion1);
    sale.Add("Address2", parametros.Direccion2);
    sale.Add("Address3", parametros.Direccion3);
    sale.Add("RFC", parametros.Rfc);
    sale.Add("Phone", parametros.Telefono);
    return sale;
  }

  // The texts the printer received, without the sale's own frames.
  bool Print(const Dictionary& data, std::int16_t operation = 11) {
    const bool printed = ImprimeVoucher(entorno, data, "", operation, kAhora);
    EXPECT_FALSE(link.EstaAbierto()) << "printing left the port open";
    return printed;
  }

  static std::vector<std::string> ChipVoucher(const std::string& label) {
    std::vector<std::string> lines = {
        "<vxv>@logo1",
        "@cnn VENTA",
        "@br",
        "@cnn ABARROTES LA PRUEBA",
        "@cnn AV. SIEMPRE VIVA 742",
        "@cnn CENTRO CP.06000",
        "@cnn RFC:XAXX010101000",
        "@cnn 7654321",
        "@cnn CAJA: 4711",
        "@br",
        "@lnn NUMERO DE TARJETA",
        "@lnn **** **** **** XXXXXXXXXXXX0016",
        "@br",
        "@cnb VENTA/CREDITO / BANCO SIMULADO@br",  // the card line runs into its "@br"
        "@cnb APROBADA",
        "@br",
        "@cnn -------- " + label + " ---------------",
        "@br",
        "@lnn IMPORTE $125.00",
        "@br",
        Ref("OPER.", "8001"),
        Ref("REF.", "100001"),
        Ref("NUM.SEC.", "1"),
        Ref("ARQC", std::string(OptimumReading::kArqc)),
        Ref("AID", std::string(OptimumReading::kAid)),
        Ref("AUT.", "123456"),
        "@br",
        "@lnn CAJERO : ",
        "@lnn FECHA: 05 mar 2024",
        "@lnn HORA: 02:07:09 p.m.",
        "@br",
        "@br",
        "@cnn FIRMA______________________________",
        "@br",
        "@cnn ME OBLIGO EN LOS TERMINOS DADOS",
        "@cnn AL REVERSO DE ESTE PAGARE",
        "@br",
        "@br",
        "@cnn Pago de:",
    };
    for (int i = 0; i < 5; ++i) lines.push_back("@br");
    lines.push_back("</vxv>");
    return lines;
  }
};

TEST_F(OptimumPrintingTest, ApprovedChipSalePrintsTheCustomerThenTheCashierCopyLineByLine) {
  const Dictionary sale = ApprovedSale(OptimumReading::Chip());
  ASSERT_EQ(sale.Item("Response_Message"), "APROBADA");
  EXPECT_TRUE(Print(sale));

  const auto printed = pad.Printed();
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_EQ(Lines(printed[0]), ChipVoucher("COPIA CLIENTE"));
  EXPECT_EQ(Lines(printed[1]), ChipVoucher("COPIA CAJERO"));
  EXPECT_THAT(pad.Displays(),
              ElementsAre("Imprimiendo Voucher...", "Imprimiendo Copia Voucher..."));
  // The copy follows a second's pause: display, print, display, print, in that order.
  EXPECT_THAT(pad.Commands(), ElementsAre("C54", "C54", "C50", "print", "C50", "print"));
  EXPECT_THAT(op.shown, IsEmpty());
  EXPECT_THAT(pad.Problems(), IsEmpty());
}

TEST_F(OptimumPrintingTest, AStripeSaleVoucherHasNoChipLines) {
  Print(ApprovedSale(OptimumReading::Stripe()));
  const auto printed = pad.Printed();
  ASSERT_EQ(printed.size(), 2u);
  std::vector<std::string> expected = ChipVoucher("COPIA CLIENTE");
  std::erase_if(expected, [](const std::string& line) {
    return line.rfind("@rnn ARQC", 0) == 0 || line.rfind("@rnn AID", 0) == 0;
  });
  EXPECT_EQ(Lines(printed[0]), expected);
}

TEST_F(OptimumPrintingTest, AGiftCardBalanceQueryPrintsOneSingleCopy) {
  Dictionary query;
  query.Add("process_type", "GCBalance");
  query.Add("balance", "500");
  query.Add("track2", std::string(OptimumReading::kTrack2));
  Print(query, OPTIMUM::kCorresponsal);
  const auto printed = pad.Printed();
  ASSERT_EQ(printed.size(), 1u);
  EXPECT_THAT(printed[0], HasSubstr("-------- TICKET UNICO ---------------"));
  EXPECT_THAT(pad.Displays(), ElementsAre("Imprimiendo Voucher..."));

  // The same query through the gift-card layout is a voucher like any other: two copies.
  Print(query, OPTIMUM::kTarjetaRegalo);
  EXPECT_EQ(pad.Printed().size(), 3u);
}

TEST_F(OptimumPrintingTest, NoPaperIsToldAndTheCashierCopyStillPrints) {
  const Dictionary sale = ApprovedSale(OptimumReading::Stripe());
  pad.QueuePrinter(PrinterStatus::kNoPaper);
  EXPECT_FALSE(Print(sale));
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"TOVALIX: Impresora sin papel"});
  EXPECT_EQ(op.shown[0].style, Operator::kPlain);
  EXPECT_EQ(pad.PrintRequests().size(), 2u);
  const auto printed = pad.Printed();
  ASSERT_EQ(printed.size(), 1u);
  EXPECT_THAT(printed[0], HasSubstr("COPIA CAJERO"));
}

TEST_F(OptimumPrintingTest, ResendIsMadeOncePerCopy) {
  const Dictionary sale = ApprovedSale(OptimumReading::Stripe());
  // The customer's copy is asked for again, and the resend asked for again: no third try, and
  // that copy is not on paper.
  pad.QueuePrinter(PrinterStatus::kResend).QueuePrinter(PrinterStatus::kResend);
  EXPECT_FALSE(Print(sale));
  EXPECT_EQ(op.Texts(),
            (std::vector<std::string>{"TOVALIX: Reenviando Impresión",
                                      "TOVALIX: Error no identificado al imprimir el voucher"}));
  const auto requests = pad.PrintRequests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0], requests[1]);
  EXPECT_THAT(requests[1], HasSubstr("COPIA CLIENTE"));
  EXPECT_THAT(requests[2], HasSubstr("COPIA CAJERO"));

  // A resend that prints: both copies end up on paper.
  op.shown.clear();
  pad.QueuePrinter(PrinterStatus::kResend);
  EXPECT_TRUE(Print(sale));
  const auto printed = pad.Printed();
  EXPECT_EQ(printed.size(), 3u);
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"TOVALIX: Reenviando Impresión"});
}

TEST_F(OptimumPrintingTest, ASilentPrinterIsNotTakenForAPrintedVoucher) {
  const Dictionary sale = ApprovedSale(OptimumReading::Stripe());
  pad.QueuePrinter(PrinterStatus::kSilent);
  EXPECT_FALSE(Print(sale));
  EXPECT_EQ(op.Texts(),
            std::vector<std::string>{"TOVALIX: Error no identificado al imprimir el voucher"});
  EXPECT_EQ(pad.Printed().size(), 1u);
}

TEST_F(OptimumPrintingTest, NoPortSendsNothing) {
  const std::string empty_port;
  EntornoVenta no_port{link, parametros, empty_port, modo_entrada, op, clock};
  EXPECT_FALSE(ImprimeVoucher(no_port, Dictionary(), "", 11, kAhora));
  EXPECT_EQ(op.Texts(), std::vector<std::string>{
                            "TOVALIX: No se pudo definir el puerto de la terminal para poder "
                            "imprimir."});

  EXPECT_THAT(pad.Displays(), IsEmpty());
}

TEST_F(OptimumPrintingTest, ATicketPrintsOnceWithEveryEntry) {
  const drivers::DatosTicket ticket{
      "ABARROTES LA PRUEBA", "AV. SIEMPRE VIVA 742", "CENTRO", "CDMX", "5555555555", "A-77", "57"};
  const std::array<std::string, 3> articulos = {"CAFE,2,15.5", "PAN,3,4", "LECHE,1,22"};
  const std::array<std::string, 1> pagos = {"EFECTIVO,57"};
  EXPECT_TRUE(ImprimeTicket(entorno, ticket, articulos, pagos, kAhora));
  EXPECT_FALSE(link.EstaAbierto());

  const auto printed = pad.Printed();
  ASSERT_EQ(printed.size(), 1u);
  EXPECT_THAT(printed[0], HasSubstr("@cnn ABARROTES LA PRUEBA\r\n@cnn AV. SIEMPRE VIVA 742\r\n"
                                    "@cnn CENTRO\r\n@cnn CDMX\r\n@cnn Tel.5555555555\r\n"));
  const std::vector<std::string> lines = Lines(printed[0]);
  EXPECT_THAT(lines, ::testing::Contains("@lnn TOTAL  $57"));
  EXPECT_THAT(lines, ::testing::Contains("@lnn PZAS 3"));
  EXPECT_THAT(lines, ::testing::Contains("@lnn VENTA  A-77"));
  EXPECT_THAT(lines, ::testing::Contains("@lnn FECHA/HORA:  05/03/2024 14:07:09"));
  EXPECT_THAT(pad.Displays(), ElementsAre("Imprimiendo Voucher..."));
  EXPECT_THAT(op.shown, IsEmpty());

  pad.QueuePrinter(PrinterStatus::kNoPaper);
  EXPECT_FALSE(ImprimeTicket(entorno, ticket, articulos, pagos, kAhora));
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"TOVALIX: Impresora sin papel"});
  EXPECT_EQ(pad.PrintRequests().size(), 2u);
}

}  // namespace
}  // namespace tovalix::drivers::optimum
