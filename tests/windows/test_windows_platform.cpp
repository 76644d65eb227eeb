// The Windows backends under wine, against the same simulators as the Linux suite: the PIN pad
// simulator's pseudo-terminal is a COM port of wine's, the gateway simulator serves on
// 127.0.0.1. scripts/test_windows.sh starts them and names them in the environment:
// TOVALIX_GATEWAY_URL, TOVALIX_DEVICE_MAP (the iPP320's device name to its COM port) and
// TOVALIX_TEST_COM_PORT.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tovalix/cliente.hpp>
#include <tovalix/operator.hpp>
#include <vector>

#include "common/failure.hpp"
#include "platform/cipher.hpp"
#include "platform/durable_append.hpp"
#include "platform/serial_port.hpp"
#include "platform/settings_file.hpp"
#include "platform/xml_document.hpp"
#include "support/cipher_known_answer.hpp"

namespace tovalix {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

struct Box {
  std::string text;
  int style;
};

class RecordingOperator : public Operator {
 public:
  void MessageBox(const std::string& text, int style, const std::string&) override {
    shown.push_back({text, style});
  }
  std::vector<Box> shown;
};

std::filesystem::path Scratch(const char* name) {
  const auto folder = std::filesystem::temp_directory_path() / "tovalix-tests" / name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

TEST(WindowsCipher, DeciphersWhatTheOtherPlatformEnciphered) {
  const auto& cipher = platform::SystemPasswordCipher();
  EXPECT_EQ(cipher.Decipher(testing::kKnownCipherText, testing::kKnownPassword),
            testing::kKnownPlain);
  const std::string text = cipher.Encipher("IPP320 ñ", "clave");
  EXPECT_NE(cipher.Encipher("IPP320 ñ", "clave"), text);  // a fresh salt each time
  EXPECT_EQ(cipher.Decipher(text, "clave"), "IPP320 ñ");
  EXPECT_THROW(cipher.Decipher(text, "otra"), Failure);
}

TEST(WindowsXml, ReadsAnswersAndRefusesDocumentTypesAndDeepNesting) {
  const auto document = platform::MakeXmlDocument();
  document->Load(
      "<?xml version=\"1.0\"?><r><a>uno</a> <b><![CDATA[dos]]></b><!-- x --><c>tres "
      "<d>cuatro</d></c></r>");
  const platform::XmlNode root = document->Root();
  EXPECT_EQ(root.Name(), "r");
  EXPECT_EQ(root.Text(), "unodostres cuatro");
  EXPECT_EQ(root.Child(1).Name(), "b");
  EXPECT_EQ(root.Child(1).FirstChild().Name(), "#cdata-section");
  EXPECT_EQ(root.ChildElement("c").ChildElement("d").Text(), "cuatro");
  EXPECT_TRUE(root.Child(3).IsNull());
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<a>";
  for (const std::string& hostile :
       {std::string("<!DOCTYPE r [<!ENTITY e \"x\">]><r>&e;</r>"),
        std::string("<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///c:/windows/win.ini\">]><r>&e;</r>"),
        deep, std::string("<r><a></r>"), std::string()}) {
    EXPECT_THROW(document->Load(hostile), Failure) << hostile.substr(0, 40);
    EXPECT_TRUE(document->Root().IsNull());
  }
}

TEST(WindowsFiles, SettingsAreWrittenWholeAndTornRecordsEndTheirLine) {
  const auto folder = Scratch("files");
  const platform::SettingsFile file(folder / "Quelvan" / "PinPad.ini");
  file.Write({{"param1", "5"}, {"param2", "IPP320 "}});
  file.Write({{"param3", "tres"}});
  EXPECT_EQ(file.Read("param2"), "IPP320 ");
  EXPECT_EQ(file.Read("param3"), "tres");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "Quelvan"), {}), 1);

  const auto journal = folder / "journal.jsonl";
  std::ofstream(journal, std::ios::binary) << "{\"torn";
  platform::AppendDurably(journal, "{}\n");
  std::ifstream in(journal, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "{\"torn\n{}\n");
}

TEST(WindowsSerial, APortIsOneUsersAtATime) {
  const std::string port = Env("TOVALIX_TEST_COM_PORT");
  if (port.empty()) GTEST_SKIP() << "no simulated PIN pad";
  const auto first = platform::OpenSerialPort(port);
  EXPECT_THROW(platform::OpenSerialPort(port), platform::PortInUse);
  first->Close();
  EXPECT_NO_THROW(platform::OpenSerialPort(port)->Close());
}

// The whole road of a chip sale: settings in the user's application data, the PIN pad through
// its COM port, the gateway over WinHTTP, the answer back to the card.
TEST(WindowsSale, InitializeThenSellOnAnIpp320) {
  if (Env("TOVALIX_TEST_COM_PORT").empty()) GTEST_SKIP() << "no simulated PIN pad";
  RecordingOperator op;
  Cliente cliente(op);
  ASSERT_EQ(cliente.InicializaPinPad("5,17", 1001, "IPP320", "", "", ""), 1)
      << (op.shown.empty() ? "" : op.shown.back().text);
  const Dictionary sale = cliente.PagoTarjeta(17, 150.5, 0, 150.5, 42, 1, "", 0, 0, "", "", "");
  EXPECT_EQ(sale.Item("Response_Message"), "APROBADA");
  EXPECT_EQ(sale.Item("Amount"), "150.5");
  EXPECT_EQ(sale.Item("Pos_entry_mode"), "2");
  EXPECT_EQ(sale.Keys().front(), "ID_Store");
  EXPECT_EQ(sale.Keys().back(), "Phone");
  EXPECT_TRUE(op.shown.empty()) << op.shown.front().text;

  const Dictionary refused =
      cliente.PagoTarjeta(17, 10.004, 0, 10.004, 43, 1, "", 0, 0, "", "", "");
  EXPECT_EQ(refused.Item("ID_Tx"), "-3");
  EXPECT_NE(refused.Item("Response_Message").find("fracción de centavo"), std::string::npos);
}

}  // namespace
}  // namespace tovalix
