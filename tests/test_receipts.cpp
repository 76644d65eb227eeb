// The Optimum's print texts line by line: the card-payment voucher as the terminals have always
// printed it, the gift-card and counter-service vouchers, the sales ticket, and their formats.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drivers/optimum/commands.hpp"
#include "drivers/optimum/formato_impresion.hpp"
#include "support/dictionary_text.hpp"

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

// A card sale as the voucher receives it, with `changes` made to it.
Dictionary CardSale(std::initializer_list<Dictionary::Entry> changes = {}) {
  Dictionary d = testing::DictionaryOf(
      "Truncated=0016|Total=1234.5|ID_Transaction=778899|ID_Tx=-3|Operation_Type=1"
      "|Authorization_Number=123456|Pos_entry_mode=1|Response_Message=APROBADA"
      "|Affiliation=7654321|OperType=CREDITO|CardType=VISA|IssuingBank=|ID_Terminal=CAJA01"
      "|Num_Sec=42|ARQC=1122334455667788|AID=A0000000031010|Servicio=ABARROTES"
      "|Description=TIENDA DE PRUEBA|Address1=AV. SIEMPRE VIVA 742|Address2=CENTRO"
      "|RFC=XAXX010101000");
  for (const auto& [key, value] : changes) d.Set(key, value);
  return d;
}

TEST(CardPaymentVoucher, WhatChangesWithTheSale) {
  Dictionary bare;  // missing keys print empty; text goes out as Windows-1252
  bare.Add("Description",
           "PANADER\xC3\x8D"
           "A");  // "PANADERÍA"
  // The card line with its empty parts, and a cancellation: no "Pago de:" line.
  const Dictionary cancelled = CardSale({{"OperType", ""},
                                         {"CardType", ""},
                                         {"IssuingBank", "BANCO DE PRUEBA"},
                                         {"Operation_Type", "0"}});
  const struct {
    Dictionary data;
    std::size_t at;
    std::string line;
  } rows[] = {
      // The whole voucher, line by line, is held by the printing suite; here what this sale's
      // values make of it: thousands in the amount, an empty bank, the service paid.
      {CardSale(), 13, "@cnb CREDITO/VISA / @br"},
      {CardSale(), 18, "@lnn IMPORTE $1,234.50"},
      {CardSale(), 36, "@cnn Pago de:ABARROTES"},
      // A reference longer than its column keeps its last twenty characters.
      {CardSale({{"ID_Transaction", "ABCDE12345678901234567890"}}), 20,
       "@rnn OPER.12345678901234567890"},
      // A fallback reading carries no chip lines, like a stripe one.
      {CardSale({{"Pos_entry_mode", "3"}}), 23, "@rnn AUT.              123456"},
      {cancelled, 1, "@cnn CANCELACION"},
      {cancelled, 13, "@cnb / / BANCO DE PRUEBA@br"},
      {cancelled, 36, "@br"},
      {bare, 3,
       "@cnn PANADER\xCD"
       "A"},
      {bare, 20, "@rnn OPER." + std::string(20, ' ')},
  };
  for (const auto& row : rows) {
    const std::vector<std::string> lines =
        Lines(OPTIMUM().Imprime(row.data, "COPIA CAJERO", OPTIMUM::kPagoTarjeta, k5Mar2024At1407));
    ASSERT_LT(row.at, lines.size());
    EXPECT_EQ(lines[row.at], row.line);
  }
}

TEST(VoucherFormats, TwelveHourClockSpanishMonthsAndMoneyHalfAwayFromZero) {
  const std::pair<std::string, std::string> rows[] = {
      {HoraVoucher({{2024, 1, 1}, 0, 0, 0}), "12:00:00 a.m."},
      {HoraVoucher({{2024, 1, 1}, 12, 30, 5}), "12:30:05 p.m."},
      {HoraVoucher({{2024, 1, 1}, 23, 59, 59}), "11:59:59 p.m."},
      {FechaVoucher({{2024, 12, 31}, 0, 0, 0}), "31 dic 2024"},
      {FechaVoucher({{2025, 1, 9}, 0, 0, 0}), "09 ene 2025"},
      {FechaHoraTicket({{2024, 3, 5}, 9, 7, 0}), " 05/03/2024 09:07:00"},
      {FormatoMoneda(0.0), "0.00"},
      {FormatoMoneda(999.995), "1,000.00"},
      {FormatoMoneda(2.675), "2.68"},  // 2.67499999... as a double, 2.675 as written
      {FormatoMoneda(0.004), "0.00"},
      {FormatoMoneda(1234567.891), "1,234,567.89"},
      {FormatoMoneda(-1500.0), "-1,500.00"},
      {FormatoMoneda(-0.001), "0.00"},
      {FormatoMoneda(1e15), "1,000,000,000,000,000.00"},
      {FormatoMoneda(std::string_view("100")), "100.00"},
      {FormatoMoneda(std::string_view("N/D")), "N/D"},
      {FormatoMoneda(std::string_view("")), ""},
  };
  for (const auto& [formatted, expected] : rows) EXPECT_EQ(formatted, expected);
}

// A gift-card or counter operation's data; a query carries no amount.
Dictionary GiftCard(const std::string& process, const std::string& amount = "") {
  return testing::DictionaryOf("process_type=" + process +
                               "|track2=6391000000001234=2612|balance=1500|oper_number=5566"
                               "|autho_number=778899|teller=ANA|date_time=05/03/2024 14:07"
                               "|Description=TIENDA DE PRUEBA|Servicio=REGALO" +
                               (amount.empty() ? "" : "|amount=" + amount));
}

TEST(GiftCardVoucher, BalanceQueryPrintsOnceAsTicketUnico) {
  // The single-copy case: a gift-card balance query printed through operation 22.
  const std::string text = OPTIMUM().Imprime(GiftCard("GCBalance"), "TICKET UNICO",
                                             OPTIMUM::kCorresponsal, k5Mar2024At1407);
  const std::vector<std::string> lines = Lines(text);
  // clang-format off
  const std::vector<std::string> middle = {
      "@lnn NUMERO DE CUENTA", "@lnn **** **** **** 1234", "@br",
      "@cnb APROBADA", "@br",
      "@cnn -------- TICKET UNICO ---------------", "@br",
      "@lnn SALDO $1,500.00", "@br",
      "@rnn OPER.                5566", "@rnn AUT.              778899", "@br",
      "@lnn CAJERO : ANA", "@lnn FECHA/HORA: 05/03/2024 14:07"};
  // clang-format on
  EXPECT_NE(std::search(lines.begin(), lines.end(), middle.begin(), middle.end()), lines.end())
      << text;
  EXPECT_EQ(text.find("IMPORTE"), std::string::npos);  // a query moves no amount
}

TEST(GiftCardVoucher, TitleByProcessAndTheVouchersOwnLines) {
  const struct {
    std::string process;
    std::int16_t operation;
    std::string title, line;
  } rows[] = {
      {"GCActivateCard", OPTIMUM::kTarjetaRegalo, "ACTIVACION", "@lnn NUMERO DE TARJETA"},
      {"GCBalanceIncrease", OPTIMUM::kTarjetaRegalo, "ACUMULACION", "@lnn **** **** **** 1234"},
      {"GCPurchase", OPTIMUM::kTarjetaRegalo, "VENTA", "@lnn IMPORTE $250.00"},
      {"GCBalance", OPTIMUM::kTarjetaRegalo, "CONSULTA DE SALDO", "@lnn BALANCE $1,500.00"},
      {"GCCancel", OPTIMUM::kTarjetaRegalo, "CANCELACION DE OPERACION",
       "@cnn AL REVERSO DE ESTE PAGARE"},
      {"Other", OPTIMUM::kTarjetaRegalo, "", "@cnn Prepago de:REGALO"},
      {"GCBalance", OPTIMUM::kCorresponsal, "CONSULTA DE SALDO", "@lnn NUMERO DE CUENTA"},
      {"CBCreditPayment", OPTIMUM::kCorresponsal, "PAGO DE CREDITO", "@lnn NUMERO DE CREDITO"},
      {"CBCreditPayment", OPTIMUM::kCorresponsal, "PAGO DE CREDITO", "@lnn IMPORTE $250.00"},
  };
  for (const auto& row : rows) {
    const std::vector<std::string> lines = Lines(OPTIMUM().Imprime(
        GiftCard(row.process, "250"), "COPIA CLIENTE", row.operation, k5Mar2024At1407));
    ASSERT_GT(lines.size(), 1u);
    EXPECT_EQ(lines[1], "@cnn " + row.title) << row.process;
    EXPECT_NE(std::find(lines.begin(), lines.end(), row.line), lines.end()) << row.line;
  }
}

Dictionary TicketData() {
  return testing::DictionaryOf(
      "Razon=ABARROTES LA PRUEBA|Dir1=CALLE 1|Dir2=COLONIA 2"
      "|Dir3=CIUDAD 3|Tel=5555555555|Folio=A-17|Total=77.5");
}

TEST(SalesTicket, EveryEntryIsPrintedInOrder) {
  const std::vector<std::string> articles = {"REFRESCO,2,10.5", "PAN,1,1234.5", "GALLETAS,3,12"};
  const std::vector<std::string> payments = {"EFECTIVO,50", "TARJETA,27.5"};
  const std::string stars = "@lnn " + std::string(42, '*');
  // clang-format off
  const std::vector<std::string> expected = {  // a row per block of the ticket
      "<vxv>@cnn PUNTO DE VENTA", "@logo1", "@br",
      "@cnn ABARROTES LA PRUEBA", "@cnn CALLE 1", "@cnn COLONIA 2", "@cnn CIUDAD 3",
      "@cnn Tel.5555555555", "@br",
      "@lnn VENTA  A-17", "@br",
      "@lnn DESCRIPCION  ", "@lnn CANTIDAD   PRECIO U.    IMPORTE", stars,
      "@lnn REFRESCO", "@lnn      2         $10.50         $21.00",
      "@lnn PAN",      "@lnn      1      $1,234.50      $1,234.50",
      "@lnn GALLETAS", "@lnn      3         $12.00         $36.00",
      stars, "@lnn PZAS 3", "@br",
      "@lnn TOTAL  $77.5", "@lnn EFECTIVO                      $50.00",
      "@lnn TARJETA                       $27.50", "@br",
      "@lnn FECHA/HORA:  05/03/2024 14:07:09", "@br", "@br",
      "@cnn \xA1\xA1\xA1 GRACIAS POR SU COMPRA !!!!",  // Windows-1252 inverted marks
      "@br", "@br", "@br", "@br", "@br", "</vxv>"};
  // clang-format on
  EXPECT_EQ(Lines(OPTIMUM().ImprimePuntoVenta(TicketData(), articles, payments, k5Mar2024At1407)),
            expected);
}

TEST(SalesTicket, EmptyArraysAndEntriesThatCannotBePrinted) {
  const struct {
    std::vector<std::string> articles, payments;
    std::string line;  // a line of the ticket, or "" for no ticket at all
  } rows[] = {
      {{}, {}, "@lnn PZAS 0\r\n"},
      // A quantity that is not a number, or missing commas, leave no ticket to print.
      {{"PAN,dos,10"}, {}, ""},
      {{"PAN"}, {}, ""},
      {{}, {"EFECTIVO 50"}, ""},
      // A payment amount that is not a number prints as written; a long concept is cut at 20.
      {{}, {"VALE DE DESPENSA ELECTRONICO,N/D"}, "@lnn VALE DE DESPENSA ELE            $N/D\r\n"},
  };
  for (const auto& row : rows) {
    const std::string ticket =
        OPTIMUM().ImprimePuntoVenta(TicketData(), row.articles, row.payments, k5Mar2024At1407);
    if (row.line.empty()) {
      EXPECT_EQ(ticket, "");
    } else {
      EXPECT_NE(ticket.find(row.line), std::string::npos) << row.line;
    }
  }
}

}  // namespace
}  // namespace tovalix::drivers::optimum
