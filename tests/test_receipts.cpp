// The Optimum's print texts line by line: the card-payment voucher as the terminals have always
// printed it, the gift-card and counter-service vouchers, the sales ticket, and their formats.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drivers/optimum/commands.hpp"
#include "drivers/optimum/formato_impresion.hpp"

namespace tovalix::drivers::optimum {
namespace {

const platform::WallTime k5Mar2024At1407{{2024, 3, 5}, 14, 7, 9};

// The print text cut at each CR LF; the last piece is what follows the last line end.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

Dictionary CardSale() {
  Dictionary d;
  for (const auto& [key, value] :
       std::vector<std::pair<std::string, std::string>>{{"ID_Store", "1201"},
                                                        {"Truncated", "0016"},
                                                        {"Total", "1234.5"},
                                                        {"ID_Transaction", "778899"},
                                                        {"ID_Tx", "-3"},
                                                        {"Operation_Type", "1"},
                                                        {"Authorization_Number", "123456"},
                                                        {"Pos_entry_mode", "1"},
                                                        {"Response_Message", "APROBADA"},
                                                        {"Affiliation", "7654321"},
                                                        {"OperType", "CREDITO"},
                                                        {"CardType", "VISA"},
                                                        {"IssuingBank", ""},
                                                        {"ID_Terminal", "CAJA01"},
                                                        {"Num_Sec", "42"},
                                                        {"ARQC", "1122334455667788"},
                                                        {"AID", "A0000000031010"},
                                                        {"Servicio", "ABARROTES"},
                                                        {"Description", "TIENDA DE PRUEBA"},
                                                        {"Address1", "AV. SIEMPRE VIVA 742"},
                                                        {"Address2", "CENTRO"},
                                                        {"RFC", "XAXX010101000"}}) {
    d.Add(key, value);
  }
  return d;
}

TEST(CardPaymentVoucher, StripeSaleLineByLine) {
  const std::string text =
      OPTIMUM().Imprime(CardSale(), "COPIA CLIENTE", OPTIMUM::kPagoTarjeta, k5Mar2024At1407);
  const std::vector<std::string> expected = {
      "<vxv>@logo1",
      "@cnn VENTA",
      "@br",
      "@cnn TIENDA DE PRUEBA",
      "@cnn AV. SIEMPRE VIVA 742",
      "@cnn CENTRO",
      "@cnn RFC:XAXX010101000",
      "@cnn 7654321",
      "@cnn CAJA: CAJA01",
      "@br",
      "@lnn NUMERO DE TARJETA",
      "@lnn **** **** **** 0016",
      "@br",
      "@cnb CREDITO/VISA / @br",
      "@cnb APROBADA",
      "@br",
      "@cnn -------- COPIA CLIENTE ---------------",
      "@br",
      "@lnn IMPORTE $1,234.50",
      "@br",
      "@rnn OPER.              778899",
      "@rnn REF.                  -3",
      "@rnn NUM.SEC.                  42",
      "@rnn AUT.              123456",
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
      "@cnn Pago de:ABARROTES",
      "@br",
      "@br",
      "@br",
      "@br",
      "@br",
      "</vxv>",
  };
  EXPECT_EQ(Lines(text), expected);
  // Nothing of the card but its last four digits.
  EXPECT_EQ(text.find("4152"), std::string::npos);
}

TEST(CardPaymentVoucher, AReferenceLongerThanItsColumnKeepsItsLastTwentyCharacters) {
  Dictionary long_reference = CardSale();
  long_reference.Set("ID_Transaction", "ABCDE12345678901234567890");
  const std::vector<std::string> cut = Lines(
      OPTIMUM().Imprime(long_reference, "COPIA CLIENTE", OPTIMUM::kPagoTarjeta, k5Mar2024At1407));
  EXPECT_NE(std::find(cut.begin(), cut.end(), "@rnn OPER.12345678901234567890"), cut.end());
}

TEST(CardPaymentVoucher, ChipSalePrintsArqcAndAidBeforeTheAuthorization) {
  Dictionary chip = CardSale();
  chip.Set("Pos_entry_mode", "2");
  const std::vector<std::string> lines =
      Lines(OPTIMUM().Imprime(chip, "COPIA CAJERO", OPTIMUM::kPagoTarjeta, k5Mar2024At1407));
  const auto sec = std::find(lines.begin(), lines.end(), "@rnn NUM.SEC.                  42");
  ASSERT_NE(sec, lines.end());
  ASSERT_GE(lines.end() - sec, 4);
  EXPECT_EQ(sec[1], "@rnn ARQC    1122334455667788");
  EXPECT_EQ(sec[2], "@rnn AID      A0000000031010");
  EXPECT_EQ(sec[3], "@rnn AUT.              123456");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "@cnn -------- COPIA CAJERO ---------------"),
            lines.end());
  // Stripe and fallback readings carry no chip lines.
  for (const char* mode : {"1", "3", ""}) {
    Dictionary other = CardSale();
    other.Set("Pos_entry_mode", mode);
    const std::string text =
        OPTIMUM().Imprime(other, "COPIA CLIENTE", OPTIMUM::kPagoTarjeta, k5Mar2024At1407);
    EXPECT_EQ(text.find("ARQC"), std::string::npos) << mode;
    EXPECT_EQ(text.find("@rnn AID"), std::string::npos) << mode;
  }
}

TEST(CardPaymentVoucher, CardLineAndCancellation) {
  Dictionary d = CardSale();
  d.Set("OperType", "");
  d.Set("CardType", "");
  d.Set("IssuingBank", "BANCO DE PRUEBA");
  d.Set("Operation_Type", "0");
  const std::vector<std::string> lines =
      Lines(OPTIMUM().Imprime(d, "COPIA CLIENTE", OPTIMUM::kPagoTarjeta, k5Mar2024At1407));
  EXPECT_EQ(lines[1], "@cnn CANCELACION");
  EXPECT_EQ(lines[13], "@cnb / / BANCO DE PRUEBA@br");
  for (const std::string& line : lines) EXPECT_EQ(line.find("Pago de:"), std::string::npos);
}

TEST(CardPaymentVoucher, MissingKeysPrintEmptyAndTextGoesOutAsWindows1252) {
  Dictionary d;
  d.Add("Description",
        "PANADER\xC3\x8D"
        "A");  // "PANADERÍA"
  const std::vector<std::string> lines =
      Lines(OPTIMUM().Imprime(d, "COPIA CLIENTE", OPTIMUM::kPagoTarjeta, k5Mar2024At1407));
  EXPECT_EQ(lines[1], "@cnn CANCELACION");
  EXPECT_EQ(lines[3],
            "@cnn PANADER\xCD"
            "A");
  EXPECT_EQ(lines[18], "@lnn IMPORTE $");
  EXPECT_EQ(lines[20], "@rnn OPER." + std::string(20, ' '));
}

TEST(VoucherTime, TwelveHourClockAndSpanishMonths) {
  EXPECT_EQ(HoraVoucher({{2024, 1, 1}, 0, 0, 0}), "12:00:00 a.m.");
  EXPECT_EQ(HoraVoucher({{2024, 1, 1}, 12, 30, 5}), "12:30:05 p.m.");
  EXPECT_EQ(HoraVoucher({{2024, 1, 1}, 23, 59, 59}), "11:59:59 p.m.");
  EXPECT_EQ(FechaVoucher({{2024, 12, 31}, 0, 0, 0}), "31 dic 2024");
  EXPECT_EQ(FechaVoucher({{2025, 1, 9}, 0, 0, 0}), "09 ene 2025");
  EXPECT_EQ(FechaHoraTicket({{2024, 3, 5}, 9, 7, 0}), " 05/03/2024 09:07:00");
}

TEST(MoneyFormat, ThousandsTwoDecimalsHalfAwayFromZero) {
  EXPECT_EQ(FormatoMoneda(0.0), "0.00");
  EXPECT_EQ(FormatoMoneda(5.0), "5.00");
  EXPECT_EQ(FormatoMoneda(999.995), "1,000.00");
  EXPECT_EQ(FormatoMoneda(2.675), "2.68");  // 2.67499999... as a double, 2.675 as written
  EXPECT_EQ(FormatoMoneda(0.004), "0.00");
  EXPECT_EQ(FormatoMoneda(1234567.891), "1,234,567.89");
  EXPECT_EQ(FormatoMoneda(-1500.0), "-1,500.00");
  EXPECT_EQ(FormatoMoneda(-0.001), "0.00");
  EXPECT_EQ(FormatoMoneda(1e15), "1,000,000,000,000,000.00");
  EXPECT_EQ(FormatoMoneda(std::string_view("100")), "100.00");
  EXPECT_EQ(FormatoMoneda(std::string_view("N/D")), "N/D");
  EXPECT_EQ(FormatoMoneda(std::string_view("")), "");
}

Dictionary GiftCard(const std::string& process) {
  Dictionary d;
  d.Add("process_type", process);
  d.Add("track2", "6391000000001234=2612");
  d.Add("balance", "1500");
  d.Add("oper_number", "5566");
  d.Add("autho_number", "778899");
  d.Add("teller", "ANA");
  d.Add("date_time", "05/03/2024 14:07");
  d.Add("Description", "TIENDA DE PRUEBA");
  d.Add("Servicio", "REGALO");
  return d;
}

TEST(GiftCardVoucher, BalanceQueryPrintsOnceAsTicketUnico) {
  // The single-copy case: a gift-card balance query printed through operation 22.
  const std::string text = OPTIMUM().Imprime(GiftCard("GCBalance"), "TICKET UNICO",
                                             OPTIMUM::kCorresponsal, k5Mar2024At1407);
  const std::vector<std::string> lines = Lines(text);
  EXPECT_EQ(lines.front(), "<vxv>@logo1");
  EXPECT_EQ(lines[1], "@cnn CONSULTA DE SALDO");
  EXPECT_EQ(lines.back(), "</vxv>");
  const std::vector<std::string> middle = {"@lnn NUMERO DE CUENTA",
                                           "@lnn **** **** **** 1234",
                                           "@br",
                                           "@cnb APROBADA",
                                           "@br",
                                           "@cnn -------- TICKET UNICO ---------------",
                                           "@br",
                                           "@lnn SALDO $1,500.00",
                                           "@br",
                                           "@rnn OPER.                5566",
                                           "@rnn AUT.              778899",
                                           "@br",
                                           "@lnn CAJERO : ANA",
                                           "@lnn FECHA/HORA: 05/03/2024 14:07"};
  const auto at = std::search(lines.begin(), lines.end(), middle.begin(), middle.end());
  EXPECT_NE(at, lines.end()) << text;
  EXPECT_EQ(text.find("IMPORTE"), std::string::npos);  // a query moves no amount
  EXPECT_EQ(text.find("63910000"), std::string::npos);
  EXPECT_NE(text.find("CONDUSEF"), std::string::npos);
}

TEST(GiftCardVoucher, TitleByProcessAndItsOwnLines) {
  const OPTIMUM optimum;
  const std::vector<std::pair<std::string, std::string>> titles = {
      {"GCActivateCard", "ACTIVACION"},
      {"GCBalanceIncrease", "ACUMULACION"},
      {"GCPurchase", "VENTA"},
      {"GCBalance", "CONSULTA DE SALDO"},
      {"GCCancel", "CANCELACION DE OPERACION"},
      {"Other", ""}};
  for (const auto& [process, title] : titles) {
    Dictionary d = GiftCard(process);
    d.Add("amount", "250");
    const std::vector<std::string> lines =
        Lines(optimum.Imprime(d, "COPIA CLIENTE", OPTIMUM::kTarjetaRegalo, k5Mar2024At1407));
    EXPECT_EQ(lines[1], "@cnn " + title) << process;
    for (const char* line :
         {"@lnn NUMERO DE TARJETA", "@lnn **** **** **** 1234", "@lnn IMPORTE $250.00",
          "@lnn BALANCE $1,500.00", "@cnn AL REVERSO DE ESTE PAGARE", "@cnn Prepago de:REGALO"}) {
      EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
  }
}

TEST(CounterVoucher, CreditPaymentNamesTheCredit) {
  Dictionary d = GiftCard("CBCreditPayment");
  d.Add("amount", "99.9");
  const std::vector<std::string> lines =
      Lines(OPTIMUM().Imprime(d, "COPIA CAJERO", OPTIMUM::kCorresponsal, k5Mar2024At1407));
  EXPECT_EQ(lines[1], "@cnn PAGO DE CREDITO");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "@lnn NUMERO DE CREDITO"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "@lnn IMPORTE $99.90"), lines.end());
}

TEST(Voucher, OperationsWithoutLayoutGiveNoText) {
  EXPECT_EQ(OPTIMUM().Imprime(CardSale(), "COPIA CLIENTE", OPTIMUM::kTiempoAire, k5Mar2024At1407),
            "");
  EXPECT_EQ(OPTIMUM().Imprime(CardSale(), "COPIA CLIENTE", OPTIMUM::kRemesa, k5Mar2024At1407), "");
}

Dictionary TicketData() {
  Dictionary d;
  d.Add("Razon", "ABARROTES LA PRUEBA");
  d.Add("Dir1", "CALLE 1");
  d.Add("Dir2", "COLONIA 2");
  d.Add("Dir3", "CIUDAD 3");
  d.Add("Tel", "5555555555");
  d.Add("Folio", "A-17");
  d.Add("Total", "77.5");
  return d;
}

TEST(SalesTicket, UpperBoundThreePrintsEntriesZeroToTwo) {
  const std::vector<std::string> articles = {"REFRESCO,2,10.5", "PAN,1,1234.5", "GALLETAS,3,12",
                                             ""};
  const std::vector<std::string> payments = {"EFECTIVO,50", "TARJETA,27.5", ""};
  const std::vector<std::string> expected = {
      "<vxv>@cnn PUNTO DE VENTA",
      "@logo1",
      "@br",
      "@cnn ABARROTES LA PRUEBA",
      "@cnn CALLE 1",
      "@cnn COLONIA 2",
      "@cnn CIUDAD 3",
      "@cnn Tel.5555555555",
      "@br",
      "@lnn VENTA  A-17",
      "@br",
      "@lnn DESCRIPCION  ",
      "@lnn CANTIDAD   PRECIO U.    IMPORTE",
      "@lnn " + std::string(42, '*'),
      "@lnn REFRESCO",
      "@lnn      2         $10.50         $21.00",
      "@lnn PAN",
      "@lnn      1      $1,234.50      $1,234.50",
      "@lnn GALLETAS",
      "@lnn      3         $12.00         $36.00",
      "@lnn " + std::string(42, '*'),
      "@lnn PZAS 3",
      "@br",
      "@lnn TOTAL  $77.5",
      "@lnn EFECTIVO                      $50.00",
      "@lnn TARJETA                       $27.50",
      "@br",
      "@lnn FECHA/HORA:  05/03/2024 14:07:09",
      "@br",
      "@br",
      "@cnn \xA1\xA1\xA1 GRACIAS POR SU COMPRA !!!!",  // Windows-1252 inverted marks
      "@br",
      "@br",
      "@br",
      "@br",
      "@br",
      "</vxv>",
  };
  EXPECT_EQ(Lines(OPTIMUM().ImprimePuntoVenta(TicketData(), articles, payments, k5Mar2024At1407)),
            expected);
}

TEST(SalesTicket, EmptyArraysAndEntriesThatCannotBePrinted) {
  const OPTIMUM optimum;
  const std::string empty = optimum.ImprimePuntoVenta(TicketData(), {}, {}, k5Mar2024At1407);
  EXPECT_NE(empty.find("@lnn PZAS 0\r\n"), std::string::npos);
  // Only the last slot: nothing printed, and what is in it is not read.
  const std::vector<std::string> last_only = {"not an article"};
  EXPECT_NE(optimum.ImprimePuntoVenta(TicketData(), last_only, {}, k5Mar2024At1407)
                .find("@lnn PZAS 0\r\n"),
            std::string::npos);
  // A quantity that is not a number, or missing commas, leave no ticket to print.
  const std::vector<std::string> bad_quantity = {"PAN,dos,10", ""};
  EXPECT_EQ(optimum.ImprimePuntoVenta(TicketData(), bad_quantity, {}, k5Mar2024At1407), "");
  const std::vector<std::string> no_commas = {"PAN", ""};
  EXPECT_EQ(optimum.ImprimePuntoVenta(TicketData(), no_commas, {}, k5Mar2024At1407), "");
  const std::vector<std::string> bad_payment = {"EFECTIVO 50", ""};
  EXPECT_EQ(optimum.ImprimePuntoVenta(TicketData(), {}, bad_payment, k5Mar2024At1407), "");
  // A payment amount that is not a number prints as written; a long concept is cut at 20.
  const std::vector<std::string> vale = {"VALE DE DESPENSA ELECTRONICO,N/D", ""};
  EXPECT_NE(optimum.ImprimePuntoVenta(TicketData(), {}, vale, k5Mar2024At1407)
                .find("@lnn VALE DE DESPENSA ELE            $N/D\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace tovalix::drivers::optimum
