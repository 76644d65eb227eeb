// The simulator's documents: answers as a root with named child elements, and the catalogue.
#include <algorithm>

#include "sim/airtime/airtime_simulator.hpp"

namespace tovalix::sim {

std::string XmlEscape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

AirtimeAnswer& AirtimeAnswer::Set(const std::string& name, std::string text) {
  for (auto& element : elements) {
    if (element.first == name) {
      element.second = std::move(text);
      return *this;
    }
  }
  elements.emplace_back(name, std::move(text));
  return *this;
}

AirtimeAnswer& AirtimeAnswer::Remove(std::string_view name) {
  std::erase_if(elements, [&](const auto& element) { return element.first == name; });
  return *this;
}

std::string AirtimeAnswer::Element(std::string_view name) const {
  for (const auto& element : elements) {
    if (element.first == name) return element.second;
  }
  return "";
}

std::string AirtimeAnswer::Body() const {
  if (raw) return *raw;
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<" + root + ">\r\n";
  for (const auto& [name, text] : elements) {
    xml += "  <" + name + ">" + XmlEscape(text) + "</" + name + ">\r\n";
  }
  xml += "</" + root + ">\r\n";
  return xml;
}

std::string CatalogueXml(const Catalogue& catalogue) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Catalog>\r\n";
  xml += "  <Accepted>" + XmlEscape(catalogue.accepted) + "</Accepted>\r\n";
  if (!catalogue.response_text.empty()) {
    xml += "  <ResponseText>" + XmlEscape(catalogue.response_text) + "</ResponseText>\r\n";
  }
  for (const CatalogueMaster& master : catalogue.masters) {
    xml += "  <Master>\r\n    <IdMaster>" + XmlEscape(master.id) + "</IdMaster>\r\n";
    xml += "    <OperationMode>\r\n      <Description>Tiempo aire</Description>\r\n";
    for (const CatalogueProvider& provider : master.providers) {
      xml += "      <Provider>\r\n";
      xml += "        <IdProvider>" + XmlEscape(provider.id) + "</IdProvider>\r\n";
      xml += "        <ProviderDescription>" + XmlEscape(provider.description) +
             "</ProviderDescription>\r\n";
      for (std::size_t i = 0; i < provider.amounts.size(); ++i) {
        xml += "        <Amount><IdAmount>" + std::to_string(i + 1) + "</IdAmount><Value>" +
               XmlEscape(provider.amounts[i]) + "</Value></Amount>\r\n";
      }
      xml += "      </Provider>\r\n";
    }
    xml += "    </OperationMode>\r\n  </Master>\r\n";
  }
  xml += "</Catalog>\r\n";
  return xml;
}

Catalogue DefaultCatalogue() {
  Catalogue catalogue;
  catalogue.masters.push_back(
      {"7",
       {{"12", "TELCEL", {"20.00", "30.00", "50.00", "100.00", "200.00", "500.00"}},
        {"15", "MOVISTAR", {"20.00", "50.00", "100.00"}},
        {"17", "IUSACELL", {"50.00", "100.00", "300.00"}}}});
  return catalogue;
}

}  // namespace tovalix::sim
