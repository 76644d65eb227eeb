// The airtime operations against the simulated service on loopback, the terminal's settings in
// a real scratch file; the XML seam and the catalogue walk on their own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "airtime/catalogo.hpp"
#include "airtime/tiempo_aire.hpp"
#include "common/failure.hpp"
#include "platform/xml_document.hpp"
#include "sim/airtime/airtime_simulator.hpp"
#include "support/dictionary_text.hpp"
#include "support/terminal_fixture.hpp"

namespace tovalix::airtime {
namespace {

using sim::AirtimeAnswer;
using sim::AirtimeRequest;
using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::StartsWith;

// The lists a result may hold, by name: its keys in their order, each followed by a blank.
const std::string kBalances =
    "groupBalance chainBalance merchantBalance groupFrozenBalance chainFrozenBalance "
    "merchantFrozenBalance ";
const std::string kStore = "Description Address1 Address2 Address3 RFC Phone ";
const std::string kSaleHead =
    "Accepted idTrans ticketDateTime tellerName providerName faceValue totalCost telephone valid "
    "notes instructions idPIN idPOS transID " +
    kBalances;
const std::vector<std::pair<std::string, std::string>> kLists = {
    {"sale", kSaleHead + "responseText responseCode " + kStore},
    // Only the first list of a sale has responseCode before responseText.
    {"first sale", kSaleHead + "responseCode responseText " + kStore},
    {"status",
     "Accepted processing idTrans ticketDateTime tellerName providerName idProvider faceValue "
     "totalCost telephone valid notes instructions idPIN idPOS transID posDescription " +
         kBalances + "responseText responseCode " + kStore},
    // No Address3 in this one.
    {"first status",
     "Accepted instructions processing idProvider totalCost valid idPIN idPOS posDescription " +
         kBalances +
         "responseText responseCode idTrans ticketDateTime tellerName faceValue telephone notes "
         "transID providerName Description Address1 Address2 RFC Phone "},
    {"balance", "Accepted tellerName idPOS " + kBalances + "responseText " + kStore},
    {"amounts", "Cantidades instructions Accepted responseText "}};

constexpr const char* kNoData =
    "TOVALIX: No se pudieron leer los datos para efectuar la transacción";
constexpr const char* kPhone = "5512345678";
constexpr const char* kStamp = "20240501103000+06&caja1";
// The first list of a sale, as a failed check or lookup leaves it (see Outcome).
std::string FirstSale(const std::string& phone = kPhone, const std::string& face = "50",
                      const std::string& code = "102", const std::string& text = kNoData) {
  return "first sale: Accepted=False; faceValue=" + face + "; telephone=" + phone +
         "; instructions=" + kNoData + "; responseCode=" + code + "; responseText=" + text + ";";
}
// What an accepted answer becomes: "Accepted" True, the answer's elements, the store's data.
std::string Accepted(const std::string& list, const AirtimeAnswer& answer) {
  std::string want = list + ": Accepted=True;";
  for (const auto& [name, text] : answer.elements)
    if (name != "accepted" && !text.empty()) want += " " + name + "=" + text + ";";
  return want +
         " Description=ABARROTES LA ESPERANZA; Address1=AV. JUAREZ 12;"
         " Address2=CENTRO CUAUHTEMOC CP.06000; Address3=CIUDAD DE MEXICO,CDMX; RFC=AES010101AB1;"
         " Phone=5555555555;";
}

enum class Op { kSale, kStatus, kBalance, kAmounts };

class AirtimeTest : public ::testing::Test, public tovalix::testing::TerminalFixture {
 protected:
  void SetUp() override { Configure(); }
  // An initialized terminal's settings, `key` stored as `value` (param22 is empty anyway).
  void Configure(const std::string& key = "param22", const std::string& value = "") {
    ASSERT_TRUE(Initialize("IPP320", "1234",
                           {{key, value}, {"param13", "p&ss+w%rd"}, {"param14", sim.BaseUrl()}}));
  }
  // Scripts the answer to one path only.
  void On(const std::string& path, std::function<void(AirtimeAnswer&)> change) {
    sim.SetScript([path, change](const AirtimeRequest& request, AirtimeAnswer& answer) {
      if (request.path == path) change(answer);
    });
  }
  Dictionary Run(Op what) {
    // Each sale has a reference of its own (the simulator refuses one it has sold) of the
    // longest length; the teller login is as long as it may be.
    std::string reference = "venta-" + std::to_string(++sales);
    reference.resize(26, '0');
    if (what == Op::kSale) return TiempoAire(estado, "12345678", "Telcel", kPhone, 50, reference);
    if (what == Op::kStatus) return TiempoAireStatusVenta(estado, "Telcel", kStamp);
    if (what == Op::kBalance) return TiempoAireConsultaSaldo(estado, "");
    return TiempoAireCantidades(estado, "Telcel");
  }
  // How an operation ended: the boxes shown, a line each (with any icon and title), "logged" when
  // the log got a line, then the result's list by name and its keys that have a text.
  std::string Outcome(const Dictionary& result) const {
    std::string out;
    for (const auto& [text, style, title] : op.shown) {
      const bool plain = style == 0 && title.empty();
      out += text + (plain ? "" : " [" + std::to_string(style) + " " + title + "]") + "\n";
    }
    if (!LogText().empty()) out += "logged\n";
    const std::string keys = tovalix::testing::Text(result, false) + " ";
    const auto list = std::find_if(kLists.begin(), kLists.end(),
                                   [&](const auto& named) { return named.second == keys; });
    out += (list == kLists.end() ? "another list" : list->first) + ":";
    for (const auto& [key, value] : result.Entries())
      if (!value.empty()) out += " " + key + "=" + value + ";";
    return out;
  }

  sim::AirtimeSimulator sim;
  tovalix::testing::RecordingOperator op;
  settings::Parametros parametros;
  std::int16_t master = -1;
  std::int16_t provider = -1;
  int sales = 0;
  EstadoTiempoAire estado{parametros, op, master, provider};
};

// One pass of each operation: the form it posts, whole, the accepted answer copied in the
// result's own order, then a late answer. The catalogue writes its amounts as the service may.
TEST_F(AirtimeTest, EachOperationPostsItsFormAndReturnsTheAcceptedAnswerWholeInTime) {
  sim.SetCatalogue({"True", "", {{"7", {{"12", "TELCEL", {"0020.00", "1e2", "30.30"}}}}}});
  std::map<std::string, AirtimeAnswer> sent;
  sim.SetScript([&](const AirtimeRequest& request, AirtimeAnswer& a) { sent[request.path] = a; });
  // A host's 10.1 * 3 (30.299999999999997) is the listed 30.30, and is sold as such.
  const Dictionary sale = TiempoAire(estado, "", "tElCeL", kPhone, 10.1 * 3, kStamp);
  EXPECT_EQ(Outcome(sale), Accepted("sale", sent["/TopUpPurchase"]));
  const Dictionary status = TiempoAireStatusVenta(estado, "telcel", kStamp);
  EXPECT_EQ(Outcome(status), Accepted("status", sent["/VerifyTopUpPurchase"]));
  const Dictionary balance = TiempoAireConsultaSaldo(estado, "");
  EXPECT_EQ(Outcome(balance), Accepted("balance", sent["/GetBalance"]));
  EXPECT_EQ(Outcome(TiempoAireCantidades(estado, "Telcel")),
            "amounts: Cantidades=20,100,30.3,; Accepted=True;");

  // "&", "%" and "+" are encoded, so the password and the reference arrive whole; an empty
  // teller login goes out as an empty field.
  const std::string id = "eUser=usuario&ePassword=p%26ss%2Bw%25rd&serial=12345678&ptid=123456";
  const std::string stamp = "posTimeStamp=20240501103000%2B06%26caja1";
  std::string posted;
  for (const AirtimeRequest& request : sim.Requests()) {
    EXPECT_EQ(request.content_type, "application/x-www-form-urlencoded");
    posted += request.path + "?" + request.body + "\n";
  }
  EXPECT_EQ(posted,
            "/GetCat?" + id + "\n/TopUpPurchase?" + id +
                "&tellerLogin=&idMaster=7&idProvider=12&topUpTelephone=5512345678&amount=30.3&" +
                stamp + "\n/GetCat?" + id + "\n/VerifyTopUpPurchase?" + id + "&idMaster=7&" +
                stamp + "\n/GetBalance?" + id + "&tellerLogin=\n/GetCat?" + id + "\n");

  // An answer that comes after the time-out is a failure.
  Configure("param20", "1");
  On("/GetBalance", [](AirtimeAnswer& a) { a.delay = std::chrono::seconds(5); });
  EXPECT_THAT(Outcome(TiempoAireConsultaSaldo(estado, "")),
              AllOf(StartsWith("Se agotó el tiempo de espera de la operación"),
                    EndsWith("logged\nbalance: Accepted=False;")));
}

TEST_F(AirtimeTest, SaleChecksStopBeforeAnyRequestAndLeaveTheFirstResult) {
  struct Case {
    std::string teller, phone, amount, stamp, text;  // text: shown after "TIEMPO AIRE: "
    int style = 16;
  };
  const std::string bad_phone = "El número telefónico no es válido.";
  const std::vector<Case> cases = {
      {"", "55 1234567", "50", kStamp, bad_phone},
      {"", "551234567", "50", kStamp, "La longitud de vptopUpTelephone debe ser de 10 dígitos"},
      {"", "   ", "50", kStamp, "El número telefónico es indispensable para esta operación."},
      {"", kPhone, "50", std::string(27, '7'),
       "El vpposTimeStamp debe tener una longitud máxima de 26 caracteres.", 0},
      {"", kPhone, "50", "  ", "El vpposTimeStamp debe tener un valor único."},
      {"", kPhone, "0", kStamp, "El Monto del Cobro no puede ser menor o igual a cero."},
      {"", kPhone, "50.004", kStamp,
       "El Monto del Cobro 50.004 no es un importe válido: tiene fracción de centavo."},
      {"", kPhone, "INF", kStamp,
       "El Monto del Cobro INF no es un importe válido: no es un número finito."},
      {"123456789", kPhone, "50", kStamp,
       "La longitud de vptellerLogin no puede ser mayor a 8 caracteres."},
      // The service's numbers have no letter, exponent or tab.
      {"1e3", kPhone, "50", kStamp, "El TellerLogin debe estar formado sólo por números"},
      {"", "551234567\t", "50", kStamp, bad_phone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    op.shown.clear();
    const Dictionary result =
        TiempoAire(estado, c.teller, "TELCEL", c.phone, std::stod(c.amount), c.stamp);
    EXPECT_EQ(Outcome(result), "TIEMPO AIRE: " + c.text + " [" + std::to_string(c.style) +
                                   " TIEMPO AIRE]\n" + FirstSale(c.phone, c.amount));
  }
  EXPECT_EQ(sim.RequestCount(), 0u);
}

// Each way an operation ends other than with an accepted answer, after a change to one stored
// setting or to the service's answer to one path.
TEST_F(AirtimeTest, EachSettingAndAnswerEndsInItsBoxesAndResult) {
  const std::string no_provider = "TOVALIX: Telcel no encontrado o no hay conexion con el servidor";
  const std::string no_amounts =
      "amounts: Accepted=False; responseText=Error al leer los datos de la transacción;";
  const std::string serial_ipp320 = "31 32 33 34 35 36 37 ";
  struct Row {
    const char* what;
    Op op;
    std::string want;  // the outcome; "" when the operation goes through
    // A setting stored first, or (a key that is a path) the body of the answer to that path.
    std::string key{}, value{};
    int status = 200;
  };
  const std::vector<Row> rows = {
      {"a blank user", Op::kSale,
       "TIEMPO AIRE: Falta ingresar UserTA. [16 TIEMPO AIRE]\n" + FirstSale(), "param12", ""},
      {"a password too long", Op::kAmounts,
       "TIEMPO AIRE: La longitud de Password no debe exceder los 25 caracteres. "
       "[16 TIEMPO AIRE]\n" +
           no_amounts,
       "param13", std::string(26, 'x')},
      {"a PTid that is not a number, for the amounts", Op::kAmounts,
       "TOVALIX: El número de terminal debe ser numérico. [16 TIEMPO AIRE]\n" + no_amounts,
       "param3", "12A"},
      {"but not for a sale", Op::kSale, "", "param3", "12A"},
      // A time-out past 120 s is bounded: neither a failure nor a wait without end.
      {"a time-out too long", Op::kBalance, "", "param20", "3000000"},
      {"a blank time-out", Op::kBalance,
       "TOVALIX: No se cuenta con un tiempo de respuesta de la aplicación, necesita volver a "
       "inicializar.\nbalance: Accepted=False;",
       "param20", " "},
      // An iPP320 stores its serial as seven bytes of spaced hex: 21 characters, the last blank.
      {"an Ingenico serial, for a sale", Op::kSale, "", "param2", serial_ipp320},
      {"an Ingenico serial, for a balance", Op::kBalance, "", "param2", serial_ipp320},
      {"a serial too long", Op::kSale,
       "TOVALIX: La longitud del No. Serie del Pinpad es incorrecto. [16 TIEMPO AIRE]\n" +
           FirstSale(),
       "param2", std::string(21, '7')},
      // The loader shows its own box first; this first list has no Address3.
      {"settings that cannot be loaded", Op::kStatus,
       "TOVALIX: No se cuenta con el Tiempo de respuesta de su aplicación. Inicialice nuevamente "
       "para obtenerlo.\nTOVALIX : Tiempo Aire no esta inicializada (Kestrivo.exe). Llame al "
       "técnico. [16 ]\nfirst status: responseText=TOVALIX: No se pudieron leer los datos para "
       "efectuar la verificación; responseCode=102;",
       "param20", ""},
      {"a service that cannot be reached", Op::kStatus,
       no_provider + "\nlogged\nfirst status: responseText=" + no_provider + "; responseCode=102;",
       "param14", "http://127.0.0.1:1"},
      // The explanation is not shown.
      {"a catalogue holding only an explanation", Op::kSale,
       FirstSale(kPhone, "50", "900",
                 "TOVALIX: No se encontró el importe para el proveedor Telcel"),
       "/GetCat", "<Catalog><ResponseText>Usuario bloqueado</ResponseText></Catalog>"},
      {"a sale still processing, whatever accepted says", Op::kStatus,
       "status: processing=True; responseText=TIEMPO AIRE: La transacción sigue en proceso. "
       "Verifiquelo más tarde; responseCode=102;",
       "/VerifyTopUpPurchase", "<r><accepted>True</accepted><processing>True</processing></r>"},
      {"an unknown reference", Op::kStatus,
       "status: Accepted=False; processing=False; responseText=Transaccion no encontrada;"
       " responseCode=14;"},
      {"a refused sale carries the service's explanation", Op::kSale,
       "sale: Accepted=False; instructions=Saldo insuficiente; responseText=Saldo insuficiente;"
       " responseCode=51;",
       "/TopUpPurchase",
       "<r><accepted>False</accepted><responseText>Saldo insuficiente</responseText>"
       "<responseCode>51</responseCode></r>"},
      // Every element is read before the result is filled.
      {"an accepted sale missing an element", Op::kSale,
       "La respuesta del servicio de tiempo aire no trae el dato ticketDateTime\nlogged\n"
       "sale: responseCode=102;",
       "/TopUpPurchase", "<r><accepted>True</accepted><idTrans>1</idTrans></r>"},
      {"a status other than 200", Op::kSale,
       "TIEMPO AIRE: Ocurrió un error al intentar conectar con el gateway deQuelvan503-----"
       "Servicio no disponible\nsale: responseCode=102;",
       "/TopUpPurchase", "Servicio no disponible\r\n", 503},
      {"a balance accepted only when the service says True exactly", Op::kBalance,
       "balance: Accepted=False; responseText=Consulta rechazada;", "/GetBalance",
       "<r><accepted>true</accepted><responseText>Consulta rechazada</responseText></r>"},
      // The catalogue's status is not looked at.
      {"a refused catalogue explains itself in the amounts", Op::kAmounts,
       "amounts: instructions=Terminal no registrada; Accepted=False; "
       "responseText=Terminal no registrada;",
       "/GetCat",
       "<C><Accepted>False</Accepted><ResponseText>Terminal no registrada</ResponseText></C>", 500},
      {"a provider the catalogue does not list", Op::kAmounts,
       "amounts: Accepted=True; "
       "responseText=Verifique que tenga asignado el Proveedor que indicó.;",
       "/GetCat", "<C><Accepted>True</Accepted></C>"},
      {"a listed amount that is not a number", Op::kAmounts,
       "No coinciden los tipos\nlogged\n" + no_amounts, "/GetCat",
       "<C><MASTER>7<OPERATIONMODE><PROVIDER><I>12</I>"
       "<PROVIDERDESCRIPTION>TELCEL</PROVIDERDESCRIPTION><AMOUNT><a/>veinte</AMOUNT>"
       "</PROVIDER></OPERATIONMODE></MASTER></C>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const bool setting = !row.key.empty() && row.key[0] != '/';
    if (setting) Configure(row.key, row.value);
    On(row.key, [&](AirtimeAnswer& a) {
      a.status = row.status;
      a.raw = row.value;
    });
    op.shown.clear();
    std::filesystem::remove(folder() / "tovalix.log");
    const Dictionary result = Run(row.op);
    if (row.want.empty()) {
      EXPECT_EQ(result.Item("Accepted"), "True");
      EXPECT_TRUE(op.shown.empty());
    } else {
      EXPECT_EQ(Outcome(result), row.want);
    }
    if (setting) Configure();
  }
}

// The catalogue walk on its own: the rules that decide which entry counts.
TEST(AirtimeCatalogue, FirstMatchingProviderDecidesAndIdsAreTakenByPosition) {
  const auto one = [](const std::string& master, const std::string& provider) {
    return "<C><MASTER>" + master + "<OPERATIONMODE><PROVIDER>" + provider +
           "</PROVIDER></OPERATIONMODE></MASTER></C>";
  };
  const std::string twice = one(
      "9",
      "<ID>1</ID><PROVIDERDESCRIPTION>TELCEL</PROVIDERDESCRIPTION><AMOUNT><a/><v>20</v></AMOUNT>"
      "</PROVIDER><PROVIDER><ID>2</ID><PROVIDERDESCRIPTION>telcel</PROVIDERDESCRIPTION>"
      "<AMOUNT><a/><v>50</v></AMOUNT>");
  EXPECT_EQ(RecorreImporte(twice, "Telcel", 20), (IdsCatalogo{9, 1}));
  EXPECT_EQ(RecorreImporte(twice, "Telcel", 50), (IdsCatalogo{}));  // listed under the second
  EXPECT_EQ(RecorreProveedor(twice, "TELCEL"), (IdsCatalogo{9, 0}));
  EXPECT_EQ(RecorreCantidades(twice, "TELCEL").lista, "20,");
  // An explanation before the master ends the lookup.
  EXPECT_EQ(RecorreProveedor("<C><RESPONSETEXT>no</RESPONSETEXT>" + twice.substr(3), "TELCEL"),
            (IdsCatalogo{}));
  // A master id of 0 is no match; a description with nothing before it, an AMOUNT without a
  // second child node and a master id beyond 16 bits are failures.
  const std::string x = "<PROVIDERDESCRIPTION>X</PROVIDERDESCRIPTION>";
  EXPECT_EQ(RecorreProveedor(one("0", "<I>4</I>" + x), "x"), (IdsCatalogo{}));
  EXPECT_THROW(RecorreProveedor(one("5", x), "X"), Failure);
  EXPECT_THROW(RecorreImporte(one("5", "<I>4</I>" + x + "<AMOUNT>20</AMOUNT>"), "X", 20), Failure);
  EXPECT_THROW(RecorreImporte(one("70000", "<I>4</I>" + x + "<AMOUNT><a/>20</AMOUNT>"), "X", 20),
               Failure);
}

TEST(AirtimeXml, NodesInOrderWithTextsByPositionAndNamesCaseSensitive) {
  const auto document = platform::MakeXmlDocument();
  document->Load(
      "<?xml version=\"1.0\"?>\n<!-- c --><r>\n  <Accepted> True </Accepted>\n"
      "  <m>7<x>a<y>b</y></x><![CDATA[<z>]]></m>\n</r>");
  // Each node as its name, then "=" and the text of a leaf or its children in brackets.
  const std::function<std::string(const platform::XmlNode&)> tree = [&](const auto& node) {
    if (!node.HasChildren()) return node.Name() + "=" + node.Text();
    std::string out = node.Name() + "[";
    for (auto child = node.FirstChild(); !child.IsNull(); child = child.NextSibling())
      out += tree(child) + " ";
    return out + "]";
  };
  const platform::XmlNode root = document->Root();
  EXPECT_EQ(tree(root),
            "r[Accepted[#text=True ] m[#text=7 x[#text=a y[#text=b ] ] #cdata-section=<z> ] ]");
  EXPECT_TRUE(root.ChildElement("accepted").IsNull());
  EXPECT_EQ(root.Child(1).Text(), "7ab<z>");

  EXPECT_THROW(document->Load("not xml"), Failure);
  EXPECT_TRUE(document->Root().IsNull());
  // A document type is refused: its entities are never expanded nor fetched.
  EXPECT_THROW(document->Load("<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><r>&e;</r>"),
               Failure);
  // Elements nest at most 256 deep; far deeper nesting is refused without breaking the parser.
  const auto nested = [](int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<a>";
    text += "t";
    for (int i = 0; i < depth; ++i) text += "</a>";
    return text;
  };
  document->Load(nested(256));
  EXPECT_EQ(document->Root().Text(), "t");
  EXPECT_THROW(document->Load(nested(257)), Failure);
  EXPECT_THROW(document->Load(nested(200000)), Failure);
}

}  // namespace
}  // namespace tovalix::airtime
